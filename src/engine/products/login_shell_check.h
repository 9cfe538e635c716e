#pragma once

#include <string>

#include "engine/services/login_shell.h"
#include "engine/services/shell_runner.h"

namespace quill {

/// Runs `commandLine` in a fresh login shell ("/bin/zsh" "-lc", our environment) for a prober or verifier.
/// The run is bounded by the login-shell probe limit: a shell whose start-up files hang fails like one that
/// cannot start, so the check reads as not found instead of freezing the flow; a stop ends it at once, its
/// process group with it, as a failure. Blocking.
inline Result<ProcessResult> runLoginShellCheck(const ShellRunner& shell, const std::string& commandLine,
                                                std::stop_token stop = {}) {
    return runInLoginShell(*shell.process, commandLine, kLoginShellProbeTimeLimit, std::move(stop));
}

}  // namespace quill
