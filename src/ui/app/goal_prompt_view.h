#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "engine/setup/product_copy.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quill::ui {

class ChoiceRow;
class GoalPromptModel;
struct ScreenContext;

/// The goal question embedded in the welcome screen: one row per option, a detail field for options that ask
/// for one, and the continue button, which is the page's default button and stays disabled until an option is
/// chosen. Starts with no choice and an empty detail.
class GoalPromptView : public QWidget {
    Q_OBJECT

  public:
    GoalPromptView(ScreenContext& context, GoalPrompt prompt,
                   std::function<void(const std::string& key)> onContinue, QWidget* parent = nullptr);

    [[nodiscard]] QPushButton* continueButton() const { return m_continue; }
    [[nodiscard]] GoalPromptModel& model() const { return *m_model; }

  private:
    void refresh();
    void detailEdited(const QString& text);

    GoalPromptModel* m_model;
    std::vector<ChoiceRow*> m_rows;  // in the order of the options
    QWidget* m_detailBox;
    QLabel* m_detailPrompt;
    QLineEdit* m_detailField;
    QPushButton* m_continue;
    bool m_rewritingDetail = false;
};

}  // namespace quill::ui
