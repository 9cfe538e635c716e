#pragma once

#include <QObject>
#include <optional>

#include "engine/services/system_profile.h"

namespace quill::ui {

/// The system profile the window collected at start, once it has arrived. Screens read it when they use it,
/// never at construction, since it may arrive after they exist. GUI thread only.
class ProfileHolder : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    [[nodiscard]] const std::optional<SystemProfile>& profile() const { return m_profile; }
    void set(SystemProfile profile);

  signals:
    void changed();

  private:
    std::optional<SystemProfile> m_profile;
};

}  // namespace quill::ui
