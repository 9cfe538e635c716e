#include "engine/installers/git_config_script.h"

#include <gtest/gtest.h>

#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::readFile;

constexpr const char* kIgnoreFile =
    "# Created by Quillstart. Files you never want to commit, in any repo.\n# macOS\n.DS_Store\n._*\n"
    ".Spotlight-V100\n.Trashes\n# Editor swap / backup\n*.swp\n*.swo\n*~\n";

class GitConfigScriptShellTest : public ::testing::Test {
  protected:
    /// A stand-in git that logs its arguments, answers `--get` for the keys in $HOME/set, and fails on the
    /// one whose arguments contain $HOME/fail's text.
    void SetUp() override {
        tools.add("git", R"sh(printf '%s|' "$@" >> "$HOME/git.log"; echo >> "$HOME/git.log"
if [ -f "$HOME/fail" ] && printf '%s ' "$@" | grep -qF "$(cat "$HOME/fail")"; then exit 3; fi
if [ "$3" = "--get" ]; then grep -qxF "$4" "$HOME/set" 2>/dev/null; exit $?; fi
exit 0
)sh");
    }
    ProcessResult run(const std::string& name, const std::string& email) const {
        auto result = LiveProcessRunner().run("/bin/sh", {"-c", GitConfigScript::build(name, email)});
        return result ? *result : ProcessResult{-1, "", result.error().message};
    }

    test::TemporaryHome home;
    test::StandInPath tools;
};

TEST_F(GitConfigScriptShellTest, PassesValuesAsTheyAreAndKeepsTheUsersSettings) {
    home.write("set", "pull.rebase\n");
    EXPECT_EQ(run("O'Brien $(touch pwned)", "a`id`@b").exitCode, 0);
    EXPECT_EQ(readFile(home / "git.log"),
              "config|--global|user.name|O'Brien $(touch pwned)|\n"
              "config|--global|user.email|a`id`@b|\n"
              "config|--global|init.defaultBranch|main|\n"
              "config|--global|push.autoSetupRemote|true|\n"
              "config|--global|--get|pull.rebase|\n"
              "config|--global|--get|fetch.prune|\n"
              "config|--global|fetch.prune|true|\n");
    EXPECT_FALSE(fs::exists(home / "pwned"));
    EXPECT_EQ(readFile(home / ".config/git/ignore"), kIgnoreFile);

    // Without the user's own pull.rebase both keep-or-set keys are set; an ignore file of the user's own is
    // never touched.
    fs::remove(home / "set");
    fs::remove(home / "git.log");
    home.write(".config/git/ignore", "mine\n");
    EXPECT_EQ(run("Ann", "ann@example.com").exitCode, 0);
    const auto log = readFile(home / "git.log");
    EXPECT_NE(log.find("config|--global|pull.rebase|false|\nconfig|--global|--get|fetch.prune|\n"
                       "config|--global|fetch.prune|true|\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(readFile(home / ".config/git/ignore"), "mine\n");
}

TEST_F(GitConfigScriptShellTest, StopsAtTheFirstFailingCommand) {
    home.write("fail", "user.name");
    EXPECT_EQ(run("Ann", "ann@example.com").exitCode, 3);
    EXPECT_EQ(readFile(home / "git.log"), "config|--global|user.name|Ann|\n");
    EXPECT_FALSE(fs::exists(home / ".config/git/ignore"));
}

}  // namespace
}  // namespace quill
