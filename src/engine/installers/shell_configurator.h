#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/services/file_system_operating.h"

namespace quill {

/// The user's zsh set-up in the home folder: ~/.zprofile (PATH and environment of login shells), ~/.zshrc
/// (interactive shells) and ~/.env (API keys). Every edit is a managed block with a ".bak" of the old text;
/// every writing operation returns the lines to show and never fails as such. Blocking; every call reads the
/// files afresh.
class ShellConfigurator {
  public:
    /// The active line that shows ~/.zprofile carries the managed environment block.
    static constexpr std::string_view kZprofileNeedle = "typeset -U path PATH";
    /// The active line that shows ~/.zshrc loads ~/.env.
    static constexpr std::string_view kZshrcNeedle = "source \"$HOME/.env\"";

    /// What `configure` reports: one line per step, and whether every step succeeded.
    struct Report {
        std::vector<std::string> lines;
        bool success = true;

        bool operator==(const Report&) const = default;
    };

    explicit ShellConfigurator(std::shared_ptr<const FileSystemOperating> fs) : m_fs(std::move(fs)) {}

    /// Whether ~/.zprofile and ~/.zshrc already hold the managed lines as active (uncommented) lines and
    /// ~/.env exists, read through `fs`. A missing or unreadable file counts as not configured; never fails.
    [[nodiscard]] static bool isConfigured(const FileSystemOperating& fs);

    /// Gives ~/.zprofile its environment block and ~/.zshrc its completions-and-secrets block (each seeded
    /// with a header comment when missing or blank, each skipped when its setting appears anywhere in it,
    /// even commented out), and creates ~/.env once, private to the user. Each step runs whatever the
    /// previous one gave; a file that cannot be read is left as it is and reported.
    [[nodiscard]] Report configure() const;

    /// One line each: puts uv's, then cargo's, bin folder on PATH in ~/.zprofile unless it is mentioned.
    [[nodiscard]] std::vector<std::string> configureUvPath() const;
    [[nodiscard]] std::vector<std::string> configureCargoPath() const;
    /// Two lines: mise's login shims in ~/.zprofile, then its activation in ~/.zshrc, each step on its own.
    [[nodiscard]] std::vector<std::string> configureMise() const;

  private:
    /// Writes `comment` as the only line of `file` when it is missing or holds only white space. True when it
    /// wrote the file: what it replaced held no text of the user's.
    bool seedHeaderComment(const std::filesystem::path& file, const std::string& comment) const;
    /// Creates ~/.env from the placeholder template with mode 600, unless it exists.
    void createEnvFile(std::vector<std::string>& lines, bool& success) const;

    void configureBlock(std::string_view name, const std::string& seedComment, const std::string& label,
                        const std::vector<std::string>& blockLines, std::string_view needle,
                        Report& report) const;
    [[nodiscard]] std::string appendLine(std::string_view name, const std::string& line,
                                         const std::string& label, const std::string& needle,
                                         std::string_view subject) const;
    std::shared_ptr<const FileSystemOperating> m_fs;
};

}  // namespace quill
