#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/task.h"
#include "engine/services/live_key_value_store.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

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
}

}  // namespace
}  // namespace quill
