#pragma once

#include "engine/setup/setup_verifier.h"

namespace quill {

/// The command-line products' verifier: in a fresh login shell, Apple's Command Line Tools are selected
/// (`xcode-select -p`) and then `git` runs. `git` is never started before the tools are selected: without
/// them it is a stub that opens Apple's install dialog. Blocking; never fails. Stateless and thread-safe.
class CliVerifier final : public SetupVerifier {
  public:
    [[nodiscard]] SetupVerificationResult verify(const std::optional<SystemProfile>& profile,
                                                 const ShellRunner& shell, const FileSystemOperating& fs,
                                                 std::stop_token stop) const override;
};

}  // namespace quill
