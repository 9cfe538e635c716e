#pragma once

#include <chrono>
#include <string>

#include "engine/services/process_running.h"

namespace quill {

/// What a login shell answered: `ok` when it exited 0 with some output; `output` is the trimmed standard
/// output, kept even when not ok.
struct LoginShellOutput {
    bool ok = false;
    std::string output;
    bool operator==(const LoginShellOutput&) const = default;
};

/// How long one login-shell question may take; one that runs longer reads as not found.
inline constexpr std::chrono::milliseconds kLoginShellTimeLimit{30'000};

/// Runs `commandLine` in a fresh login shell ("/bin/zsh" "-lc") with our environment. Never fails: a shell
/// that cannot start or runs out of time answers (false, ""). Blocking.
LoginShellOutput loginShellOutput(const ProcessRunning& process, const std::string& commandLine,
                                  std::chrono::milliseconds timeLimit = kLoginShellTimeLimit);

}  // namespace quill
