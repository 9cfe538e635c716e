#include "ui/common/stream_pump.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "engine/core/task.h"
#include "tests/ui/ui_test_support.h"

namespace quill::ui::test {
namespace {

TEST(StreamPumpTest, HandsEveryEventOverInOrderInBatchesBoundedByCountAndWeight) {
    constexpr std::size_t kBatch = 1000;
    struct Bound {
        const char* name;
        int count;
        StreamPump<int>::Weigh weigh;
        std::size_t maxWeight;
        std::size_t mostPerTurn;  // the most events one turn of the event loop may take
    };
    const std::vector<Bound> bounds = {
        {"by count", 100'000, {}, 0, kBatch},
        // Each batch closes once its weight reaches the bound: 3 events of 10 for a bound of 30.
        {"by weight", 3000, [](const int&) { return std::size_t{10}; }, 30, 3},
    };
    for (const auto& bound : bounds) {
        SCOPED_TRACE(bound.name);
        auto stream = std::make_shared<Stream<int>>(
            streamFromTask<int>([count = bound.count](const StreamSink<int>& sink, std::stop_token) {
                for (int value = 0; value < count; ++value)
                    sink.yield(value);
            }));

        // A timer that ticks between hand-overs shows where one batch ends and the next begins.
        int tick = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&tick] { ++tick; });
        ticker.start(0);

        std::vector<int> received;
        std::vector<std::pair<int, std::size_t>> batches;  // the tick each batch came at, and its size
        bool ended = false;
        StreamPump<int> pump(
            [stream](const std::stop_token& stop, const StreamPump<int>::Deliver& deliver) {
                while (auto value = stream->next(stop))
                    deliver(*value);
            },
            [&](const std::vector<int>& batch) {
                EXPECT_FALSE(ended);
                received.insert(received.end(), batch.begin(), batch.end());
                batches.emplace_back(tick, batch.size());
            },
            [&] { ended = true; }, kBatch, bound.weigh, bound.maxWeight);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 20'000));

        ASSERT_EQ(received.size(), static_cast<std::size_t>(bound.count));
        for (int index = 0; index < bound.count; ++index)
            ASSERT_EQ(received[static_cast<std::size_t>(index)], index);
        // No turn of the event loop handed over more than one batch's worth, and the loop ran between
        // batches.
        std::size_t inTick = 0;
        for (std::size_t index = 0; index < batches.size(); ++index) {
            const bool sameTick = index > 0 && batches[index].first == batches[index - 1].first;
            inTick = (sameTick ? inTick : 0) + batches[index].second;
            ASSERT_LE(inTick, bound.mostPerTurn);
        }
        EXPECT_GE(batches.size(), static_cast<std::size_t>(bound.count) / bound.mostPerTurn);
    }
}

TEST(StreamPumpTest, DestroyedMidStreamStopsTheProducerAndHandsNothingOverLater) {
    auto terminations = std::make_shared<std::atomic<int>>(0);
    auto stream = streamFromTask<int>(
        [](const StreamSink<int>& sink, const std::stop_token& stop) {
            for (int value = 0; !stop.stop_requested() && !sink.isFinished(); ++value) {
                sink.yield(value);
                sink.waitUntilTaken(stop);
            }
        },
        [terminations] { ++*terminations; });

    int received = 0;
    bool ended = false;
    auto pump = std::make_unique<StreamPump<int>>(
        std::move(stream), [&](const std::vector<int>& batch) { received += static_cast<int>(batch.size()); },
        [&] { ended = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return received > 10; }, 5000));
    pump.reset();
    const int atDestruction = received;

    ASSERT_TRUE(settle());  // the producer has returned
    EXPECT_EQ(received, atDestruction);
    EXPECT_FALSE(ended);
    EXPECT_EQ(terminations->load(), 1);
}

TEST(StreamPumpTest, AProducerWaitsWhileTheGuiIsHeldUntilAStopOrTheEndOfThePump) {
    constexpr std::size_t kBatch = 10;
    constexpr auto kFull = static_cast<int>(StreamPump<int>::kWaitingBatches * kBatch);
    constexpr auto kMostWaiting = static_cast<int>((StreamPump<int>::kWaitingBatches + 1) * kBatch + 1);
    // Waits up to `limit` for `condition` on this thread without delivering its events; true when it held.
    const auto whileHeld = [](const std::function<bool()>& condition, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::yield();
        }
        return true;
    };
    for (const bool byDestruction : {false, true}) {
        SCOPED_TRACE(byDestruction ? "the pump destroyed" : "the task stopped");
        auto produced = std::make_shared<std::atomic<int>>(0);
        auto returned = std::make_shared<std::atomic<bool>>(false);
        auto pump = std::make_unique<StreamPump<int>>(
            [produced, returned](const std::stop_token& stop, const StreamPump<int>::Deliver& deliver) {
                while (!stop.stop_requested()) {
                    deliver(0);
                    ++*produced;
                }
                *returned = true;
            },
            [](const std::vector<int>&) {}, std::function<void()>{}, kBatch);
        // The GUI thread is held here, delivering no events: no batch is taken, so the producer fills the
        // waiting batches and then stops at the bound.
        ASSERT_TRUE(whileHeld([&] { return produced->load() >= kFull; }, std::chrono::seconds(5)));
        const int held = produced->load();
        EXPECT_LE(held, kMostWaiting);
        EXPECT_FALSE(whileHeld([&] { return produced->load() != held; }, std::chrono::milliseconds(100)))
            << "still producing while the GUI is held";
        EXPECT_FALSE(returned->load());

        const auto start = std::chrono::steady_clock::now();
        if (byDestruction)
            pump.reset();
        else
            EXPECT_TRUE(TaskTracker::stopAll(std::chrono::seconds(2)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_TRUE(QTest::qWaitFor([&] { return returned->load(); }, 2000))
            << "the producer is still blocked";
    }
}

}  // namespace
}  // namespace quill::ui::test
