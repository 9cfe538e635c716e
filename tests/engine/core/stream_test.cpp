#include "engine/core/stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/core/task.h"

namespace quill {
namespace {

TEST(StreamTest, DeliversValuesInOrderThenEnds) {
    auto [sink, stream] = makeStream<int>();
    sink.yield(1);
    sink.yield(2);
    sink.finish();
    sink.yield(3);  // after the end: dropped
    EXPECT_EQ(drain(stream), (std::vector<int>{1, 2}));
}

TEST(StreamTest, TerminationCallbackRunsOnceFromEitherSide) {
    std::atomic<int> calls = 0;
    {
        auto [sink, stream] = makeStream<int>();
        sink.onTermination([&] { ++calls; });
        stream.cancel();
        sink.finish();
    }
    EXPECT_EQ(calls, 1);

    // Set after the end: runs at once.
    auto [sink, stream] = makeStream<int>();
    sink.finish();
    sink.onTermination([&] { ++calls; });
    EXPECT_EQ(calls, 2);
}

TEST(StreamTest, DroppingEverySinkFinishesTheStream) {
    auto [sink, stream] = makeStream<int>();
    {
        auto copy = sink;
        copy.yield(7);
    }
    sink = StreamSink<int>();
    EXPECT_EQ(stream.next(), 7);
    EXPECT_EQ(stream.next(), std::nullopt);
}

TEST(StreamTest, NextWithStopTokenCancelsTheStream) {
    auto [sink, stream] = makeStream<int>();
    std::atomic<bool> terminated = false;
    sink.onTermination([&] { terminated = true; });
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop.request_stop();
    });
    EXPECT_EQ(stream.next(stop.get_token()), std::nullopt);
    stopper.join();
    EXPECT_TRUE(terminated);
    EXPECT_TRUE(sink.isFinished());
}

TEST(StreamTest, NextWithAStoppedTokenEndsTheStreamEvenWithValuesWaiting) {
    auto [sink, stream] = makeStream<int>();
    int terminated = 0;
    sink.onTermination([&] { ++terminated; });
    sink.yield(1);
    sink.yield(2);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(stream.next(stop.get_token()), std::nullopt);
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(stream.next(), std::nullopt) << "canceled: the waiting values are dropped";

    // The same once a batch has been taken out of the buffer: the values still in the consumer's hands go
    // too, and the producer hears of it.
    auto [batchSink, batched] = makeStream<int>();
    int batchTerminated = 0;
    batchSink.onTermination([&] { ++batchTerminated; });
    batchSink.yieldAll({1, 2, 3});
    std::stop_source batchStop;
    EXPECT_EQ(batched.next(batchStop.get_token()), 1);
    batchStop.request_stop();
    EXPECT_EQ(batched.next(batchStop.get_token()), std::nullopt);
    EXPECT_EQ(batchTerminated, 1);
    EXPECT_EQ(batched.next(), std::nullopt);
}

TEST(StreamTest, MoveAssigningOverALiveStreamCancelsIt) {
    auto [firstSink, stream] = makeStream<int>();
    int firstTerminated = 0;
    firstSink.onTermination([&] { ++firstTerminated; });
    firstSink.yield(1);
    auto [secondSink, second] = makeStream<int>();
    secondSink.yield(2);
    stream = std::move(second);
    EXPECT_EQ(firstTerminated, 1);
    EXPECT_TRUE(firstSink.isFinished());
    EXPECT_EQ(stream.next(), 2);
    EXPECT_FALSE(secondSink.isFinished());
}

}  // namespace
}  // namespace quill
