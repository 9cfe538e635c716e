#pragma once

#include <optional>
#include <stop_token>

#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"
#include "engine/services/system_profile.h"
#include "engine/setup/setup_verification_result.h"

namespace quill {

/// A product's verifier: checks the machine again after the fixes. Blocking and never failing; `profile` is
/// the current system profile when the caller has one. Thread-safe.
class SetupVerifier {
  public:
    virtual ~SetupVerifier() = default;

    /// Blocking; a stop ends the running check, which then fails.
    [[nodiscard]] virtual SetupVerificationResult verify(const std::optional<SystemProfile>& profile,
                                                         const ShellRunner& shell,
                                                         const FileSystemOperating& fs,
                                                         std::stop_token stop) const = 0;
};

}  // namespace quill
