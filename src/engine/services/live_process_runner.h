#pragma once

#include "engine/services/child_process.h"
#include "engine/services/process_cancellation.h"
#include "engine/services/process_running.h"

namespace quill {

/// The live `ProcessRunning`: starts each child with posix_spawn in a process group of its own, standard
/// input from /dev/null, and reads its output to the end (allowing the exit grace after the child's exit for
/// a grandchild that still holds the pipe). A terminated group that is still alive after the termination
/// grace is killed. Immutable; any thread may call it.
class LiveProcessRunner final : public ProcessRunning {
  public:
    /// How long output is still read after the child has exited while something else keeps the pipe open.
    static constexpr std::chrono::milliseconds kExitGrace{2000};

    /// The runner's waits; the defaults are the program's.
    struct Options {
        /// How long a terminated group may take to end before it is killed.
        std::chrono::milliseconds terminationGrace = ChildProcess::kTerminationGrace;
        /// How long output is still read after the child's exit while something else holds the pipe.
        std::chrono::milliseconds exitGrace = kExitGrace;
    };

    LiveProcessRunner() = default;
    explicit LiveProcessRunner(Options options) : m_options(options) {}

    /// Blocks until the child exits and both outputs are read; drains both pipes at once, so a child writing
    /// much to both never stalls. Past `timeLimit` the child's group is terminated and the call fails with
    /// `processTimedOut`; once `stop` is requested it is terminated and the call fails with `processStopped`.
    Result<ProcessResult> run(const std::string& executable, const std::vector<std::string>& arguments,
                              const std::optional<Environment>& environment = std::nullopt,
                              std::optional<std::chrono::milliseconds> timeLimit = std::nullopt,
                              std::stop_token stop = {}) const override;

    /// Starts the child before returning; one task reads the combined output into lines (a long one in
    /// pieces of `kMaximumOutputLineSize`) and yields `ProcessStreamEvent::Exited` after the last line. It
    /// reads on only once the consumer has taken the lines before, so a slow consumer slows the child down.
    Stream<ProcessStreamEvent> stream(const std::string& executable,
                                      const std::vector<std::string>& arguments,
                                      const std::optional<Environment>& environment,
                                      std::shared_ptr<LiveProcessCancellation> handle) const override;

  private:
    Options m_options;
};

}  // namespace quill
