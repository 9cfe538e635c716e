#pragma once

#include <QWidget>
#include <functional>

#include "engine/java/completion_surface.h"
#include "ui/common/nps_host_visit.h"

class QPushButton;

namespace quill::ui {

class BuildIntentPromptView;
class NPSFeedbackCard;
struct ScreenContext;

/// The short ending of the Java road, embedded in its host page: "Java is working", the feedback card
/// (hosted through `NpsHostVisit`, without a next-step prompt), the build-intent prompt on a `prompt`
/// surface, and "Done — back to home". The host page calls `appeared()` whenever it appears, also when it
/// embeds this view while on top. `onSeeRecommendations` and `onDone` are the host's exits; `onDone` runs
/// after the unanswered card's "nps_dismissed". GUI thread only.
class SimplifiedCompletionView : public QWidget {
    Q_OBJECT

  public:
    SimplifiedCompletionView(ScreenContext& context, CompletionSurface surface,
                             std::function<void()> onSeeRecommendations, std::function<void()> onDone,
                             QWidget* parent = nullptr);

    /// Announces the card (once per visit, and once per run through the shared gate) and the build-intent
    /// prompt (once per visit).
    void appeared();

    [[nodiscard]] bool showNPS() const { return m_nps.showNPS(); }
    [[nodiscard]] bool didEmitNPSShown() const { return m_nps.didEmitNPSShown(); }
    [[nodiscard]] bool didSubmitNPSThisVisit() const { return m_nps.didAnswer(); }
    [[nodiscard]] bool didEmitBuildIntentShown() const { return m_didEmitBuildIntentShown; }
    [[nodiscard]] QPushButton* doneButton() const { return m_done; }

    /// The card's thank-you: the answer counts and the card leaves the screen.
    void recordSubmission();
    void emitNPSShown();
    void emitBuildIntentShown();
    /// The prompt's "See recommendations →": "build_intent_opted_in", then `onSeeRecommendations`.
    void optIn();
    /// "Done — back to home".
    void finish();

  private:
    CompletionSurface m_surface;
    std::function<void()> m_onSeeRecommendations;
    std::function<void()> m_onDone;
    NpsHostVisit m_nps;
    bool m_didEmitBuildIntentShown = false;
    NPSFeedbackCard* m_card = nullptr;
    BuildIntentPromptView* m_prompt = nullptr;
    QPushButton* m_done;
};

}  // namespace quill::ui
