#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/environment.h"
#include "engine/core/result.h"
#include "engine/services/file_system_operating.h"

namespace quill {

/// What a privileged child needs: `PATH` with the private `sudo` wrapper first and `SUDO_ASKPASS`, to be set
/// into the child's environment, and the clean-up that removes the private folder once the child has ended.
struct PrivilegedEnvironment {
    Environment variables;
    std::filesystem::path folder;
    /// Removes the private folder with its contents, ignoring errors. Safe to call more than once.
    std::function<void()> cleanup;
};

/// Prepares an environment in which every `sudo` runs as `sudo -A`, asking for the password in a dialog
/// through an askpass script. The password never passes through the program. Blocking; any thread; every call
/// makes its own private folder, so concurrent runs do not meet.
struct PrivilegedExecutor {
    std::shared_ptr<const FileSystemOperating> fs;

    /// The start of every private folder's name.
    static constexpr std::string_view kFolderPrefix = "tvn-priv-";

    /// Creates the private folder "tvn-priv-<UUID>" in the user's temporary folder, new and 0700, with
    /// "askpass.sh" and the "sudo" wrapper (both 0700); first it sweeps the folders earlier runs left behind
    /// (`sweepStalePrivilegedFolders`). Fails with the file system's error (also when something is already at
    /// the folder's path); what was created so far then stays.
    [[nodiscard]] Result<PrivilegedEnvironment> prepareEnvironment(const std::string& prompt) const;

    /// The askpass script for `prompt`, with `title` as the dialog's title.
    static std::string askpassScript(std::string_view prompt, std::string_view title);

    /// The `sudo` wrapper: replaces itself with the real sudo in askpass mode.
    static constexpr std::string_view kSudoWrapper = "#!/bin/bash\nexec /usr/bin/sudo -A \"$@\"";
};

/// Removes, with their contents, the private folders in `temporary` that runs ended by a crash left: only
/// folders named "tvn-priv-…" (never a link to one), owned by this user and last changed over a day before
/// `now`. Best effort: what cannot be removed stays.
void sweepStalePrivilegedFolders(const std::filesystem::path& temporary,
                                 std::chrono::system_clock::time_point now);

/// `text` as the inside of an AppleScript string literal: backslashes doubled, then double quotes escaped.
std::string appleScriptEscaped(std::string_view text);

}  // namespace quill
