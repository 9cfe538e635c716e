#include "engine/telemetry/shut_down.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>

#include "engine/core/file_descriptor.h"
#include "engine/core/task.h"
#include "engine/services/child_reader.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_key_value_store.h"
#include "engine/services/live_process_runner.h"
#include "tests/support/eventually.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/process_watch.h"
#include "tests/support/system_log_echo.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// Starts a child that traps SIGTERM, with a grandchild, records both ids in `pidFile` and returns once they
/// run; a task of its own reads the stream to its end and terminates the child when stopped.
std::shared_ptr<LiveProcessCancellation> startTrappingGroup(const std::filesystem::path& pidFile) {
    auto handle = std::make_shared<LiveProcessCancellation>();
    auto events = std::make_shared<Stream<ProcessStreamEvent>>(LiveProcessRunner().stream(
        test::kTestChild,
        {"record", pidFile.string(), "count-term", "grandchild", "60000", "line", "ready", "sleep", "60000"},
        std::nullopt, handle));
    while (auto event = events->next()) {
        if (*event == ProcessStreamEvent(ProcessStreamEvent::Line{"ready"}))
            break;
    }
    spawnTask([events, handle](const std::stop_token& stop) {
        (void)readChild(std::move(*events), *handle, stop, nullptr);
    });
    return handle;
}

/// A path both the test and its death-test process (a fresh run of this program, started by the test) name
/// alike: the death-test process knows the test by its parent's id.
std::filesystem::path sharedPath(pid_t testProcess, const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("quill-shut-down-" + std::to_string(testProcess) + "-" + name);
}

/// Runs a child that traps SIGTERM, with a grandchild, on a thread that is no task (as a probe of the
/// profiler's is) and with no way to stop it; true once both run, false when they did not within 10 s.
bool startUnstoppableRun(const std::filesystem::path& pidFile) {
    std::thread([pidFile] {
        (void)LiveProcessRunner().run(test::kTestChild, {"record", pidFile.string(), "count-term",
                                                         "grandchild", "60000", "sleep", "60000"});
    }).detach();
    return test::eventually([&pidFile] {
        const auto pids = test::readFile(pidFile);
        return std::count(pids.begin(), pids.end(), '\n') >= 2;
    });
}

/// How a death-test process ends once `shutDown` has returned: codes the forced exit, which gives 0, never
/// gives.
constexpr int kReturned = 10;
constexpr int kReturnedLate = 11;
/// A death-test process could not set up what its test needs.
constexpr int kNotSetUp = 12;

TEST(ShutDownTest, LeavesNoChildProcessBehind) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto inGrace = sharedPath(::getpid(), "in-grace");
    const auto running = sharedPath(::getpid(), "running");
    const auto unstoppable = sharedPath(::getpid(), "unstoppable");
    EXPECT_EXIT(
        {
            // One group already in its grace period, one still running under a task that reads it and
            // terminates it only when the shutdown stops the task, and one that nothing but the shutdown can
            // end. Each is killed at once, and the shutdown returns rather than ending the process early.
            startTrappingGroup(sharedPath(::getppid(), "in-grace"))->cancel();
            startTrappingGroup(sharedPath(::getppid(), "running"));
            if (!startUnstoppableRun(sharedPath(::getppid(), "unstoppable")))
                std::_Exit(kNotSetUp);
            const auto start = Clock::now();
            shutDown(Clock::now() + kShutDownBudget);
            shutDown(Clock::now() + kShutDownBudget);  // a second call finds nothing left to do
            std::_Exit(Clock::now() - start < 1s ? kReturned : kReturnedLate);
        },
        testing::ExitedWithCode(kReturned), "");

    for (const auto& file : {inGrace, running, unstoppable}) {
        std::istringstream pids(test::readFile(file));
        int count = 0;
        for (std::string pid; std::getline(pids, pid); ++count)
            EXPECT_TRUE(test::waitUntilEnded(std::atoi(pid.c_str()), 5s)) << file << ": " << pid;
        EXPECT_EQ(count, 2) << file;
        std::filesystem::remove(file);
    }
}

TEST(ShutDownTest, ATaskThatOutlivesTheDeadlineEndsTheProcessWithoutStaticDestructors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            spawnTask([](std::stop_token) { std::this_thread::sleep_for(30s); });  // never looks at its token
            std::atexit([] { std::_Exit(kReturnedLate); });
            shutDown(Clock::now() + 200ms);
            std::_Exit(kReturned);
        },
        testing::ExitedWithCode(EXIT_SUCCESS), "");
}

/// The settings file a settings test writes in its folder.
std::filesystem::path settingsFile(const std::filesystem::path& folder) {
    return folder / "app.json";
}

/// Set by a stalled call of `StallingFileSystem` once it waits; lets it go on when set by the test.
std::atomic<bool> stalled = false;
std::atomic<bool> released = false;

/// The live file system, except that reading (or writing) one file waits until `released` is set: at most 5
/// s, so that a fault fails its test rather than hanging it.
class StallingFileSystem final : public test::ForwardingFileSystem {
  public:
    StallingFileSystem(std::filesystem::path file, bool stallsWrites)
        : ForwardingFileSystem(std::make_shared<LiveFileSystem>()),
          m_file(std::move(file)),
          m_stallsWrites(stallsWrites) {}

    [[nodiscard]] Result<std::string> readData(const std::filesystem::path& path) const override {
        if (!m_stallsWrites)
            stallAt(path);
        return ForwardingFileSystem::readData(path);
    }
    Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions) const override {
        if (m_stallsWrites)
            stallAt(path);
        return ForwardingFileSystem::write(text, path, mode, newFilePermissions);
    }

  private:
    void stallAt(const std::filesystem::path& path) const {
        if (path != m_file)
            return;
        stalled = true;
        (void)test::eventually([] { return released.load(); }, 5s);
    }

    std::filesystem::path m_file;
    bool m_stallsWrites;
};

/// The live file system, except that reading a settings file is refused, as for want of permission, until
/// `settingsReadable` is set.
std::atomic<bool> settingsReadable = false;
class RefusingFileSystem final : public test::ForwardingFileSystem {
  public:
    RefusingFileSystem() : ForwardingFileSystem(std::make_shared<LiveFileSystem>()) {}
    [[nodiscard]] Result<std::string> readData(const std::filesystem::path& path) const override {
        if (path.filename() == settingsFile({}) && !settingsReadable)
            return fail(Error{"test", EACCES, "Permission denied"});
        return ForwardingFileSystem::readData(path);
    }
};

// A settings call stalled on its volume holds the quit no longer than its deadline, and the log says so.
TEST(ShutDownTest, ASettingsCallStalledInItsFileSystemDoesNotHoldTheQuit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::echoSystemLogToStandardError();
    EXPECT_EXIT(
        {
            const auto folder = sharedPath(::getppid(), "stalled");
            const LiveKeyValueStore store(folder,
                                          std::make_shared<StallingFileSystem>(settingsFile(folder), true));
            std::thread([store] { store.setString("app.session_id", "id"); }).detach();
            if (!test::eventually([] { return stalled.load(); }))
                std::_Exit(kNotSetUp);
            const auto start = Clock::now();
            shutDown(start + 300ms);
            std::_Exit(Clock::now() - start < 500ms ? kReturned : kReturnedLate);
        },
        testing::ExitedWithCode(kReturned), "a change of them did not finish in time");
    std::filesystem::remove_all(sharedPath(::getpid(), "stalled"));
}

// The quit's own write of settings another process held back, stalled on its volume, holds the quit no longer
// than its deadline: the process ends then, and the log names the keys not written, never their values.
TEST(ShutDownTest, TheQuitsOwnStalledSettingsWriteEndsWithTheProcessAtTheDeadline) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::echoSystemLogToStandardError();
    const auto folder = sharedPath(::getpid(), "stalled-at-quit");
    EXPECT_EXIT(
        {
            const auto shared = sharedPath(::getppid(), "stalled-at-quit");
            std::filesystem::create_directories(shared);
            // The other process holds its lock until the quit begins.
            auto lock = std::make_shared<FileDescriptor>(::open(
                (settingsFile(shared).string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            if (::flock(lock->get(), LOCK_EX) != 0)
                std::_Exit(kNotSetUp);
            const LiveKeyValueStore store(shared,
                                          std::make_shared<StallingFileSystem>(settingsFile(shared), true));
            store.setString("app.session_id", "the value itself");
            store.setBool("app.consented", true);
            spawnTask([lock](const std::stop_token& stop) {
                (void)sleepFor(1h, stop);
                *lock = FileDescriptor();
            });
            const auto start = Clock::now();
            std::thread([start] {
                std::this_thread::sleep_until(start + 500ms);
                std::_Exit(kReturnedLate);
            }).detach();
            shutDown(start + 300ms);
            std::_Exit(kReturned);
        },
        testing::ExitedWithCode(EXIT_SUCCESS),
        testing::AllOf(testing::HasSubstr("Couldn't save the settings in " + settingsFile(folder).string() +
                                          " before quitting: app.consented, app.session_id\n"),
                       testing::Not(testing::HasSubstr("the value itself"))));
    std::filesystem::remove_all(folder);
}

// A program that returns from main without shutting down, while its settings task is reading a file, exits
// cleanly: nothing the task reads is destroyed under it.
TEST(ShutDownTest, ASettingsTaskOutlivesAProgramThatEndsWithoutShuttingDown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Registered before the store's first call, so run after the static destructors made since: the
            // task's read goes on only then, and the program ends once the change is in the file.
            std::atexit([] {
                released = true;
                (void)test::eventually([] {
                    return test::readFile(settingsFile(sharedPath(::getppid(), "outlives"))).find("id") !=
                           std::string::npos;
                });
            });
            const auto folder = sharedPath(::getppid(), "outlives");
            std::filesystem::create_directories(folder);
            // Another process holds the lock: the change waits for the store's task.
            FileDescriptor lock(::open((settingsFile(folder).string() + ".lock").c_str(),
                                       O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            if (::flock(lock.get(), LOCK_EX) != 0)
                std::_Exit(kNotSetUp);
            const LiveKeyValueStore store(folder,
                                          std::make_shared<StallingFileSystem>(settingsFile(folder), false));
            store.setString("app.session_id", "id");
            lock = FileDescriptor();
            if (!test::eventually([] { return stalled.load(); }))
                std::_Exit(kNotSetUp);
            std::exit(EXIT_SUCCESS);
        },
        testing::ExitedWithCode(EXIT_SUCCESS), testing::Not(testing::HasSubstr("Sanitizer")));
    const auto folder = sharedPath(::getpid(), "outlives");
    EXPECT_EQ(nlohmann::json::parse(test::readFile(settingsFile(folder)), nullptr, false),
              (nlohmann::json{{"session_id", "id"}}));
    std::filesystem::remove_all(folder);
}

// Settings that another app process's lock keeps back are written at the end of the shutdown, as soon as
// the lock is free and within the budget, even when a task takes the time it is given; those that never
// can be are named in the system log, without their values.
TEST(ShutDownTest, WritesTheSettingsAnotherProcessHeldBackOnceItsLockIsFree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::echoSystemLogToStandardError();
    using testing::HasSubstr;
    using testing::Not;
    const std::string value = "the value itself";
    const nlohmann::json changes = {{"session_id", value}, {"consented", true}};
    const struct {
        const char* name = nullptr;
        std::optional<std::chrono::milliseconds> freedAfter;  ///< when the other process lets go of the lock
        bool taskIgnoresStop = false;
        int exitCode = kReturned;
        bool saved = false;
        /// No lock: a folder stands where the file goes, and goes before the quit.
        bool folderInItsPlace = false;
    } rows[] = {
        {"freed 300 ms into the shutdown", 300ms, false, kReturned, true},
        {"freed 1.3 s in, while a task outlives the budget", 1300ms, true, EXIT_SUCCESS, true},
        {"held past the budget", std::nullopt, false, kReturned, false},
        {"kept for a folder in the file's place", std::nullopt, false, kReturned, true, true},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        const auto& [name, freedAfter, taskIgnoresStop, exitCode, saved, folderInItsPlace] = rows[row];
        SCOPED_TRACE(name);
        const auto folder = sharedPath(::getpid(), "settings-" + std::to_string(row));
        const auto file = settingsFile(folder);
        const testing::Matcher<const std::string&> logged =
            saved ? Not(HasSubstr("before quitting"))
                  : testing::Matcher<const std::string&>(
                        testing::AllOf(HasSubstr("Couldn't save the settings in " + file.string() +
                                                 " before quitting: app.consented, app.session_id\n"),
                                       Not(HasSubstr(value))));
        std::filesystem::remove_all(folder);
        EXPECT_EXIT(
            {
                // The other process: a lock of its own on the file's lock file, which flock sets against
                // the store's.
                const auto shared = sharedPath(::getppid(), "settings-" + std::to_string(row));
                std::filesystem::create_directories(folderInItsPlace ? settingsFile(shared) : shared);
                FileDescriptor lock;
                if (!folderInItsPlace) {
                    lock = FileDescriptor(
                        ::open((shared / "app.json.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
                    if (::flock(lock.get(), LOCK_EX) != 0)
                        std::_Exit(kNotSetUp);
                }
                const LiveKeyValueStore store(shared);
                store.setString("app.session_id", value);
                store.setBool("app.consented", true);
                // Nothing of the store is called once the folder has gone.
                if (folderInItsPlace && !std::filesystem::remove(settingsFile(shared)))
                    std::_Exit(kNotSetUp);
                if (taskIgnoresStop)
                    spawnTask([](std::stop_token) { std::this_thread::sleep_for(30s); });
                // A task that takes a moment to finish once stopped finishes before the process ends.
                spawnTask([finished = shared / "finished"](const std::stop_token& stop) {
                    (void)sleepFor(1h, stop);
                    std::this_thread::sleep_for(100ms);
                    std::ofstream(finished) << "done\n";
                });
                std::ofstream(shared / "started") << "now\n";
                const auto start = Clock::now();
                if (freedAfter) {
                    std::thread([lock = std::move(lock), until = start + *freedAfter]() mutable {
                        std::this_thread::sleep_until(until);
                        lock = FileDescriptor();
                    }).detach();
                }
                shutDown(start + kShutDownBudget);
                std::_Exit(Clock::now() - start < kShutDownBudget + 1s ? kReturned : kReturnedLate);
            },
            testing::ExitedWithCode(exitCode), logged);

        EXPECT_TRUE(std::filesystem::exists(folder / "finished"));
        const auto onDisk = nlohmann::json::parse(test::readFile(file), nullptr, false);
        if (saved) {
            EXPECT_EQ(onDisk, changes);
            // Not throwing: a death-test process runs this for the rows before its own, on files it never
            // made.
            std::error_code ignored;
            const auto written = std::filesystem::last_write_time(file, ignored) -
                                 std::filesystem::last_write_time(folder / "started", ignored);
            EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(written), kShutDownBudget - 100ms)
                << "written within the budget";
        } else {
            EXPECT_FALSE(std::filesystem::exists(file));
        }
        std::filesystem::remove_all(folder);
    }
}

// Changes kept in memory while their file could not be read are written at a quit whose task takes all the
// time it is given, with nothing of a cut-off write left beside them; with no time left, the quit names them.
TEST(ShutDownTest, WritesTheSettingsKeptInMemoryWhenATaskUsesUpTheBudget) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::echoSystemLogToStandardError();
    const auto folder = sharedPath(::getpid(), "kept");
    std::filesystem::remove_all(folder);
    const auto changeUnreadable = [] {
        const auto shared = sharedPath(::getppid(), "kept");
        const LiveKeyValueStore store(shared, std::make_shared<RefusingFileSystem>());
        store.setString("app.session_id", "the value itself");
        store.setBool("app.consented", true);
    };
    EXPECT_EXIT(
        {
            changeUnreadable();
            settingsReadable = true;
            static std::atomic<bool> never = false;
            spawnTask([](std::stop_token) { never.wait(false); });
            shutDown(Clock::now() + 300ms);
            std::_Exit(kReturned);
        },
        testing::ExitedWithCode(EXIT_SUCCESS), "");
    EXPECT_EQ(nlohmann::json::parse(test::readFile(settingsFile(folder)), nullptr, false),
              (nlohmann::json{{"session_id", "the value itself"}, {"consented", true}}));
    std::error_code ignored;  // the second death test's process runs this too, on a folder it never made
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder, ignored), {}), 2)
        << "nothing but the file and its lock file";
    std::filesystem::remove_all(folder);

    EXPECT_EXIT(
        {
            changeUnreadable();
            LiveKeyValueStore::saveBeforeExit(Clock::now());
            std::_Exit(kReturned);
        },
        testing::ExitedWithCode(kReturned),
        testing::AllOf(testing::HasSubstr("Couldn't save the settings in " + settingsFile(folder).string() +
                                          " before quitting: app.consented, app.session_id\n"),
                       testing::Not(testing::HasSubstr("the value itself"))));
    std::filesystem::remove_all(folder);
}

// App processes that change settings and quit at the same moment lose none of their changes to each other.
TEST(ShutDownTest, ProcessesQuittingTogetherKeepEveryChange) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr int kRounds = 3;
    constexpr int kKeys = 150;
    const auto folder = sharedPath(::getpid(), "together");
    std::filesystem::remove_all(folder);
    const auto rounds = [] {
        // Each round, two fresh processes (this one has started no task to copy into them) change
        // their own keys in one file, wait until both have, and quit together: a quit races the other's
        // quit, not its changes.
        const auto shared = sharedPath(::getppid(), "together");
        for (int round = 0; round < kRounds; ++round) {
            int changed[2] = {-1, -1};
            int quit[2] = {-1, -1};
            if (::pipe(changed) != 0 || ::pipe(quit) != 0)
                std::_Exit(kNotSetUp);
            pid_t quitting[2] = {};
            for (int process = 0; process < 2; ++process) {
                quitting[process] = ::fork();
                if (quitting[process] < 0)
                    std::_Exit(kNotSetUp);
                if (quitting[process] != 0)
                    continue;
                ::close(quit[1]);
                const LiveKeyValueStore store(shared);
                const auto prefix = std::to_string(round) + "-" + std::to_string(process) + "-";
                for (int key = 0; key < kKeys; ++key)
                    store.setString("app." + prefix + std::to_string(key), "v");
                char signal = 0;
                if (::write(changed[1], "+", 1) != 1 || ::read(quit[0], &signal, 1) != 1)
                    std::_Exit(kNotSetUp);
                shutDown(Clock::now() + kShutDownBudget);
                std::_Exit(kReturned);
            }
            ::close(changed[1]);
            int changedCount = 0;
            const bool bothChanged = test::eventually(
                [&] {
                    char signal = 0;
                    pollfd readable{changed[0], POLLIN, 0};
                    if (::poll(&readable, 1, 0) == 1 && ::read(changed[0], &signal, 1) == 1)
                        ++changedCount;
                    return changedCount == 2;
                },
                60s);
            if (!bothChanged || ::write(quit[1], "++", 2) != 2)
                std::_Exit(kNotSetUp);
            for (const int end : {changed[0], quit[0], quit[1]})
                ::close(end);
            for (const pid_t pid : quitting) {
                int status = 0;
                if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
                    WEXITSTATUS(status) != kReturned)
                    std::_Exit(kNotSetUp);
            }
        }
        std::_Exit(kReturned);
    };
    EXPECT_EXIT(rounds(), testing::ExitedWithCode(kReturned), "");

    const auto onDisk = nlohmann::json::parse(test::readFile(settingsFile(folder)), nullptr, false);
    EXPECT_EQ(onDisk.size(), std::size_t{kRounds} * 2 * kKeys);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quill
