#include "engine/telemetry/shut_down.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "engine/core/task.h"
#include "engine/services/child_reader.h"
#include "engine/services/live_process_runner.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// Starts a child that traps SIGTERM, with a grandchild, records both ids in `pidFile` and returns once they
/// run; a task of its own reads the stream to its end and terminates the child when stopped.
std::shared_ptr<LiveProcessCancellation> startTrappingGroup(const std::filesystem::path& pidFile) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events = std::make_shared<Stream<ProcessStreamEvent>>(LiveProcessRunner().stream(
        test::kTestChild,
        {"record", pidFile.string(), "count-term", "grandchild", "60000", "line", "ready", "sleep", "60000"},
        std::nullopt, handle));
    while (auto event = events->next()) {
        if (*event == ProcessStreamEvent(ProcessStreamEvent::Line{"ready"}))
            break;
    }
    spawnTask([events, handle](const std::stop_token& stop) {
        (void)readChild(std::move(*events), *handle, stop, nullptr);
    });
    return handle;
}

/// A file both the test and its death-test process (a fresh run of this program, started by the test) name
/// alike: the death-test process knows the test by its parent's id.
std::filesystem::path pidFile(pid_t testProcess, const char* name) {
    return std::filesystem::temp_directory_path() /
           ("quill-shut-down-" + std::to_string(testProcess) + "-" + name);
}

/// Runs a child that traps SIGTERM, with a grandchild, on a thread that is no task (as a probe of the
/// profiler's is) and with no way to stop it; returns once both run.
void startUnstoppableRun(const std::filesystem::path& pidFile) {
    std::thread([pidFile] {
        (void)LiveProcessRunner().run(test::kTestChild, {"record", pidFile.string(), "count-term",
                                                         "grandchild", "60000", "sleep", "60000"});
    }).detach();
    const auto recorded = [&pidFile] {
        const auto pids = test::readFile(pidFile);
        return std::count(pids.begin(), pids.end(), '\n');
    };
    while (recorded() < 2)
        std::this_thread::sleep_for(10ms);
}

/// How a death-test process ends once `shutDown` has returned: codes the forced exit, which gives 0, never
/// gives.
constexpr int kReturned = 10;
constexpr int kReturnedLate = 11;

TEST(ShutDownTest, LeavesNoChildProcessBehind) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto inGrace = pidFile(::getpid(), "in-grace");
    const auto running = pidFile(::getpid(), "running");
    const auto unstoppable = pidFile(::getpid(), "unstoppable");
    EXPECT_EXIT(
        {
            // One group already in its grace period, one still running under a task that reads it and
            // terminates it only when the shutdown stops the task, and one that nothing but the shutdown can
            // end. Each is killed at once, and the shutdown returns rather than ending the process early.
            startTrappingGroup(pidFile(::getppid(), "in-grace"))->cancel();
            startTrappingGroup(pidFile(::getppid(), "running"));
            startUnstoppableRun(pidFile(::getppid(), "unstoppable"));
            const auto start = Clock::now();
            shutDown(Clock::now() + kShutDownBudget);
            shutDown(Clock::now() + kShutDownBudget);  // a second call finds nothing left to do
            std::_Exit(Clock::now() - start < 1s ? kReturned : kReturnedLate);
        },
        testing::ExitedWithCode(kReturned), "");

    for (const auto& file : {inGrace, running, unstoppable}) {
        std::istringstream pids(test::readFile(file));
        int count = 0;
        for (std::string pid; std::getline(pids, pid); ++count)
            EXPECT_TRUE(test::waitUntilEnded(std::atoi(pid.c_str()), 5s)) << file << ": " << pid;
        EXPECT_EQ(count, 2) << file;
        std::filesystem::remove(file);
    }
}

TEST(ShutDownTest, ATaskThatOutlivesTheDeadlineEndsTheProcessWithoutStaticDestructors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            spawnTask([](std::stop_token) { std::this_thread::sleep_for(30s); });  // never looks at its token
            shutDown(Clock::now() + 200ms);
            std::_Exit(kReturned);
        },
        testing::ExitedWithCode(EXIT_SUCCESS), "");
}

}  // namespace
}  // namespace quill
