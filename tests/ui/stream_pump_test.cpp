#include "ui/common/stream_pump.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "engine/core/task.h"

namespace quill::ui::test {
namespace {

TEST(StreamPumpTest, HandsEveryEventOverInOrderInBoundedBatches) {
    constexpr int kCount = 100'000;
    constexpr std::size_t kBatch = 1000;
    auto [sink, stream] = makeStream<int>();
    auto producer = spawnTask([sink = sink](std::stop_token) {
        for (int value = 0; value < kCount; ++value)
            sink.yield(value);
        sink.finish();
    });

    // A timer that ticks between hand-overs shows where one batch ends and the next begins.
    int tick = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&tick] { ++tick; });
    ticker.start(0);

    std::vector<int> received;
    std::vector<int> tickAtEvent;
    bool ended = false;
    StreamPump<int> pump(
        std::move(stream),
        [&](int value) {
            EXPECT_FALSE(ended);
            received.push_back(value);
            tickAtEvent.push_back(tick);
        },
        [&] { ended = true; }, kBatch);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 20'000));
    producer.wait();

    ASSERT_EQ(received.size(), static_cast<std::size_t>(kCount));
    for (int index = 0; index < kCount; ++index)
        ASSERT_EQ(received[static_cast<std::size_t>(index)], index);
    // No turn of the event loop handed over more than one batch, and the loop ran between batches.
    std::size_t run = 1;
    std::size_t batches = 1;
    for (std::size_t index = 1; index < tickAtEvent.size(); ++index) {
        if (tickAtEvent[index] == tickAtEvent[index - 1]) {
            ++run;
        } else {
            run = 1;
            ++batches;
        }
        ASSERT_LE(run, kBatch);
    }
    EXPECT_GE(batches, static_cast<std::size_t>(kCount) / kBatch);
}

TEST(StreamPumpTest, DestroyedMidStreamStopsTheProducerAndHandsNothingOverLater) {
    auto terminations = std::make_shared<std::atomic<int>>(0);
    auto [sink, stream] = makeStream<int>();
    auto producer = spawnTask([sink = sink](std::stop_token stop) {
        for (int value = 0; !stop.stop_requested() && !sink.isFinished(); ++value) {
            sink.yield(value);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    sink.onTermination([terminations, producer] {
        ++*terminations;
        producer.cancel();
    });

    int received = 0;
    bool ended = false;
    auto pump = std::make_unique<StreamPump<int>>(
        std::move(stream), [&](int) { ++received; }, [&] { ended = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return received > 10; }, 5000));
    pump.reset();
    const int atDestruction = received;

    ASSERT_TRUE(producer.waitFor(std::chrono::seconds(5)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return terminations->load() == 1; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(received, atDestruction);
    EXPECT_FALSE(ended);
    EXPECT_EQ(terminations->load(), 1);
}

}  // namespace
}  // namespace quill::ui::test
