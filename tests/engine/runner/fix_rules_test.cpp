#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "engine/core/shell_quote.h"
#include "engine/core/text.h"
#include "engine/installers/mcp_config_writer.h"
#include "engine/runner/fixes.h"
#include "engine/services/live_file_system.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill::fixes {
namespace {

TEST(FixRules, MajorVersionsAndCaskNames) {
    const std::vector<std::pair<std::string, std::optional<int>>> versions = {
        {"21", 21},
        {"+21", 21},
        {"-3", -3},
        {"021", 21},
        {"21a", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"+-2", std::nullopt},
        {" 21", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const auto& [text, expected] : versions)
        EXPECT_EQ(parseMajorVersion(text), expected) << text;

    const auto refused = resolveTemurinAsset(AdoptiumAPI{}, "21a", "x64", {});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), (Error{"BrewRunner.PKG", 1, "Bad Temurin major version: 21a"}));

    for (const auto& [cask, version] : std::vector<std::pair<std::string, std::string>>{
             {"temurin@21", "21"}, {"temurin", "25"}, {"temurin@", "25"}, {"temurin@17@x", "17@x"}})
        EXPECT_EQ(temurinVersionFromCaskName(cask), version) << cask;
    EXPECT_EQ(temurinLookupMessage("21", "aarch64"), "Looking up Temurin 21 (aarch64) on Adoptium…");
}

// The runner's table sees only that curl started; the source of uv's installer is pinned here.
TEST(FixRules, UvComesFromAstralsInstaller) {
    EXPECT_EQ(uvInstallCommand(),
              "set -o pipefail; curl -LsSf 'https://astral.sh/uv/install.sh' | sh -s -- --no-modify-path");
}

TEST(FixRules, AnMCPKeyIsTrimmedAndPercentEncodedIntoItsTemplate) {
    const MCPServer keyed{
        "exa", "Exa",        "https://mcp.exa.ai/mcp",
        "",    std::nullopt, MCPServer::KeylessOptionalKey{"https://mcp.exa.ai/mcp?key={key}&again={key}"}};
    EXPECT_EQ(mcpEndpoint(keyed, "  a b&c/d=\n"),
              "https://mcp.exa.ai/mcp?key=a%20b%26c%2Fd%3D&again=a%20b%26c%2Fd%3D");
    EXPECT_EQ(mcpEndpoint(keyed, "{key}"), "https://mcp.exa.ai/mcp?key=%7Bkey%7D&again=%7Bkey%7D");
    for (const auto& blank : std::vector<std::optional<std::string>>{std::nullopt, "", "   \n"})
        EXPECT_EQ(mcpEndpoint(keyed, blank), keyed.url);
    const MCPServer noTemplate{"x", "X",          "https://x.example/mcp",
                               "",  std::nullopt, MCPServer::KeylessOptionalKey{}};
    EXPECT_EQ(mcpEndpoint(noTemplate, "key"), noTemplate.url);
}

TEST(FixRules, AnMCPKeyIsMaskedInBothItsForms) {
    const std::vector<std::tuple<std::optional<std::string>, std::string, std::string>> cases = {
        {" sk-a b&c/d\n", "added https://h/mcp?key=sk-a%20b%26c%2Fd (sk-a b&c/d)",
         "added https://h/mcp?key=sk-a… (sk-a…)"},
        {"%2Fsecret", "%2Fsecret / %252Fsecret", "%2Fs… / %252…"},
        {"abcd", "key abcd, abcde", "key …, …e"},
        {"ключ-секрет", "ключ-секрет", "ключ…"},
        {std::nullopt, "key abcd", "key abcd"},
        {"  ", "key abcd", "key abcd"},
    };
    for (const auto& [key, line, masked] : cases)
        EXPECT_EQ(maskingMCPKey(line, key), masked) << line;
}

// The application takes its C locale from the environment, where a Latin-1 locale counts bytes >= 0x80 as
// letters. The key must come out the same under every locale.
TEST(FixRules, AnMCPKeyIsEncodedTheSameInEveryLocale) {
    const test::TemporaryHome home;
    const test::TemporaryDirectory machine;
    machine.write("usr/local/bin/codex", "");
    const MCPConfigWriter writer{
        std::make_shared<test::PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), machine.path())};
    const MCPServer keyed{
        "exa", "Exa",        "https://mcp.exa.ai/mcp",
        "",    std::nullopt, MCPServer::KeylessOptionalKey{"https://mcp.exa.ai/mcp?key={key}"}};
    const auto isUnreserved = [](int byte) {
        return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
               byte == '-' || byte == '.' || byte == '_' || byte == '~';
    };

    struct RestoredLocale {
        std::string before = std::setlocale(LC_ALL, nullptr);
        const char* path = std::getenv("LOCPATH");
        std::optional<std::string> locpath = path ? std::optional<std::string>(path) : std::nullopt;
        /// Where setlocale looks: `folder`, or as before.
        void searchIn(const std::optional<std::string>& folder) const {
            if (const auto& chosen = folder ? folder : locpath)
                ::setenv("LOCPATH", chosen->c_str(), 1);
            else
                ::unsetenv("LOCPATH");
        }
        ~RestoredLocale() {
            searchIn(std::nullopt);
            std::setlocale(LC_ALL, before.c_str());
        }
    } restored;
    // An installed Latin-1 locale, else one made here from the system's locale sources.
    const test::TemporaryDirectory made;
    const auto latin1 = [&]() -> std::optional<std::string> {
        const std::vector<const char*> names = {"en_US.ISO-8859-1", "en_US.ISO8859-1", "de_DE.ISO-8859-1"};
        for (const char* name : names) {
            if (std::setlocale(LC_ALL, name) != nullptr)
                return name;
        }
        const auto folder = made.path() / names.front();
        (void)std::system(
            ("localedef -i en_US -f ISO-8859-1 " + shellSingleQuoted(folder.string()) + " >/dev/null 2>&1")
                .c_str());
        restored.searchIn(made.path().string());
        if (std::setlocale(LC_ALL, names.front()) != nullptr)
            return names.front();
        return std::nullopt;
    }();
    const bool latin1Made = std::getenv("LOCPATH") && std::getenv("LOCPATH") == made.path().string();
    ASSERT_TRUE(latin1) << "no Latin-1 locale is installed and none could be made with localedef";
    const std::vector<std::string> locales = {"C", "", *latin1};
    for (std::size_t index = 0; index < locales.size(); ++index) {
        SCOPED_TRACE("locale \"" + locales[index] + "\"");
        restored.searchIn(latin1Made && locales[index] == *latin1 ? std::optional(made.path().string())
                                                                  : std::nullopt);
        ASSERT_NE(std::setlocale(LC_ALL, locales[index].c_str()), nullptr);
        for (int byte = 0; byte < 256; ++byte) {
            const std::string encoded = percentEncodedQueryValue(std::string(1, static_cast<char>(byte)));
            EXPECT_EQ(encoded.size() == 1, isUnreserved(byte)) << "byte " << byte << " gave " << encoded;
        }
        EXPECT_EQ(mcpEndpoint(keyed, "café"), "https://mcp.exa.ai/mcp?key=caf%C3%A9");

        EXPECT_TRUE(
            writer.addToCodexConfig("exa-" + std::to_string(index), mcpEndpoint(keyed, "café")).succeeded);
        std::ifstream file(home / ".codex/config.toml", std::ios::binary);
        const std::string written{std::istreambuf_iterator<char>(file), {}};
        EXPECT_TRUE(isValidUtf8(written)) << written;
    }
}

TEST(FixRules, MCPClosingLinesFollowTheAgentsThatWereThere) {
    const MCPServer oauth{"linear", "Linear", "", "", std::nullopt, MCPServer::OAuth{}};
    const MCPServer keyless{"exa", "Exa", "", "", std::nullopt, MCPServer::KeylessOptionalKey{}};
    const std::string hint =
        "For Claude Desktop’s Chat, add Linear under Settings → Connectors — the Code tab already has it.";
    const std::string signIn = "Sign in to Linear inside Claude or Codex, then restart it to finish.";
    struct Row {
        MCPRegistration registration;
        const MCPServer* server;
        MCPClosing expected;
    };
    const std::vector<Row> rows = {
        {{false, false, false, false, true},
         &oauth,
         {{"No AI agent is set up yet — nothing to configure Linear for."}, 0}},
        {{false, false, true, false, true}, &oauth, {{hint}, 0}},
        {{true, false, false, false, true}, &oauth, {{signIn}, 0}},
        {{true, true, true, false, true}, &oauth, {{hint}, 1}},
        {{false, false, false, true, false}, &oauth, {{}, 1}},
        {{true, false, true, true, true}, &oauth, {{hint, signIn}, 0}},
        {{false, false, false, true, true}, &keyless, {{}, 0}},
    };
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(mcpClosing(*rows[i].server, rows[i].registration), rows[i].expected) << "row " << i;
}

TEST(FixRules, DeviceCodeAndPage) {
    EXPECT_EQ(deviceCodeIn("! First copy your one-time CODE: 1A2B-3C4D"), "1A2B-3C4D");
    EXPECT_EQ(deviceCodeIn("Ticket 1A2B-3C4D"), std::nullopt);
    EXPECT_EQ(deviceCodeIn("your code is ab12-cd34"), std::nullopt);
    EXPECT_EQ(devicePageIn("Press Enter to open github.com/login/device in your browser..."),
              "https://github.com/login/device");
    EXPECT_EQ(devicePageIn("Open https://github.com/login/device"), "https://github.com/login/device");
    EXPECT_EQ(devicePageIn("githubxcom/login/device"), std::nullopt);
}

}  // namespace
}  // namespace quill::fixes
