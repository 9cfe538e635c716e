#include "engine/services/shell_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/services/live_process_runner.h"
#include "tests/support/fake_bin.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/process_printers.h"
#include "tests/support/process_watch.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

ShellRunner liveShell() {
    return ShellRunner{std::make_shared<LiveProcessRunner>()};
}

TEST(ShellRunnerTest, StreamsOutputLinesThenTheExitCode) {
    auto events = liveShell().stream("/bin/sh", {"-c", "echo one; echo two >&2; exit 3"});
    EXPECT_EQ(drain(events), (std::vector<StreamEvent>{StreamEvent::Output{"one"}, StreamEvent::Output{"two"},
                                                       StreamEvent::Completed{3}}));
}

TEST(ShellRunnerTest, AChildThatCannotStartGivesOneLineAndMinusOne) {
    auto events = liveShell().stream("/nonexistent/quill-tool", {"--version"});
    EXPECT_EQ(drain(events),
              (std::vector<StreamEvent>{
                  StreamEvent::Output{"Failed to start /nonexistent/quill-tool: No such file or directory",
                                      OutputKind::own},
                  StreamEvent::Completed{-1}}));
}

TEST(ShellRunnerTest, StoppingInTheMiddleTerminatesTheChildWithoutACompletion) {
    pid_t child = 0;
    {
        auto events = liveShell().stream("/bin/sh", {"-c", "echo $$; exec sleep 30"});
        const auto first = events.next();
        ASSERT_TRUE(first.has_value());
        child = std::atoi(std::get<StreamEvent::Output>(first->value).text.c_str());
        ASSERT_GT(child, 0);
        events.cancel();
        EXPECT_EQ(events.next(), std::nullopt);
    }
    EXPECT_TRUE(test::waitUntilEnded(child, 10s));
}

TEST(ShellRunnerTest, RunPassesCallsThroughAndStandInsRunForToolPaths) {
    test::FakeBin bin;
    bin.addPrinting("/usr/libexec/java_home", "/Library/Java/Home\n", 2);
    const ShellRunner shell{bin.runner()};

    const auto result = shell.run("/usr/libexec/java_home", {"-V"});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, (ProcessResult{2, "/Library/Java/Home\n", ""}));

    auto events = shell.stream("/usr/libexec/java_home", {});
    EXPECT_EQ(drain(events), (std::vector<StreamEvent>{StreamEvent::Output{"/Library/Java/Home"},
                                                       StreamEvent::Completed{2}}));

    auto fake = std::make_shared<test::FakeProcessRunner>();
    fake->whenRun(test::FakeProcessRunner::anyCallTo("/usr/bin/uname"), test::processResult(0, "arm64\n"));
    const auto uname = ShellRunner{fake}.run("/usr/bin/uname", {"-m"}, std::nullopt, 5s);
    ASSERT_TRUE(uname.has_value());
    EXPECT_EQ(uname->stdout_, "arm64\n");
    ASSERT_EQ(fake->calls().size(), 1u);
    EXPECT_EQ(fake->calls()[0].timeLimit, std::optional<std::chrono::milliseconds>(5s));
}

}  // namespace
}  // namespace quill
