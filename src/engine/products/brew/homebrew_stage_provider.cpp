#include "engine/products/brew/homebrew_stage_provider.h"

#include <array>

#include "engine/products/brew/homebrew_location.h"
#include "engine/products/spine_steps.h"
#include "engine/setup/product_config.h"
#include "engine/setup/shared_domains.h"

namespace quill {

namespace {

using Classification = SetupDiagnosisClassification;

constexpr std::array<std::string_view, 3> kBrewPrimary{"clt", "homebrew", "warp"};
constexpr std::array<std::string_view, 8> kBrewLaterOptional{
    "project", "skills", "mcp", "editor", "shell-config", "languages", "agent-docs", "git"};
constexpr std::array<std::string_view, 4> kCliPrimary{"clt", "shell-config", "homebrew", "warp"};
constexpr std::array<std::string_view, 8> kCliLaterOptional{"project", "skills",    "mcp",        "editor",
                                                            "notes",   "languages", "agent-docs", "git"};

bool hasWarp(const SystemProfile& profile) {
    return profile.terminals.warp || profile.aiTooling.warpApp;
}

}  // namespace

SetupDiagnosis HomebrewStageProvider::finding(const std::string& domainID, const SystemProfile& profile,
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

std::vector<SetupRemediation> HomebrewStageProvider::fixes(const std::string& domainID,
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

std::shared_ptr<const HomebrewStageProvider> HomebrewStageProvider::brew() {
    return std::shared_ptr<const HomebrewStageProvider>(
        new HomebrewStageProvider(kBrewPrimary, kBrewLaterOptional));
}

std::shared_ptr<const HomebrewStageProvider> HomebrewStageProvider::cli() {
    return std::shared_ptr<const HomebrewStageProvider>(
        new HomebrewStageProvider(kCliPrimary, kCliLaterOptional));
}

std::optional<SetupWorkflow> HomebrewStageProvider::workflow(
    const std::optional<std::string>& preset, const SystemProfile& profile, const SetupProbeBundle& probes,
    const SpineWorkflowSelection& /*selection*/) const {
    if (preset)
        return std::nullopt;
    SetupWorkflow workflow;
    const auto append = [&](std::string_view domain, DomainPlacement placement) {
        const std::string id(domain);
        workflow.steps.push_back(
            workflowStep(id, finding(id, profile, probes), fixes(id, profile, probes), placement));
    };
    for (const auto domain : m_primary)
        append(domain, DomainPlacement::primary);
    append("ai-claude", DomainPlacement::optional);
    if (profile.architecture != Architecture::intel)
        append("codex", DomainPlacement::optional);
    for (const auto domain : m_laterOptional)
        append(domain, DomainPlacement::optional);
    return workflow;
}

std::vector<SetupRemediation> HomebrewStageProvider::remediations(const std::string& domainID,
                                                                  const SystemProfile& profile,
                                                                  const SetupProbeBundle& probes) const {
    return fixes(domainID, profile, probes);
}

}  // namespace quill
