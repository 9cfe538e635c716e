#pragma once

#include <QPointer>
#include <functional>

#include "ui/common/nps_feedback_card.h"

class QWidget;

namespace quill::ui {

struct ScreenContext;

/// What a screen that shows the `NPSFeedbackCard` does on one visit; one value per visit, held by the host.
/// The contract for every host:
/// 1. Whether to show the card is decided once, at construction: never when the host asks for no
///    next-step prompt and the current configuration has one (checked first, so the flag is then not read);
///    otherwise only while `<prefix>.nps_submitted` is not true in `services.store`.
/// 2. The host calls `cardAppeared()` whenever the card becomes visible on a visible page (from its
///    `appeared()`, also when it embeds the card while on top). The first call of the visit marks the card
///    shown, whatever the process-wide gate answers: "nps_shown" goes out once per run, through
///    `TelemetryEvents::sendNPSShownOnce`.
/// 3. The answer counts at the press of "Submit feedback" (`onAnswered`). At the thank-you (`onSubmitted`)
///    the host may stop showing the card: `stopShowing()` hides it, never deletes it. The card's own
///    "Dismiss" counts as an answer only under `Dismissal::countsAsAnswer`.
/// 4. The host's own leave action (and only that: not `leaving()`, not Back, not a road that leads on
///    without leaving, such as opting in) calls `leave()` first, which sends "nps_dismissed" {} when the card
///    was shown on this visit and no answer was recorded, then leaves.
/// GUI thread only.
class NpsHostVisit {
  public:
    /// Whether the host shows the card under a next-step prompt.
    enum class Gate { answeredFlagOnly, answeredFlagAndNoNextStepPrompt };
    /// Whether the card's "Dismiss" counts as an answer on this host.
    enum class Dismissal { leavesUnanswered, countsAsAnswer };

    NpsHostVisit(ScreenContext& context, Gate gate, Dismissal dismissal = Dismissal::leavesUnanswered);
    NpsHostVisit(const NpsHostVisit&) = delete;
    NpsHostVisit& operator=(const NpsHostVisit&) = delete;

    /// Whether the card is part of the screen: decided at construction, false after `stopShowing()`.
    [[nodiscard]] bool showNPS() const { return m_showNPS; }
    /// The card appeared on this visit.
    [[nodiscard]] bool didEmitNPSShown() const { return m_didEmitNPSShown; }
    /// The user answered on this visit.
    [[nodiscard]] bool didAnswer() const { return m_didAnswer; }

    /// Builds the card wired to this visit, or null when it is not shown. `onThanks` runs at the card's
    /// thank-you, after the answer was recorded; a host that removes the card there calls `stopShowing()`.
    /// The visit must outlive the card (hold both in the host page).
    NPSFeedbackCard* buildCard(QWidget* parent, std::function<void()> onThanks);
    /// The card became visible; see item 2.
    void cardAppeared();
    /// Records the answer of this visit.
    void recordAnswer() { m_didAnswer = true; }
    /// Hides the card for the rest of the visit.
    void stopShowing();
    /// Sends "nps_dismissed" when the card was shown and is unanswered; call it before the host leaves.
    void leave();

  private:
    ScreenContext& m_context;
    Dismissal m_dismissal;
    bool m_showNPS;
    bool m_didEmitNPSShown = false;
    bool m_didAnswer = false;
    QPointer<NPSFeedbackCard> m_card;
};

}  // namespace quill::ui
