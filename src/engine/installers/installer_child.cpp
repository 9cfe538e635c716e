#include "engine/installers/installer_child.h"

#include <memory>
#include <variant>

#include "engine/core/text.h"

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
    auto child = process.stream(executable, arguments, environment, handle);
    InstallerChildOutcome outcome;
    while (auto event = child.next(stop)) {
        if (auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
            outcome.transcript += toLower(line->text);
            outcome.transcript += '\n';
            // Trimmed in large steps, so that a flood of short lines does not move the whole text each time.
            if (outcome.transcript.size() > 2 * kMaximumTranscriptSize)
                keepLastLines(outcome.transcript, kMaximumTranscriptSize);
            sink.yield(InstallerEvent::Output{std::move(line->text)});
        } else if (auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
            outcome.exitCode = exited->code;
        } else if (auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
            sink.yield(
                InstallerEvent::Output{"Failed to start " + std::string(what) + ": " + failed->message});
            outcome.failedToStart = true;
        }
    }
    child.cancel();
    keepLastLines(outcome.transcript, kMaximumTranscriptSize);
    return outcome;
}

}  // namespace quill
