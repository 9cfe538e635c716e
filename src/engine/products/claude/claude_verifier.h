#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/setup/setup_verifier.h"

namespace quill {

/// The Claude Code product's result rule: the CLI passed when `claude --version` exits 0 with some output;
/// the desktop app only adds an item and the "desktop_present" detail. Pure.
struct ClaudeVerifier {
    ShellRunner shell;

    static SetupVerificationResult result(const std::string& output, std::int32_t exitStatus,
                                          bool desktopPresent);
    /// The version at the start of `claude --version` output: its first word when that starts with a number
    /// in any script; nothing otherwise.
    static std::optional<std::string> versionToken(std::string_view output);
};

/// The Claude Code product's verifier: whether the CLI answers `--version` in a fresh login shell and
/// whether Claude.app is installed. Also the engine's default verifier. Blocking; never fails. Stateless and
/// thread-safe.
class ClaudeSetupVerifier final : public SetupVerifier {
  public:
    [[nodiscard]] SetupVerificationResult verify(const std::optional<SystemProfile>& profile,
                                                 const ShellRunner& shell, const FileSystemOperating& fs,
                                                 std::stop_token stop) const override;
};

}  // namespace quill
