#pragma once

#include <string>
#include <string_view>

#include "engine/services/file_system_operating.h"

namespace quill {

/// The managed note that tells AI coding agents how this Mac's tools are organised, kept in
/// ~/.claude/CLAUDE.md and ~/.codex/AGENTS.md. Blocking; every call asks the file system afresh through
/// `fs`, which must outlive this value.
class AgentEnvDoc {
  public:
    /// Which tools the note describes (`brew` to `java`) and which agents it is written for (`claude`,
    /// `codex`).
    struct Tools {
        bool brew = false;
        bool uv = false;
        bool mise = false;
        bool rust = false;
        bool java = false;
        bool claude = false;
        bool codex = false;

        bool operator==(const Tools&) const = default;
    };

    /// Present anywhere in an agent's file, it means the note is there.
    static constexpr std::string_view kMarker = "Quillstart — development environment";
    /// The agents' instruction files, under the home folder.
    static constexpr std::string_view kClaudeFile = ".claude/CLAUDE.md";
    static constexpr std::string_view kCodexFile = ".codex/AGENTS.md";

    explicit AgentEnvDoc(const FileSystemOperating& fs) : m_fs(fs) {}

    /// What is installed: Homebrew-managed tools by their executables under /opt/homebrew/bin or
    /// /usr/local/bin (the login shell's PATH is not asked), the rest by their files in the home folder,
    /// ~/.zprofile and /Applications.
    [[nodiscard]] Tools detectTools() const;

    /// Whether an installed agent's file still lacks the note (a missing or unreadable file lacks it). False
    /// when neither agent is installed. Never fails.
    [[nodiscard]] bool isNeeded() const;

  private:
    [[nodiscard]] bool inHomebrewPrefix(std::string_view tool) const;
    [[nodiscard]] bool existsInHome(std::string_view relativePath) const;
    [[nodiscard]] bool zprofileContains(std::string_view text) const;
    [[nodiscard]] bool lacksNote(std::string_view relativePath) const;

    const FileSystemOperating& m_fs;
};

}  // namespace quill
