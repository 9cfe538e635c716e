#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/setup/product_copy.h"
#include "engine/telemetry/json_value.h"

namespace quill::ui {

/// The state of the goal question: the chosen option and the detail typed for it. The detail never holds
/// more than the prompt's limit of user-perceived characters. `submit` sends "goal_selected" and then calls
/// `onContinue` with the chosen key. GUI thread only.
class GoalPromptModel : public QObject {
    Q_OBJECT

  public:
    GoalPromptModel(GoalPrompt prompt, std::function<void(const std::string& key)> onContinue,
                    QObject* parent = nullptr);

    [[nodiscard]] const GoalPrompt& prompt() const { return m_prompt; }
    [[nodiscard]] const std::optional<std::string>& selectedKey() const { return m_selectedKey; }
    [[nodiscard]] const std::string& detail() const { return m_detail; }
    /// The first option with the selected key; none without a choice.
    [[nodiscard]] const GoalOption* chosenOption() const;
    [[nodiscard]] bool canContinue() const { return m_selectedKey.has_value(); }

    /// Chooses an option. One without a detail prompt empties the detail; one with a prompt keeps it.
    void selectOption(const std::string& key);
    /// Takes the field's text, cut to the limit.
    void setDetail(std::string text);
    /// Sends "goal_selected" with the goal, the cleaned detail and the surface, then calls `onContinue`.
    /// Nothing without a choice.
    void submit();

    /// The detail as the event carries it: control and format characters removed, the home folder masked,
    /// trimmed, cut to `maxChars` user-perceived characters; null when nothing is left.
    static JSONValue cleanDetail(std::string_view detail, int maxChars);

  signals:
    void selectedKeyChanged();
    void detailChanged();

  private:
    GoalPrompt m_prompt;
    std::function<void(const std::string&)> m_onContinue;
    std::optional<std::string> m_selectedKey;
    std::string m_detail;
};

}  // namespace quill::ui
