#include <gtest/gtest.h>

#include "engine/installers/agent_env_doc.h"
#include "engine/installers/shell_configurator.h"
#include "tests/support/scripted_file_system.h"

namespace quill {
namespace {

constexpr char kZprofile[] = "/Users/tester/.zprofile";
constexpr char kZshrc[] = "/Users/tester/.zshrc";
constexpr char kEnv[] = "/Users/tester/.env";

TEST(ShellConfiguratorQueryTest, ConfiguredOnlyWithBothActiveLinesAndTheEnvFile) {
    const std::string zprofile = "# ~/.zprofile\r\n  typeset -U path PATH  \r\n";
    const std::string zshrc = "[ -f \"$HOME/.env\" ] && set -a && source \"$HOME/.env\" && set +a";
    struct Row {
        const char* name;
        std::optional<std::string> zprofile;
        std::optional<std::string> zshrc;
        bool env;
        bool configured;
    };
    const Row rows[] = {
        {"all set", zprofile, zshrc, true, true},
        {"no ~/.env", zprofile, zshrc, false, false},
        {"no ~/.zshrc", zprofile, std::nullopt, true, false},
        {"no ~/.zprofile", std::nullopt, zshrc, true, false},
        {"commented out", "  # typeset -U path PATH\n", zshrc, true, false},
        {"line after a form feed", "export A=1\ftypeset -U path PATH", zshrc, true, true},
        {"not UTF-8", "typeset -U path PATH\n\xFF", zshrc, true, false},
    };
    for (const auto& row : rows) {
        test::ScriptedFileSystem fs;
        if (row.zprofile)
            fs.addFile(kZprofile, *row.zprofile);
        if (row.zshrc)
            fs.addFile(kZshrc, *row.zshrc);
        if (row.env)
            fs.addFile(kEnv, "");
        EXPECT_EQ(ShellConfigurator(fs).isConfigured(), row.configured) << row.name;
    }
}

TEST(AgentEnvDocQueries, DetectsToolsByTheirFiles) {
    test::ScriptedFileSystem fs;
    fs.addFile("/usr/local/bin/brew", "");
    fs.addFile("/Users/tester/.local/bin/uv", "");
    fs.addFile(kZprofile,
               "export PATH=\"$HOME/.cargo/bin:$PATH\"\nexport JAVA_HOME=$(/usr/libexec/java_home)\n");
    fs.addDirectory("/Applications/Codex.app", {});
    const auto tools = AgentEnvDoc(fs).detectTools();
    EXPECT_EQ(tools, (AgentEnvDoc::Tools{.brew = true,
                                         .uv = true,
                                         .mise = false,
                                         .rust = true,
                                         .java = true,
                                         .claude = false,
                                         .codex = true}));
}

TEST(AgentEnvDocQueries, NeededWhileAnInstalledAgentLacksTheNote) {
    const std::string note = "# Mine\n<!-- Quillstart — development environment (managed) -->\n";
    struct Row {
        const char* name;
        bool claude;
        bool codex;
        std::optional<std::string> claudeFile;
        std::optional<std::string> codexFile;
        bool needed;
    };
    const Row rows[] = {
        {"no agent", false, false, std::nullopt, std::nullopt, false},
        {"claude without a file", true, false, std::nullopt, std::nullopt, true},
        {"claude with the note", true, false, note, std::nullopt, false},
        {"claude with other text", true, false, "# Mine\n", std::nullopt, true},
        {"claude noted, codex not", true, true, note, "# Codex\n", true},
        {"both noted", true, true, note, note, false},
        {"codex only, noted", false, true, std::nullopt, note, false},
        {"a note for an absent agent does not count", false, true, note, std::nullopt, true},
    };
    for (const auto& row : rows) {
        test::ScriptedFileSystem fs;
        if (row.claude)
            fs.addFile("/opt/homebrew/bin/claude", "");
        if (row.codex)
            fs.addDirectory("/Users/tester/.codex", {});
        if (row.claudeFile)
            fs.addFile("/Users/tester/.claude/CLAUDE.md", *row.claudeFile);
        if (row.codexFile)
            fs.addFile("/Users/tester/.codex/AGENTS.md", *row.codexFile);
        EXPECT_EQ(AgentEnvDoc(fs).isNeeded(), row.needed) << row.name;
    }
}

}  // namespace
}  // namespace quill
