#include "engine/products/spine_steps.h"

#include <memory>

#include "engine/setup/setup_stage.h"

namespace quill {

VerifyPolicy verifyPolicy(const SetupRemediation& fix) {
    using F = SetupRemediation;
    if (fix.is<F::RepairPath>() || fix.is<F::InstallClaudeCLI>() || fix.is<F::RepairHomebrewPath>() ||
        fix.is<F::InstallClaudeDesktop>())
        return VerifyPolicy::localVerification;
    return VerifyPolicy::installCompletion;
}

SetupAction setupAction(const SetupRemediation& fix) {
    return SetupAction{fix.id(), fix.displayLabel(), fix.caption(), verifyPolicy(fix)};
}

WorkflowStep workflowStep(const std::string& domainID, SetupDiagnosis diagnosis,
                          const std::vector<SetupRemediation>& fixes, DomainPlacement placement) {
    std::vector<SetupAction> actions;
    actions.reserve(fixes.size());
    for (const auto& fix : fixes)
        actions.push_back(setupAction(fix));
    return WorkflowStep{
        std::make_shared<const BasicSetupStage>(domainID, std::move(diagnosis), std::move(actions)),
        placement};
}

SetupDiagnosis unknownDomainDiagnosis(const std::string& domainID) {
    return SetupDiagnosis{domainID, "", SetupDiagnosisClassification::unknown};
}

}  // namespace quill
