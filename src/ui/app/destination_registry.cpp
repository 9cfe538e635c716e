#include "ui/app/destination_registry.h"

#include "ui/app/next_step_view.h"
#include "ui/app/offer_view.h"
#include "ui/java/diagnose_view.h"
#include "ui/java/staged_audit_flow.h"
#include "ui/setupflow/setup_workflow_view.h"

namespace quill::ui {

DestinationRegistry DestinationRegistry::standard() {
    // Every screen the path leads to is registered here. An entry left empty shows a page saying it is not
    // available.
    DestinationRegistry registry;
    registry.diagnose = [](ScreenContext& context) -> ScreenPage* { return new DiagnoseView(context); };
    registry.audit = [](ScreenContext& context, const AuditContext& auditContext) -> ScreenPage* {
        return new StagedAuditFlow(context, auditContext);
    };
    registry.setupWorkflow = [](ScreenContext& context) -> ScreenPage* {
        return new SetupWorkflowView(context);
    };
    registry.nextStep = [](ScreenContext& context, const NextStepPrompt& prompt) -> ScreenPage* {
        return new NextStepView(context, prompt);
    };
    registry.contentOffer = [](ScreenContext& context, const std::string& offerID) -> ScreenPage* {
        return new ContentOfferView(context, offerID);
    };
    registry.guidedHelpOffer = [](ScreenContext& context, const std::string& offerID) -> ScreenPage* {
        return new GuidedHelpOfferView(context, offerID);
    };
    registry.aiCodingOffer = [](ScreenContext& context, const std::string& offerID) -> ScreenPage* {
        return new AICodingInterestView(context, offerID);
    };
    return registry;
}

}  // namespace quill::ui
