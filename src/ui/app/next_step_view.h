#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/setup/product_copy.h"
#include "ui/common/screen.h"
#include "ui/common/screen_page.h"

class QPushButton;

namespace quill::ui {

class ChoiceRow;

/// The audit entry of a next-step answer: "course" and "build_software" (exactly) have their own, every other
/// key is `nextStepNotSure`.
[[nodiscard]] AuditEntry auditEntryForKey(std::string_view key);

/// The screen a next-step answer leads to: its content offer, the audit carrying the answer (without the
/// build-intent prompt, then `then`), the guided-help offer or the AI-coding offer.
[[nodiscard]] Screen routeFor(const std::string& key, const OfferRoute& offer,
                              const std::optional<std::string>& goal);

/// The next-step question: one row per option, the choice kept by key (two options with one key are both
/// ticked, and the first is used), and "Show next step", the default button, enabled once a row is ticked.
/// Submitting records the key in the navigation, sends "next_step_selected" and pushes the option's route.
class NextStepView : public ScreenPage {
    Q_OBJECT

  public:
    NextStepView(ScreenContext& context, NextStepPrompt prompt, QWidget* parent = nullptr);

    [[nodiscard]] QAbstractButton* defaultButton() const override;
    [[nodiscard]] const std::optional<std::string>& selectedKey() const { return m_selectedKey; }

    /// Ticks the rows with `key`.
    void select(const std::string& key);
    /// "Show next step": nothing without a ticked option.
    void submit();
    /// Pushes the screen `offer` leads to.
    void route(const std::string& key, const OfferRoute& offer, const std::optional<std::string>& goal);

  private:
    void refresh();

    NextStepPrompt m_prompt;
    std::optional<std::string> m_selectedKey;
    std::vector<ChoiceRow*> m_rows;  // in the order of the options
    QPushButton* m_continue;
};

}  // namespace quill::ui
