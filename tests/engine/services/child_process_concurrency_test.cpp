#include "engine/services/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <sstream>

#include "engine/core/text.h"
#include "engine/services/live_process_runner.h"
#include "tests/support/fake_bin.h"
#include "tests/support/process_printers.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using test::kTestChild;
using Clock = std::chrono::steady_clock;

/// The process ids a child wrote with "record".
std::vector<pid_t> recordedPids(const std::filesystem::path& file) {
    std::vector<pid_t> pids;
    std::istringstream lines(test::readFile(file));
    for (std::string line; std::getline(lines, line);)
        pids.push_back(static_cast<pid_t>(std::atoi(line.c_str())));
    return pids;
}

/// Reads events until the line `text`; false when the stream ends first.
bool waitForLine(Stream<ProcessStreamEvent>& events, const std::string& text) {
    while (auto event = events.next()) {
        if (*event == ProcessStreamEvent(ProcessStreamEvent::Line{text}))
            return true;
    }
    return false;
}

std::optional<int> exitCodeOf(const std::vector<ProcessStreamEvent>& events) {
    if (events.empty())
        return std::nullopt;
    const auto* exited = std::get_if<ProcessStreamEvent::Exited>(&events.back().value);
    return exited ? std::optional<int>(exited->code) : std::nullopt;
}

/// Every recorded process has ended by `until`.
void expectAllEndedBy(const std::vector<pid_t>& pids, Clock::time_point until) {
    for (const pid_t pid : pids) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        EXPECT_TRUE(test::waitUntilEnded(pid, std::max(left, 0ms))) << "process " << pid << " still runs";
    }
}

TEST(ChildProcessTerminationTest, AGroupThatTrapsTheTermRequestIsKilledAfterTheGrace) {
    struct Case {
        const char* name;
        std::vector<std::string> trap;  // how the child and its grandchild answer SIGTERM
        int expectedCode;
        LiveProcessRunner::Options waits;
        std::chrono::milliseconds grace;
    };
    // The trapping group waits out the program's own grace; the others a short one.
    const Case cases[] = {
        {"trapping", {"count-term"}, SIGKILL, {}, 5s},
        {"ignoring", {"ignore-term"}, SIGKILL, test::kShortWaits, 200ms},
        {"obeying", {}, SIGTERM, test::kShortWaits, 200ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory folder;
        const auto pidFile = folder.path() / "pids";
        std::vector<std::string> arguments{"record", pidFile.string()};
        arguments.insert(arguments.end(), c.trap.begin(), c.trap.end());
        arguments.insert(arguments.end(), {"grandchild", "60000", "line", "ready", "sleep", "60000"});

        auto handle = std::make_shared<LiveProcessCancellation>();
        auto events = LiveProcessRunner(c.waits).stream(kTestChild, arguments, std::nullopt, handle);
        ASSERT_TRUE(waitForLine(events, "ready"));
        const auto pids = recordedPids(pidFile);
        ASSERT_EQ(pids.size(), 2u);

        const auto cancelled = Clock::now();
        handle->cancel();
        std::vector<ProcessStreamEvent> rest;
        while (auto event = events.next())
            rest.push_back(std::move(*event));
        EXPECT_EQ(exitCodeOf(rest), c.expectedCode);
        const auto grace = c.grace;
        if (c.expectedCode == SIGKILL) {
            EXPECT_GE(Clock::now() - cancelled, grace);
        }
        EXPECT_LT(Clock::now() - cancelled, grace + 1s);
        expectAllEndedBy(pids, cancelled + grace + 1s);
    }
}

TEST(ChildProcessTerminationTest, ARunPastItsLimitLeavesNoProcessOfTheGroup) {
    test::TemporaryDirectory folder;
    const auto pidFile = folder.path() / "pids";
    // A grace well past the limit shows whether the call waits for it.
    constexpr auto kGrace = 1500ms;
    const auto start = Clock::now();
    const auto result =
        LiveProcessRunner({.terminationGrace = kGrace})
            .run(kTestChild,
                 {"record", pidFile.string(), "ignore-term", "grandchild", "60000", "sleep", "60000"},
                 std::nullopt, 300ms);
    const auto returned = Clock::now();
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), processTimedOut(kTestChild));
    EXPECT_LT(returned - start, kGrace) << "the call returns at its limit, not after the grace";
    const auto pids = recordedPids(pidFile);
    ASSERT_EQ(pids.size(), 2u);
    expectAllEndedBy(pids, returned + kGrace + 1s);
}

TEST(ChildProcessTerminationTest, AGrandchildIgnoringTheRequestIsKilledAfterItsParentObeyed) {
    test::TemporaryDirectory folder;
    const auto pidFile = folder.path() / "pids";
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events = LiveProcessRunner(test::kShortWaits)
                      .stream(kTestChild,
                              {"record", pidFile.string(), "ignore-term", "grandchild", "60000", "obey-term",
                               "line", "ready", "sleep", "60000"},
                              std::nullopt, handle);
    ASSERT_TRUE(waitForLine(events, "ready"));
    const auto pids = recordedPids(pidFile);
    ASSERT_EQ(pids.size(), 2u);

    const auto cancelled = Clock::now();
    handle->cancel();
    // The parent's own ending is what the consumer sees, once the grandchild's hold on the pipe has been
    // waited out.
    EXPECT_EQ(exitCodeOf(drain(events)), SIGTERM);
    expectAllEndedBy({pids[1]}, cancelled + test::kShortWaits.terminationGrace + 1s);
}

TEST(ChildProcessTerminationTest, AGrandchildsLateOutputArrivesBeforeTheExit) {
    const std::vector<std::string> script{"-c", "(sleep 0.3; echo late) & echo early"};
    auto events = LiveProcessRunner().stream("/bin/sh", script, std::nullopt, nullptr);
    EXPECT_EQ(drain(events), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Line{"early"},
                                                              ProcessStreamEvent::Line{"late"},
                                                              ProcessStreamEvent::Exited{0}}));

    const auto result = LiveProcessRunner().run("/bin/sh", script);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->stdout_, "early\nlate\n");
}

}  // namespace
}  // namespace quill
