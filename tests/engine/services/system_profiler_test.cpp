#include "engine/services/system_profiler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "engine/services/live_file_system.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::FakeProcessRunner;
using test::processResult;
using namespace std::chrono_literals;

/// A profiler over a fake process runner, a temporary home and a temporary stand-in for /Applications, /opt,
/// /usr/local and /Library. Commands nobody scripted fail to start.
class SystemProfilerTest : public ::testing::Test {
  protected:
    void executable(const fs::path& path) {
        const auto written = path.is_absolute() ? machine.write(path.relative_path(), "#!/bin/sh\n")
                                                : home.write(path, "#!/bin/sh\n");
        fs::permissions(written, fs::perms::owner_all);
    }
    void plainFile(const fs::path& path) {
        if (path.is_absolute()) {
            machine.write(path.relative_path(), "");
        } else {
            home.write(path, "");
        }
    }
    void folder(const fs::path& path) {
        if (path.is_absolute()) {
            machine.makeDirectory(path.relative_path());
        } else {
            fs::create_directories(home / path);
        }
    }
    void answer(const std::string& executable, std::vector<std::string> arguments,
                const ProcessResult& result, std::chrono::milliseconds delay = 0ms) {
        runner->whenRun(FakeProcessRunner::exactly(executable, std::move(arguments)), result, delay);
    }
    [[nodiscard]] std::size_t callsTo(const std::string& executable, const std::string& argument) const {
        std::size_t count = 0;
        for (const auto& call : runner->calls()) {
            if (call.executable == executable && call.arguments == std::vector<std::string>{argument})
                ++count;
        }
        return count;
    }

    test::TemporaryHome home;
    test::TemporaryDirectory machine;
    std::shared_ptr<FakeProcessRunner> runner = std::make_shared<FakeProcessRunner>();
    SystemProfiler profiler{ShellRunner{runner}, std::make_shared<test::PathMappingFileSystem>(
                                                     std::make_shared<LiveFileSystem>(), machine.path())};
};

TEST_F(SystemProfilerTest, ArchitectureComesFromUnameWhateverItsExitStatus) {
    const std::vector<std::pair<ProcessResult, Architecture>> cases = {
        {processResult(0, "arm64\n"), Architecture::appleSilicon},
        {processResult(0, "  x86_64  "), Architecture::intel},
        {processResult(1, "arm64"), Architecture::appleSilicon},
        {processResult(0, "i386"), Architecture::unknown},
        {processResult(0, "ARM64"), Architecture::unknown},
        {processResult(0, ""), Architecture::unknown},
    };
    for (const auto& [result, expected] : cases) {
        answer("/usr/bin/uname", {"-m"}, result);
        EXPECT_EQ(profiler.profile().architecture, expected) << result.stdout_;
    }
}

TEST_F(SystemProfilerTest, NothingFoundGivesTheEmptyProfile) {
    const SystemProfile profile = profiler.profile();
    EXPECT_EQ(profile.architecture, Architecture::unknown);
    EXPECT_FALSE(profile.homebrewPrefix || profile.sdkmanRoot || profile.miseExecutable || profile.jenvRoot ||
                 profile.asdfRoot || profile.xcodeCommandLineToolsPath);
    EXPECT_EQ(profile.aiTooling, AITooling{});
    EXPECT_EQ(profile.terminals, Terminals{});
    EXPECT_EQ(profile.markdownEditors, MarkdownEditors{});
    EXPECT_EQ(profile.javaState, ProbeBundle{});
    EXPECT_FALSE(profile.isLikelyDeveloper());
}

TEST_F(SystemProfilerTest, HomebrewPrefersTheAppleSiliconPrefix) {
    plainFile("/opt/homebrew/bin/brew");  // not executable
    EXPECT_EQ(profiler.profile().homebrewPrefix, std::nullopt);
    executable("/usr/local/bin/brew");
    EXPECT_EQ(profiler.profile().homebrewPrefix, fs::path("/usr/local/bin/brew"));
    executable("/opt/homebrew/bin/brew");
    EXPECT_EQ(profiler.profile().homebrewPrefix, fs::path("/opt/homebrew/bin/brew"));
}

TEST_F(SystemProfilerTest, VersionManagersAreFoundByTheirFolders) {
    folder(".sdkman/bin/sdkman-init.sh");  // a folder where the script belongs
    plainFile(".jenv");                    // a file where the folder belongs
    auto profile = profiler.profile();
    EXPECT_EQ(profile.sdkmanRoot, std::nullopt);
    EXPECT_EQ(profile.jenvRoot, std::nullopt);

    fs::remove_all(home / ".sdkman");
    fs::remove(home / ".jenv");
    plainFile(".sdkman/bin/sdkman-init.sh");
    folder(".jenv");
    folder(".asdf");
    profile = profiler.profile();
    EXPECT_EQ(profile.sdkmanRoot, home / ".sdkman");
    EXPECT_EQ(profile.jenvRoot, home / ".jenv");
    EXPECT_EQ(profile.asdfRoot, home / ".asdf");
}

TEST_F(SystemProfilerTest, MiseIsLookedForInKnownPlacesBeforeAskingWhich) {
    // Through `which`: one command, its trimmed output, and only when that names an executable.
    executable("tools/mise");
    answer("/usr/bin/which", {"mise"}, processResult(0, (home / "tools/mise").string() + "\n"));
    EXPECT_EQ(profiler.profile().miseExecutable, home / "tools/mise");
    EXPECT_EQ(callsTo("/usr/bin/which", "mise"), 1U);

    answer("/usr/bin/which", {"mise"}, processResult(0, (home / "tools/missing").string()));
    EXPECT_EQ(profiler.profile().miseExecutable, std::nullopt);
    answer("/usr/bin/which", {"mise"}, processResult(1, (home / "tools/mise").string()));
    EXPECT_EQ(profiler.profile().miseExecutable, std::nullopt);

    // The known places win in their order, and then no command runs.
    executable(".local/bin/mise");
    EXPECT_EQ(profiler.profile().miseExecutable, home / ".local/bin/mise");
    executable("/usr/local/bin/mise");
    EXPECT_EQ(profiler.profile().miseExecutable, fs::path("/usr/local/bin/mise"));
    executable("/opt/homebrew/bin/mise");
    const std::size_t whichCallsBefore = callsTo("/usr/bin/which", "mise");
    EXPECT_EQ(profiler.profile().miseExecutable, fs::path("/opt/homebrew/bin/mise"));
    EXPECT_EQ(callsTo("/usr/bin/which", "mise"), whichCallsBefore);
}

TEST_F(SystemProfilerTest, CommandLineToolsNeedASuccessfulSelection) {
    answer("/usr/bin/xcode-select", {"-p"},
           processResult(2, "", "xcode-select: error: unable to get active"));
    EXPECT_EQ(profiler.profile().xcodeCommandLineToolsPath, std::nullopt);
    answer("/usr/bin/xcode-select", {"-p"}, processResult(0, "\n"));
    EXPECT_EQ(profiler.profile().xcodeCommandLineToolsPath, std::nullopt);
    answer("/usr/bin/xcode-select", {"-p"}, processResult(0, "/Applications/Xcode.app/Contents/Developer\n"));
    EXPECT_EQ(profiler.profile().xcodeCommandLineToolsPath,
              fs::path("/Applications/Xcode.app/Contents/Developer"));
}

TEST_F(SystemProfilerTest, ApplicationsAndCommandsMakeTheInventory) {
    // A bundle counts only as a folder, in either Applications folder.
    plainFile("/Applications/Cursor.app");
    folder("Applications/Zed.app");
    folder("/Applications/IntelliJ IDEA CE.app");
    folder("/Applications/Warp.app");
    folder("/Applications/kitty.app");
    folder("/Applications/Obsidian.app");
    // `claude` beside Homebrew but not on the search path; `codex` on the search path; `aider` nowhere.
    executable("/usr/local/bin/claude");
    answer("/usr/bin/which", {"claude"}, processResult(1));
    answer("/usr/bin/which", {"codex"}, processResult(0, "/somewhere/codex\n"));
    answer("/usr/bin/which", {"aider"}, processResult(0, "  \n"));

    const auto profile = profiler.profile();
    EXPECT_EQ(profile.aiTooling.installedToolIDs(),
              (std::vector<std::string>{"claude-code-cli", "codex-cli", "intellij", "warp", "zed"}));
    EXPECT_EQ(profile.terminals.installedIDs(), (std::vector<std::string>{"kitty", "warp"}));
    EXPECT_EQ(profile.markdownEditors, (MarkdownEditors{false, true}));

    EXPECT_TRUE(profiler.isAppInstalled("Zed.app"));
    EXPECT_FALSE(profiler.isAppInstalled("Cursor.app"));
    EXPECT_FALSE(profiler.isAppInstalled("Claude.app"));
}

TEST_F(SystemProfilerTest, EachBundleAloneReportsOnlyItsOwnIdentifier) {
    using Ids = std::vector<std::string>;
    struct Row {
        std::string bundle;
        Ids aiTools;
        Ids terminals;
        MarkdownEditors editors;
    };
    const std::vector<Row> rows = {
        {"Claude.app", {"claude-desktop"}, {}, {}},
        {"Cursor.app", {"cursor"}, {}, {}},
        {"ChatGPT.app", {"chatgpt-desktop"}, {}, {}},
        {"Visual Studio Code.app", {"vs-code"}, {}, {}},
        {"Windsurf.app", {"windsurf"}, {}, {}},
        {"Kiro.app", {"kiro"}, {}, {}},
        {"Antigravity.app", {"antigravity"}, {}, {}},
        {"Zed.app", {"zed"}, {}, {}},
        {"Replit.app", {"replit"}, {}, {}},
        {"IntelliJ IDEA.app", {"intellij"}, {}, {}},
        {"IntelliJ IDEA CE.app", {"intellij"}, {}, {}},
        // Warp is both an AI tool and a terminal.
        {"Warp.app", {"warp"}, {"warp"}, {}},
        {"iTerm.app", {}, {"iterm2"}, {}},
        {"Ghostty.app", {}, {"ghostty"}, {}},
        {"Hyper.app", {}, {"hyper"}, {}},
        {"Alacritty.app", {}, {"alacritty"}, {}},
        {"kitty.app", {}, {"kitty"}, {}},
        {"WezTerm.app", {}, {"wezterm"}, {}},
        {"Zettlr.app", {}, {}, {.zettlr = true}},
        {"Obsidian.app", {}, {}, {.obsidian = true}},
    };
    for (const auto& row : rows) {
        const fs::path bundle = fs::path("/Applications") / row.bundle;
        folder(bundle);
        const auto profile = profiler.profile();
        EXPECT_EQ(profile.aiTooling.installedToolIDs(), row.aiTools) << row.bundle;
        EXPECT_EQ(profile.terminals.installedIDs(), row.terminals) << row.bundle;
        EXPECT_EQ(profile.markdownEditors, row.editors) << row.bundle;
        fs::remove_all(machine.path() / bundle.relative_path());
    }
}

TEST_F(SystemProfilerTest, EveryCommandRunsWithATimeLimit) {
    answer("/usr/bin/uname", {"-m"}, processResult(0, "arm64"));
    (void)profiler.profile();
    const auto calls = runner->calls();
    ASSERT_FALSE(calls.empty());
    for (const auto& call : calls) {
        ASSERT_TRUE(call.timeLimit.has_value()) << call.executable;
        // A login shell may take longer to read the user's files; every plain tool gets the probe limit.
        const auto limit = call.executable == "/bin/zsh" ? 30'000ms : kToolProbeTimeLimit;
        EXPECT_LE(*call.timeLimit, limit) << call.executable;
    }
}

TEST_F(SystemProfilerTest, AProbeThatHangsPastItsLimitReadsAsNotFound) {
    // Each of these would answer after a minute; the limit ends them and the profile completes without them.
    profiler.limits = {.tool = 200ms, .loginShell = 200ms};
    answer("/usr/bin/uname", {"-m"}, processResult(0, "arm64"), 60s);
    answer("/usr/bin/xcode-select", {"-p"}, processResult(0, "/Library/Developer/CommandLineTools"), 60s);
    answer("/usr/bin/which", {"claude"}, processResult(0, "/bin/claude"), 60s);
    answer("/usr/bin/which", {"codex"}, processResult(0, "/bin/codex"));

    const auto start = std::chrono::steady_clock::now();
    const auto profile = profiler.profile();
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(profile.architecture, Architecture::unknown);
    EXPECT_EQ(profile.xcodeCommandLineToolsPath, std::nullopt);
    EXPECT_FALSE(profile.aiTooling.claudeCodeCLI);
    EXPECT_TRUE(profile.aiTooling.codexCLI);
    EXPECT_LT(elapsed, 5s);
}

TEST_F(SystemProfilerTest, AStopEndsTheRunningProbesAtOnce) {
    // A start-up file that hangs holds the login shell, and so the Java probe, until its limit.
    runner->whenRun(FakeProcessRunner::anyCallTo("/bin/zsh"), processResult(0), 60s);
    answer("/usr/bin/uname", {"-m"}, processResult(0, "arm64"), 60s);
    answer("/usr/bin/which", {"claude"}, processResult(0, "/bin/claude"), 60s);

    std::stop_source stop;
    const auto start = std::chrono::steady_clock::now();
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(100ms);
        stop.request_stop();
    });
    const auto profile = profiler.profile(stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(profile.architecture, Architecture::unknown);
}

TEST(SystemProfilerShellTest, TheLastPathComponentNamesTheShell) {
    EXPECT_EQ(SystemProfiler::shellNamed("/bin/zsh"), Shell(Shell::Zsh{}));
    EXPECT_EQ(SystemProfiler::shellNamed("/bin/zsh/"), Shell(Shell::Zsh{}));
    EXPECT_EQ(SystemProfiler::shellNamed("zsh"), Shell(Shell::Zsh{}));
    EXPECT_EQ(SystemProfiler::shellNamed("/opt/homebrew/bin/bash"), Shell(Shell::Bash{}));
    EXPECT_EQ(SystemProfiler::shellNamed("/usr/local/bin/fish"), Shell(Shell::Fish{}));
    EXPECT_EQ(SystemProfiler::shellNamed("/bin/tcsh"), Shell(Shell::Other{"tcsh"}));
    EXPECT_EQ(SystemProfiler::shellNamed("/bin/zsh-5.9"), Shell(Shell::Other{"zsh-5.9"}));
    EXPECT_EQ(SystemProfiler::shellNamed(""), Shell(Shell::Other{"unknown"}));
    EXPECT_EQ(SystemProfiler::shellNamed("/"), Shell(Shell::Other{"unknown"}));
}

TEST(OperatingSystemVersionTest, ReadsUpToThreeNumbers) {
    using detail::parseOperatingSystemVersion;
    EXPECT_EQ(parseOperatingSystemVersion("14.5"), (OperatingSystemVersion{14, 5, 0}));
    EXPECT_EQ(parseOperatingSystemVersion("15.1.2"), (OperatingSystemVersion{15, 1, 2}));
    EXPECT_EQ(parseOperatingSystemVersion("6.1.0-18-amd64"), (OperatingSystemVersion{6, 1, 0}));
    EXPECT_EQ(parseOperatingSystemVersion("26"), (OperatingSystemVersion{26, 0, 0}));
    EXPECT_EQ(parseOperatingSystemVersion(""), (OperatingSystemVersion{}));
    EXPECT_EQ(parseOperatingSystemVersion("beta"), (OperatingSystemVersion{}));
    EXPECT_NE(currentOperatingSystemVersion(), OperatingSystemVersion{});
}

}  // namespace
}  // namespace quill
