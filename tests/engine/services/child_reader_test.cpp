#include "engine/services/child_reader.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <sstream>

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
// child, whether it holds the output or has closed it, long before the termination grace.
TEST(ChildReaderTest, ACanceledReadToTheEndLeavesNoProcessOfTheTree) {
    const auto runner = std::make_shared<const LiveProcessRunner>(
        LiveProcessRunner::Options{.terminationGrace = 30s, .exitGrace = 200ms});
    for (const char* grandchild : {"grandchild", "closed-grandchild"}) {
        SCOPED_TRACE(grandchild);
        const test::TemporaryDirectory folder;
        const auto pids = folder.path() / "pids";
        auto handle = std::make_shared<LiveProcessCancellation>();
        auto child = runner->stream(test::kTestChild,
                                    {"record", pids.string(), "ignore-term", grandchild, "60000", "obey-term",
                                     "line", "ready", "sleep", "60000"},
                                    std::nullopt, handle);
        std::stop_source stop;
        const ChildEnd end =
            readChild(std::move(child), *handle, stop.get_token(), [&](const std::string& line) {
                if (line == "ready")
                    stop.request_stop();
            });
        EXPECT_EQ(end.exitCode, SIGTERM);
        std::istringstream recorded(test::readFile(pids));
        int count = 0;
        for (pid_t pid = 0; recorded >> pid; ++count)
            EXPECT_TRUE(test::waitUntilEnded(pid, 250ms)) << pid;
        EXPECT_EQ(count, 2);
    }
}

}  // namespace
}  // namespace quill
