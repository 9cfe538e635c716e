#include "engine/products/claude/claude_probes.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/core/unicode_text.h"
#include "engine/installers/shell_configurator.h"
#include "engine/products/claude/claude_spine_provider.h"
#include "engine/products/login_shell_check.h"
#include "engine/products/spine_steps.h"
#include "engine/products/workspace_checks.h"
#include "engine/services/homebrew_paths.h"
#include "engine/setup/product_config.h"
#include "engine/setup/setup_remediation.h"
#include "engine/setup/shared_domain_copy.h"
#include "engine/setup/shared_domains.h"

namespace quill {

namespace {

using Classification = SetupDiagnosisClassification;

// The Claude stages whose findings are the shared-domain rules.
constexpr std::array<std::string_view, 9> kSharedFindingDomains{
    "codex", "project", "skills", "mcp", "editor", "shell-config", "languages", "agent-docs", "git"};

}  // namespace

std::vector<std::string> ClaudeProbes::claudeBinaryCandidates() const {
    const auto home = fs.homeDirectory();
    const std::array<std::string, 4> candidates{
        homebrewBinPath(kAppleSiliconHomebrewBin, "claude"), homebrewBinPath(kIntelHomebrewBin, "claude"),
        (home / ".local/bin/claude").string(), (home / ".claude/local/claude").string()};
    std::vector<std::string> found;
    for (const auto& path : candidates) {
        if (fs.fileExists(path))
            found.push_back(path);
    }
    return found;
}

SetupProbeBundle ClaudeProbes::probe() const {
    SetupProbeBundle bundle;
    runConcurrently(
        [&] {
            const auto run = runLoginShellCheck(shell, "/usr/bin/which -a claude", stop);
            if (!run || run->exitCode != 0)
                return;
            for (const auto& line : nonEmptyLines(run->stdout_)) {
                if (auto path = trimWhitespaceAndNewlines(line); !path.empty())
                    bundle.pathVisiblePrimaryTools.push_back(std::move(path));
            }
        },
        [&] {
            const auto run = runLoginShellCheck(shell, "claude --version 2>&1", stop);
            if (!run) {
                bundle.versionExitCode = -1;
                return;
            }
            if (auto output = trimWhitespaceAndNewlines(run->stdout_); !output.empty())
                bundle.versionOutput = std::move(output);
            bundle.versionExitCode = run->exitCode;
        },
        [&] { bundle.companionToolPresent = toolPresent(shell, fs, kCodexTool, stop); },
        [&] { probeWorkspace(shell, fs, bundle, stop); },
        [&] {
            bundle.installedPrimaryToolLocations = claudeBinaryCandidates();
            bundle.shellConfigured = ShellConfigurator::isConfigured(fs);
        });
    return bundle;
}

// Each text stays one whole literal, as people read it.
// clang-format off
SetupDiagnosis ClaudeProbes::claudeCLIFinding(const SetupProbeBundle& probes) {
    const auto locations = probes.allPrimaryToolLocations();
    if (locations.size() >= 2) {
        return {"More than one `claude` command found",
                "We found multiple `claude` installs (" + join(locations, ", ") + "). To avoid breaking a setup you rely on, we won't remove anything automatically. Recommended: keep the Homebrew-managed one and remove the others, then make sure Homebrew's bin directory comes first on your PATH.",
                Classification::blocked};
    }
    if (locations.empty()) {
        return {"Claude Code CLI isn't installed",
                "We'll install it via Homebrew (`" + std::string(packages::kClaudeCodeCask) + "`) and verify `claude --version` runs.",
                Classification::fixable};
    }
    if (!probes.pathVisiblePrimaryTools.empty()) {
        if (probes.versionExitCode == 0 && probes.versionOutput)
            return {"Claude Code CLI is ready", "`claude` runs: " + *probes.versionOutput, Classification::ready};
        return {"Claude Code CLI needs attention",
                "`claude` is on your PATH but didn't run cleanly. We'll (re)install it via Homebrew.",
                Classification::fixable};
    }
    const std::string& location = probes.installedPrimaryToolLocations.empty()
                                      ? locations.front()
                                      : probes.installedPrimaryToolLocations.front();
    return {"Claude Code is installed but not on your PATH",
            "`claude` exists at " + location + " but your shell can't find it. We'll add it to your PATH (after backing up `~/.zprofile`).",
            Classification::fixable};
}

SetupDiagnosis ClaudeProbes::claudeDesktopFinding(const SystemProfile& profile) {
    if (profile.aiTooling.claudeCodeDesktop) {
        return {"Claude Desktop is installed",
                "The Claude desktop app is present (its Code tab is Claude Code with a GUI).",
                Classification::ready};
    }
    return {"Claude Desktop isn't installed",
            "We'll install the Claude desktop app via Homebrew (`" + std::string(packages::kClaudeDesktopCask) + "` cask).",
            Classification::fixable};
}
// clang-format on

std::optional<SetupDiagnosis> ClaudeProbes::diagnosis(const std::string& domainID,
                                                      const SystemProfile& profile,
                                                      const SetupProbeBundle& probes) {
    const auto config = ProductConfig::current();
    const SharedDomainCopy& copy = config->sharedDomainCopy;
    if (domainID == "clt")
        return SharedDomainCopy::cltDiagnosis(profile, copy);
    if (domainID == "homebrew")
        return SharedDomainCopy::homebrewDiagnosis(profile, copy);
    if (domainID == "claude-cli")
        return claudeCLIFinding(probes);
    if (domainID == "warp") {
        if (profile.terminals.warp || profile.aiTooling.warpApp)
            return SetupDiagnosis{copy.warpReady.headline, copy.warpReady.detail, Classification::ready};
        return SetupDiagnosis{copy.warpFixable.headline, copy.warpFixable.detail, Classification::fixable};
    }
    if (domainID == "claude-desktop")
        return claudeDesktopFinding(profile);
    if (std::find(kSharedFindingDomains.begin(), kSharedFindingDomains.end(), domainID) !=
        kSharedFindingDomains.end())
        return sharedDomainDiagnosis(domainID, profile, probes);
    return std::nullopt;
}

WorkflowStep ClaudeProbes::step(const std::string& domainID, DomainPlacement placement,
                                const SystemProfile& profile, const SetupProbeBundle& probes) {
    auto found = diagnosis(domainID, profile, probes);
    return workflowStep(domainID, found ? std::move(*found) : unknownDomainDiagnosis(domainID),
                        ClaudeSpineProvider::fixes(domainID, profile, probes), placement);
}

std::vector<WorkflowStep> ClaudeProbes::primarySteps(const SystemProfile& profile,
                                                     const SetupProbeBundle& probes) {
    std::vector<WorkflowStep> steps;
    for (const char* domain : {"clt", "homebrew", "claude-cli", "warp", "claude-desktop"})
        steps.push_back(step(domain, DomainPlacement::primary, profile, probes));
    return steps;
}

SetupWorkflow ClaudeProbes::workflow(const SystemProfile& profile, const SetupProbeBundle& probes) {
    SetupWorkflow workflow{primarySteps(profile, probes)};
    const auto append = [&](const char* domain, DomainPlacement placement) {
        workflow.steps.push_back(step(domain, placement, profile, probes));
    };
    if (profile.architecture != Architecture::intel)
        append("codex", DomainPlacement::primary);
    for (const char* domain : {"project", "skills", "mcp"})
        append(domain, DomainPlacement::offer);
    for (const char* domain : {"editor", "shell-config", "languages", "agent-docs", "git"})
        append(domain, DomainPlacement::optional);
    return workflow;
}

}  // namespace quill
