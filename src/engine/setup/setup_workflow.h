#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/setup/setup_stage.h"

namespace quill {

/// Where a stage sits in the flow: among the stages everyone walks through, behind the keep-going gate as an
/// offer, or as an optional extra.
enum class DomainPlacement { primary, offer, optional };

std::string_view toRaw(DomainPlacement placement);
/// The placement named exactly by `raw` (case matters); nothing for any other text.
std::optional<DomainPlacement> fromRawDomainPlacement(std::string_view raw);

/// Which flow the welcome screen's button starts.
enum class SetupFlow { diagnose, setupWorkflow };

std::string_view toRaw(SetupFlow flow);
std::optional<SetupFlow> fromRawSetupFlow(std::string_view raw);

/// One stage of a workflow and where it is placed. Steps compare by the stage's properties, not its identity.
struct WorkflowStep {
    std::shared_ptr<const SetupStage> stage;
    DomainPlacement placement = DomainPlacement::primary;

    bool operator==(const WorkflowStep& other) const;
};

/// A product's stages in the order the screens present them, with the queries the setup flow walks them by.
/// Domain ids compare by exact string equality; where two steps share an id, the first one counts.
struct SetupWorkflow {
    std::vector<WorkflowStep> steps;

    /// The placement of the first step with `domainID`; nothing when no step has it.
    [[nodiscard]] std::optional<DomainPlacement> placement(std::string_view domainID) const;

    /// The domain ids of the steps with one placement, in workflow order.
    [[nodiscard]] std::vector<std::string> primaryDomainIDs() const;
    [[nodiscard]] std::vector<std::string> offerDomainIDs() const;
    [[nodiscard]] std::vector<std::string> optionalDomainIDs() const;

    /// The first step's domain id; nothing for an empty workflow.
    [[nodiscard]] std::optional<std::string> firstDomainID() const;

    /// The domain id of the step right after the first step with `domainID`, whatever its placement; nothing
    /// when the id is absent or its step is the last.
    [[nodiscard]] std::optional<std::string> domainID(std::string_view after) const;

    /// The next stage to show among the steps placed `placement`: the first one after the step with `after`
    /// (from the first step of the placement when `after` is nothing) whose diagnosis is not `ready`. Nothing
    /// when every remaining step is ready, or when `after` is given but is not among that placement's steps.
    [[nodiscard]] std::optional<std::string> nextDomainNeedingAction(
        DomainPlacement placement, const std::optional<std::string>& after = std::nullopt) const;

    bool operator==(const SetupWorkflow&) const = default;

  private:
    [[nodiscard]] std::vector<std::string> domainIDs(DomainPlacement placement) const;
};

}  // namespace quill
