#include "engine/installers/installer_child.h"

#include <memory>

#include "engine/core/text.h"
#include "engine/services/child_reader.h"

namespace quill {

namespace {

/// Drops whole lines from the front of `transcript` until it holds at most `limit` bytes.
void keepLastLines(std::string& transcript, std::size_t limit) {
    if (transcript.size() <= limit)
        return;
    const std::size_t lineEnd = transcript.find('\n', transcript.size() - limit - 1);
    transcript.erase(0, lineEnd == std::string::npos ? transcript.size() - limit : lineEnd + 1);
}

}  // namespace

InstallerChildOutcome relayInstallerChild(const ProcessRunning& process, const std::string& executable,
                                          const std::vector<std::string>& arguments,
                                          const Environment& environment, CancellableProcess& holder,
                                          const StreamSink<InstallerEvent>& sink, const std::stop_token& stop,
                                          std::string_view what) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    holder.register_(handle);
    InstallerChildOutcome outcome;
    const ChildEnd end = readChild(
        process.stream(executable, arguments, environment, handle), *handle, stop, [&](std::string line) {
            outcome.transcript += toLower(line);
            outcome.transcript += '\n';
            // Trimmed in large steps, so that a flood of short lines does not
            // move the whole text each time.
            if (outcome.transcript.size() > 2 * kMaximumTranscriptSize)
                keepLastLines(outcome.transcript, kMaximumTranscriptSize);
            const std::size_t bytes = line.size();
            sink.yieldWithin(InstallerEvent::Output{std::move(line)}, bytes, kPendingOutput, stop);
        });
    if (end.startFailure) {
        sink.yield(ownLine("Failed to start " + std::string(what) + ": " + *end.startFailure));
        outcome.failedToStart = true;
    }
    outcome.exitCode = end.exitCode.value_or(-1);
    keepLastLines(outcome.transcript, kMaximumTranscriptSize);
    return outcome;
}

}  // namespace quill
