#pragma once

#include <stop_token>

#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"
#include "engine/setup/setup_probe_bundle.h"

namespace quill {

/// A tool is present when it exists in a Homebrew bin folder, or else when the login shell finds it with
/// `command`.
struct ToolCheck {
    const char* name;
    const char* command;
};
inline constexpr ToolCheck kCodexTool{"codex", "command -v codex"};
inline constexpr ToolCheck kGitHubCLITool{"gh", "command -v gh"};

// The checks behind the Git, project and agent-note stages, shared by every product's prober. Each login
// shell is bounded by the login-shell limit and ends on a stop; one that cannot run reads as false. Blocking.

[[nodiscard]] bool toolPresent(const ShellRunner& shell, const FileSystemOperating& fs, const ToolCheck& tool,
                               std::stop_token stop = {});
/// Whether a global Git user name and e-mail are set. `git` is started only where a real one is installed.
[[nodiscard]] bool gitIdentitySet(const ShellRunner& shell, const FileSystemOperating& fs,
                                  std::stop_token stop = {});
/// Whether the GitHub CLI is signed in.
[[nodiscard]] bool gitHubSignedIn(const ShellRunner& shell, std::stop_token stop = {});
/// Whether the example project folder ~/Documents/AI-Simple-Project exists: the probe's rule, narrower than
/// the outcome page's `anyExampleProjectInDocuments`.
[[nodiscard]] bool exampleProjectExists(const FileSystemOperating& fs);

/// Fills the bundle's `ghPresent`, `gitIdentitySet`, `ghAuthed` (three login shells at once), `projectExists`
/// and `agentDocNeeded`, and nothing else of it, so other checks may fill the rest at the same time.
void probeWorkspace(const ShellRunner& shell, const FileSystemOperating& fs, SetupProbeBundle& bundle,
                    std::stop_token stop = {});

}  // namespace quill
