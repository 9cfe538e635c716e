#include "engine/installers/mcp_config_writer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::modeOf;
using test::readFile;

class MCPConfigWriterTest : public ::testing::Test {
  protected:
    test::TemporaryHome home;
    test::TemporaryDirectory machine;
    MCPConfigWriter writer{
        std::make_shared<test::PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), machine.path())};
    fs::path config = home / ".codex/config.toml";
};

TEST_F(MCPConfigWriterTest, IsConfiguredOnlyWhenEveryExistingFileListsTheServer) {
    struct Case {
        const char* name;
        std::optional<std::string> claude;  // ~/.claude.json; nothing: no file
        std::optional<std::string> codex;   // ~/.codex/config.toml
        bool configured;
    };
    const std::string listing = R"({"mcpServers": {"ctx": {"type": "http"}}})";
    const std::vector<Case> cases = {
        {"no file", std::nullopt, std::nullopt, false},
        {"Claude lists it", listing, std::nullopt, true},
        {"Claude lists it, Codex not", listing, "[mcp_servers.other]\n", false},
        {"both list it", listing, "[mcp_servers.ctx]\n", true},
        {"Codex alone, quoted key", std::nullopt, "[mcp_servers.\"ctx\"]\n", true},
        {"Claude's file is not JSON", "{mcpServers", "[mcp_servers.ctx]\n", false},
        {"servers are not an object", R"({"mcpServers": ["ctx"]})", std::nullopt, false},
        {"Codex file not UTF-8", std::nullopt, "[mcp_servers.ctx]\n\xFF", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(home / ".claude.json");
        fs::remove(config);
        if (c.claude)
            home.write(".claude.json", *c.claude);
        if (c.codex)
            home.write(".codex/config.toml", *c.codex);
        EXPECT_EQ(writer.isConfigured("ctx"), c.configured);
    }
}

TEST_F(MCPConfigWriterTest, AppendsAnEscapedTableOnceAndKeepsTheRestOfTheFile) {
    struct Case {
        std::string name;
        std::string url;
        std::string table;
    };
    const std::vector<Case> cases = {
        {"ctx", "https://h/x?k=1", "[mcp_servers.ctx]\nurl = \"https://h/x?k=1\"\n"},
        {"a.b", "https://h/", "[mcp_servers.\"a.b\"]\nurl = \"https://h/\"\n"},
        {"q\"x", "a\"b\\c\nd", "[mcp_servers.\"q\\\"x\"]\nurl = \"a\\\"b\\\\c\\nd\"\n"},
        {"del\x7F", "t\tab", "[mcp_servers.\"del\\u007F\"]\nurl = \"t\\tab\"\n"},
    };
    const std::string original =
        "# my settings\nmodel = \"o3\"\n\n[mcp_servers.docs]\nurl = \"https://d/?key=SECRET\"";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        home.write(".codex/config.toml", original);
        fs::permissions(config, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::others_read);
        EXPECT_EQ(
            writer.addToCodexConfig(c.name, c.url),
            (MCPConfigWriter::CodexOutcome{{"Added " + c.name + " to your Codex config."}, true, true}));
        EXPECT_EQ(readFile(config), original + "\n\n" + c.table);
        EXPECT_EQ(readFile(home / ".codex/config.toml.bak"), original);
        EXPECT_EQ(modeOf(config), 0600U);
        EXPECT_EQ(modeOf(home / ".codex/config.toml.bak"), 0600U);
        EXPECT_TRUE(writer.isConfigured(c.name));
        const std::string once = readFile(config);
        EXPECT_EQ(writer.addToCodexConfig(c.name, c.url).lines,
                  std::vector<std::string>{c.name + " is already in your Codex config — left as is."});
        EXPECT_EQ(readFile(config), once);
    }
}

TEST_F(MCPConfigWriterTest, TheConfigurationAndItsCopyArePrivateFromTheirFirstByte) {
    // A kill right after the write leaves no time for a change of mode: a file system that changes none
    // stands in for it.
    class NoModeChanges final : public test::ForwardingFileSystem {
      public:
        using ForwardingFileSystem::ForwardingFileSystem;
        Result<void> setAttributes(const FileAttributes& /*attributes*/,
                                   const fs::path& /*path*/) const override {
            return {};
        }
    };
    home.write(".codex/config.toml", "model = \"o3\"\n");
    fs::permissions(config, fs::perms(0640));
    const MCPConfigWriter unchanging{std::make_shared<NoModeChanges>(std::make_shared<LiveFileSystem>())};
    ASSERT_TRUE(unchanging.addToCodexConfig("ctx", "https://h/?key=SECRET").succeeded);
    EXPECT_EQ(modeOf(config), 0600U);
    EXPECT_EQ(modeOf(home / ".codex/config.toml.bak"), 0600U);
}

TEST_F(MCPConfigWriterTest, WritesNothingWithoutCodexOrOverAFileItCannotRead) {
    EXPECT_EQ(writer.addToCodexConfig("ctx", "https://h/"), (MCPConfigWriter::CodexOutcome{{}, true, false}));
    EXPECT_FALSE(fs::exists(home / ".codex"));

    // Codex as a command only: the folder is made and the new file is private from the start.
    fs::create_directories(machine.path() / "usr/local/bin");
    std::ofstream(machine.path() / "usr/local/bin/codex") << "";
    EXPECT_TRUE(writer.addToCodexConfig("ctx", "https://h/").succeeded);
    EXPECT_EQ(readFile(config), "[mcp_servers.ctx]\nurl = \"https://h/\"\n");
    EXPECT_EQ(modeOf(config), 0600U);
    EXPECT_FALSE(fs::exists(home / ".codex/config.toml.bak"));

    const std::string latin1 = "# caf\xE9\n";
    home.write(".codex/config.toml", latin1);
    const auto outcome = writer.addToCodexConfig("other", "https://h/");
    EXPECT_FALSE(outcome.succeeded);
    ASSERT_EQ(outcome.lines.size(), 1U);
    EXPECT_TRUE(outcome.lines[0].starts_with("Couldn't write your Codex config: "));
    EXPECT_EQ(readFile(config), latin1);
}

TEST_F(MCPConfigWriterTest, ClaudeAddCommandPassesValuesAsTheyAre) {
    test::StandInPath tools;
    tools.add("claude", R"(printf '%s|' "$@" > "$HOME/claude.log")");
    const auto result = LiveProcessRunner().run(
        "/bin/sh", {"-c", MCPConfigWriter::claudeAddCommand("it's $(touch pwned)", "https://h/?a=1&b=`id`")});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 0);
    EXPECT_EQ(readFile(home / "claude.log"),
              "mcp|add|--transport|http|it's $(touch pwned)|https://h/?a=1&b=`id`|-s|user|");
    EXPECT_FALSE(fs::exists(home / "pwned"));
}

}  // namespace
}  // namespace quill
