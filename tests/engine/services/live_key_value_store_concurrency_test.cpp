#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "engine/core/task.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_key_value_store.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

/// The live file system, except that its first write fails as on a full volume and every later one waits
/// until `letGo` is ready (at most 5 s, so that a fault fails the test rather than hanging it).
class FullThenHeldFileSystem final : public test::ForwardingFileSystem {
  public:
    explicit FullThenHeldFileSystem(std::shared_future<void> letGo)
        : ForwardingFileSystem(std::make_shared<LiveFileSystem>()), m_letGo(std::move(letGo)) {}

    Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions) const override {
        if (!m_failed.exchange(true))
            return fail(Error{"test", ENOSPC, "No space left on device"});
        (void)m_letGo.wait_for(std::chrono::seconds(5));
        return ForwardingFileSystem::write(text, path, mode, newFilePermissions);
    }

  private:
    std::shared_future<void> m_letGo;
    mutable std::atomic<bool> m_failed = false;
};

TEST(LiveKeyValueStoreConcurrencyTest, ConcurrentWritersThroughSeveralInstancesLoseNothing) {
    test::TemporaryDirectory dir;
    constexpr int kWriters = 6;
    constexpr int kKeysEach = 15;

    std::vector<std::function<void()>> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&dir, writer] {
            const LiveKeyValueStore store(dir.path());  // an instance of its own, same files
            for (int key = 0; key < kKeysEach; ++key) {
                const std::string name = "shared.w" + std::to_string(writer) + "k" + std::to_string(key);
                store.setString(name, std::to_string(key));
                store.setBool("shared.flag" + std::to_string(writer), key % 2 == 0);
                (void)store.string("shared.w0k0");
            }
        });
    }
    runConcurrently(std::move(writers));

    const LiveKeyValueStore store(dir.path());
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int key = 0; key < kKeysEach; ++key) {
            EXPECT_EQ(store.string("shared.w" + std::to_string(writer) + "k" + std::to_string(key)),
                      std::to_string(key));
        }
        EXPECT_EQ(store.boolean("shared.flag" + std::to_string(writer)), (kKeysEach - 1) % 2 == 0);
    }

    // The quit's write of a change kept in memory goes on past the quit's deadline, while the quitting thread
    // names what is left, and lands once its volume lets it go.
    std::promise<void> letGo;
    const LiveKeyValueStore full(dir.path(),
                                 std::make_shared<FullThenHeldFileSystem>(letGo.get_future().share()));
    full.setString("quit.kept", "v");
    LiveKeyValueStore::saveBeforeExit(std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    letGo.set_value();
    EXPECT_TRUE(TaskTracker::stopAll(std::chrono::seconds(5)));
    EXPECT_EQ(store.string("quit.kept"), "v");
}

}  // namespace
}  // namespace quill
