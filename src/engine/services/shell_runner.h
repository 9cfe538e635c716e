#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/stream.h"
#include "engine/services/process_running.h"

namespace quill {

/// How long a probe may wait on a plain tool, and on a login shell (which first reads the user's start-up
/// files), before the probe counts as having found nothing. A hung tool thus never holds up a profile.
inline constexpr std::chrono::milliseconds kToolProbeTimeLimit{10'000};
inline constexpr std::chrono::milliseconds kLoginShellProbeTimeLimit{30'000};

/// One line of a command's output, or a line of the runner's own text.
struct Output {
    std::string text;
    bool operator==(const Output&) const = default;
};
/// The command ended with this status; the last event.
struct Completed {
    int exitCode = 0;
    bool operator==(const Completed&) const = default;
};
/// The command was canceled; reported by consumers that end a stream on the user's request.
struct Canceled {
    bool operator==(const Canceled&) const = default;
};
using StreamEvent = std::variant<Output, Completed, Canceled>;

/// The way probes, verifiers and the version-manager runners reach the process service: `run` passes a call
/// through; `stream` turns a child's events into output lines and one completion. Thread-safe.
struct ShellRunner {
    std::shared_ptr<const ProcessRunning> process;

    /// Starts `executable` now, inheriting our environment, and streams `Output` lines then `Completed`. A
    /// child that cannot start gives the line "Failed to start <executable>: <message>" and `Completed` -1.
    /// Ending the stream from the consumer side terminates the child; no `Completed` follows.
    [[nodiscard]] Stream<StreamEvent> stream(const std::string& executable,
                                             const std::vector<std::string>& arguments) const;

    /// The process service's `run`. Blocking.
    [[nodiscard]] Result<ProcessResult> run(
        const std::string& executable, const std::vector<std::string>& arguments,
        const std::optional<Environment>& environment = std::nullopt,
        std::optional<std::chrono::milliseconds> timeLimit = std::nullopt) const;
};

}  // namespace quill
