#pragma once

#include <optional>
#include <stop_token>
#include <vector>

#include "engine/services/file_system_operating.h"
#include "engine/services/process_running.h"
#include "engine/services/system_profile.h"
#include "engine/setup/setup_verification_result.h"

namespace quill {

/// The outcome checklist after a passed verification: what is in place, by section, in display order; a
/// section with nothing in it is left out. One login-shell check after another, each within the login-shell
/// limit; a stop ends the running check and starts no other. Blocking.
[[nodiscard]] std::vector<OutcomeAuditSection> buildOutcomeAudit(const std::optional<SystemProfile>& profile,
                                                                 const ProcessRunning& process,
                                                                 const FileSystemOperating& fs,
                                                                 std::stop_token stop = {});

}  // namespace quill
