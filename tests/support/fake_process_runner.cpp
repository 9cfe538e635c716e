#include "tests/support/fake_process_runner.h"

#include <cerrno>

#include "engine/core/task.h"

namespace quill::test {

void FakeProcessRunner::whenRun(Matcher matcher, Result<ProcessResult> result,
                                std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_runRules.push_back({std::move(matcher), std::move(result), delay});
}

void FakeProcessRunner::whenStream(Matcher matcher, std::vector<ProcessStreamEvent> events) {
    std::lock_guard lock(m_mutex);
    m_streamRules.push_back({std::move(matcher), std::move(events)});
}

FakeProcessRunner::Matcher FakeProcessRunner::exactly(std::string executable,
                                                      std::vector<std::string> arguments) {
    return [executable = std::move(executable), arguments = std::move(arguments)](const Call& call) {
        return call.executable == executable && call.arguments == arguments;
    };
}

FakeProcessRunner::Matcher FakeProcessRunner::scriptContaining(std::string fragment, std::string executable) {
    return [fragment = std::move(fragment), executable = std::move(executable)](const Call& call) {
        if (call.executable != executable)
            return false;
        for (const auto& argument : call.arguments) {
            if (argument.find(fragment) != std::string::npos)
                return true;
        }
        return false;
    };
}

FakeProcessRunner::Matcher FakeProcessRunner::anyCallTo(std::string executable) {
    return [executable = std::move(executable)](const Call& call) { return call.executable == executable; };
}

std::vector<FakeProcessRunner::Call> FakeProcessRunner::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

Error FakeProcessRunner::notFoundError(const std::string& /*executable*/) {
    return Error{std::string(kProcessErrorDomain), ENOENT, "No such file or directory"};
}

Result<ProcessResult> FakeProcessRunner::run(const std::string& executable,
                                             const std::vector<std::string>& arguments,
                                             const std::optional<Environment>& environment,
                                             std::optional<std::chrono::milliseconds> timeLimit,
                                             std::stop_token stop) const {
    const Call call{executable, arguments, environment, timeLimit, false};
    std::optional<RunRule> rule;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        for (auto it = m_runRules.rbegin(); it != m_runRules.rend(); ++it) {
            if (it->matcher(call)) {
                rule = *it;
                break;
            }
        }
    }
    if (!rule)
        return fail(notFoundError(executable));
    if (timeLimit && rule->delay > *timeLimit) {
        if (!sleepFor(*timeLimit, stop))
            return fail(processStopped(executable));
        return fail(processTimedOut(executable));
    }
    if (rule->delay.count() > 0 && !sleepFor(rule->delay, stop))
        return fail(processStopped(executable));
    return rule->result;
}

Stream<ProcessStreamEvent> FakeProcessRunner::stream(
    const std::string& executable, const std::vector<std::string>& arguments,
    const std::optional<Environment>& environment,
    std::shared_ptr<LiveProcessCancellation> /*handle*/) const {
    const Call call{executable, arguments, environment, std::nullopt, true};
    std::vector<ProcessStreamEvent> events = {ProcessStreamEvent::FailedToStart{"No such file or directory"}};
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        for (auto it = m_streamRules.rbegin(); it != m_streamRules.rend(); ++it) {
            if (it->matcher(call)) {
                events = it->events;
                break;
            }
        }
    }
    return finishedStream<ProcessStreamEvent>(
        [&events](const StreamSink<ProcessStreamEvent>& sink) { sink.yieldAll(std::move(events)); });
}

ProcessResult processResult(int code, std::string stdoutText, std::string stderrText) {
    return ProcessResult{code, std::move(stdoutText), std::move(stderrText)};
}

}  // namespace quill::test
