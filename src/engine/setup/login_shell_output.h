#pragma once

#include <chrono>
#include <stop_token>
#include <string>

#include "engine/services/process_running.h"
#include "engine/services/shell_runner.h"

namespace quill {

/// What a login shell answered: `ok` when it exited 0 with some output; `output` is the trimmed standard
/// output, kept even when not ok.
struct LoginShellOutput {
    bool ok = false;
    std::string output;
    bool operator==(const LoginShellOutput&) const = default;
};

/// Runs `commandLine` in a fresh login shell ("/bin/zsh" "-lc") with our environment. Never fails: a shell
/// that cannot start, runs out of time or is stopped through `stop` answers (false, ""). Blocking.
LoginShellOutput loginShellOutput(const ProcessRunning& process, const std::string& commandLine,
                                  std::chrono::milliseconds timeLimit = kLoginShellProbeTimeLimit,
                                  std::stop_token stop = {});

}  // namespace quill
