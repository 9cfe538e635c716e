#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/installers/writer_outcome.h"
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
    /// How the files are named in messages.
    static constexpr std::string_view kClaudeLabel = "Claude (~/.claude/CLAUDE.md)";
    static constexpr std::string_view kCodexLabel = "Codex (~/.codex/AGENTS.md)";

    explicit AgentEnvDoc(const FileSystemOperating& fs) : m_fs(fs) {}

    /// What is installed: Homebrew-managed tools by their executables under /opt/homebrew/bin or
    /// /usr/local/bin (the login shell's PATH is not asked), the rest by their files in the home folder,
    /// ~/.zprofile and /Applications.
    [[nodiscard]] Tools detectTools() const;

    /// Whether an installed agent's file still lacks the note (a missing or unreadable file lacks it). False
    /// when neither agent is installed. Never fails.
    [[nodiscard]] bool isNeeded() const;

    /// The note describing the set tools among `brew` to `java`; it ends with a line feed.
    [[nodiscard]] static std::string renderBlock(const Tools& tools);

    /// Adds `block` to `file` unless the file already holds the note: after the old text and a blank line,
    /// with a ".bak" copy of a non-empty old text beside it (in the file's mode; a blank one leaves a ".bak"
    /// already there as it is). Appends what happened to
    /// `messages`; clears `succeeded` when the file could not be written. A file that cannot be read as
    /// UTF-8 is reported and left as it is.
    void write(const std::filesystem::path& file, std::string_view block, std::string_view label,
               std::vector<std::string>& messages, bool& succeeded) const;

    /// Writes the note for each installed agent (Claude, then Codex); one failing file does not stop the
    /// other.
    [[nodiscard]] WriterOutcome writeNotes() const;

  private:
    [[nodiscard]] bool inHomebrewPrefix(std::string_view tool) const;
    [[nodiscard]] bool existsInHome(std::string_view relativePath) const;
    [[nodiscard]] bool zprofileContains(std::string_view text) const;
    [[nodiscard]] bool lacksNote(std::string_view relativePath) const;

    const FileSystemOperating& m_fs;
};

}  // namespace quill
