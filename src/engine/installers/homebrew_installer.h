#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/core/endpoints.h"
#include "engine/core/stream.h"
#include "engine/installers/installer_event.h"
#include "engine/installers/privileged_executor.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/process_running.h"

namespace quill {

/// Installs Homebrew with its official script, non-interactively, with `sudo` asking for the password in a
/// dialog; after a successful run adds Homebrew's shell environment line to ~/.zprofile. `install` returns at
/// once; a task of its own produces the events. Ending the stream terminates the script and stops the task.
struct HomebrewInstaller {
    using Event = InstallerEvent;

    std::shared_ptr<const ProcessRunning> process;
    std::shared_ptr<const FileSystemOperating> fs;
    PrivilegedExecutor executor;
    /// Where the install script is fetched from.
    std::string scriptURL = std::string(endpoints::kHomebrewInstallScript);

    [[nodiscard]] Stream<Event> install() const;

    /// The bash command that fetches the script and runs it; a failed fetch fails the command with curl's
    /// status instead of running an empty script.
    static std::string installCommand(std::string_view url);
};

}  // namespace quill
