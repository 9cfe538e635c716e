#pragma once

#include <string>

#include "ui/common/screen_page.h"

class QPushButton;

namespace quill::ui {

class GoalPromptView;
class ScreenScaffold;

/// The bottom of the navigation stack: introduces the current product and starts its flow, with one button
/// or, when the product asks for the user's goal, through the goal prompt.
class WelcomeView : public ScreenPage {
    Q_OBJECT

  public:
    explicit WelcomeView(ScreenContext& context, QWidget* parent = nullptr);

    /// The goal prompt's continue button; the welcome button is no default.
    [[nodiscard]] QAbstractButton* defaultButton() const override;

    /// The welcome button's action: pushes the current product's flow.
    void beginFlow();

  private:
    void goalChosen(const std::string& key);

    ScreenScaffold* m_scaffold;
    GoalPromptView* m_goalPrompt = nullptr;
};

}  // namespace quill::ui
