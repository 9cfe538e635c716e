#include "engine/services/live_key_value_store.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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
