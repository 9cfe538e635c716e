#pragma once

#include <QWidget>
#include <functional>

#include "ui/common/nps_host_visit.h"

class QPushButton;

namespace quill::ui {

class NPSFeedbackCard;
struct ScreenContext;

/// The end of the system audit, embedded in the audit page: "System audit complete", the feedback card
/// (without a next-step prompt and while unanswered) and "Done — back to home", which sends the unanswered
/// card's "nps_dismissed" and then runs `onDone`. The host page calls `appeared()` whenever it appears, also
/// when it embeds this view while on top. GUI thread only.
class FinalAuditReport : public QWidget {
    Q_OBJECT

  public:
    FinalAuditReport(ScreenContext& context, std::function<void()> onDone, QWidget* parent = nullptr);

    void appeared();
    /// "Done — back to home".
    void finish();

    [[nodiscard]] bool showNPS() const { return m_nps.showNPS(); }
    [[nodiscard]] bool didEmitNPSShown() const { return m_nps.didEmitNPSShown(); }
    [[nodiscard]] bool didSubmitNPSThisVisit() const { return m_nps.didAnswer(); }
    [[nodiscard]] QPushButton* doneButton() const { return m_done; }

  private:
    std::function<void()> m_onDone;
    NpsHostVisit m_nps;
    NPSFeedbackCard* m_card = nullptr;
    QPushButton* m_done;
};

}  // namespace quill::ui
