#include "engine/products/claude/claude_spine_provider.h"

#include <filesystem>

#include "engine/products/claude/claude_probes.h"
#include "engine/setup/product_config.h"
#include "engine/setup/shared_domains.h"

namespace quill {

namespace {

bool isFixable(const SetupDiagnosis& diagnosis) {
    return diagnosis.classification == SetupDiagnosisClassification::fixable;
}

}  // namespace

std::vector<SetupRemediation> ClaudeSpineProvider::fixes(const std::string& domainID,
                                                         const SystemProfile& profile,
                                                         const SetupProbeBundle& probes) {
    if (isSharedDomain(domainID))
        return sharedDomainRemediations(domainID, profile, probes);
    if (domainID == "clt" || domainID == "homebrew") {
        const auto config = ProductConfig::current();
        const bool clt = domainID == "clt";
        const auto found = clt ? SharedDomainCopy::cltDiagnosis(profile, config->sharedDomainCopy)
                               : SharedDomainCopy::homebrewDiagnosis(profile, config->sharedDomainCopy);
        if (!isFixable(found))
            return {};
        return {clt ? SetupRemediation::installCommandLineTools() : SetupRemediation::installHomebrew()};
    }
    if (domainID == "claude-cli") {
        if (!isFixable(ClaudeProbes::claudeCLIFinding(probes)))
            return {};
        if (probes.pathVisiblePrimaryTools.empty() && !probes.installedPrimaryToolLocations.empty()) {
            const std::filesystem::path installed = probes.installedPrimaryToolLocations.front();
            return {SetupRemediation::repairPath(installed.parent_path().string())};
        }
        return {SetupRemediation::installClaudeCLI()};
    }
    if (domainID == "warp") {
        if (profile.terminals.warp || profile.aiTooling.warpApp)
            return {};
        return {SetupRemediation::installWarp()};
    }
    if (domainID == "claude-desktop" && isFixable(ClaudeProbes::claudeDesktopFinding(profile)))
        return {SetupRemediation::installClaudeDesktop()};
    return {};
}

std::optional<SetupWorkflow> ClaudeSpineProvider::workflow(
    const std::optional<std::string>& preset, const SystemProfile& profile, const SetupProbeBundle& probes,
    const SpineWorkflowSelection& /*selection*/) const {
    if (preset)
        return std::nullopt;
    return ClaudeProbes::workflow(profile, probes);
}

std::vector<SetupRemediation> ClaudeSpineProvider::remediations(const std::string& domainID,
                                                                const SystemProfile& profile,
                                                                const SetupProbeBundle& probes) const {
    return fixes(domainID, profile, probes);
}

}  // namespace quill
