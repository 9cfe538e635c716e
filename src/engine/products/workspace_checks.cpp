#include "engine/products/workspace_checks.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/installers/agent_env_doc.h"
#include "engine/products/login_shell_check.h"
#include "engine/services/homebrew_paths.h"

namespace quill {

bool toolPresent(const ShellRunner& shell, const FileSystemOperating& fs, const ToolCheck& tool,
                 std::stop_token stop) {
    if (homebrewTool(fs, tool.name, HomebrewToolCheck::exists))
        return true;
    const auto run = runLoginShellCheck(shell, tool.command, std::move(stop));
    return run && run->exitCode == 0 && !trimWhitespaceAndNewlines(run->stdout_).empty();
}

// Without the Command Line Tools, Xcode or a Homebrew git, `git` is Apple's stub that opens an install
// dialog, so it is not started at all.
bool gitIdentitySet(const ShellRunner& shell, const FileSystemOperating& fs, std::stop_token stop) {
    const std::array<std::string, 4> realGit{"/Library/Developer/CommandLineTools", "/Applications/Xcode.app",
                                             homebrewBinPath(kAppleSiliconHomebrewBin, "git"),
                                             homebrewBinPath(kIntelHomebrewBin, "git")};
    const bool hasGit = std::any_of(realGit.begin(), realGit.end(),
                                    [&](const std::string& path) { return fs.fileExists(path); });
    if (!hasGit)
        return false;
    const auto run = runLoginShellCheck(
        shell,
        "git config --global --get user.name >/dev/null && git config --global --get user.email >/dev/null",
        std::move(stop));
    return run && run->exitCode == 0;
}

bool gitHubSignedIn(const ShellRunner& shell, std::stop_token stop) {
    const auto run = runLoginShellCheck(shell, "gh auth status", std::move(stop));
    return run && run->exitCode == 0;
}

bool exampleProjectExists(const FileSystemOperating& fs) {
    return fs.fileExists(fs.homeDirectory() / "Documents/AI-Simple-Project");
}

void probeWorkspace(const ShellRunner& shell, const FileSystemOperating& fs, SetupProbeBundle& bundle,
                    std::stop_token stop) {
    runConcurrently([&] { bundle.ghPresent = toolPresent(shell, fs, kGitHubCLITool, stop); },
                    [&] { bundle.gitIdentitySet = gitIdentitySet(shell, fs, stop); },
                    [&] { bundle.ghAuthed = gitHubSignedIn(shell, stop); },
                    [&] {
                        bundle.projectExists = exampleProjectExists(fs);
                        bundle.agentDocNeeded = AgentEnvDoc(fs).isNeeded();
                    });
}

}  // namespace quill
