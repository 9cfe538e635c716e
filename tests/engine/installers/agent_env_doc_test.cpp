#include "engine/installers/agent_env_doc.h"

#include <gtest/gtest.h>

#include "engine/core/text.h"
#include "engine/services/live_file_system.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::modeOf;
using test::readFile;

constexpr const char* kIntro =
    "<!-- Quillstart — development environment (managed; you can edit the lines below) -->\n"
    "## Development environment (Quillstart)\n\n"
    "This Mac's developer toolchain was configured by Quillstart. One owner per language (no conflicting "
    "version "
    "managers on PATH). When working in a project, drive per-project versions with the manager that owns the "
    "language:\n\n";
constexpr const char* kToolLines =
    "- Homebrew is the base package manager (`brew`).\n"
    "- Python: uv owns Python. `uv python install <version>`, `uv venv` / `.venv`, `uv run`; pin per project "
    "with "
    "`uv python pin <version>`. Do not use a Homebrew or system `python` for projects.\n"
    "- Node / Ruby: mise manages versions. `mise use node@<version>` / `mise use ruby@<version>` per project "
    "(writes `mise.toml`); `mise use -g <tool>@<version>` sets the global default.\n"
    "- Rust: rustup owns toolchains. `rustup default <toolchain>`, `rustup toolchain install`, `cargo`.\n"
    "- Java: Temurin JDK via Homebrew; `JAVA_HOME` is set with `/usr/libexec/java_home` (use `-v <N>` to "
    "select a "
    "version).\n";
constexpr const char* kPathParagraph =
    "\nPATH and tool activation live in `~/.zprofile` (login shells, including this agent's own subshells) "
    "and "
    "`~/.zshrc` (interactive mise activation). API keys go in `~/.env` (sourced by `~/.zshrc`); never "
    "hardcode a "
    "key.\n";

class AgentNoteWriterTest : public ::testing::Test {
  protected:
    test::TemporaryHome home;
    test::TemporaryDirectory machine;
    test::PathMappingFileSystem files{std::make_shared<LiveFileSystem>(), machine.path()};
    AgentEnvDoc doc{files};
};

TEST_F(AgentNoteWriterTest, RendersEachToolsLineAndOnlyThat) {
    EXPECT_EQ(AgentEnvDoc::renderBlock({}), std::string(kIntro) + kPathParagraph);
    const AgentEnvDoc::Tools all{true, true, true, true, true, false, false};
    EXPECT_EQ(AgentEnvDoc::renderBlock(all), std::string(kIntro) + kToolLines + kPathParagraph);

    // The lines of all five, in the order of the tools.
    std::vector<std::string> lines;
    for (const auto& text : splitLines(kToolLines))
        lines.push_back(text + "\n");
    using Tools = AgentEnvDoc::Tools;
    const std::vector<bool Tools::*> tools{&Tools::brew, &Tools::uv, &Tools::mise, &Tools::rust,
                                           &Tools::java};
    ASSERT_EQ(lines.size(), tools.size());
    for (std::size_t i = 0; i < tools.size(); ++i) {
        Tools one;
        one.*tools[i] = true;
        EXPECT_EQ(AgentEnvDoc::renderBlock(one), std::string(kIntro) + lines[i] + kPathParagraph) << lines[i];
    }
}

TEST_F(AgentNoteWriterTest, AppendsAfterTheOldTextWithABackupOnlyOfANonEmptyOne) {
    const std::string block = AgentEnvDoc::renderBlock({});
    struct Case {
        std::optional<std::string> old;  // nothing: no file
        std::string expected;            // the file afterwards
    };
    const std::vector<Case> cases = {
        {std::nullopt, block + "\n"},
        {"", block + "\n"},
        {"# mine", "# mine\n\n" + block + "\n"},
        {"# mine\n", "# mine\n\n" + block + "\n"},
        {"# mine\r\n", "# mine\r\n\n\n" + block + "\n"},  // CR LF is no line feed of its own
        {"x\nQuillstart — development environment\nedited",
         "x\nQuillstart — development environment\nedited"},
    };
    const fs::path file = home / "agent/NOTES.md";
    const fs::path backup = home / "agent/NOTES.md.bak";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.old.value_or("(no file)"));
        fs::remove_all(home / "agent");
        if (c.old) {
            home.write("agent/NOTES.md", *c.old);
            fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        }
        std::vector<std::string> messages;
        bool succeeded = true;
        doc.write(file, block, "Notes", messages, succeeded);

        EXPECT_TRUE(succeeded);
        EXPECT_EQ(readFile(file), c.expected);
        const bool documented = c.old && c.old->find("Quillstart") != std::string::npos;
        EXPECT_EQ(messages,
                  std::vector<std::string>{documented ? "Notes already documents the setup — nothing to do."
                                                      : "Documented your setup for Notes."});
        const bool backedUp = c.old && !c.old->empty() && !documented;
        EXPECT_EQ(fs::exists(backup), backedUp);
        if (backedUp) {
            EXPECT_EQ(readFile(backup), *c.old);
            EXPECT_EQ(modeOf(backup), 0600U);
        }
    }

    // An older backup that others may read never keeps its wider mode.
    fs::remove_all(home / "agent");
    home.write("agent/NOTES.md", "# private\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    home.write("agent/NOTES.md.bak", "# older\n");
    fs::permissions(backup, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
    std::vector<std::string> messages;
    bool succeeded = true;
    doc.write(file, block, "Notes", messages, succeeded);
    EXPECT_TRUE(succeeded);
    EXPECT_EQ(readFile(backup), "# private\n");
    EXPECT_EQ(modeOf(backup), 0600U);
}

TEST_F(AgentNoteWriterTest, WritesForEachInstalledAgentAndKeepsAFileItCannotRead) {
    // Neither agent: nothing is written, and that is no failure.
    EXPECT_EQ(doc.writeNotes(), (WriterOutcome{{"No AI agent (Claude or Codex) detected — skipping the agent "
                                                "setup note."},
                                               true}));

    // Only Codex: only its file.
    home.write(".codex/config.toml", "");
    EXPECT_EQ(doc.writeNotes(),
              (WriterOutcome{{"Documented your setup for Codex (~/.codex/AGENTS.md)."}, true}));
    EXPECT_FALSE(fs::exists(home / ".claude"));

    // Claude's file is not UTF-8: reported and kept, while Codex is still handled.
    const std::string latin1 = "caf\xE9\n";
    home.write(".claude/CLAUDE.md", latin1);
    const auto outcome = doc.writeNotes();
    EXPECT_FALSE(outcome.succeeded);
    ASSERT_EQ(outcome.messages.size(), 2U);
    EXPECT_TRUE(outcome.messages[0].starts_with("Couldn't write Claude (~/.claude/CLAUDE.md): "));
    EXPECT_EQ(outcome.messages[1], "Codex (~/.codex/AGENTS.md) already documents the setup — nothing to do.");
    EXPECT_EQ(readFile(home / ".claude/CLAUDE.md"), latin1);
    EXPECT_FALSE(fs::exists(home / ".claude/CLAUDE.md.bak"));
}

TEST(AgentEnvDocQueries, DetectsToolsByTheirFiles) {
    test::ScriptedFileSystem files;
    files.addFile("/usr/local/bin/brew", "");
    files.addFile("/Users/tester/.local/bin/uv", "");
    files.addFile("/Users/tester/.zprofile",
                  "export PATH=\"$HOME/.cargo/bin:$PATH\"\nexport JAVA_HOME=$(/usr/libexec/java_home)\n");
    files.addDirectory("/Applications/Codex.app", {});
    const auto tools = AgentEnvDoc(files).detectTools();
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
        const char* name = nullptr;
        bool claude = false;
        bool codex = false;
        std::optional<std::string> claudeFile;
        std::optional<std::string> codexFile;
        bool needed = false;
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
        test::ScriptedFileSystem files;
        if (row.claude)
            files.addFile("/opt/homebrew/bin/claude", "");
        if (row.codex)
            files.addDirectory("/Users/tester/.codex", {});
        if (row.claudeFile)
            files.addFile("/Users/tester/.claude/CLAUDE.md", *row.claudeFile);
        if (row.codexFile)
            files.addFile("/Users/tester/.codex/AGENTS.md", *row.codexFile);
        EXPECT_EQ(AgentEnvDoc(files).isNeeded(), row.needed) << row.name;
    }
}

}  // namespace
}  // namespace quill
