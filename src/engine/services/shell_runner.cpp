#include "engine/services/shell_runner.h"

#include <stop_token>

#include "engine/core/task.h"
#include "engine/services/child_reader.h"
#include "engine/services/process_cancellation.h"

namespace quill {

Stream<StreamEvent> ShellRunner::stream(const std::string& executable,
                                        const std::vector<std::string>& arguments) const {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto child = std::make_shared<Stream<ProcessStreamEvent>>(
        process->stream(executable, arguments, std::nullopt, handle));
    return streamFromTask<StreamEvent>(
        [child, handle, executable](const StreamSink<StreamEvent>& sink, const std::stop_token& stop) {
            const ChildEnd end = readChild(std::move(*child), *handle, stop, [&](std::string line) {
                const std::size_t bytes = line.size();
                sink.yieldWithin(StreamEvent::Output{std::move(line)}, bytes, kPendingOutput, stop);
            });
            if (end.startFailure)
                sink.yield(StreamEvent::Output{"Failed to start " + executable + ": " + *end.startFailure,
                                               OutputKind::own});
            sink.yield(StreamEvent::Completed{end.exitCode.value_or(-1)});
        },
        [handle] { handle->cancel(); });
}

Result<ProcessResult> ShellRunner::run(const std::string& executable,
                                       const std::vector<std::string>& arguments,
                                       const std::optional<Environment>& environment,
                                       std::optional<std::chrono::milliseconds> timeLimit,
                                       std::stop_token stop) const {
    return process->run(executable, arguments, environment, timeLimit, std::move(stop));
}

}  // namespace quill
