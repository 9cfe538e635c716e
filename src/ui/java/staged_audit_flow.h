#pragma once

#include <optional>

#include "ui/common/screen.h"
#include "ui/java/fresh_profile_page.h"

namespace quill::ui {

class FinalAuditReport;
class SimplifiedCompletionView;

/// The system audit page: "Checking your Mac…" while a fresh profile is collected; then, for an audit
/// entered heuristically on a Mac that does not look like a developer's with a prompting surface, the
/// simplified completion screen on that surface; otherwise "audit_reached" (once per visit) and the final
/// report, whose Done follows `leaveReport`. It passes `appeared()` on to what it embeds. GUI thread only.
class StagedAuditFlow : public FreshProfilePage {
    Q_OBJECT

  public:
    StagedAuditFlow(ScreenContext& context, AuditContext auditContext, QWidget* parent = nullptr);

    void appeared() override;

    [[nodiscard]] const AuditContext& auditContext() const { return m_audit; }
    /// What the page embeds once the profile has arrived; null before.
    [[nodiscard]] SimplifiedCompletionView* simplifiedView() const { return m_simplified; }
    [[nodiscard]] FinalAuditReport* report() const { return m_report; }

  protected:
    void profileArrived(SystemProfile profile) override;

  private:
    void leaveReport();

    AuditContext m_audit;
    bool m_didEmitAuditReached = false;
    SimplifiedCompletionView* m_simplified = nullptr;
    FinalAuditReport* m_report = nullptr;
};

/// Where the final report leads when it is left: the offer that the next-step context's `thenRoute` names;
/// nothing (home) without a context, without a route, or for a route back into the audit.
[[nodiscard]] std::optional<Screen> screenAfterReport(const AuditContext& auditContext);

}  // namespace quill::ui
