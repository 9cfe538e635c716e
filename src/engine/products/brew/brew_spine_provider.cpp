#include "engine/products/brew/brew_spine_provider.h"

#include <array>

#include "engine/products/brew/homebrew_location.h"
#include "engine/products/spine_steps.h"
#include "engine/setup/product_config.h"
#include "engine/setup/shared_domains.h"

namespace quill {

namespace {

using Classification = SetupDiagnosisClassification;

constexpr std::array<std::string_view, 3> kPrimary{"clt", "homebrew", "warp"};
constexpr std::array<std::string_view, 8> kLaterOptional{"project",      "skills",    "mcp",        "editor",
                                                         "shell-config", "languages", "agent-docs", "git"};

bool hasWarp(const SystemProfile& profile) {
    return profile.terminals.warp || profile.aiTooling.warpApp;
}

}  // namespace

SetupDiagnosis BrewSpineProvider::finding(const std::string& domainID, const SystemProfile& profile,
                                          const SetupProbeBundle& probes) {
    const auto config = ProductConfig::current();
    const SharedDomainCopy& copy = config->sharedDomainCopy;
    if (domainID == "clt")
        return SharedDomainCopy::cltDiagnosis(profile, copy);
    if (domainID == "homebrew") {
        auto found = homebrewLocationFinding(copy, homebrewLocationStatus(profile, probes));
        return SetupDiagnosis{std::move(found.headline), std::move(found.detail),
                              found.needsFix ? Classification::fixable : Classification::ready};
    }
    if (domainID == "warp") {
        return hasWarp(profile)
                   ? SetupDiagnosis{copy.warpReady.headline, copy.warpReady.detail, Classification::ready}
                   : SetupDiagnosis{copy.warpFixable.headline, copy.warpFixable.detail,
                                    Classification::fixable};
    }
    if (auto shared = sharedDomainDiagnosis(domainID, profile, probes))
        return std::move(*shared);
    return unknownDomainDiagnosis(domainID);
}

std::vector<SetupRemediation> BrewSpineProvider::fixes(const std::string& domainID,
                                                       const SystemProfile& profile,
                                                       const SetupProbeBundle& probes) {
    if (domainID == "homebrew") {
        switch (homebrewLocationStatus(profile, probes)) {
            case HomebrewLocationStatus::ready:
            case HomebrewLocationStatus::twoPlaces:
                return {};
            case HomebrewLocationStatus::notOnPath:
                return {SetupRemediation::repairHomebrewPath()};
            case HomebrewLocationStatus::intelLocationOnAppleSilicon:
            case HomebrewLocationStatus::notInstalled:
                return {SetupRemediation::installHomebrew()};
        }
    }
    const auto fixableThen = [&](SetupRemediation fix) -> std::vector<SetupRemediation> {
        if (finding(domainID, profile, probes).classification == Classification::fixable)
            return {std::move(fix)};
        return {};
    };
    if (domainID == "clt")
        return fixableThen(SetupRemediation::installCommandLineTools());
    if (domainID == "warp")
        return fixableThen(SetupRemediation::installWarp());
    return sharedDomainRemediations(domainID, profile, probes);
}

SetupWorkflow homebrewProberWorkflow(std::span<const std::string_view> primary,
                                     std::span<const std::string_view> laterOptional,
                                     const SystemProfile& profile, const SetupProbeBundle& probes) {
    SetupWorkflow workflow;
    const auto append = [&](std::string_view domain, DomainPlacement placement) {
        const std::string id(domain);
        workflow.steps.push_back(workflowStep(id, BrewSpineProvider::finding(id, profile, probes),
                                              BrewSpineProvider::fixes(id, profile, probes), placement));
    };
    for (const auto domain : primary)
        append(domain, DomainPlacement::primary);
    append("ai-claude", DomainPlacement::optional);
    if (profile.architecture != Architecture::intel)
        append("codex", DomainPlacement::optional);
    for (const auto domain : laterOptional)
        append(domain, DomainPlacement::optional);
    return workflow;
}

std::optional<SetupWorkflow> BrewSpineProvider::workflow(const std::optional<std::string>& preset,
                                                         const SystemProfile& profile,
                                                         const SetupProbeBundle& probes,
                                                         const SpineWorkflowSelection& /*selection*/) const {
    if (preset)
        return std::nullopt;
    return homebrewProberWorkflow(kPrimary, kLaterOptional, profile, probes);
}

std::vector<SetupRemediation> BrewSpineProvider::remediations(const std::string& domainID,
                                                              const SystemProfile& profile,
                                                              const SetupProbeBundle& probes) const {
    return fixes(domainID, profile, probes);
}

}  // namespace quill
