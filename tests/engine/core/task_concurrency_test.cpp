#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/task.h"
#include "tests/support/thread_shortage.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

/// Lets a test wait until `count` threads have arrived, with a time limit, so that a fault fails the test
/// instead of hanging it.
class Gate {
  public:
    explicit Gate(int count) : m_remaining(count) {}
    /// Arrives and waits for the others; false when they did not all come within `timeout`.
    bool arriveAndWait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (--m_remaining <= 0)
            m_changed.notify_all();
        return m_changed.wait_for(lock, timeout, [this] { return m_remaining <= 0; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_remaining;
};

TEST(TaskConcurrencyTest, ATaskRunsOnItsOwnThreadAndStopsWhenCanceled) {
    std::atomic<bool> sawStop = false;
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> otherThread = false;
    auto task = spawnTask([&](std::stop_token stop) {
        otherThread = std::this_thread::get_id() != caller;
        while (!stop.stop_requested())
            std::this_thread::sleep_for(1ms);
        sawStop = true;
    });
    EXPECT_FALSE(task.waitFor(30ms)) << "runs until told to stop";
    EXPECT_FALSE(task.isFinished());
    task.cancel();
    task.cancel();  // any number of times
    EXPECT_TRUE(task.isCanceled());
    ASSERT_TRUE(task.waitFor(5s));
    EXPECT_TRUE(task.isFinished());
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(otherThread);

    // A default handle is inert.
    TaskHandle none;
    none.cancel();
    EXPECT_TRUE(none.isFinished());
    none.wait();
}

TEST(TaskConcurrencyTest, CapturesAreReleasedAndTheTrackerForgetsATaskBeforeItCountsAsFinished) {
    auto owned = std::make_shared<int>(7);
    std::weak_ptr<int> watch = owned;
    auto task = spawnTask([owned = std::move(owned)](std::stop_token) { (void)owned; });
    task.wait();
    EXPECT_TRUE(watch.expired());

    // Whoever waited for a task finds it no longer running: the quit counts the tasks left to decide whether
    // to end the process before its settings are written.
    ASSERT_TRUE(TaskTracker::stopAll(5s)) << "no task of an earlier test is left";
    int stillRunning = 0;
    for (int round = 0; round < 2000; ++round) {
        spawnTask([](std::stop_token) {}).wait();
        stillRunning += TaskTracker::runningCount() != 0 ? 1 : 0;
    }
    EXPECT_EQ(stillRunning, 0) << "rounds of 2000";
}

TEST(TaskConcurrencyTest, StopAllStopsEveryRunningTaskAndReportsOnesThatIgnoreIt) {
    ASSERT_TRUE(TaskTracker::stopAll(5s)) << "no task of an earlier test is left";
    std::vector<TaskHandle> tasks;
    tasks.reserve(5);
    for (int i = 0; i < 5; ++i) {
        tasks.push_back(spawnTask([](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            wake.wait(lock, stop, [] { return false; });
        }));
    }
    EXPECT_EQ(TaskTracker::runningCount(), 5u);
    EXPECT_TRUE(TaskTracker::stopAll(5s));
    EXPECT_EQ(TaskTracker::runningCount(), 0u);
    for (const auto& task : tasks)
        EXPECT_TRUE(task.isFinished());

    // A task that does not look at its token outlives the wait, and stopAll says so.
    std::atomic<bool> release = false;
    auto stubborn = spawnTask([&release](std::stop_token) {
        while (!release)
            std::this_thread::sleep_for(1ms);
    });
    EXPECT_FALSE(TaskTracker::stopAll(50ms));
    EXPECT_TRUE(stubborn.isCanceled());
    release = true;
    EXPECT_TRUE(stubborn.waitFor(5s));
    EXPECT_TRUE(TaskTracker::stopAll(5s));
}

TEST(TaskConcurrencyTest, RunConcurrentlyRunsChildrenTogetherAndReturnsAfterAll) {
    Gate gate(4);
    std::atomic<int> allMet = 0;
    std::atomic<int> finished = 0;
    runConcurrently(
        [&] {
            allMet += gate.arriveAndWait(5s);
            ++finished;
        },
        [&] {
            allMet += gate.arriveAndWait(5s);
            std::this_thread::sleep_for(30ms);  // the slowest child decides when the call returns
            ++finished;
        },
        [&] {
            allMet += gate.arriveAndWait(5s);
            ++finished;
        },
        [&] {
            allMet += gate.arriveAndWait(5s);
            ++finished;
        });
    EXPECT_EQ(allMet, 4) << "every child was running at the same time";
    EXPECT_EQ(finished, 4);

    runConcurrently(std::vector<std::function<void()>>{});  // nothing to run
    int single = 0;
    runConcurrently([&single] { single = 1; });
    EXPECT_EQ(single, 1);
}

TEST(TaskConcurrencyTest, WithoutThreadsToSpareTheWorkStillRunsAndNothingThrows) {
    if (!test::ThreadShortage::isPossible())
        GTEST_SKIP() << "thread creation cannot be made to fail here";
    // A task that gets no thread runs on the caller's, and is finished and forgotten when spawnTask returns.
    const std::size_t runningBefore = TaskTracker::runningCount();
    auto [sink, stream] = makeStream<int>();
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> ranHere = false;
    TaskHandle task;
    {
        test::ThreadShortage shortage;
        task = spawnTask([&ranHere, caller, sink](std::stop_token) {
            ranHere = std::this_thread::get_id() == caller;
            sink.yield(1);
        });
    }
    sink = StreamSink<int>();
    EXPECT_TRUE(ranHere);
    EXPECT_TRUE(task.isFinished());
    EXPECT_EQ(drain(stream), std::vector<int>{1});
    EXPECT_LE(TaskTracker::runningCount(), runningBefore);

    // Children that get no thread of their own run on the caller's: every one of them still runs.
    std::atomic<int> children = 0;
    {
        test::ThreadShortage shortage;
        runConcurrently([&children] { ++children; }, [&children] { ++children; },
                        [&children] { ++children; });
    }
    EXPECT_EQ(children, 3);
}

TEST(TaskConcurrencyTest, RelayMapsInOrderAndPassesTheEndInBothDirections) {
    {
        // The inner stream ends: the relayed stream ends after every mapped value.
        auto [sink, inner] = makeStream<int>();
        auto outer = relay(std::move(inner), [](int value) { return std::to_string(value * 2); });
        for (int i = 0; i < 100; ++i)
            sink.yield(i);
        sink.finish();
        std::vector<std::string> expected;
        expected.reserve(100);
        for (int i = 0; i < 100; ++i)
            expected.push_back(std::to_string(i * 2));
        EXPECT_EQ(drain(outer), expected);
    }
    {
        // The consumer cancels the relayed stream: the inner work is stopped through its callback.
        auto [sink, inner] = makeStream<int>();
        std::mutex mutex;
        std::condition_variable changed;
        bool innerStopped = false;
        sink.onTermination([&] {
            std::lock_guard lock(mutex);
            innerStopped = true;
            changed.notify_all();
        });
        auto outer = relay(std::move(inner), [](int value) { return value + 1; });
        sink.yield(1);
        EXPECT_EQ(outer.next(), 2);
        outer.cancel();
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, 5s, [&] { return innerStopped; }));
        EXPECT_TRUE(sink.isFinished());
    }
    {
        // Dropping the relayed stream without reading does the same.
        auto [sink, inner] = makeStream<int>();
        std::atomic<bool> innerStopped = false;
        sink.onTermination([&innerStopped] { innerStopped = true; });
        {
            auto outer = relay(std::move(inner), [](int value) { return value; });
        }
        for (int i = 0; i < 500 && !innerStopped; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(innerStopped);
    }
    EXPECT_TRUE(TaskTracker::stopAll(5s)) << "every relay task has returned";
}

TEST(TaskConcurrencyTest, CancellingARelayStopsAProducerThatNeverPauses) {
    // The inner producer keeps the buffer full; the relay must still stop and stop it.
    auto [sink, inner] = makeStream<int>();
    auto producer = spawnTask([sink](std::stop_token stop) {
        for (int i = 0; !stop.stop_requested() && !sink.isFinished(); ++i)
            sink.yield(i);
    });
    sink.onTermination([producer] { producer.cancel(); });
    sink = StreamSink<int>();
    auto outer = relay(std::move(inner), [](int value) { return value; });
    ASSERT_TRUE(outer.next().has_value());
    outer.cancel();
    EXPECT_TRUE(producer.waitFor(5s)) << "the producer was never told to stop";
    EXPECT_TRUE(TaskTracker::stopAll(5s));
}

}  // namespace
}  // namespace quill
