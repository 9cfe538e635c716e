#include <gtest/gtest.h>

#include <atomic>
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
#include "engine/products/workspace_checks.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/path_mapping_file_system.h"
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

/// Runs `check` on a thread, waits until a process it started has written two ids to `started`, stops it,
/// and expects it to return at once with every one of those processes ended.
void expectAStopEndsItAtOnce(const Check& check, const ShellRunner& shell, const FileSystemOperating& files,
                             const fs::path& started) {
    fs::remove(started);
    std::stop_source stop;
    std::atomic<bool> done = false;
    std::jthread checking([&] {
        check(shell, files, stop.get_token());
        done = true;
        done.notify_all();
    });
    const auto until = Clock::now() + std::chrono::seconds(20);
    while (pidsIn(started).size() < 2 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto stopped = Clock::now();
    EXPECT_GE(pidsIn(started).size(), 2U) << "the hanging process started";
    stop.request_stop();
    while (!done && Clock::now() - stopped < std::chrono::seconds(40))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_LT(Clock::now() - stopped, std::chrono::milliseconds(1500));
    checking.join();
    for (const pid_t pid : pidsIn(started))
        EXPECT_TRUE(test::waitUntilEnded(pid, std::chrono::seconds(1))) << pid;
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
        expectAStopEndsItAtOnce(check, shell, files, started);
    }
}

// A shell that starts at once and then waits on git: the stop must reach the git check itself, not only the
// checks before it.
TEST(ProductChecksStop, AStopEndsAGitCheckThatHangs) {
    const test::TemporaryHome home;
    const test::StandInPath tools;
    const auto started = home / "started";
    tools.add("xcode-select", "echo /Library/Developer/CommandLineTools\n");
    // git and its sleeping child, which shares its process group, write their ids first.
    tools.add("git", "echo $$ >> " + shellSingleQuoted(started.string()) + "\nsleep 60 &\necho $! >> " +
                         shellSingleQuoted(started.string()) + "\nwait\n");
    // A machine with the Command Line Tools, so that the identity check starts its shell here too.
    const test::TemporaryDirectory machine;
    fs::create_directories(machine.path() / "Library/Developer/CommandLineTools");
    const test::PathMappingFileSystem files(std::make_shared<LiveFileSystem>(), machine.path());
    const ShellRunner shell{std::make_shared<LiveProcessRunner>()};
    const std::vector<std::pair<const char*, Check>> rows = {
        {"command-line verifier",
         [](const auto& runner, const auto& disk, auto stop) {
             (void)CliVerifier().verify(std::nullopt, runner, disk, stop);
         }},
        {"Git identity check",
         [](const auto& runner, const auto& disk, auto stop) { (void)gitIdentitySet(runner, disk, stop); }},
        {"workspace probe",
         [](const auto& runner, const auto& disk, auto stop) {
             SetupProbeBundle bundle;
             probeWorkspace(runner, disk, bundle, stop);
         }},
    };
    for (const auto& [name, check] : rows) {
        SCOPED_TRACE(name);
        expectAStopEndsItAtOnce(check, shell, files, started);
    }
}

}  // namespace
}  // namespace quill
