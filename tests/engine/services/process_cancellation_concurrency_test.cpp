#include "engine/services/process_cancellation.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "engine/core/task.h"
#include "engine/services/live_process_runner.h"
#include "tests/support/fake_bin.h"
#include "tests/support/process_printers.h"
#include "tests/support/process_watch.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using test::kTestChild;

Stream<ProcessStreamEvent> startChild(const std::vector<std::string>& arguments,
                                      std::shared_ptr<LiveProcessCancellation> handle,
                                      LiveProcessRunner::Options waits = test::kShortWaits) {
    return LiveProcessRunner(waits).stream(kTestChild, arguments, std::nullopt, std::move(handle));
}

/// Reads events until a line equal to `text` arrives; false when the stream ends first.
bool waitForLine(Stream<ProcessStreamEvent>& events, const std::string& text) {
    while (auto event = events.next()) {
        if (*event == ProcessStreamEvent(ProcessStreamEvent::Line{text}))
            return true;
    }
    return false;
}

TEST(CancellableProcessTest, AHolderCanceledBeforeItsFirstChildTerminatesThatChild) {
    CancellableProcess holder;
    holder.cancel();
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events = startChild({"sleep", "30000"}, handle);
    holder.register_(handle);
    EXPECT_TRUE(handle->isCanceled());
    EXPECT_EQ(drain(events), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Exited{SIGTERM}}));

    // Every later child too.
    auto second = std::make_shared<LiveProcessCancellation>();
    auto secondEvents = startChild({"sleep", "30000"}, second);
    holder.register_(second);
    EXPECT_EQ(drain(secondEvents), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Exited{SIGTERM}}));
}

TEST(CancellableProcessTest, EachCancelWhileTheChildRunsSendsTheRequestAgain) {
    CancellableProcess holder;
    auto handle = std::make_shared<LiveProcessCancellation>();
    // The program's grace outlasts the child, which is thus never killed.
    auto events =
        startChild({"count-term", "line", "ready", "sleep", "3000", "line", "finished"}, handle, {});
    holder.register_(handle);
    ASSERT_TRUE(waitForLine(events, "ready"));
    holder.cancel();
    ASSERT_TRUE(waitForLine(events, "TERM"));
    holder.cancel();
    ASSERT_TRUE(waitForLine(events, "TERM"));
    // The child shrugs both off and ends by itself.
    EXPECT_EQ(drain(events), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Line{"finished"},
                                                              ProcessStreamEvent::Exited{0}}));
}

TEST(CancellableProcessTest, NothingIsSentOnceTheChildHasExited) {
    // The grandchild stays in the child's group with the same counting handler, so a request sent to the
    // group after the child's exit would show up in its output.
    auto pipe = Pipe::open();
    ASSERT_TRUE(pipe.has_value());
    auto child =
        ChildProcess::spawn(kTestChild, {"count-term", "grandchild", "2500"}, std::nullopt, pipe->write.get(),
                            pipe->write.get(), test::kShortWaits.terminationGrace);
    ASSERT_TRUE(child.has_value());
    pipe->write.reset();
    EXPECT_EQ((*child)->wait(), 0);

    auto handle = std::make_shared<LiveProcessCancellation>();
    handle->attach(*child);
    CancellableProcess holder;
    holder.register_(handle);
    holder.cancel();
    holder.cancel();

    std::string output;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipe->read.get(), buffer, sizeof buffer)) > 0;)
        output.append(buffer, got);
    EXPECT_EQ(output.find("TERM"), std::string::npos) << output;
}

TEST(CancellableProcessTest, CancelAndRegisterRacingAlwaysEndTheChild) {
    for (int round = 0; round < 12; ++round) {
        CancellableProcess holder;
        auto handle = std::make_shared<LiveProcessCancellation>();
        auto events = startChild({"sleep", "30000"}, handle);
        runConcurrently([&holder] { holder.cancel(); }, [&holder, handle] { holder.register_(handle); },
                        [handle] { (void)handle->isCanceled(); });
        EXPECT_EQ(drain(events), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Exited{SIGTERM}}))
            << "round " << round;
    }
}

TEST(CancellableProcessTest, ManyStreamsCanceledFromOtherThreadsAllEnd) {
    constexpr int kCount = 8;
    std::vector<std::function<void()>> workers;
    workers.reserve(kCount);
    std::vector<int> codes(kCount, -100);
    for (int i = 0; i < kCount; ++i) {
        workers.emplace_back([i, &codes] {
            auto handle = std::make_shared<LiveProcessCancellation>();
            auto events = startChild({"line", "up", "sleep", "30000"}, handle);
            if (!waitForLine(events, "up"))
                return;
            auto canceller = spawnTask([handle](std::stop_token) { handle->cancel(); });
            while (auto event = events.next()) {
                if (auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value))
                    codes[i] = exited->code;
            }
            canceller.wait();
        });
    }
    runConcurrently(std::move(workers));
    EXPECT_EQ(codes, std::vector<int>(kCount, SIGTERM));
}

TEST(CancellableProcessTest, StoppingEveryTaskAtExitEndsRunningChildren) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events = startChild({"line", "up", "sleep", "30000"}, handle);
    ASSERT_TRUE(waitForLine(events, "up"));
    EXPECT_TRUE(TaskTracker::stopAll(10s));
    EXPECT_EQ(drain(events), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Exited{SIGTERM}}));
}

}  // namespace
}  // namespace quill
