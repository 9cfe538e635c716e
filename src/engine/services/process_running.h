#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/core/environment.h"
#include "engine/core/result.h"
#include "engine/core/stream.h"
#include "engine/core/tagged_union.h"

namespace quill {

/// The error domain of the process service; the codes are `errno` values.
inline constexpr std::string_view kProcessErrorDomain = "ProcessRunner";

/// The error of a `run` whose child outlived its time limit.
inline Error processTimedOut(const std::string& executable) {
    return Error{std::string(kProcessErrorDomain), ETIMEDOUT, executable + " did not finish in time"};
}

/// The error of a `run` stopped through its stop token before its child finished.
inline Error processStopped(const std::string& executable) {
    return Error{std::string(kProcessErrorDomain), ECANCELED, executable + " was stopped"};
}

/// A finished child process.
struct ProcessResult {
    int exitCode = 0;     ///< the termination status; a child ended by a signal reports the signal's number
    std::string stdout_;  ///< everything written to standard output, as UTF-8; empty when not valid UTF-8
    std::string stderr_;  ///< the same for standard error

    bool operator==(const ProcessResult&) const = default;
};

/// The longest line a streamed child's output is handed out in: a longer one comes as several lines of at
/// most this many bytes, so a tool printing without line breaks cannot fill the memory.
inline constexpr std::size_t kMaximumOutputLineSize = std::size_t{64} * 1024;

/// The cases of `ProcessStreamEvent`.
struct ProcessStreamEventCases {
    /// One line of combined stdout and stderr, without its terminator; at most `kMaximumOutputLineSize`
    /// bytes.
    struct Line {
        std::string text;
        bool operator==(const Line&) const = default;
    };
    /// The child has ended with `code` (the signal's number when a signal ended it); the last event.
    struct Exited {
        int code = 0;
        bool operator==(const Exited&) const = default;
    };
    /// The child could not be started; the only event.
    struct FailedToStart {
        std::string message;
        bool operator==(const FailedToStart&) const = default;
    };
    using Case = std::variant<Line, Exited, FailedToStart>;
};

/// One event of a streamed child: output lines, then exactly one `Exited`; or exactly one `FailedToStart`.
struct ProcessStreamEvent : TaggedUnion<ProcessStreamEventCases> {
    using TaggedUnion::TaggedUnion;
};

/// Stops one running child. `cancel` is thread-safe and may be called any number of times.
class ProcessCancellation {
  public:
    virtual ~ProcessCancellation() = default;
    virtual void cancel() = 0;
    /// Once a canceled child's leader has ended, kills what is left of its process group at once instead of
    /// after the termination grace. Nothing for a handle that was not canceled or a leader still running.
    virtual void endCanceledGroup() {}
};

class LiveProcessCancellation;

/// Starts child processes. Implementations are stateless or thread-safe; any thread may call any operation.
class ProcessRunning {
  public:
    virtual ~ProcessRunning() = default;

    /// Runs `executable` with `arguments` to completion and returns its exit code and both outputs, read to
    /// their end. A missing `environment` means the child inherits ours; a given one replaces it entirely.
    /// Fails only when the child cannot be started, when it outlives `timeLimit` (it is then terminated,
    /// and the call fails with `processTimedOut`), or when `stop` is requested first (the child is then
    /// terminated, or never started, and the call fails with `processStopped`).
    /// Blocking.
    virtual Result<ProcessResult> run(const std::string& executable,
                                      const std::vector<std::string>& arguments,
                                      const std::optional<Environment>& environment = std::nullopt,
                                      std::optional<std::chrono::milliseconds> timeLimit = std::nullopt,
                                      std::stop_token stop = {}) const = 0;

    /// Starts the child now and streams its combined output line by line, then `Exited`. `handle` is
    /// attached to the child so that cancelling it terminates the child (or one that starts after the
    /// cancel). Ending the stream from the consumer side cancels `handle`.
    virtual Stream<ProcessStreamEvent> stream(const std::string& executable,
                                              const std::vector<std::string>& arguments,
                                              const std::optional<Environment>& environment,
                                              std::shared_ptr<LiveProcessCancellation> handle) const = 0;
};

}  // namespace quill
