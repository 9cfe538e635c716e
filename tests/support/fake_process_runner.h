#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/services/process_running.h"

namespace quill::test {

/// A `ProcessRunning` that starts nothing: it records every call and answers from scripted rules, first match
/// wins (later rules are tried first, so a test can override a default). Unmatched `run` calls fail as a
/// missing executable does; unmatched `stream` calls yield one `ProcessStreamEvent::FailedToStart`.
/// Thread-safe.
class FakeProcessRunner : public ProcessRunning {
  public:
    struct Call {
        std::string executable;
        std::vector<std::string> arguments;
        std::optional<Environment> environment;
        std::optional<std::chrono::milliseconds> timeLimit;
        bool streamed = false;
    };
    using Matcher = std::function<bool(const Call&)>;

    /// `run` calls matching `matcher` answer `result` after `delay` (a delay past the call's time limit
    /// answers `processTimedOut` instead, after the limit; a stop during the delay answers `processStopped`).
    void whenRun(Matcher matcher, Result<ProcessResult> result,
                 std::chrono::milliseconds delay = std::chrono::milliseconds{0});
    /// `stream` calls matching `matcher` yield `events` (then end).
    void whenStream(Matcher matcher, std::vector<ProcessStreamEvent> events);

    /// Matches an exact executable and argument list.
    static Matcher exactly(std::string executable, std::vector<std::string> arguments);
    /// Matches an executable whose arguments include one that contains `fragment` (handy for `zsh -lc`
    /// scripts).
    static Matcher scriptContaining(std::string fragment, std::string executable = "/bin/zsh");
    /// Matches every call to `executable`.
    static Matcher anyCallTo(std::string executable);

    [[nodiscard]] std::vector<Call> calls() const;

    Result<ProcessResult> run(const std::string& executable, const std::vector<std::string>& arguments,
                              const std::optional<Environment>& environment = std::nullopt,
                              std::optional<std::chrono::milliseconds> timeLimit = std::nullopt,
                              std::stop_token stop = {}) const override;
    Stream<ProcessStreamEvent> stream(const std::string& executable,
                                      const std::vector<std::string>& arguments,
                                      const std::optional<Environment>& environment,
                                      std::shared_ptr<LiveProcessCancellation> handle) const override;

    /// The error that `run` answers for an unmatched call: the live runner's for a missing executable.
    static Error notFoundError(const std::string& executable);

  private:
    struct RunRule {
        Matcher matcher;
        Result<ProcessResult> result;
        std::chrono::milliseconds delay;
    };
    struct StreamRule {
        Matcher matcher;
        std::vector<ProcessStreamEvent> events;
    };

    mutable std::mutex m_mutex;
    std::vector<RunRule> m_runRules;
    std::vector<StreamRule> m_streamRules;
    mutable std::vector<Call> m_calls;
};

/// A finished child with exit code `code` and the given outputs.
ProcessResult processResult(int code, std::string stdoutText = {}, std::string stderrText = {});

}  // namespace quill::test
