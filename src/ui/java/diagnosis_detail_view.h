#pragma once

#include <QWidget>

#include "engine/java/diagnosis.h"
#include "ui/common/nps_host_visit.h"

class QPushButton;

namespace quill::ui {

class NPSFeedbackCard;
struct ScreenContext;

/// The result of the Java diagnosis, embedded in the diagnose page: the headline as title, the detail as
/// plain text, a line saying this version cannot fix a D1–D3 finding, "Continue to system audit" and, for a
/// Mac without errors (D4 or no errors), the feedback card, gated by the answered flag alone. Continue sends
/// the unanswered card's "nps_dismissed" first, then pushes `continueScreen`. The host page calls
/// `appeared()` whenever it appears, also when it embeds this view while on top. GUI thread only.
class DiagnosisDetailView : public QWidget {
    Q_OBJECT

  public:
    DiagnosisDetailView(ScreenContext& context, Diagnosis diagnosis, QWidget* parent = nullptr);

    void appeared();
    /// "Continue to system audit".
    void continueToAudit();

    [[nodiscard]] const Diagnosis& diagnosis() const { return m_diagnosis; }
    [[nodiscard]] bool showNPSOnNoErrors() const { return m_nps.showNPS(); }
    [[nodiscard]] bool didEmitNPSShownOnNoErrors() const { return m_nps.didEmitNPSShown(); }
    [[nodiscard]] bool didSubmitNPSOnNoErrors() const { return m_nps.didAnswer(); }
    [[nodiscard]] QPushButton* continueButton() const { return m_continue; }

  private:
    ScreenContext& m_context;
    Diagnosis m_diagnosis;
    NpsHostVisit m_nps;
    NPSFeedbackCard* m_card = nullptr;
    QPushButton* m_continue;
};

/// Whether a diagnosis is one this version would have to fix (D1–D3).
[[nodiscard]] bool needsFix(const Diagnosis& diagnosis);
/// Whether a diagnosis finds nothing wrong (D4 or no errors): the cases that may ask for feedback.
[[nodiscard]] bool hasNoErrors(const Diagnosis& diagnosis);

}  // namespace quill::ui
