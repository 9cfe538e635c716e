#pragma once

#include <string>
#include <vector>

#include "engine/setup/setup_action.h"
#include "engine/setup/setup_diagnosis.h"
#include "engine/setup/setup_remediation.h"
#include "engine/setup/setup_workflow.h"

// The pieces every product's workflow is built from, so that all products judge a fix's success alike.
namespace quill {

/// How the setup flow judges a fix: fixes whose effect a fresh probe can see (PATH repairs, the Claude CLI
/// and desktop app) are checked again; every other fix counts as done when its install completes.
VerifyPolicy verifyPolicy(const SetupRemediation& fix);

/// The stage button of `fix`: its identifier, label, caption and verify policy.
SetupAction setupAction(const SetupRemediation& fix);

/// A step of `domainID` with its finding and one action per fix, in order.
WorkflowStep workflowStep(const std::string& domainID, SetupDiagnosis diagnosis,
                          const std::vector<SetupRemediation>& fixes, DomainPlacement placement);

/// The finding of a domain nobody knows: its id as headline, no detail, `unknown`.
SetupDiagnosis unknownDomainDiagnosis(const std::string& domainID);

}  // namespace quill
