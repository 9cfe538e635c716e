#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/core/task.h"
#include "engine/services/live_file_system.h"
#include "engine/services/system_profiler.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

using test::FakeProcessRunner;
using test::processResult;
using namespace std::chrono_literals;

TEST(SystemProfilerConcurrencyTest, ScreensProfilingAtOnceEachGetACompleteProfile) {
    test::TemporaryHome home;
    test::TemporaryDirectory machine;
    machine.makeDirectory("Applications/Warp.app");
    machine.makeDirectory("Applications/Obsidian.app");
    std::filesystem::create_directories(home / ".jenv");

    auto runner = std::make_shared<FakeProcessRunner>();
    // Small delays make the probes of different profiles overlap.
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/uname", {"-m"}), processResult(0, "arm64\n"), 5ms);
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/which", {"codex"}), processResult(0, "/bin/codex"),
                    3ms);
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/xcode-select", {"-p"}),
                    processResult(0, "/Library/Developer/CommandLineTools\n"), 4ms);
    const SystemProfiler profiler{
        ShellRunner{runner},
        std::make_shared<test::PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), machine.path())};

    constexpr int kScreens = 6;
    std::vector<SystemProfile> profiles(kScreens);
    std::vector<std::function<void()>> screens;
    for (int i = 0; i < kScreens; ++i) {
        screens.emplace_back(
            [&profiler, &profiles, i] { profiles[static_cast<std::size_t>(i)] = profiler.profile(); });
    }
    runConcurrently(std::move(screens));

    for (const auto& profile : profiles) {
        EXPECT_EQ(profile.architecture, Architecture::appleSilicon);
        EXPECT_EQ(profile.jenvRoot, home / ".jenv");
        EXPECT_EQ(profile.xcodeCommandLineToolsPath,
                  std::filesystem::path("/Library/Developer/CommandLineTools"));
        EXPECT_EQ(profile.aiTooling.installedToolIDs(), (std::vector<std::string>{"codex-cli", "warp"}));
        EXPECT_TRUE(profile.terminals.warp);
        EXPECT_TRUE(profile.markdownEditors.obsidian);
        EXPECT_EQ(profile, profiles.front());
    }
}

}  // namespace
}  // namespace quill
