#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

namespace quill {

/// How much of a child's output may wait for its reader, at each stage between the pipe and the screen,
/// before the stage relaying it holds back (`StreamSink::yieldWithin`): a reader that falls behind holds the
/// tool back on its full pipe instead of letting a buffer grow. Lines are weighed by their bytes as well as
/// counted, since one line may be long.
inline constexpr std::size_t kPendingOutputLines = 4096;
inline constexpr std::size_t kPendingOutputBytes = std::size_t{4} << 20;

/// The most values, and the most of their weight, that may wait for a stream's consumer before a producer
/// using `StreamSink::yieldWithin` holds back.
struct PendingLimit {
    std::size_t values = 0;
    std::size_t weight = 0;
};
/// The limit of every stage that relays a child's output lines, each weighed by its bytes.
inline constexpr PendingLimit kPendingOutput{kPendingOutputLines, kPendingOutputBytes};

template <class T>
class Stream;
template <class T>
class StreamSink;
template <class T>
std::pair<StreamSink<T>, Stream<T>> makeStream();

namespace detail {

/// State shared by a stream's consumer and every copy of its sink.
template <class T>
class StreamState {
  public:
    void yield(T value) {
        {
            std::lock_guard lock(m_mutex);
            if (m_ended)
                return;
            m_buffer.push_back(std::move(value));
        }
        m_ready.notify_one();
    }

    void yieldWithin(T value, std::size_t weight, PendingLimit limit, const std::stop_token& stop) {
        std::unique_lock lock(m_mutex);
        if (m_ended)
            return;
        m_buffer.push_back(std::move(value));
        m_bufferWeight += weight;
        // A consumer waits only on an empty buffer: a value added to others finds it awake already.
        if (m_buffer.size() == 1)
            m_ready.notify_one();
        if (m_buffer.size() > limit.values || m_bufferWeight > limit.weight)
            m_bufferTaken.wait(lock, stop, [this] { return m_buffer.empty() || m_ended; });
    }

    void yieldAll(std::vector<T>&& values) {
        if (values.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            if (m_ended)
                return;
            m_buffer.insert(m_buffer.end(), std::make_move_iterator(values.begin()),
                            std::make_move_iterator(values.end()));
        }
        m_ready.notify_one();
    }

    /// Ends the stream (from either side); the first call runs the termination callback, later calls do
    /// nothing.
    void end() {
        std::function<void()> callback;
        {
            std::lock_guard lock(m_mutex);
            if (m_ended)
                return;
            m_ended = true;
            callback = std::exchange(m_onTermination, nullptr);
        }
        m_ready.notify_all();
        m_bufferTaken.notify_all();
        if (callback)
            callback();
    }

    /// Consumer-side end: buffered values are dropped as well. Safe from any thread, also while the consumer
    /// is inside `next`: values it has already taken out are dropped by the consumer itself.
    void cancel() {
        m_canceled.store(true, std::memory_order_release);
        end();
        std::lock_guard lock(m_mutex);
        m_buffer.clear();
        m_bufferWeight = 0;
    }

    void setOnTermination(std::function<void()> callback) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_ended) {
                m_onTermination = std::move(callback);
                return;
            }
        }
        if (callback)
            callback();
    }

    std::optional<T> next(const std::stop_token* stop) {
        if (droppedByCancel())
            return std::nullopt;
        if (m_next < m_taken.size()) {
            if (stop && stop->stop_requested()) {
                cancelFromConsumer();
                return std::nullopt;
            }
            return popTaken();
        }
        std::unique_lock lock(m_mutex);
        auto ready = [this] { return !m_buffer.empty() || m_ended; };
        if (stop) {
            // A stopped consumer stops at once, even when values are waiting: a producer that never pauses
            // would otherwise keep it reading, and its termination callback would never run.
            m_ready.wait(lock, *stop, ready);
            if (stop->stop_requested()) {
                lock.unlock();
                cancelFromConsumer();
                return std::nullopt;
            }
        } else {
            m_ready.wait(lock, ready);
        }
        takeBuffer();
        lock.unlock();
        m_bufferTaken.notify_all();
        if (droppedByCancel())
            return std::nullopt;
        return popTaken();
    }

    void waitUntilTaken(const std::stop_token& stop) {
        std::unique_lock lock(m_mutex);
        m_bufferTaken.wait(lock, stop, [this] { return m_buffer.empty() || m_ended; });
    }

    std::optional<T> tryNext() {
        if (droppedByCancel())
            return std::nullopt;
        if (m_next < m_taken.size())
            return popTaken();
        {
            std::lock_guard lock(m_mutex);
            takeBuffer();
        }
        m_bufferTaken.notify_all();
        return popTaken();
    }

    bool ended() const {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }

  private:
    /// On the consumer's thread: whether the stream was canceled, dropping what the consumer still holds.
    bool droppedByCancel() {
        if (!m_canceled.load(std::memory_order_acquire))
            return false;
        dropTaken();
        return true;
    }

    void cancelFromConsumer() {
        cancel();
        dropTaken();
    }

    void dropTaken() {
        m_taken.clear();
        m_next = 0;
    }

    /// With m_mutex held: takes everything buffered in one go, so a fast producer and the consumer meet at
    /// the lock once per batch rather than once per value. The two vectors trade places, so their storage is
    /// reused rather than allocated by one thread and freed by the other.
    void takeBuffer() {
        dropTaken();
        m_taken.swap(m_buffer);
        m_bufferWeight = 0;
    }

    std::optional<T> popTaken() {
        if (m_next >= m_taken.size())
            return std::nullopt;
        return std::optional<T>(std::move(m_taken[m_next++]));
    }

    mutable std::mutex m_mutex;
    std::condition_variable_any m_ready;
    std::condition_variable_any m_bufferTaken;  // the consumer took the buffer, or the stream ended
    std::vector<T> m_buffer;
    std::size_t m_bufferWeight = 0;  // what the values in m_buffer weigh, as `yieldWithin` was told
    std::vector<T> m_taken;          // values already taken out of m_buffer; touched by the one consumer only
    std::size_t m_next = 0;          // the next value of m_taken to hand out
    std::function<void()> m_onTermination;
    bool m_ended = false;
    std::atomic<bool> m_canceled = false;  // set by `cancel`, from any thread
};

/// Finishes the stream when the last copy of its sink goes away, so a producer that forgets to finish (or
/// throws away its sink on an early return) never leaves the consumer waiting forever.
template <class T>
struct SinkOwner {
    std::shared_ptr<StreamState<T>> state;
    ~SinkOwner() { state->end(); }
};

}  // namespace detail

/// The producing side of a `Stream`. Copyable; every copy feeds the same stream, and the stream finishes when
/// `finish` is called or the last copy is destroyed. Safe to use from any thread.
template <class T>
class StreamSink {
  public:
    StreamSink() = default;

    void yield(T value) const {
        if (m_owner)
            m_owner->state->yield(std::move(value));
    }
    /// Yields `value`, which weighs `weight`; then, when more than `limit.values` values, or more than
    /// `limit.weight` of weight, wait for the consumer, blocks until it has taken them, the stream has ended
    /// or `stop` is requested. Values yielded otherwise weigh nothing. For a producer that relays a source it
    /// can pause, so that a slow consumer holds the source back instead of letting the buffer grow.
    void yieldWithin(T value, std::size_t weight, PendingLimit limit, const std::stop_token& stop) const {
        if (m_owner)
            m_owner->state->yieldWithin(std::move(value), weight, limit, stop);
    }
    /// Yields every value in order, as many `yield` calls would, under one lock.
    void yieldAll(std::vector<T> values) const {
        if (m_owner)
            m_owner->state->yieldAll(std::move(values));
    }
    /// Blocks until the consumer has taken every value yielded so far (it may still be handling them), the
    /// stream has ended or `stop` is requested. A producer that can pause its source (a pipe) calls it
    /// between batches, so that a slow consumer holds it back instead of letting the buffer grow.
    void waitUntilTaken(const std::stop_token& stop) const {
        if (m_owner)
            m_owner->state->waitUntilTaken(stop);
    }
    void finish() const {
        if (m_owner)
            m_owner->state->end();
    }
    /// Sets the termination callback: it runs exactly once, outside every lock, when the stream ends from
    /// either side. If the stream has already ended it runs at once, on this thread.
    void onTermination(std::function<void()> callback) const {
        if (m_owner)
            m_owner->state->setOnTermination(std::move(callback));
    }
    [[nodiscard]] bool isFinished() const { return !m_owner || m_owner->state->ended(); }

  private:
    template <class U>
    friend std::pair<StreamSink<U>, Stream<U>> makeStream();

    explicit StreamSink(std::shared_ptr<detail::SinkOwner<T>> owner) : m_owner(std::move(owner)) {}

    std::shared_ptr<detail::SinkOwner<T>> m_owner;
};

/// An asynchronous sequence of values with unbounded buffering and one consumer. Move-only; destroying it
/// cancels it, which runs the producer's termination callback.
template <class T>
class Stream {
  public:
    Stream() = default;
    Stream(Stream&&) noexcept = default;
    Stream& operator=(Stream&& other) noexcept {
        if (this != &other) {
            cancel();
            m_state = std::move(other.m_state);
        }
        return *this;
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream() { cancel(); }

    /// Blocks for the next value; `std::nullopt` once the stream has ended and its buffer is empty.
    std::optional<T> next() { return m_state ? m_state->next(nullptr) : std::nullopt; }

    /// As `next()`, but also returns `std::nullopt` as soon as `stop` is requested, and then cancels the
    /// stream.
    std::optional<T> next(const std::stop_token& stop) {
        return m_state ? m_state->next(&stop) : std::nullopt;
    }

    /// The next buffered value, if any; never blocks.
    std::optional<T> tryNext() { return m_state ? m_state->tryNext() : std::nullopt; }

    /// Ends the stream from the consumer's side; buffered values are dropped. Any thread may call it, also
    /// while another is waiting in `next`.
    void cancel() {
        if (m_state)
            m_state->cancel();
    }

    /// Whether the stream has ended (the buffer may still hold values).
    [[nodiscard]] bool ended() const { return !m_state || m_state->ended(); }

  private:
    template <class U>
    friend std::pair<StreamSink<U>, Stream<U>> makeStream();

    explicit Stream(std::shared_ptr<detail::StreamState<T>> state) : m_state(std::move(state)) {}

    std::shared_ptr<detail::StreamState<T>> m_state;
};

/// Creates a connected sink and stream.
template <class T>
std::pair<StreamSink<T>, Stream<T>> makeStream() {
    auto state = std::make_shared<detail::StreamState<T>>();
    auto owner = std::shared_ptr<detail::SinkOwner<T>>(new detail::SinkOwner<T>{state});
    return {StreamSink<T>(std::move(owner)), Stream<T>(std::move(state))};
}

/// Collects every value until the stream ends. Blocking; for tests and for producers that already finished.
template <class T>
std::vector<T> drain(Stream<T>& stream) {
    std::vector<T> values;
    while (auto value = stream.next())
        values.push_back(std::move(*value));
    return values;
}

}  // namespace quill
