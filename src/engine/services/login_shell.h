#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/services/process_running.h"

namespace quill {

/// The user's login shell, which reads their start-up files, so a command sees the setup a new Terminal
/// window would.
inline constexpr char kLoginShell[] = "/bin/zsh";

/// The login shell's arguments that run `commandLine`.
inline std::vector<std::string> loginShellArguments(const std::string& commandLine) {
    return {"-lc", commandLine};
}

/// Runs `commandLine` in a fresh login shell with our environment; `ProcessRunning::run`'s contract.
inline Result<ProcessResult> runInLoginShell(
    const ProcessRunning& process, const std::string& commandLine,
    std::optional<std::chrono::milliseconds> timeLimit = std::nullopt, std::stop_token stop = {}) {
    return process.run(kLoginShell, loginShellArguments(commandLine), std::nullopt, timeLimit,
                       std::move(stop));
}

/// Streams `commandLine` in a fresh login shell with our environment; `ProcessRunning::stream`'s contract.
inline Stream<ProcessStreamEvent> streamInLoginShell(const ProcessRunning& process,
                                                     const std::string& commandLine,
                                                     std::shared_ptr<LiveProcessCancellation> handle) {
    return process.stream(kLoginShell, loginShellArguments(commandLine), std::nullopt, std::move(handle));
}

}  // namespace quill
