#include "engine/services/child_reader.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

#include "tests/support/fake_bin.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A child that ignores the terminate request and would otherwise sleep for two seconds: only the runner's
// kill after its grace ends it early. The reader's stop comes with the child's first line.
TEST(ChildReaderTest, AStopTerminatesTheChildAndReadsToItsEndUnlessToldToReturnAtOnce) {
    struct Case {
        ReadOnStop onStop{};
        std::optional<int> exitCode;
        bool returnsBeforeTheGrace = false;
    };
    const Case cases[] = {
        {ReadOnStop::readToEnd, SIGKILL, false},
        {ReadOnStop::returnAtOnce, std::nullopt, true},
    };
    for (const auto& [onStop, exitCode, returnsBeforeTheGrace] : cases) {
        SCOPED_TRACE(static_cast<int>(onStop));
        auto handle = std::make_shared<LiveProcessCancellation>();
        auto child = test::shortWaitRunner()->stream(
            test::kTestChild, {"ignore-term", "line", "started", "sleep", "2000", "line", "slept"},
            std::nullopt, handle);
        std::stop_source stop;
        std::vector<std::string> lines;
        Clock::time_point stoppedAt;
        const ChildEnd end = readChild(
            std::move(child), *handle, stop.get_token(),
            [&](std::string line) {
                lines.push_back(std::move(line));
                stoppedAt = Clock::now();
                stop.request_stop();
            },
            onStop);

        EXPECT_EQ(lines, std::vector<std::string>{"started"});
        EXPECT_EQ(end.exitCode, exitCode);
        EXPECT_EQ(Clock::now() - stoppedAt < test::kShortWaits.terminationGrace, returnsBeforeTheGrace);
        EXPECT_TRUE(handle->isCanceled());
    }
}

// A grandchild that ignores the terminate request outlives its parent; a canceled read ends it with the
// child, whether it holds the output or has closed it, long before the termination grace, and returns only
// once no process of the tree runs. The kill takes a moment to take effect, so the read is repeated to catch
// a return before it has.
TEST(ChildReaderTest, ACanceledReadToTheEndLeavesNoProcessOfTheTree) {
    constexpr int kTrials = 40;
    const auto runner = std::make_shared<const LiveProcessRunner>(
        LiveProcessRunner::Options{.terminationGrace = 30s, .exitGrace = 50ms});
    for (const char* grandchild : {"grandchild", "closed-grandchild"}) {
        SCOPED_TRACE(grandchild);
        int outlived = 0;
        const auto began = Clock::now();
        for (int trial = 0; trial < kTrials; ++trial) {
            const test::TemporaryDirectory folder;
            const auto pids = folder.path() / "pids";
            auto handle = std::make_shared<LiveProcessCancellation>();
            auto child = runner->stream(test::kTestChild,
                                        {"record", pids.string(), "ignore-term", grandchild, "60000",
                                         "obey-term", "line", "ready", "sleep", "60000"},
                                        std::nullopt, handle);
            std::stop_source stop;
            const ChildEnd end =
                readChild(std::move(child), *handle, stop.get_token(), [&](const std::string& line) {
                    if (line == "ready")
                        stop.request_stop();
                });
            EXPECT_EQ(end.exitCode, SIGTERM);
            std::istringstream recorded(test::readFile(pids));
            std::vector<pid_t> tree;
            for (pid_t pid = 0; recorded >> pid;)
                tree.push_back(pid);
            outlived += static_cast<int>(std::ranges::count_if(tree, test::processIsRunning));
            ASSERT_EQ(tree.size(), 2U);
            for (const pid_t pid : tree)
                EXPECT_TRUE(test::waitUntilEnded(pid, 5s)) << pid;
        }
        EXPECT_EQ(outlived, 0) << "processes still running when the read returned, in " << kTrials
                               << " reads";
        // Each read waits for the tree to end, not for an orphan's reaper: a zombie has ended.
        EXPECT_LT(Clock::now() - began, kTrials * 500ms);
    }
}

}  // namespace
}  // namespace quill
