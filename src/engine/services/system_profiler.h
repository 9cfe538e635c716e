#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "engine/services/app_services.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/shell_runner.h"
#include "engine/services/system_profile.h"

namespace quill {

/// The probe for the active developer folder of the Xcode Command Line Tools (`xcode-select -p`). Blocking;
/// never fails: a tool that cannot start, fails, prints nothing, runs past its time limit or is stopped
/// through `stop` gives nothing.
struct XcodeCLTProbe {
    ShellRunner shell;
    std::chrono::milliseconds timeLimit = kToolProbeTimeLimit;

    [[nodiscard]] std::optional<std::filesystem::path> developerDirectory(std::stop_token stop = {}) const;
};

/// Surveys the Mac and returns a complete `SystemProfile`. Every probe runs at once on threads of its own, so
/// a profile takes about as long as its slowest probe; each command has a time limit. Blocking (never call it
/// on the GUI thread); never fails; holds no state, so any number of threads may profile at once.
struct SystemProfiler {
    ShellRunner shell;  ///< its process service runs every probe command
    std::shared_ptr<const FileSystemOperating> fs;
    ProbeLimits limits{};

    /// Once `stop` is requested every running probe command is terminated and starts no more; the profile
    /// then returned holds only what was found before, and is meant to be dropped.
    [[nodiscard]] SystemProfile profile(std::stop_token stop = {}) const;

    /// Whether an application bundle named `name` ("Claude.app") is a folder in /Applications or in the home
    /// folder's Applications. Asks the file system every time.
    [[nodiscard]] bool isAppInstalled(const std::string& name) const;

    /// The shell a `SHELL` value names, by its last path component (a trailing "/" is ignored); "unknown"
    /// when the value is empty.
    [[nodiscard]] static Shell shellNamed(std::string_view shellVariable);
};

/// Collects a system profile: blocking, stopped through its token (see `SystemProfiler::profile`).
using ProfileCollector = std::function<SystemProfile(std::stop_token)>;

/// A `SystemProfiler` over `services`' process runner and file system, with the program's probe limits.
ProfileCollector liveProfileCollector(const AppServices& services);

/// The version of the running operating system, as the platform reports it; zeros when it cannot be read.
OperatingSystemVersion currentOperatingSystemVersion();

namespace detail {
/// The platform's version text ("14.5", "6.1.0-18-amd64"); empty when it cannot be read.
std::string operatingSystemVersionText();
/// Reads up to three dot-separated numbers from the start of `text`; the missing ones are zero.
OperatingSystemVersion parseOperatingSystemVersion(std::string_view text);
}  // namespace detail

}  // namespace quill
