#include "engine/services/child_reader.h"

#include <variant>

#include "engine/core/overloaded.h"

namespace quill {

ChildEnd readChild(Stream<ProcessStreamEvent> child, ProcessCancellation& handle, const std::stop_token& stop,
                   const std::function<void(std::string)>& onLine, ReadOnStop onStop) {
    const std::stop_callback terminate(stop, [&handle] { handle.cancel(); });
    // Reading to the end ignores the stop: the child's own end is what ends the read.
    const std::stop_token readStop = onStop == ReadOnStop::returnAtOnce ? stop : std::stop_token();
    ChildEnd end;
    while (auto event = child.next(readStop)) {
        std::visit(Overloaded{
                       [&](ProcessStreamEvent::Line& line) {
                           if (onLine)
                               onLine(std::move(line.text));
                       },
                       [&](ProcessStreamEvent::Exited& exited) { end.exitCode = exited.code; },
                       [&](ProcessStreamEvent::FailedToStart& failed) {
                           end.startFailure = std::move(failed.message);
                       },
                   },
                   event->value);
    }
    // The leader has ended; a grandchild that ignored the terminate request must not outlive the read.
    if (onStop == ReadOnStop::readToEnd)
        handle.endCanceledGroup();
    return end;
}

}  // namespace quill
