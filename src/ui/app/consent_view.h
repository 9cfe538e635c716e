#pragma once

#include <QString>
#include <functional>
#include <string>

#include "ui/common/screen_page.h"

class QPushButton;

namespace quill::ui {

/// The title of the privacy link: the address without its scheme, that is its host followed by its path (the
/// host empty when the address has none).
QString privacyLinkTitle(const std::string& url);

/// The only screen until the user has consented: what the app does, how it treats privacy, and Continue,
/// which records the consent, sends "consent_given" and calls `onContinue`.
class ConsentView : public ScreenPage {
    Q_OBJECT

  public:
    ConsentView(ScreenContext& context, std::function<void()> onContinue, QWidget* parent = nullptr);

    [[nodiscard]] QAbstractButton* defaultButton() const override;

    /// The Continue action.
    void recordConsent();

  private:
    std::function<void()> m_onContinue;
    QPushButton* m_continue;
};

}  // namespace quill::ui
