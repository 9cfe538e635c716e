#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "engine/core/shell_quote.h"
#include "engine/products/brew/brew_prober.h"
#include "engine/products/brew/brew_verifier.h"
#include "engine/products/claude/claude_setup_prober.h"
#include "engine/products/claude/claude_verifier.h"
#include "engine/products/cli/cli_verifier.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "tests/support/process_watch.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Check = std::function<void(const ShellRunner&, const FileSystemOperating&, std::stop_token)>;

/// The process ids written to `file`, one a line.
std::vector<pid_t> pidsIn(const fs::path& file) {
    std::vector<pid_t> pids;
    std::ifstream in(file);
    for (pid_t pid = 0; in >> pid;)
        pids.push_back(pid);
    return pids;
}

// A login shell whose start-up file hangs holds a check for its whole limit; a quit must not wait for it.
TEST(ProductChecksStop, AStopEndsEveryProbersAndVerifiersLoginShellsAtOnce) {
    const test::TemporaryHome home;
    const auto started = home / "started";
    // Each shell and its sleeping child, which shares its process group, write their ids first.
    home.write(".zprofile", "echo $$ >> " + shellSingleQuoted(started.string()) +
                                "\nsleep 60 &\necho $! >> " + shellSingleQuoted(started.string()) +
                                "\nwait\n");
    const ShellRunner shell{std::make_shared<LiveProcessRunner>()};
    const LiveFileSystem files;
    const std::vector<std::pair<const char*, Check>> rows = {
        {"Homebrew prober", [](const auto& runner, const auto& disk,
                               auto stop) { (void)BrewProber().probe(runner, disk, stop); }},
        {"Claude prober", [](const auto& runner, const auto& disk,
                             auto stop) { (void)ClaudeSetupProber().probe(runner, disk, stop); }},
        {"command-line verifier",
         [](const auto& runner, const auto& disk, auto stop) {
             (void)CliVerifier().verify(std::nullopt, runner, disk, stop);
         }},
        {"Homebrew verifier",
         [](const auto& runner, const auto& disk, auto stop) {
             (void)BrewVerifier().verify(std::nullopt, runner, disk, stop);
         }},
        {"Claude verifier",
         [](const auto& runner, const auto& disk, auto stop) {
             (void)ClaudeSetupVerifier().verify(std::nullopt, runner, disk, stop);
         }},
    };
    for (const auto& [name, check] : rows) {
        SCOPED_TRACE(name);
        fs::remove(started);
        std::stop_source stop;
        std::atomic<bool> done = false;
        std::jthread checking([&, run = check] {
            run(shell, files, stop.get_token());
            done = true;
            done.notify_all();
        });
        const auto until = Clock::now() + std::chrono::seconds(20);
        while (pidsIn(started).size() < 2 && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GE(pidsIn(started).size(), 2U) << "a login shell started";
        const auto stopped = Clock::now();
        stop.request_stop();
        while (!done && Clock::now() - stopped < std::chrono::seconds(40))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_LT(Clock::now() - stopped, std::chrono::milliseconds(1500));
        checking.join();
        for (const pid_t pid : pidsIn(started))
            EXPECT_TRUE(test::waitUntilEnded(pid, std::chrono::seconds(1))) << pid;
    }
}

}  // namespace
}  // namespace quill
