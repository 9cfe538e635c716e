#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/services/file_system_operating.h"

namespace quill {

/// Registers remote MCP servers with the AI coding agents: edits the Codex configuration itself, reads Claude
/// Code's registry and builds the command that adds a server to it. Blocking; keeps no state between calls.
struct MCPConfigWriter {
    /// What `addToCodexConfig` reports.
    struct CodexOutcome {
        std::vector<std::string> lines;
        bool succeeded = true;   ///< false only when the configuration could not be written
        bool codexFound = true;  ///< false when Codex is not installed and nothing was done

        bool operator==(const CodexOutcome&) const = default;
    };

    std::shared_ptr<const FileSystemOperating> fs;

    /// The Claude desktop application's configuration folder (not created).
    [[nodiscard]] std::filesystem::path claudeDesktopConfigDirectory() const;

    /// Whether every agent configuration that exists (~/.claude.json, ~/.codex/config.toml) lists the server,
    /// and at least one exists. An unreadable or malformed file does not list it. Never fails.
    [[nodiscard]] bool isConfigured(const std::string& name) const;

    /// Appends the server's table to ~/.codex/config.toml (mode 600, after a ".bak" copy of a non-empty old
    /// text; a blank one leaves a ".bak" already there as it is) unless Codex is missing or the server is
    /// there already. A file that cannot be read as UTF-8 is reported as a failure and left as it is.
    [[nodiscard]] CodexOutcome addToCodexConfig(const std::string& name, const std::string& url) const;

    /// The shell command that registers the server for the user in Claude Code.
    [[nodiscard]] static std::string claudeAddCommand(const std::string& name, const std::string& url);

    /// The two-line Codex table for a server: the name as a bare key when it is one, else quoted; the URL as
    /// a TOML basic string. Both escaped as TOML requires.
    [[nodiscard]] static std::string codexTable(std::string_view name, std::string_view url);

    /// Whether a Codex configuration's text has a table for the server, by any header form that names it.
    [[nodiscard]] static bool codexListsServer(std::string_view text, std::string_view name);
};

}  // namespace quill
