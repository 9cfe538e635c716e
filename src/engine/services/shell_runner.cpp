#include "engine/services/shell_runner.h"

#include <stop_token>

#include "engine/core/task.h"
#include "engine/services/process_cancellation.h"

namespace quill {

Stream<StreamEvent> ShellRunner::stream(const std::string& executable,
                                        const std::vector<std::string>& arguments) const {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto inner = std::make_shared<Stream<ProcessStreamEvent>>(
        process->stream(executable, arguments, std::nullopt, handle));
    auto [sink, outer] = makeStream<StreamEvent>();
    auto pump = spawnTask([sink, inner, executable](std::stop_token stop) {
        while (auto event = inner->next(stop)) {
            if (auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
                sink.yield(StreamEvent::Output{std::move(line->text)});
            } else if (auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
                sink.yield(StreamEvent::Completed{exited->code});
                break;
            } else if (auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
                sink.yield(StreamEvent::Output{"Failed to start " + executable + ": " + failed->message});
                sink.yield(StreamEvent::Completed{-1});
                break;
            }
        }
        inner->cancel();
        sink.finish();
    });
    sink.onTermination([handle, pump] {
        handle->cancel();
        pump.cancel();
    });
    return std::move(outer);
}

Result<ProcessResult> ShellRunner::run(const std::string& executable,
                                       const std::vector<std::string>& arguments,
                                       const std::optional<Environment>& environment,
                                       std::optional<std::chrono::milliseconds> timeLimit,
                                       std::stop_token stop) const {
    return process->run(executable, arguments, environment, timeLimit, std::move(stop));
}

}  // namespace quill
