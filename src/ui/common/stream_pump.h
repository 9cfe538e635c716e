#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <utility>
#include <vector>

#include "engine/core/stream.h"
#include "engine/core/task.h"
#include "ui/common/main_thread.h"

namespace quill::ui {

/// Reads events on a task of its own and hands them to the GUI thread in order, in batches of at most
/// `maxBatch` events (and, with a `weigh`, at most about `maxBatchWeight` of their weight): one queued call
/// per batch, at most one queued at a time, so a fast source costs the GUI thread one call per turn of the
/// event loop rather than one per event. While more than `kWaitingBatches` batches wait for the GUI thread,
/// the source's `deliver` blocks, so a source faster than the GUI is held back rather than filling memory;
/// the task's stop or the pump's destruction releases it at once. `onEnd` runs on the GUI thread after the
/// last batch once the source has ended on its own. Destroying the pump stops the task, which cancels the
/// stream being read, and never waits for it; nothing is handed over afterwards. Create and destroy it on the
/// GUI thread.
template <class T>
class StreamPump {
  public:
    using Deliver = std::function<void(T)>;
    /// Takes one batch, in order, on the GUI thread.
    using OnBatch = std::function<void(std::vector<T> batch)>;
    /// A source that yields into `deliver` until it is done or `stop` is requested. Runs on the pump's task.
    using Produce = std::function<void(std::stop_token stop, const Deliver& deliver)>;

    /// The weight of one event, for batches bounded by size as well as by count.
    using Weigh = std::function<std::size_t(const T&)>;

    static constexpr std::size_t kDefaultBatch = 256;
    /// How many full batches may wait for the GUI thread before `deliver` blocks.
    static constexpr std::size_t kWaitingBatches = 4;

    /// Pumps the events of `produce`.
    StreamPump(Produce produce, OnBatch onBatch, std::function<void()> onEnd = {},
               std::size_t maxBatch = kDefaultBatch, Weigh weigh = {}, std::size_t maxBatchWeight = 0)
        : m_anchor(std::make_unique<QObject>()),
          m_shared(std::make_shared<Shared>(std::move(onBatch), std::move(onEnd),
                                            maxBatch == 0 ? 1 : maxBatch, std::move(weigh), maxBatchWeight)) {
        QPointer<QObject> guard(m_anchor.get());
        m_task = spawnTask([shared = m_shared, guard, produce = std::move(produce)](std::stop_token stop) {
            const Deliver deliver = [&shared, &guard, &stop](T value) {
                shared->push(guard, std::move(value), stop);
            };
            produce(stop, deliver);
            if (!stop.stop_requested())
                shared->finish(guard);
        });
    }

    /// Pumps the events of one stream.
    StreamPump(Stream<T> stream, OnBatch onBatch, std::function<void()> onEnd = {},
               std::size_t maxBatch = kDefaultBatch)
        : StreamPump(readAll(std::move(stream)), std::move(onBatch), std::move(onEnd), maxBatch) {}

    ~StreamPump() {
        m_task.cancel();
        m_shared->close();
    }
    StreamPump(const StreamPump&) = delete;
    StreamPump& operator=(const StreamPump&) = delete;

  private:
    struct Shared : std::enable_shared_from_this<Shared> {
        Shared(OnBatch onBatchFn, std::function<void()> onEndFn, std::size_t batch, Weigh weighFn,
               std::size_t batchWeight)
            : onBatch(std::move(onBatchFn)),
              onEnd(std::move(onEndFn)),
              maxBatch(batch),
              weigh(std::move(weighFn)),
              maxBatchWeight(batchWeight) {}

        OnBatch onBatch;
        std::function<void()> onEnd;
        std::size_t maxBatch = kDefaultBatch;
        Weigh weigh;
        std::size_t maxBatchWeight = 0;

        std::mutex mutex;
        std::condition_variable_any taken;  // a batch was taken, or the pump closed
        // Batches are formed as events come: the GUI thread takes a whole one, without touching its events.
        std::deque<std::vector<T>> batches;
        std::size_t lastWeight = 0;  // the weight of the last batch
        bool drainQueued = false;
        bool finished = false;
        bool closed = false;

        void push(const QPointer<QObject>& guard, T value, const std::stop_token& stop) {
            const std::size_t weight = weigh ? weigh(value) : 0;
            bool post = false;
            bool behind = false;
            {
                std::unique_lock lock(mutex);
                if (batches.empty() || batches.back().size() >= maxBatch ||
                    (weigh && lastWeight >= maxBatchWeight)) {
                    batches.emplace_back();
                    lastWeight = 0;
                }
                batches.back().push_back(std::move(value));
                lastWeight += weight;
                post = !std::exchange(drainQueued, true);
                behind = batches.size() > kWaitingBatches;
            }
            if (post)
                queueDrain(guard);
            if (!behind)
                return;
            std::unique_lock lock(mutex);
            taken.wait(lock, stop, [this] { return closed || batches.size() <= kWaitingBatches; });
        }

        void close() {
            {
                std::lock_guard lock(mutex);
                closed = true;
            }
            taken.notify_all();
        }

        void finish(const QPointer<QObject>& guard) {
            bool post = false;
            {
                std::lock_guard lock(mutex);
                finished = true;
                post = !std::exchange(drainQueued, true);
            }
            if (post)
                queueDrain(guard);
        }

        void queueDrain(const QPointer<QObject>& guard) {
            onMain(guard, [self = this->shared_from_this(), guard] { self->drain(guard); });
        }

        /// On the GUI thread: one batch, then either another queued drain or the end.
        void drain(const QPointer<QObject>& guard) {
            std::vector<T> batch;
            bool more = false;
            bool ended = false;
            {
                std::lock_guard lock(mutex);
                if (!batches.empty()) {
                    batch = std::move(batches.front());
                    batches.pop_front();
                }
                more = !batches.empty();
                ended = !more && finished;
                drainQueued = more;
            }
            taken.notify_all();
            if (!batch.empty())
                onBatch(std::move(batch));
            // The handler may have ended the pump's owner; then nothing more is handed over.
            if (guard.isNull())
                return;
            if (more)
                queueDrain(guard);
            else if (ended && onEnd)
                std::exchange(onEnd, nullptr)();
        }
    };

    static Produce readAll(Stream<T> stream) {
        auto source = std::make_shared<Stream<T>>(std::move(stream));
        return [source](std::stop_token stop, const Deliver& deliver) {
            while (auto value = source->next(stop))
                deliver(std::move(*value));
            source->cancel();
        };
    }

    std::unique_ptr<QObject> m_anchor;  // the guard of every hand-over; it dies with the pump
    std::shared_ptr<Shared> m_shared;
    TaskHandle m_task;
};

}  // namespace quill::ui
