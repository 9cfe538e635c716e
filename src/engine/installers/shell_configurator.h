#pragma once

#include <string_view>

#include "engine/services/file_system_operating.h"

namespace quill {

/// The user's zsh set-up in the home folder: ~/.zprofile (PATH and environment of login shells), ~/.zshrc
/// (interactive shells) and ~/.env (API keys). Blocking; every call reads the files afresh through `fs`,
/// which must outlive this value.
class ShellConfigurator {
  public:
    /// The active line that shows ~/.zprofile carries the managed environment block.
    static constexpr std::string_view kZprofileNeedle = "typeset -U path PATH";
    /// The active line that shows ~/.zshrc loads ~/.env.
    static constexpr std::string_view kZshrcNeedle = "source \"$HOME/.env\"";

    explicit ShellConfigurator(const FileSystemOperating& fs) : m_fs(fs) {}

    /// Whether ~/.zprofile and ~/.zshrc already hold the managed lines as active (uncommented) lines and
    /// ~/.env exists. A missing or unreadable file counts as not configured; never fails.
    [[nodiscard]] bool isConfigured() const;

  private:
    const FileSystemOperating& m_fs;
};

}  // namespace quill
