#pragma once

#include <QObject>
#include <optional>
#include <string>
#include <vector>

#include "ui/common/screen.h"

namespace quill::ui {

/// The window's navigation: the path of screens above the welcome screen, and the user's remembered goal and
/// next step, which outlive trips home. Setters signal only on a change. GUI thread only.
class AppNavigation : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    [[nodiscard]] const std::vector<Screen>& path() const { return m_path; }
    void setPath(std::vector<Screen> path);
    /// Appends one screen.
    void push(Screen screen);
    /// Removes the top screen, when there is one.
    void back();
    /// Empties the path.
    void goHome();

    [[nodiscard]] const std::optional<std::string>& selectedGoal() const { return m_selectedGoal; }
    void setSelectedGoal(std::optional<std::string> key);
    [[nodiscard]] const std::optional<std::string>& selectedNextStep() const { return m_selectedNextStep; }
    void setSelectedNextStep(std::optional<std::string> key);

  signals:
    void pathChanged();
    void selectedGoalChanged();
    void selectedNextStepChanged();

  private:
    std::vector<Screen> m_path;
    std::optional<std::string> m_selectedGoal;
    std::optional<std::string> m_selectedNextStep;
};

}  // namespace quill::ui
