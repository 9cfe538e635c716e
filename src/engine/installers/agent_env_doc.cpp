#include "engine/installers/agent_env_doc.h"

#include <utility>

#include "engine/core/text.h"
#include "engine/installers/file_tree.h"
#include "engine/services/homebrew_paths.h"

namespace quill {

bool AgentEnvDoc::inHomebrewPrefix(std::string_view tool) const {
    return homebrewTool(m_fs, tool, HomebrewToolCheck::exists).has_value();
}

bool AgentEnvDoc::existsInHome(std::string_view relativePath) const {
    return m_fs.fileExists(m_fs.homeDirectory() / relativePath);
}

bool AgentEnvDoc::zprofileContains(std::string_view text) const {
    const auto zprofile = m_fs.readString(m_fs.homeDirectory() / ".zprofile");
    return zprofile.has_value() && contains(*zprofile, text);
}

bool AgentEnvDoc::lacksNote(std::string_view relativePath) const {
    const auto text = m_fs.readString(m_fs.homeDirectory() / relativePath);
    return !text.has_value() || !contains(*text, kMarker);
}

AgentEnvDoc::Tools AgentEnvDoc::detectTools() const {
    Tools tools;
    tools.brew = inHomebrewPrefix("brew");
    tools.uv = inHomebrewPrefix("uv") || existsInHome(".local/bin/uv");
    tools.mise = inHomebrewPrefix("mise") || existsInHome(".local/bin/mise");
    tools.rust = existsInHome(".cargo/bin/cargo") || zprofileContains(".cargo/bin");
    tools.java = zprofileContains("JAVA_HOME");
    tools.claude = inHomebrewPrefix("claude") || existsInHome(".local/bin/claude") ||
                   existsInHome(".claude") || m_fs.fileExists("/Applications/Claude.app");
    tools.codex = inHomebrewPrefix("codex") || existsInHome(".codex") ||
                  m_fs.fileExists("/Applications/ChatGPT.app") || m_fs.fileExists("/Applications/Codex.app");
    return tools;
}

bool AgentEnvDoc::isNeeded() const {
    const Tools tools = detectTools();
    if (tools.claude && lacksNote(kClaudeFile))
        return true;
    return tools.codex && lacksNote(kCodexFile);
}

namespace {

// clang-format off
constexpr std::string_view kIntroduction = "This Mac's developer toolchain was configured by Quillstart. One owner per language (no conflicting version managers on PATH). When working in a project, drive per-project versions with the manager that owns the language:";
constexpr std::string_view kBrewLine = "- Homebrew is the base package manager (`brew`).";
constexpr std::string_view kUvLine = "- Python: uv owns Python. `uv python install <version>`, `uv venv` / `.venv`, `uv run`; pin per project with `uv python pin <version>`. Do not use a Homebrew or system `python` for projects.";
constexpr std::string_view kMiseLine = "- Node / Ruby: mise manages versions. `mise use node@<version>` / `mise use ruby@<version>` per project (writes `mise.toml`); `mise use -g <tool>@<version>` sets the global default.";
constexpr std::string_view kRustLine = "- Rust: rustup owns toolchains. `rustup default <toolchain>`, `rustup toolchain install`, `cargo`.";
constexpr std::string_view kJavaLine = "- Java: Temurin JDK via Homebrew; `JAVA_HOME` is set with `/usr/libexec/java_home` (use `-v <N>` to select a version).";
constexpr std::string_view kPathParagraph = "PATH and tool activation live in `~/.zprofile` (login shells, including this agent's own subshells) and `~/.zshrc` (interactive mise activation). API keys go in `~/.env` (sourced by `~/.zshrc`); never hardcode a key.";
// clang-format on

}  // namespace

std::string AgentEnvDoc::renderBlock(const Tools& tools) {
    std::vector<std::string> lines{
        "<!-- " + std::string(kMarker) + " (managed; you can edit the lines below) -->",
        "## Development environment (Quillstart)",
        "",
        std::string(kIntroduction),
        "",
    };
    const std::pair<bool, std::string_view> toolLines[] = {
        {tools.brew, kBrewLine}, {tools.uv, kUvLine},     {tools.mise, kMiseLine},
        {tools.rust, kRustLine}, {tools.java, kJavaLine},
    };
    for (const auto& [set, line] : toolLines) {
        if (set)
            lines.emplace_back(line);
    }
    lines.insert(lines.end(), {"", std::string(kPathParagraph), ""});
    return join(lines, "\n");
}

void AgentEnvDoc::write(const std::filesystem::path& file, std::string_view block, std::string_view label,
                        std::vector<std::string>& messages, bool& succeeded) const {
    const auto failed = [&](const Error& error) {
        messages.push_back("Couldn't write " + std::string(label) + ": " + error.message);
        succeeded = false;
    };

    // Only a missing file is empty: one that exists but cannot be read as text is never written over.
    std::string old;
    if (m_fs.fileExists(file)) {
        auto text = m_fs.readString(file);
        if (!text)
            return failed(text.error());
        old = std::move(*text);
    }
    if (contains(old, kMarker)) {
        messages.push_back(std::string(label) + " already documents the setup — nothing to do.");
        return;
    }

    if (auto created = m_fs.createDirectory(file.parent_path(), CreateDirectoryMode::withIntermediates);
        !created)
        return failed(created.error());
    std::string separator;
    if (!old.empty()) {
        // A blank file has nothing of the user's to keep: a ".bak" beside it is the user's own.
        const auto backup = file.parent_path() / (file.filename().string() + ".bak");
        if (backupOwed(m_fs, old, backup)) {
            if (auto written = writeBackup(m_fs, file, backup, old); !written)
                return failed(written.error());
        }
        separator = endsWithLineFeed(old) ? "\n" : "\n\n";
    }
    if (auto written = m_fs.write(old + separator + std::string(block) + "\n", file, WriteMode::atomically);
        !written)
        return failed(written.error());
    messages.push_back("Documented your setup for " + std::string(label) + ".");
}

WriterOutcome AgentEnvDoc::writeNotes() const {
    const Tools tools = detectTools();
    if (!tools.claude && !tools.codex)
        return {{"No AI agent (Claude or Codex) detected — skipping the agent setup note."}, true};
    const std::string block = renderBlock(tools);
    WriterOutcome outcome;
    if (tools.claude)
        write(m_fs.homeDirectory() / kClaudeFile, block, kClaudeLabel, outcome.messages, outcome.succeeded);
    if (tools.codex)
        write(m_fs.homeDirectory() / kCodexFile, block, kCodexLabel, outcome.messages, outcome.succeeded);
    return outcome;
}

}  // namespace quill
