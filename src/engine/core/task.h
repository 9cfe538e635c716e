#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <utility>
#include <vector>

#include "engine/core/stream.h"

namespace quill {

namespace detail {
struct TaskState;
}

/// A handle on a task started by `spawnTask`. Copyable; dropping every handle does not stop the task.
class TaskHandle {
  public:
    TaskHandle() = default;

    /// Requests stop; the task sees it through its `std::stop_token`. Safe from any thread, any number of
    /// times.
    void cancel() const;
    [[nodiscard]] bool isCanceled() const;
    [[nodiscard]] bool isFinished() const;
    /// Waits until the task has returned or `timeout` has passed; true when it returned.
    bool waitFor(std::chrono::milliseconds timeout) const;
    /// Waits until the task has returned. Must not be called from the task itself.
    void wait() const;

  private:
    friend TaskHandle spawnTask(std::function<void(std::stop_token)> body);
    explicit TaskHandle(std::shared_ptr<detail::TaskState> state) : m_state(std::move(state)) {}

    std::shared_ptr<detail::TaskState> m_state;
};

/// Starts `body` on a thread of its own and returns at once. The body owns what it captures; it must capture
/// shared ownership (or copies) of everything it touches. Every task is known to the `TaskTracker`.
TaskHandle spawnTask(std::function<void(std::stop_token)> body);

/// The process-wide registry of running tasks, so that closing the window can stop them all.
class TaskTracker {
  public:
    /// Requests stop on every running task and waits up to `timeout` for them to return. True when all did.
    static bool stopAll(std::chrono::milliseconds timeout);
    /// The number of tasks still running.
    static std::size_t runningCount();
};

/// Sleeps for `duration`, or until `stop` is requested; true when the whole duration passed.
bool sleepFor(std::chrono::nanoseconds duration, const std::stop_token& stop);

/// Runs every child concurrently, one thread each, and returns when all have returned.
void runConcurrently(std::vector<std::function<void()>> children);

template <class... F>
void runConcurrently(F&&... children) {
    std::vector<std::function<void()>> list;
    list.reserve(sizeof...(children));
    (list.emplace_back(std::forward<F>(children)), ...);
    runConcurrently(std::move(list));
}

/// Runs `body(sink, stop)` in a task of its own that feeds a new stream, and returns the stream at once. The
/// stream finishes when the body returns. When the stream ends from either side, `onEnd` runs (once, where
/// a producer cancels what its stop token cannot reach, such as the holder of its child processes) and the
/// task is asked to stop. The body owns what it captures, as with `spawnTask`.
template <class T, class Body>
Stream<T> streamFromTask(Body body, std::function<void()> onEnd = {}) {
    auto [sink, stream] = makeStream<T>();
    auto task = spawnTask([sink, body = std::move(body)](std::stop_token stop) mutable {
        body(std::as_const(sink), std::move(stop));
        sink.finish();
    });
    sink.onTermination([task, onEnd = std::move(onEnd)] {
        if (onEnd)
            onEnd();
        task.cancel();
    });
    return std::move(stream);
}

/// A stream already finished, holding what `produce(sink)` yields on this thread before it returns.
template <class T, class Produce>
Stream<T> finishedStream(Produce&& produce) {
    auto [sink, stream] = makeStream<T>();
    std::forward<Produce>(produce)(std::as_const(sink));
    sink.finish();
    return std::move(stream);
}

/// Maps every value of `inner` one to one into a new stream, in a task of its own. Ending the returned stream
/// (by either side) stops the task, which cancels `inner` and so runs the inner termination callback.
template <class T, class Map>
auto relay(Stream<T> inner, Map map) -> Stream<std::invoke_result_t<Map&, T&&>> {
    using U = std::invoke_result_t<Map&, T&&>;
    auto source = std::make_shared<Stream<T>>(std::move(inner));
    return streamFromTask<U>(
        [source, map = std::move(map)](const StreamSink<U>& sink, std::stop_token stop) mutable {
            while (auto value = source->next(stop))
                sink.yield(map(std::move(*value)));
            source->cancel();
        });
}

}  // namespace quill
