#include "engine/setup/setup_workflow.h"

#include <gtest/gtest.h>

#include "engine/setup/setup_probe_bundle.h"

namespace quill {
namespace {

using enum DomainPlacement;
using Classification = SetupDiagnosisClassification;

WorkflowStep step(std::string id, DomainPlacement placement,
                  Classification classification = Classification::fixable) {
    auto stage = std::make_shared<BasicSetupStage>(std::move(id), SetupDiagnosis{"h", "d", classification},
                                                   std::vector<SetupAction>{});
    return WorkflowStep{std::move(stage), placement};
}

// clt (ready) · homebrew · warp (offer) · shell (ready) · editor (optional) · git · notes (offer, ready) ·
// mcp (offer)
SetupWorkflow mixedWorkflow() {
    return SetupWorkflow{{
        step("clt", primary, Classification::ready),
        step("homebrew", primary, Classification::blocked),
        step("warp", offer),
        step("shell-config", primary, Classification::ready),
        step("editor", optional, Classification::unknown),
        step("git", primary),
        step("notes", offer, Classification::ready),
        step("mcp", offer),
    }};
}

TEST(SetupWorkflowTest, ListsDomainsByPlacementInWorkflowOrder) {
    const auto workflow = mixedWorkflow();
    EXPECT_EQ(workflow.primaryDomainIDs(),
              (std::vector<std::string>{"clt", "homebrew", "shell-config", "git"}));
    EXPECT_EQ(workflow.offerDomainIDs(), (std::vector<std::string>{"warp", "notes", "mcp"}));
    EXPECT_EQ(workflow.optionalDomainIDs(), (std::vector<std::string>{"editor"}));
    EXPECT_EQ(workflow.placement("notes"), offer);
    EXPECT_EQ(workflow.placement("Notes"), std::nullopt);
    EXPECT_EQ(workflow.firstDomainID(), "clt");
    EXPECT_EQ(workflow.domainID("homebrew"), "warp");   // any placement follows
    EXPECT_EQ(workflow.domainID("mcp"), std::nullopt);  // the last step
    EXPECT_EQ(workflow.domainID("absent"), std::nullopt);
}

TEST(SetupWorkflowTest, EmptyWorkflowAnswersNothing) {
    const SetupWorkflow workflow;
    EXPECT_TRUE(workflow.primaryDomainIDs().empty());
    EXPECT_TRUE(workflow.offerDomainIDs().empty());
    EXPECT_TRUE(workflow.optionalDomainIDs().empty());
    EXPECT_EQ(workflow.firstDomainID(), std::nullopt);
    EXPECT_EQ(workflow.placement("clt"), std::nullopt);
    EXPECT_EQ(workflow.domainID("clt"), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary, "clt"), std::nullopt);
}

TEST(SetupWorkflowTest, DuplicateIdsUseTheFirstStep) {
    const SetupWorkflow workflow{
        {step("a", offer), step("b", primary), step("a", primary), step("c", optional)}};
    EXPECT_EQ(workflow.placement("a"), offer);
    EXPECT_EQ(workflow.domainID("a"), "b");
}

TEST(SetupWorkflowTest, NextStageSkipsReadyStagesWithinOnePlacement) {
    const auto workflow = mixedWorkflow();

    // Entering a placement: the first stage that is not ready (blocked and unknown count as needing action).
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary), "homebrew");
    EXPECT_EQ(workflow.nextDomainNeedingAction(offer), "warp");
    EXPECT_EQ(workflow.nextDomainNeedingAction(optional), "editor");

    // Continuing past a stage passes over ready ones and stays within the placement.
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary, "homebrew"), "git");
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary, "clt"), "homebrew");  // from a ready stage too
    EXPECT_EQ(workflow.nextDomainNeedingAction(offer, "warp"), "mcp");

    // The last stage of a placement, or only ready ones after it.
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary, "git"), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(offer, "mcp"), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(optional, "editor"), std::nullopt);

    // An id of another placement, or one not in the workflow, is not a starting point.
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary, "warp"), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(offer, "homebrew"), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary, "absent"), std::nullopt);
}

TEST(SetupWorkflowTest, NextStageIsNothingWhenEveryStageIsReady) {
    const SetupWorkflow workflow{{step("clt", primary, Classification::ready),
                                  step("homebrew", primary, Classification::ready), step("warp", offer)}};
    EXPECT_EQ(workflow.nextDomainNeedingAction(primary), std::nullopt);
    EXPECT_EQ(workflow.nextDomainNeedingAction(offer), "warp");
}

TEST(SetupWorkflowTest, StepsCompareByStageContent) {
    EXPECT_EQ(step("clt", primary), step("clt", primary));  // distinct objects, same content
    EXPECT_NE(step("clt", primary), step("clt", offer));
    EXPECT_NE(step("clt", primary), step("clt", primary, Classification::ready));
    EXPECT_NE(step("clt", primary), (WorkflowStep{nullptr, primary}));
    EXPECT_EQ((WorkflowStep{nullptr, primary}), (WorkflowStep{nullptr, primary}));
}

TEST(SetupProbeBundleTest, AllPrimaryToolLocationsAreUniqueAndSorted) {
    SetupProbeBundle bundle;
    EXPECT_TRUE(bundle.allPrimaryToolLocations().empty());
    bundle.pathVisiblePrimaryTools = {"/b", "/a"};
    bundle.installedPrimaryToolLocations = {"/a", "/c"};
    EXPECT_EQ(bundle.allPrimaryToolLocations(), (std::vector<std::string>{"/a", "/b", "/c"}));
    bundle.pathVisiblePrimaryTools = {"/opt/x", "/opt/x"};
    bundle.installedPrimaryToolLocations = {};
    EXPECT_EQ(bundle.allPrimaryToolLocations(), (std::vector<std::string>{"/opt/x"}));
}

TEST(SetupModelRawValuesTest, RoundTripAndRejectOtherSpellings) {
    for (auto value :
         {Classification::ready, Classification::fixable, Classification::blocked, Classification::unknown}) {
        EXPECT_EQ(fromRawSetupDiagnosisClassification(toRaw(value)), value);
    }
    for (auto value : {primary, offer, optional})
        EXPECT_EQ(fromRawDomainPlacement(toRaw(value)), value);
    for (auto value : {VerifyPolicy::localVerification, VerifyPolicy::installCompletion}) {
        EXPECT_EQ(fromRawVerifyPolicy(toRaw(value)), value);
    }
    for (auto value : {SetupFlow::diagnose, SetupFlow::setupWorkflow})
        EXPECT_EQ(fromRawSetupFlow(toRaw(value)), value);

    EXPECT_EQ(toRaw(offer), "offer");
    EXPECT_EQ(toRaw(VerifyPolicy::installCompletion), "installCompletion");
    EXPECT_EQ(fromRawDomainPlacement("Primary"), std::nullopt);
    EXPECT_EQ(fromRawDomainPlacement(""), std::nullopt);
    EXPECT_EQ(fromRawSetupDiagnosisClassification("READY"), std::nullopt);
}

}  // namespace
}  // namespace quill
