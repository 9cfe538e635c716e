#include "ui/java/staged_audit_flow.h"

#include <type_traits>
#include <variant>

#include "engine/telemetry/telemetry_events.h"
#include "ui/common/app_navigation.h"
#include "ui/common/simplified_completion_view.h"
#include "ui/java/final_audit_report.h"

namespace quill::ui {

std::optional<Screen> screenAfterReport(const AuditContext& auditContext) {
    if (!auditContext.quill || !auditContext.quill->thenRoute)
        return std::nullopt;
    return std::visit(
        [](const auto& route) -> std::optional<Screen> {
            using Case = std::decay_t<decltype(route)>;
            if constexpr (std::is_same_v<Case, OfferRoute::Content>) {
                return Screen::contentOffer(route.offerID);
            } else if constexpr (std::is_same_v<Case, OfferRoute::GuidedHelpWTP>) {
                return Screen::guidedHelpOffer();
            } else if constexpr (std::is_same_v<Case, OfferRoute::AICodingInterest>) {
                return Screen::aiCodingOffer();
            } else {
                static_assert(std::is_same_v<Case, OfferRoute::Audit>);
                return std::nullopt;
            }
        },
        auditContext.quill->thenRoute->value);
}

StagedAuditFlow::StagedAuditFlow(ScreenContext& context, AuditContext auditContext, QWidget* parent)
    : FreshProfilePage(context, parent), m_audit(std::move(auditContext)) {
    replaceContent(checkingView(QStringLiteral("Checking your Mac…")));
}

void StagedAuditFlow::appeared() {
    if (m_simplified != nullptr)
        m_simplified->appeared();
    if (m_report != nullptr)
        m_report->appeared();
    FreshProfilePage::appeared();
}

void StagedAuditFlow::profileArrived(SystemProfile profile) {
    auto& navigation = context().navigation;
    // The short ending says Java works, so it needs a surface that prompts; an excluded one (nothing was
    // fixed, or nothing could be diagnosed) shows the report.
    if (m_audit.entry == AuditEntry::heuristic && !profile.isLikelyDeveloper() &&
        std::holds_alternative<CompletionSurface::Prompt>(m_audit.completionSurface.value)) {
        m_simplified = new SimplifiedCompletionView(
            context(), m_audit.completionSurface,
            [&navigation] {
                navigation.push(Screen::audit(
                    AuditContext{AuditEntry::buildIntent, CompletionSurface::Excluded{}, std::nullopt}));
            },
            [&navigation] { navigation.goHome(); }, this);
        replaceContent(m_simplified);
        if (isOnTop())
            m_simplified->appeared();
        return;
    }
    if (!m_didEmitAuditReached) {
        m_didEmitAuditReached = true;
        TelemetryEvents::send(TelemetryEvents::auditReached(profile, std::string(toRaw(m_audit.entry))));
    }
    m_report = new FinalAuditReport(
        context(), [this] { leaveReport(); }, this);
    replaceContent(m_report);
    if (isOnTop())
        m_report->appeared();
}

void StagedAuditFlow::leaveReport() {
    auto& navigation = context().navigation;
    if (auto next = screenAfterReport(m_audit))
        navigation.push(std::move(*next));
    else
        navigation.goHome();
}

}  // namespace quill::ui
