#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "engine/core/stream.h"
#include "engine/core/task.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

TEST(StreamConcurrencyTest, TerminationRunsExactlyOnceWhenBothSidesRace) {
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> calls = 0;
        auto [sink, stream] = makeStream<int>();
        sink.onTermination([&calls] { ++calls; });
        auto producer = sink;
        std::atomic<bool> go = false;
        std::thread finisher([&] {
            while (!go) {
            }
            producer.yield(1);
            producer.finish();
        });
        std::thread canceller([&] {
            while (!go) {
            }
            stream.cancel();
        });
        go = true;
        sink.finish();
        finisher.join();
        canceller.join();
        EXPECT_EQ(calls, 1) << "round " << round;
    }
}

TEST(StreamConcurrencyTest, ACallbackSetWhileTheStreamEndsRunsExactlyOnce) {
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> calls = 0;
        auto [sink, stream] = makeStream<int>();
        std::thread ender([&stream] { stream.cancel(); });
        sink.onTermination([&calls] { ++calls; });
        ender.join();
        EXPECT_EQ(calls, 1) << "round " << round;
    }
}

TEST(StreamConcurrencyTest, ValuesFromManyProducersAllArriveAndEachProducerKeepsItsOrder) {
    constexpr int kProducers = 4;
    constexpr int kEach = 2000;
    auto [sink, stream] = makeStream<std::pair<int, int>>();
    std::vector<std::function<void()>> producers;
    producers.reserve(kProducers);
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([sink, p] {
            for (int i = 0; i < kEach; ++i)
                sink.yield({p, i});
        });
    }
    std::thread consumer;
    std::vector<std::pair<int, int>> received;
    consumer = std::thread([&received, &stream] {
        while (auto value = stream.next())
            received.push_back(*value);
    });
    runConcurrently(std::move(producers));
    sink = StreamSink<std::pair<int, int>>();  // the last sink copy goes: the stream finishes
    consumer.join();

    ASSERT_EQ(received.size(), static_cast<std::size_t>(kProducers * kEach));
    std::vector<int> nextOf(kProducers, 0);
    for (const auto& [p, i] : received) {
        EXPECT_EQ(i, nextOf[p]) << "producer " << p;
        nextOf[p] = i + 1;
    }
}

TEST(StreamConcurrencyTest, CancellingFromAnotherThreadWhileTheConsumerReadsIsSafe) {
    // The owner of a stream may end it from its own thread (a screen going away) while a worker is still
    // taking values out of it.
    for (int round = 0; round < 50; ++round) {
        auto [sink, stream] = makeStream<std::string>();
        auto producer = spawnTask([sink](std::stop_token stop) {
            for (int i = 0; !stop.stop_requested() && i < 100000; ++i)
                sink.yieldAll({std::to_string(i), std::to_string(i), std::to_string(i)});
        });
        sink.onTermination([producer] { producer.cancel(); });
        sink = StreamSink<std::string>();
        std::atomic<int> received = 0;
        std::thread consumer([&stream, &received] {
            while (stream.next())
                ++received;
        });
        while (received < 10) {
        }
        stream.cancel();
        consumer.join();
        EXPECT_TRUE(producer.waitFor(5s)) << "round " << round;
    }
}

TEST(StreamConcurrencyTest, AConsumerWaitingWithAStopTokenWakesWhenStopped) {
    auto [sink, stream] = makeStream<int>();
    std::atomic<int> terminated = 0;
    sink.onTermination([&terminated] { ++terminated; });
    auto reader = spawnTask([&stream](std::stop_token stop) {
        while (stream.next(stop)) {
        }
    });
    sink.yield(1);
    std::this_thread::sleep_for(20ms);
    reader.cancel();
    ASSERT_TRUE(reader.waitFor(5s));
    EXPECT_EQ(terminated, 1);
    EXPECT_TRUE(sink.isFinished());
    sink.yield(2);  // dropped, no crash
}

}  // namespace
}  // namespace quill
