#include "engine/services/live_key_value_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>
#include <utility>

#include "engine/core/file_descriptor.h"
#include "engine/services/live_file_system.h"
#include "engine/telemetry/shut_down.h"
#include "tests/support/eventually.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

TEST(LiveKeyValueStoreTest, StoresStringsAndBooleansAndRemovesWithNothing) {
    test::TemporaryDirectory dir;
    const LiveKeyValueStore store(dir.path() / "settings");

    EXPECT_EQ(store.string("quillstart.claude.session_id"), std::nullopt);
    store.setString("quillstart.claude.session_id", "7f3a-…");
    store.setString("quillstart.claude.experience_bucket", "3");
    store.setBool("quillstart.claude.consented", true);
    EXPECT_EQ(store.string("quillstart.claude.session_id"), "7f3a-…");
    EXPECT_EQ(store.boolean("quillstart.claude.consented"), true);

    // Each kind answers only for its own values.
    EXPECT_EQ(store.boolean("quillstart.claude.session_id"), std::nullopt);
    EXPECT_EQ(store.string("quillstart.claude.consented"), std::nullopt);

    store.setBool("quillstart.claude.consented", false);
    EXPECT_EQ(store.boolean("quillstart.claude.consented"), false);

    store.setString("quillstart.claude.session_id", std::nullopt);
    EXPECT_EQ(store.string("quillstart.claude.session_id"), std::nullopt);
    EXPECT_EQ(store.string("quillstart.claude.experience_bucket"), "3") << "other keys stay";
    store.setString("quillstart.claude.never-set", std::nullopt);  // nothing to remove is fine

    // One file per prefix, the entry named by the last part of the key.
    const auto saved = nlohmann::json::parse(test::readFile(dir.path() / "settings/quillstart.claude.json"));
    EXPECT_EQ(saved, (nlohmann::json{{"experience_bucket", "3"}, {"consented", false}}));
}

TEST(LiveKeyValueStoreTest, KeepsValuesAcrossInstancesAndSeparatesPrefixes) {
    test::TemporaryDirectory dir;
    LiveKeyValueStore(dir.path()).setString("brew.session_id", "a");
    LiveKeyValueStore(dir.path()).setString("code.session_id", "b");
    LiveKeyValueStore(dir.path()).setString("plain", "c");

    const LiveKeyValueStore later(dir.path());
    EXPECT_EQ(later.string("brew.session_id"), "a");
    EXPECT_EQ(later.string("code.session_id"), "b");
    EXPECT_EQ(later.string("plain"), "c");
    EXPECT_TRUE(fs::exists(dir.path() / "brew.json"));
    EXPECT_TRUE(fs::exists(dir.path() / "code.json"));
    EXPECT_TRUE(fs::exists(dir.path() / "defaults.json"));

    // A prefix never names a path outside the folder, nor a hidden file.
    later.setString("../../escape.name", "x");
    later.setString(".hidden.name", "y");
    EXPECT_EQ(later.string("../../escape.name"), "x");
    EXPECT_EQ(later.string(".hidden.name"), "y");
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
    EXPECT_FALSE(fs::exists(dir.path().parent_path().parent_path() / "escape.json"));
}

TEST(LiveKeyValueStoreTest, ACorruptFileCountsAsEmptyAndIsSetAsideOnWrite) {
    test::TemporaryDirectory dir;
    const std::string damaged = "{\"session_id\": \"trunc";
    dir.write("app.json", damaged);
    dir.write("list.json", "[1, 2]");
    const LiveKeyValueStore store(dir.path());
    EXPECT_EQ(store.string("app.session_id"), std::nullopt);
    EXPECT_EQ(store.string("list.anything"), std::nullopt);

    store.setString("app.session_id", "fresh");
    EXPECT_EQ(store.string("app.session_id"), "fresh");
    // What was there is kept beside the new file, not written over.
    EXPECT_EQ(test::readFile(dir.path() / "app.json.corrupt"), damaged);
    EXPECT_FALSE(fs::exists(dir.path() / "list.json.corrupt"));  // only read, never written
}

/// The live file system, except that reading one file fails with an I/O error while `failing` is set.
class FailingRead final : public test::ForwardingFileSystem {
  public:
    explicit FailingRead(fs::path file)
        : ForwardingFileSystem(std::make_shared<LiveFileSystem>()), m_file(std::move(file)) {}

    [[nodiscard]] Result<std::string> readData(const fs::path& path) const override {
        if (failing && path == m_file)
            return fail(Error{"FileSystem", EIO, "Couldn't read " + path.string() + ": Input/output error"});
        return ForwardingFileSystem::readData(path);
    }

    std::atomic<bool> failing = true;

  private:
    fs::path m_file;
};

TEST(LiveKeyValueStoreTest, NeverWritesOverAFileItCannotReadAndKeepsItsChangesForTheRun) {
    struct Case {
        std::string name;
        std::optional<test::NotAFile> notAFile;  // else a file whose read fails
    };
    std::vector<Case> cases = {{"an I/O error", std::nullopt}};
    for (const auto kind : test::kEveryNotAFile)
        cases.push_back({std::string(toString(kind)), kind});

    // What a store keeps in memory, it keeps for the run, by path: each case has a folder of its own.
    test::TemporaryDirectory root;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = root.makeDirectory(c.name);
        const std::string original = R"({"session_id": "kept", "experience_bucket": "3"})";
        const fs::path file = c.notAFile ? root.makeNotAFile(folder / "app.json", *c.notAFile)
                                         : root.write(folder / "app.json", original);
        const auto type = fs::symlink_status(file).type();
        root.write(folder / "other.json", R"({"kept": "yes"})");
        std::shared_ptr<const FileSystemOperating> files = std::make_shared<LiveFileSystem>();
        if (!c.notAFile)
            files = std::make_shared<FailingRead>(file);
        files = std::make_shared<test::FencedFileSystem>(files, root.path());
        const LiveKeyValueStore store(folder, files);

        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(store.string("app.session_id"), std::nullopt);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));

        // Changes live in memory, for every store of the run.
        store.setBool("app.consented", true);
        store.setString("app.session_id", "fresh");
        store.setString("app.experience_bucket", std::nullopt);
        const LiveKeyValueStore another(folder, files);
        EXPECT_EQ(another.boolean("app.consented"), true);
        EXPECT_EQ(another.string("app.session_id"), "fresh");
        EXPECT_EQ(another.string("app.experience_bucket"), std::nullopt);

        // The file is as it was, and nothing was set aside or left beside it.
        EXPECT_EQ(fs::symlink_status(file).type(), type);
        if (!c.notAFile) {
            EXPECT_EQ(test::readFile(file), original);
        }

        // Other files are read and written as ever.
        EXPECT_EQ(store.string("other.kept"), "yes");
        store.setString("other.added", "new");
        EXPECT_EQ(nlohmann::json::parse(test::readFile(folder / "other.json")),
                  (nlohmann::json{{"kept", "yes"}, {"added", "new"}}));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names,
                  (std::vector<std::string>{"app.json", "app.json.lock", "other.json", "other.json.lock"}));
    }
}

TEST(LiveKeyValueStoreTest, ChangesMadeWhileTheFileCannotBeReadReachItOnceItCan) {
    // Whether a later change or only a lookup comes after the file can be read again.
    for (const bool laterChange : {true, false}) {
        SCOPED_TRACE(laterChange ? "a later change" : "a lookup");
        test::TemporaryDirectory dir;
        const fs::path file = dir.write("app.json", R"({"kept": "yes", "dropped": "x"})");
        const auto files = std::make_shared<FailingRead>(file);
        const LiveKeyValueStore store(dir.path(), files);

        store.setBool("app.consented", true);
        store.setString("app.dropped", std::nullopt);
        EXPECT_EQ(nlohmann::json::parse(test::readFile(file)),
                  (nlohmann::json{{"kept", "yes"}, {"dropped", "x"}}));
        EXPECT_EQ(store.boolean("app.consented"), true);

        files->failing = false;
        nlohmann::json expected{{"kept", "yes"}, {"consented", true}};
        if (laterChange) {
            store.setString("app.later", "z");
            expected["later"] = "z";
        } else {
            EXPECT_EQ(store.string("app.kept"), "yes");
        }
        EXPECT_EQ(nlohmann::json::parse(test::readFile(file)), expected);
    }
}

TEST(LiveKeyValueStoreTest, TwoProcessesChangingOneFileLoseNothing) {
    test::TemporaryDirectory dir;
    constexpr int kKeys = 150;
    const auto setKeys = [&dir](const std::string& prefix) {
        const LiveKeyValueStore store(dir.path());
        for (int key = 0; key < kKeys; ++key)
            store.setString("shared." + prefix + std::to_string(key), "v");
        // A change made while the other process held the lock waits in memory: a lookup writes it.
        const auto saved = [&] {
            const auto object =
                nlohmann::json::parse(test::readFile(dir.path() / "shared.json"), nullptr, false);
            return object.is_object() && std::ranges::count_if(object.items(), [&](const auto& item) {
                                             return item.key().starts_with(prefix);
                                         }) == kKeys;
        };
        for (int tries = 0; tries < 2000 && !saved(); ++tries) {
            (void)store.string("shared.any");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setKeys("child");
        ::_exit(0);
    }
    setKeys("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const auto saved = nlohmann::json::parse(test::readFile(dir.path() / "shared.json"));
    EXPECT_EQ(saved.size(), std::size_t{2} * kKeys);
}

/// The advisory lock of a settings file as another app process takes it, from construction until `release`.
/// flock sets two opens of a file against each other even in one process, and no process is forked: a child
/// would inherit a descriptor of the store's that may hold the lock at that moment, and wait for itself.
class OtherProcessLock {
  public:
    explicit OtherProcessLock(const fs::path& settingsFile)
        : m_file(::open((settingsFile.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        // Blocking: the store holds it only for one write.
        m_held = m_file.valid() && ::flock(m_file.get(), LOCK_EX) == 0;
    }

    [[nodiscard]] bool held() const { return m_held; }
    void release() { m_file = FileDescriptor(); }

  private:
    FileDescriptor m_file;  // closing it lets go of the lock
    bool m_held = false;
};

// Another process holding the lock (a stopped second instance, a stalled volume) never holds up a caller,
// and each time it lets go, the changes it kept back reach the file without a further call; then nothing
// waits, and a quit takes none of the time it keeps for changes held back.
TEST(LiveKeyValueStoreTest, AHeldLockKeepsChangesInMemoryUntilItIsFree) {
    using Clock = std::chrono::steady_clock;
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the quit's process runs the episodes afresh
    test::TemporaryDirectory dir;
    const LiveKeyValueStore store(dir.path());
    store.setString("app.kept", "before");
    const auto onDisk = [&] { return nlohmann::json::parse(test::readFile(dir.path() / "app.json")); };
    nlohmann::json expected = onDisk();
    for (const int episode : {1, 2}) {
        SCOPED_TRACE("episode " + std::to_string(episode));
        OtherProcessLock other(dir.path() / "app.json");
        ASSERT_TRUE(other.held());
        const auto start = Clock::now();
        const std::string key = "episode" + std::to_string(episode);
        store.setString("app." + key, "new");
        store.setBool("app.flag" + std::to_string(episode), true);
        if (episode == 1) {
            // Lookups see the changes kept in memory. The second time, nothing but the changes is called.
            EXPECT_EQ(store.string("app." + key), "new");
            EXPECT_EQ(store.boolean("app.flag1"), true);
            EXPECT_EQ(store.string("app.kept"), "before");
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(onDisk(), expected);

        other.release();
        expected[key] = "new";
        expected["flag" + std::to_string(episode)] = true;
        EXPECT_TRUE(test::eventually([&] { return onDisk() == expected; }, std::chrono::seconds(5)))
            << onDisk();
    }
    EXPECT_EXIT(
        {
            const auto quit = Clock::now();
            shutDown(quit + kShutDownBudget);
            std::_Exit(Clock::now() - quit < kShutDownBudget / 4 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(LiveKeyValueStoreTest, ReplacesItsFileAtomically) {
    test::TemporaryDirectory dir;
    const LiveKeyValueStore store(dir.path());
    store.setString("app.session_id", "old");
    const std::string before = test::readFile(dir.path() / "app.json");
    // A reader that opened the old file keeps reading the old file whole.
    fs::create_hard_link(dir.path() / "app.json", dir.path() / "reader");
    store.setString("app.session_id", "new");
    EXPECT_EQ(test::readFile(dir.path() / "reader"), before);
    EXPECT_EQ(store.string("app.session_id"), "new");
}

TEST(LiveKeyValueStoreTest, LivesInTheConfigurationFolderByDefault) {
    test::TemporaryHome home;
    const LiveKeyValueStore store;
    store.setString("quillstart.session_id", "id");
    EXPECT_EQ(store.folder(), home / ".config/quillstart");
    EXPECT_TRUE(fs::exists(home / ".config/quillstart/quillstart.json"));
    EXPECT_EQ(LiveKeyValueStore().string("quillstart.session_id"), "id");
}

}  // namespace
}  // namespace quill
