#include "ui/java/diagnose_view.h"

#include "engine/java/diagnosis_profile.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/java/diagnosis_detail_view.h"

namespace quill::ui {

Screen continueScreen(const Diagnosis& diagnosis) {
    if (ProductConfig::current()->nextStepPrompt)
        return Screen::nextStep();
    const CompletionSurface surface =
        needsFix(diagnosis) ? CompletionSurface::Excluded{} : diagnosis.resultCategory();
    return Screen::audit(AuditContext{AuditEntry::heuristic, surface, std::nullopt});
}

DiagnoseView::DiagnoseView(ScreenContext& context, QWidget* parent) : FreshProfilePage(context, parent) {
    replaceContent(checkingView(QStringLiteral("Checking Java on your Mac…")));
}

void DiagnoseView::appeared() {
    if (m_detail != nullptr)
        m_detail->appeared();
    FreshProfilePage::appeared();
}

void DiagnoseView::profileArrived(SystemProfile profile) {
    const auto config = ProductConfig::current();
    // A configuration without a Java check diagnoses nothing wrong.
    Diagnosis diagnosis = config->diagnosisProfile ? config->diagnosisProfile->diagnose(profile.javaState)
                                                   : Diagnosis{Diagnosis::NoErrorsFound{}};
    m_diagnosis = diagnosis;
    TelemetryEvents::send(TelemetryEvents::javaDiagnosisReached(diagnosis, profile));
    m_detail = new DiagnosisDetailView(context(), std::move(diagnosis), this);
    replaceContent(m_detail);
    if (isOnTop())
        m_detail->appeared();
}

}  // namespace quill::ui
