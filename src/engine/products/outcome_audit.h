#pragma once

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
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

/// What the outcome page shows from the disk.
struct OutcomeFiles {
    /// Whether an example project the setup copies, of any template, is in ~/Documents: the outcome page
    /// then offers to open that folder.
    bool exampleProjectInDocuments = false;
    /// Where each asked-for application is, in the order asked; nothing for one in neither folder.
    std::vector<std::optional<std::filesystem::path>> appPaths;
    bool operator==(const OutcomeFiles&) const = default;
};

/// Whether an example project of any template is in ~/Documents (the outcome page's rule, wider than the
/// probe's `exampleProjectExists`).
[[nodiscard]] bool anyExampleProjectInDocuments(const FileSystemOperating& fs);

/// The application bundle `appName` ("Zed.app") in /Applications, or else in ~/Applications.
[[nodiscard]] std::optional<std::filesystem::path> installedAppPath(const FileSystemOperating& fs,
                                                                    const std::string& appName);

/// The outcome page's file facts for the applications `appNames`. Blocking: run it off the GUI thread.
[[nodiscard]] OutcomeFiles findOutcomeFiles(const FileSystemOperating& fs,
                                            const std::vector<std::string>& appNames);

}  // namespace quill
