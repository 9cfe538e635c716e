#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "engine/core/task.h"
#include "engine/runner/setup_remediation_runner.h"
#include "tests/engine/runner/runner_test_kit.h"
#include "tests/support/process_watch.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using R = SetupRemediation;
using test::RunnerScene;

/// A stand-in body that records its process id in `pidFile`, then waits to be stopped.
std::string sleeper(const fs::path& pidFile) {
    return "echo $$ > " + shellSingleQuoted(pidFile.string()) + "\nexec sleep 30";
}

pid_t readPid(const fs::path& pidFile) {
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    return pid;
}

struct StopRow {
    const char* name;
    SetupRemediation fix;
    /// Makes the fix's long-running tool the sleeper.
    std::function<void(RunnerScene&, const fs::path& pidFile)> prepare;
};

TEST(SetupRemediationRunnerStop, AStopEndsTheChildAndEveryLaterStartAndWrite) {
    const AgentSkill fetched{"demo", "Demo", "", AgentSkill::fetch("acme/skills", ".", "abc")};
    const std::vector<StopRow> rows = {
        {"task", R::installUv(),
         [](RunnerScene& scene, const fs::path& pid) { scene.onPath("curl", sleeper(pid)); }},
        {"guarded task", R::installZed(),
         [](RunnerScene& scene, const fs::path& pid) {
             scene.atPath("/opt/homebrew/bin/brew", sleeper(pid));
         }},
        {"command line tools", R::installCommandLineTools(),
         [](RunnerScene& scene, const fs::path& pid) { scene.atPath("/usr/bin/sudo", sleeper(pid)); }},
        {"github sign-in", R::githubAuth(),
         [](RunnerScene& scene, const fs::path& pid) {
             scene.onPath("gh", "[ \"$2\" = login ] || exit 0\necho 'code: AB12-CD34'\n" + sleeper(pid));
         }},
        {"claude mcp add",
         R::addMCPServer(
             {"linear", "Linear", "https://mcp.linear.app/mcp", "", std::nullopt, MCPServer::OAuth{}}),
         [](RunnerScene& scene, const fs::path& pid) {
             fs::create_directories(scene.home / ".codex");  // Codex's config would be written next
             scene.onPath("claude", "[ \"$1\" = mcp ] || exit 0\n" + sleeper(pid));
         }},
        {"fetched skill", R::installSkill(fetched),
         [](RunnerScene& scene, const fs::path& pid) {
             scene.onPath("git", "mkdir -p \"$5\" && echo partial > \"$5/SKILL.md\"\n" + sleeper(pid));
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunnerScene scene;
        fs::create_directories(scene.home / ".claude");
        const fs::path pidFile = scene.temporary() / "sleeper.pid";
        row.prepare(scene, pidFile);
        auto runner = scene.runner();
        std::atomic<int> askpassRemovals = 0;
        runner.fs = std::make_shared<test::FaultyFileSystem>(
            [&](std::string_view operation, const fs::path& path) {
                if (operation == "remove" && path.filename().string().starts_with("tvn-priv-"))
                    ++askpassRemovals;
                return false;
            },
            scene.fileSystem);

        auto stream = runner.run(row.fix, "Let the test install it.");
        ASSERT_TRUE(test::eventually([&] { return readPid(pidFile) > 0; }))
            << ::testing::PrintToString(scene.starts());
        const pid_t pid = readPid(pidFile);
        const auto home = scene.homeSnapshot();
        const auto starts = scene.starts();

        stream.cancel();
        EXPECT_TRUE(test::waitUntilEnded(pid, std::chrono::seconds(6)));
        // Whatever the fix still does after its child has ended, it has done once no task runs.
        EXPECT_TRUE(test::eventually([] { return TaskTracker::runningCount() == 0; }));
        EXPECT_EQ(scene.starts(), starts) << "nothing starts after the stop";
        EXPECT_EQ(scene.homeSnapshot(), home) << "nothing is written after the stop";
        EXPECT_TRUE(test::eventually([&] { return scene.privilegedFoldersGone(); }));
        bool scratchLeft = false;
        for (const auto& entry : fs::directory_iterator(scene.temporary()))
            scratchLeft = scratchLeft || entry.path().filename().string().starts_with("quill-skill-");
        EXPECT_FALSE(scratchLeft);
        if (row.fix.is<R::InstallCommandLineTools>()) {
            EXPECT_EQ(askpassRemovals.load(), 1);
        }
    }
}

}  // namespace
}  // namespace quill
