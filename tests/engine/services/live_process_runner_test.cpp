#include "engine/services/live_process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <stop_token>
#include <thread>

#include "engine/core/text.h"
#include "tests/support/eventually.h"
#include "tests/support/fake_bin.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/process_printers.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using test::kTestChild;
using Clock = std::chrono::steady_clock;

std::vector<ProcessStreamEvent> streamAll(const std::vector<std::string>& arguments,
                                          const std::optional<Environment>& environment = std::nullopt,
                                          std::shared_ptr<LiveProcessCancellation> handle = nullptr) {
    auto events =
        LiveProcessRunner(test::kShortWaits).stream(kTestChild, arguments, environment, std::move(handle));
    return drain(events);
}

std::vector<ProcessStreamEvent> lines(std::initializer_list<std::string> texts, int code) {
    std::vector<ProcessStreamEvent> events;
    for (const auto& text : texts)
        events.push_back(ProcessStreamEvent::Line{text});
    events.push_back(ProcessStreamEvent::Exited{code});
    return events;
}

/// The process id a child announced as "grandchild <pid>".
pid_t announcedPid(const std::string& text) {
    const auto space = text.rfind(' ');
    return static_cast<pid_t>(std::atoi(text.c_str() + (space == std::string::npos ? 0 : space + 1)));
}

TEST(LiveProcessRunnerTest, RunCollectsBothOutputsWholeAndTheExitCode) {
    // Far past a pipe's buffer on both outputs: only reading both at once lets the child finish.
    constexpr std::size_t kSize = 1 << 20;
    const auto result = LiveProcessRunner(test::kShortWaits)
                            .run(kTestChild, {"out", std::to_string(kSize), "err", std::to_string(kSize),
                                              "out", "10", "exit", "7"});
    ASSERT_TRUE(result.has_value()) << result.error().message;
    EXPECT_EQ(result->exitCode, 7);
    EXPECT_EQ(result->stdout_, std::string(kSize + 10, 'o'));
    EXPECT_EQ(result->stderr_, std::string(kSize, 'e'));
}

TEST(LiveProcessRunnerTest, RunDropsTextThatIsNotUtf8ButKeepsTheRest) {
    const auto invalid =
        LiveProcessRunner(test::kShortWaits).run(kTestChild, {"hex", "61ff62", "eline", "fine", "exit", "3"});
    ASSERT_TRUE(invalid.has_value());
    EXPECT_EQ(*invalid, (ProcessResult{3, "", "fine\n"}));

    const auto accented = LiveProcessRunner(test::kShortWaits).run(kTestChild, {"hex", "c3a9e280940a"});
    ASSERT_TRUE(accented.has_value());
    EXPECT_EQ(accented->stdout_, "é—\n");
}

TEST(LiveProcessRunnerTest, RunReportsLaunchFailuresWithTheSystemsDescription) {
    const auto missing = LiveProcessRunner(test::kShortWaits).run("/nonexistent/quill-tool", {});
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error(), (Error{"ProcessRunner", ENOENT, "No such file or directory"}));
    // The fake that other tests run against answers the same.
    EXPECT_EQ(test::FakeProcessRunner::notFoundError("/nonexistent/quill-tool"), missing.error());

    test::TemporaryDirectory folder;
    const auto notExecutable = folder.write("tool", "#!/bin/sh\necho hi\n");
    const auto refused = LiveProcessRunner(test::kShortWaits).run(notExecutable.string(), {});
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().code, EACCES);
    EXPECT_EQ(refused.error().message, "Permission denied");
}

TEST(LiveProcessRunnerTest, ChildrenGetAnEmptyInputAGroupOfTheirOwnAndSignalNumbersAsCodes) {
    // A child reading standard input sees its end at once, whatever our own input is: here a pipe holding
    // text.
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::write(input[1], "ours\n", 5), 5);
    ::close(input[1]);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[0]);
    const auto reader =
        LiveProcessRunner(test::kShortWaits).run("/bin/sh", {"-c", "cat; echo done"}, std::nullopt, 10s);
    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    ASSERT_TRUE(reader.has_value());
    EXPECT_EQ(reader->stdout_, "done\n");

    const auto group = LiveProcessRunner(test::kShortWaits).run(kTestChild, {"pid", "pgid"});
    ASSERT_TRUE(group.has_value());
    const auto ids = splitLines(group->stdout_);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0], ids[1]);

    // Descriptors opened elsewhere without close-on-exec stay out of the child, as do our own pipes.
    int leaky[2];
    ASSERT_EQ(::pipe(leaky), 0);
    const auto descriptors = LiveProcessRunner(test::kShortWaits).run(kTestChild, {"fds"});
    ::close(leaky[0]);
    ::close(leaky[1]);
    ASSERT_TRUE(descriptors.has_value());
    EXPECT_EQ(descriptors->stdout_, "none\n");
    EXPECT_EQ(streamAll({"fds"}), lines({"none"}, 0));

    const auto killed = LiveProcessRunner(test::kShortWaits).run("/bin/sh", {"-c", "kill -TERM $$"});
    ASSERT_TRUE(killed.has_value());
    EXPECT_EQ(killed->exitCode, SIGTERM);
}

// Some systems report a stopped child to a wait for exits: only an exit, a kill or a core dump is an end.
TEST(LiveProcessRunnerTest, OnlyAnExitOrAKillingSignalEndsAChild) {
    struct Row {
        const char* name;
        int code;
        int status;
        std::optional<int> exitCode;
    };
    const Row rows[] = {
        {"stopped", CLD_STOPPED, SIGSTOP, std::nullopt}, {"continued", CLD_CONTINUED, SIGCONT, std::nullopt},
        {"trapped", CLD_TRAPPED, SIGTRAP, std::nullopt}, {"exited", CLD_EXITED, 3, 3},
        {"killed", CLD_KILLED, SIGKILL, SIGKILL},        {"dumped", CLD_DUMPED, SIGSEGV, SIGSEGV},
    };
    for (const auto& row : rows) {
        siginfo_t report{};
        report.si_code = row.code;
        report.si_status = row.status;
        EXPECT_EQ(exitCodeFromReport(report), row.exitCode) << row.name;
    }

    // A real child that stops itself has not exited, and its wait ends with its own status once continued.
    const FileDescriptor null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    auto child =
        ChildProcess::spawn("/bin/sh", {"-c", "kill -STOP $$; exit 4"}, std::nullopt, null.get(), null.get());
    ASSERT_TRUE(child.has_value());
    siginfo_t stopped{};
    EXPECT_TRUE(test::eventually([&] {
        return ::waitid(P_PID, static_cast<id_t>((*child)->pid()), &stopped, WSTOPPED | WNOHANG | WNOWAIT) !=
                   0 ||
               stopped.si_pid != 0;
    }));
    EXPECT_EQ(stopped.si_code, CLD_STOPPED);
    EXPECT_FALSE((*child)->hasExited());
    std::jthread resume([pid = (*child)->pid()] {
        std::this_thread::sleep_for(200ms);
        ::kill(pid, SIGCONT);
    });
    EXPECT_EQ((*child)->wait(), 4);
}

TEST(LiveProcessRunnerTest, AGivenEnvironmentReplacesOursAMissingOneInheritsIt) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "<unset>";

    const auto inherited =
        LiveProcessRunner(test::kShortWaits).run(kTestChild, {"env", "HOME", "env", "QUILL_GIVEN"});
    ASSERT_TRUE(inherited.has_value());
    EXPECT_EQ(inherited->stdout_, home + "\n<unset>\n");

    const auto given =
        LiveProcessRunner(test::kShortWaits)
            .run(kTestChild, {"env", "HOME", "env", "QUILL_GIVEN"}, Environment{{"QUILL_GIVEN", "yes"}});
    ASSERT_TRUE(given.has_value());
    EXPECT_EQ(given->stdout_, "<unset>\nyes\n");

    EXPECT_EQ(streamAll({"env", "HOME", "env", "QUILL_GIVEN"}), lines({home, "<unset>"}, 0));
    EXPECT_EQ(streamAll({"env", "HOME", "env", "QUILL_GIVEN"}, Environment{{"QUILL_GIVEN", "yes"}}),
              lines({"<unset>", "yes"}, 0));
}

TEST(LiveProcessRunnerTest, RunEndsAChildThatOutlivesItsTimeLimit) {
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    const auto result =
        LiveProcessRunner(test::kShortWaits).run(kTestChild, {"pid", "sleep", "30000"}, std::nullopt, 300ms);
    const auto elapsed = Clock::now() - start;
    const std::chrono::duration<double> cpu{static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC};
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().domain, "ProcessRunner");
    EXPECT_EQ(result.error().code, ETIMEDOUT);
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 10s);
    // Waiting for the child's output spins no core.
    EXPECT_LT(cpu, elapsed / 10);

    // A child that closes its outputs but keeps running is still held to the limit.
    const auto silent = LiveProcessRunner(test::kShortWaits)
                            .run("/bin/sh", {"-c", "exec >&- 2>&-; sleep 30"}, std::nullopt, 300ms);
    ASSERT_FALSE(silent.has_value());
    EXPECT_EQ(silent.error().code, ETIMEDOUT);

    const auto quick =
        LiveProcessRunner(test::kShortWaits).run(kTestChild, {"line", "in time"}, std::nullopt, 10s);
    ASSERT_TRUE(quick.has_value());
    EXPECT_EQ(quick->stdout_, "in time\n");

    // A child that finished in time keeps its result when the limit passes while only a grandchild still
    // holds the pipe.
    const auto finished =
        LiveProcessRunner(test::kShortWaits)
            .run(kTestChild, {"grandchild", "20000", "line", "parent done"}, std::nullopt, 1s);
    ASSERT_TRUE(finished.has_value()) << finished.error().message;
    EXPECT_EQ(finished->exitCode, 0);
    const auto output = splitLines(finished->stdout_);
    ASSERT_EQ(output.size(), 2u);
    EXPECT_EQ(output[1], "parent done");
    ::kill(announcedPid(output[0]), SIGKILL);
}

TEST(LiveProcessRunnerTest, AStopEndsTheRunAndItsChild) {
    test::TemporaryDirectory folder;
    const auto pidFile = folder.path() / "pid";
    const struct {
        const char* name;
        std::string executable;
        std::vector<std::string> arguments;
    } rows[] = {
        {"while it writes", kTestChild, {"record", pidFile.string(), "line", "ready", "sleep", "30000"}},
        {"after closing its outputs",
         "/bin/sh",
         {"-c", "exec >&- 2>&-; echo $$ > " + pidFile.string() + "; exec sleep 30"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(pidFile);
        std::stop_source stop;
        std::jthread stopper([&stop, &pidFile] {
            EXPECT_TRUE(test::eventually([&pidFile] { return !test::readFile(pidFile).empty(); }))
                << "the child started";
            stop.request_stop();
        });
        const auto start = Clock::now();
        const auto result = LiveProcessRunner(test::kShortWaits)
                                .run(row.executable, row.arguments, std::nullopt, 60s, stop.get_token());
        EXPECT_LT(Clock::now() - start, 10s);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error(), (Error{"ProcessRunner", ECANCELED, row.executable + " was stopped"}));
        EXPECT_TRUE(test::waitUntilEnded(std::atoi(test::readFile(pidFile).c_str()), 6s));
    }

    // Stopped before it starts: no child at all.
    std::filesystem::remove(pidFile);
    std::stop_source early;
    early.request_stop();
    const auto never =
        LiveProcessRunner(test::kShortWaits)
            .run(kTestChild, {"record", pidFile.string()}, std::nullopt, std::nullopt, early.get_token());
    ASSERT_FALSE(never.has_value());
    EXPECT_EQ(never.error().code, ECANCELED);
    EXPECT_FALSE(std::filesystem::exists(pidFile));
}

TEST(LiveProcessRunnerTest, AGrandchildHoldingThePipeDelaysTheEndOnlyByTheGracePeriod) {
    const auto start = Clock::now();
    // The program's own exit grace, once; the stream below waits out the short one.
    const auto result = LiveProcessRunner().run(kTestChild, {"grandchild", "20000", "line", "parent done"});
    const auto elapsed = Clock::now() - start;
    ASSERT_TRUE(result.has_value());
    EXPECT_GE(elapsed, 2s);
    EXPECT_LT(elapsed, 2s + 6s);
    const auto output = splitLines(result->stdout_);
    ASSERT_EQ(output.size(), 2u);
    EXPECT_EQ(output[1], "parent done");
    ::kill(announcedPid(output[0]), SIGKILL);

    const auto streamStart = Clock::now();
    const auto events = streamAll({"grandchild", "20000", "line", "parent done"});
    EXPECT_LT(Clock::now() - streamStart, test::kShortWaits.exitGrace + 1500ms);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1], ProcessStreamEvent(ProcessStreamEvent::Line{"parent done"}));
    EXPECT_EQ(events[2], ProcessStreamEvent(ProcessStreamEvent::Exited{0}));
    ::kill(announcedPid(std::get<ProcessStreamEvent::Line>(events[0].value).text), SIGKILL);
}

TEST(LiveProcessRunnerTest, StreamDeliversEveryLineOfBothOutputsThenTheExit) {
    EXPECT_EQ(streamAll({"line", "first", "eline", "second", "partial", "no newline", "exit", "4"}),
              lines({"first", "second", "no newline"}, 4));
    EXPECT_EQ(streamAll({"eline", "only on stderr"}), lines({"only on stderr"}, 0));
    EXPECT_EQ(streamAll({"hex", "610d0a620d63e280a864"}), lines({"a", "b", "c", "d"}, 0));

    // Many lines written at once arrive whole and in order.
    std::vector<std::string> arguments;
    for (int i = 0; i < 2000; ++i) {
        arguments.push_back(i % 2 ? "line" : "eline");
        arguments.push_back("line " + std::to_string(i));
    }
    const auto events = streamAll(arguments);
    ASSERT_EQ(events.size(), 2001u);
    for (int i = 0; i < 2000; ++i)
        EXPECT_EQ(events[i], ProcessStreamEvent(ProcessStreamEvent::Line{"line " + std::to_string(i)}));
}

TEST(LiveProcessRunnerTest, StreamOfAMissingExecutableYieldsOnlyFailedToStart) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events =
        LiveProcessRunner(test::kShortWaits).stream("/nonexistent/quill-tool", {}, std::nullopt, handle);
    EXPECT_EQ(
        drain(events),
        (std::vector<ProcessStreamEvent>{ProcessStreamEvent::FailedToStart{"No such file or directory"}}));
    handle->cancel();  // nothing attached: harmless
}

TEST(LiveProcessRunnerTest, CancellingTheHandleTerminatesTheWholeGroup) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events = LiveProcessRunner(test::kShortWaits)
                      .stream(kTestChild, {"grandchild", "30000", "sleep", "30000"}, std::nullopt, handle);
    const auto first = events.next();
    ASSERT_TRUE(first.has_value());
    const pid_t grandchild = announcedPid(std::get<ProcessStreamEvent::Line>(first->value).text);

    const auto start = Clock::now();
    handle->cancel();
    EXPECT_EQ(drain(events), (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Exited{SIGTERM}}));
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_TRUE(test::waitUntilEnded(grandchild, 10s));
}

TEST(LiveProcessRunnerTest, AHandleCanceledBeforeTheLaunchTerminatesTheChildAtOnce) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    handle->cancel();
    const auto start = Clock::now();
    EXPECT_EQ(streamAll({"sleep", "30000"}, std::nullopt, handle),
              (std::vector<ProcessStreamEvent>{ProcessStreamEvent::Exited{SIGTERM}}));
    EXPECT_LT(Clock::now() - start, 10s);
}

TEST(LiveProcessRunnerTest, EndingTheStreamFromTheConsumerTerminatesTheChild) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    pid_t child = 0;
    {
        auto events = LiveProcessRunner(test::kShortWaits)
                          .stream(kTestChild, {"pid", "sleep", "30000"}, std::nullopt, handle);
        const auto first = events.next();
        ASSERT_TRUE(first.has_value());
        child = std::atoi(std::get<ProcessStreamEvent::Line>(first->value).text.c_str());
    }
    EXPECT_TRUE(handle->isCanceled());
    EXPECT_TRUE(test::waitUntilEnded(child, 10s));
}

}  // namespace
}  // namespace quill
