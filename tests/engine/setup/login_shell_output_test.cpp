#include "engine/setup/login_shell_output.h"

#include <gtest/gtest.h>

#include "engine/services/live_process_runner.h"
#include "tests/support/fake_process_runner.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

TEST(LoginShellOutputTest, AnswersOkOnlyForExitZeroWithOutputAndKeepsTheTrimmedText) {
    const LiveProcessRunner shell;
    EXPECT_EQ(loginShellOutput(shell, "printf '  17.0.2 \\n'"), (LoginShellOutput{true, "17.0.2"}));
    EXPECT_EQ(loginShellOutput(shell, "echo /usr/bin/java; echo ignored >&2; exit 1"),
              (LoginShellOutput{false, "/usr/bin/java"}));
    EXPECT_EQ(loginShellOutput(shell, "true"), (LoginShellOutput{false, ""}));
    EXPECT_EQ(loginShellOutput(shell, "printf ' \\n\\t\\n'"), (LoginShellOutput{false, ""}));
}

TEST(LoginShellOutputTest, AShellThatCannotRunOrRunsTooLongAnswersNothing) {
    test::FakeProcessRunner nothing;
    EXPECT_EQ(loginShellOutput(nothing, "java -version"), (LoginShellOutput{false, ""}));
    ASSERT_EQ(nothing.calls().size(), 1u);
    EXPECT_EQ(nothing.calls()[0].executable, "/bin/zsh");
    EXPECT_EQ(nothing.calls()[0].arguments, (std::vector<std::string>{"-lc", "java -version"}));
    EXPECT_EQ(nothing.calls()[0].timeLimit, std::optional<std::chrono::milliseconds>(30s));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(loginShellOutput(LiveProcessRunner(), "echo early; sleep 30", 300ms),
              (LoginShellOutput{false, ""}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

}  // namespace
}  // namespace quill
