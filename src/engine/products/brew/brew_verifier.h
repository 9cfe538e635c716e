#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/setup/setup_verifier.h"

namespace quill {

/// The Homebrew product's verifier: `brew --version` answers in a fresh login shell. Blocking; never fails.
/// Stateless and thread-safe.
class BrewVerifier final : public SetupVerifier {
  public:
    [[nodiscard]] SetupVerificationResult verify(const std::optional<SystemProfile>& profile,
                                                 const ShellRunner& shell, const FileSystemOperating& fs,
                                                 std::stop_token stop) const override;
};

/// The version `brew --version` names: the second word when the first is exactly "Homebrew"; nothing
/// otherwise (a warning printed first, for instance). Words are split at spaces and line ends.
std::optional<std::string> brewVersion(std::string_view output);

}  // namespace quill
