#pragma once

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/output_kind.h"
#include "engine/core/stream.h"
#include "engine/core/tagged_union.h"
#include "engine/services/process_running.h"

namespace quill {

/// How long a probe may wait on a plain tool, and on a login shell (which first reads the user's start-up
/// files), before the probe counts as having found nothing. A hung tool thus never holds up a profile.
inline constexpr std::chrono::milliseconds kToolProbeTimeLimit{10'000};
inline constexpr std::chrono::milliseconds kLoginShellProbeTimeLimit{30'000};

/// The time limits of a survey's probes; the defaults are the program's.
struct ProbeLimits {
    std::chrono::milliseconds tool = kToolProbeTimeLimit;
    std::chrono::milliseconds loginShell = kLoginShellProbeTimeLimit;
};

/// The cases of `StreamEvent`.
struct StreamEventCases {
    /// One line for the progress log: the child's line unchanged, or the runner's own text ("" is a blank
    /// separating line).
    struct Output {
        std::string text;
        OutputKind kind = OutputKind::tool;
        bool operator==(const Output&) const = default;
    };
    /// The run is over: 0 success, -1 nothing could be started, else the child's own status.
    struct Completed {
        int exitCode = 0;
        bool operator==(const Completed&) const = default;
    };
    /// The run was stopped, or the user refused a password dialog.
    struct Canceled {
        bool operator==(const Canceled&) const = default;
    };

    using Case = std::variant<Output, Completed, Canceled>;
};

/// One event of a command or installer run: output lines, then exactly one `Completed` or `Canceled` (unless
/// the consumer stopped listening first).
struct StreamEvent : TaggedUnion<StreamEventCases> {
    using TaggedUnion::TaggedUnion;
};

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
    [[nodiscard]] Result<ProcessResult> run(const std::string& executable,
                                            const std::vector<std::string>& arguments,
                                            const std::optional<Environment>& environment = std::nullopt,
                                            std::optional<std::chrono::milliseconds> timeLimit = std::nullopt,
                                            std::stop_token stop = {}) const;
};

}  // namespace quill
