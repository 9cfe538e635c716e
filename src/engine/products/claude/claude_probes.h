#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"
#include "engine/services/system_profile.h"
#include "engine/setup/setup_diagnosis.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/setup_workflow.h"

namespace quill {

/// What the Claude Code product learns of the Mac, and the workflow it builds from that. `probe` runs six
/// login-shell checks at once (each bounded by the login-shell limit) and a few file checks; it blocks and
/// never fails: a check that cannot run reads as nothing found. The workflow functions are pure apart from
/// reading the current configuration's wording. `fs` must outlive the value.
struct ClaudeProbes {
    ShellRunner shell;
    const FileSystemOperating& fs;
    /// Ends the running checks, which then read as nothing found.
    std::stop_token stop = {};

    /// Runs every check and packs the answers.
    [[nodiscard]] SetupProbeBundle probe() const;
    /// The places `claude` is commonly installed that hold something, in a fixed order: Homebrew on Apple
    /// silicon, Homebrew on Intel, ~/.local/bin, ~/.claude/local.
    [[nodiscard]] std::vector<std::string> claudeBinaryCandidates() const;

    /// The product's fourteen stages (thirteen on an Intel Mac, which gets no "codex" stage).
    static SetupWorkflow workflow(const SystemProfile& profile, const SetupProbeBundle& probes);
    /// The five primary stages that lead to a working Claude Code.
    static std::vector<WorkflowStep> primarySteps(const SystemProfile& profile,
                                                  const SetupProbeBundle& probes);
    /// One stage: its finding (`unknown` under its own id for a domain outside the workflow) and its fixes.
    static WorkflowStep step(const std::string& domainID, DomainPlacement placement,
                             const SystemProfile& profile, const SetupProbeBundle& probes);
    /// The finding of one of the workflow's domains; nothing for any other id.
    static std::optional<SetupDiagnosis> diagnosis(const std::string& domainID, const SystemProfile& profile,
                                                   const SetupProbeBundle& probes);
    /// Whether exactly one `claude` is installed and whether it runs: blocked for conflicting installs,
    /// fixable when it is missing, off the PATH or failing, ready when it answers.
    static SetupDiagnosis claudeCLIFinding(const SetupProbeBundle& probes);
    static SetupDiagnosis claudeDesktopFinding(const SystemProfile& profile);
};

}  // namespace quill
