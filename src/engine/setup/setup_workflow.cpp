#include "engine/setup/setup_workflow.h"

#include <algorithm>

#include "engine/core/raw_value_table.h"

namespace quill {

namespace {

constexpr detail::RawValueTable<DomainPlacement, 3> kPlacements{{
    {DomainPlacement::primary, "primary"},
    {DomainPlacement::offer, "offer"},
    {DomainPlacement::optional, "optional"},
}};

constexpr detail::RawValueTable<SetupFlow, 2> kFlows{{
    {SetupFlow::diagnose, "diagnose"},
    {SetupFlow::setupWorkflow, "setupWorkflow"},
}};

// A step without a stage has no domain and matches no query.
bool hasDomain(const WorkflowStep& step, std::string_view domainID) {
    return step.stage && step.stage->domainID() == domainID;
}

}  // namespace

std::string_view toRaw(DomainPlacement placement) {
    return detail::rawValueOf(kPlacements, placement);
}

std::optional<DomainPlacement> fromRawDomainPlacement(std::string_view raw) {
    return detail::valueOfRaw(kPlacements, raw);
}

std::string_view toRaw(SetupFlow flow) {
    return detail::rawValueOf(kFlows, flow);
}

std::optional<SetupFlow> fromRawSetupFlow(std::string_view raw) {
    return detail::valueOfRaw(kFlows, raw);
}

bool WorkflowStep::operator==(const WorkflowStep& other) const {
    if (placement != other.placement)
        return false;
    if (!stage || !other.stage)
        return !stage && !other.stage;
    return stage->domainID() == other.stage->domainID() && stage->diagnosis() == other.stage->diagnosis() &&
           stage->actions() == other.stage->actions();
}

std::optional<DomainPlacement> SetupWorkflow::placement(std::string_view domainID) const {
    auto found =
        std::find_if(steps.begin(), steps.end(), [&](const auto& step) { return hasDomain(step, domainID); });
    if (found == steps.end())
        return std::nullopt;
    return found->placement;
}

std::vector<std::string> SetupWorkflow::domainIDs(DomainPlacement wanted) const {
    std::vector<std::string> ids;
    for (const auto& step : steps) {
        if (step.stage && step.placement == wanted)
            ids.push_back(step.stage->domainID());
    }
    return ids;
}

std::vector<std::string> SetupWorkflow::primaryDomainIDs() const {
    return domainIDs(DomainPlacement::primary);
}
std::vector<std::string> SetupWorkflow::offerDomainIDs() const {
    return domainIDs(DomainPlacement::offer);
}
std::vector<std::string> SetupWorkflow::optionalDomainIDs() const {
    return domainIDs(DomainPlacement::optional);
}

std::optional<std::string> SetupWorkflow::firstDomainID() const {
    if (steps.empty() || !steps.front().stage)
        return std::nullopt;
    return steps.front().stage->domainID();
}

std::optional<std::string> SetupWorkflow::domainID(std::string_view after) const {
    auto found =
        std::find_if(steps.begin(), steps.end(), [&](const auto& step) { return hasDomain(step, after); });
    if (found == steps.end() || std::next(found) == steps.end() || !std::next(found)->stage)
        return std::nullopt;
    return std::next(found)->stage->domainID();
}

std::optional<std::string> SetupWorkflow::nextDomainNeedingAction(
    DomainPlacement wanted, const std::optional<std::string>& after) const {
    std::vector<const SetupStage*> candidates;
    for (const auto& step : steps) {
        if (step.stage && step.placement == wanted)
            candidates.push_back(step.stage.get());
    }
    auto from = candidates.begin();
    if (after) {
        from = std::find_if(candidates.begin(), candidates.end(),
                            [&](const SetupStage* stage) { return stage->domainID() == *after; });
        if (from == candidates.end())
            return std::nullopt;
        ++from;
    }
    auto next = std::find_if(from, candidates.end(), [](const SetupStage* stage) {
        return stage->diagnosis().classification != SetupDiagnosisClassification::ready;
    });
    if (next == candidates.end())
        return std::nullopt;
    return (*next)->domainID();
}

}  // namespace quill
