#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "engine/core/stream.h"
#include "engine/services/process_running.h"

namespace quill {

/// What a child's reader does when its stop is requested.
enum class ReadOnStop {
    /// Terminate the child (its whole process group) and go on reading until it has really ended. The
    /// reader returns only after the child, and kills what is left of its group once the child has ended,
    /// so nothing the child does outlives what the caller does next (removing an askpass folder, starting
    /// the next step). The process service bounds the wait: a child that ignores the request is killed after
    /// the service's termination grace.
    readToEnd,
    /// Return at once; the stream's end terminates the child and the process service kills it after the
    /// grace. Only for a child whose remaining output and status nobody uses and that holds nothing the
    /// caller cleans up: a browser sign-in the user has walked away from.
    returnAtOnce,
};

/// How a child ended, as its reader saw it.
struct ChildEnd {
    /// The child's status (a signal's number when a signal ended it); nothing when it did not start, or
    /// when the reader returned at a stop before the child's end.
    std::optional<int> exitCode;
    /// Why the child could not be started.
    std::optional<std::string> startFailure;
};

/// Reads `child`, started with `handle`, handing each output line to `onLine` (if set) as it comes.
///
/// Stop contract: `stop` cancels `handle`, which terminates the child; so does anyone else who cancels the
/// handle or a `CancellableProcess` it is registered in. Either way the reader then goes on by `onStop`:
/// by default it returns only once the child has ended. Blocking; call it from a task.
ChildEnd readChild(Stream<ProcessStreamEvent> child, ProcessCancellation& handle, const std::stop_token& stop,
                   const std::function<void(std::string)>& onLine, ReadOnStop onStop = ReadOnStop::readToEnd);

}  // namespace quill
