#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "engine/core/result.h"
#include "engine/core/stream.h"
#include "engine/core/tagged_union.h"
#include "engine/installers/adoptium_api.h"
#include "engine/installers/installer_event.h"
#include "engine/installers/privileged_executor.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/http_fetching.h"
#include "engine/services/process_cancellation.h"
#include "engine/services/process_running.h"

namespace quill {

/// Runs `brew` for formula and cask installs. A cask install runs with the privileged environment and
/// recovers, as its `CaskRecoveryPolicy` allows, from a stale Caskroom, a leftover file, brew's need of a
/// terminal for the password (through the vendor's package), or a passing failure (one retry after a pause).
/// Each run returns at once; a task of its own produces the events, and ending the stream terminates the
/// running child and stops the task, which then starts nothing more. One runner may serve many streams.
struct BrewRunner {
    using Event = InstallerEvent;

    /// What a cask may recover from; absent members are not tried.
    struct CaskRecoveryPolicy {
        /// Reinstall when brew says the cask is installed but its files are gone.
        struct StaleCaskroomRecovery {
            /// Whether the cask's artifact is missing from disk. Called from the stream's task.
            std::function<bool()> artifactMissing;
            /// Completes "Homebrew reports <cask> is already installed, but <clause>."
            std::string missingArtifactDescription;
        };
        /// Install the vendor's package directly when brew wanted a terminal for the password.
        struct PKGFallback {
            /// Where a package is and its expected SHA-256 (lower-case hex).
            struct Asset {
                std::string downloadURL;
                std::string checksum;
            };
            std::string cacheFilePrefix;
            /// The road's first line, from the version and the architecture.
            std::function<std::string(const std::string&, const std::string&)> lookupMessage;
            /// Shown when a network step timed out.
            std::string timeoutMessage;
            /// The version to install, from the cask name.
            std::function<std::string(const std::string&)> versionFromCaskName;
            /// Finds the package for a version and an architecture; stops when the token is stopped.
            std::function<Result<Asset>(const std::string&, const std::string&, std::stop_token)>
                resolveAsset;
        };

        std::optional<StaleCaskroomRecovery> staleCaskroom;
        std::optional<PKGFallback> pkgFallback;

        /// The policy of casks without special recovery.
        static const CaskRecoveryPolicy& none();
    };

    std::filesystem::path brewPath;
    std::shared_ptr<const ProcessRunning> process;
    std::shared_ptr<const HTTPFetching> http;
    std::shared_ptr<const FileSystemOperating> fs;
    PrivilegedExecutor executor;
    AdoptiumAPI adoptium;

    /// `brew install <formula>` with Homebrew's automatic update off; no recovery.
    [[nodiscard]] Stream<Event> install(const std::string& formula) const;

    /// `brew install --cask <cask>` with the privileged environment asking with `prompt`, then the recovery
    /// `policy` allows. At most three brew runs; the askpass folder is removed before the stream ends.
    [[nodiscard]] Stream<Event> installCask(const std::string& cask, const std::string& prompt,
                                            const CaskRecoveryPolicy& policy) const;

    /// Whether a Temurin JDK with an executable java is in the system JDK folder: the version after "@" in
    /// `cask` when there is one, else any.
    [[nodiscard]] bool temurinJavaPath(const std::string& cask) const;

    /// The package road: looks the package up, downloads it into the product's cache folder (where it stays),
    /// verifies its SHA-256 and installs it with administrator rights. Yields its lines into `sink` and
    /// returns the final event; stops early, with `Canceled`, when `stop` is requested.
    Event pkgFallback(const CaskRecoveryPolicy::PKGFallback& fallback, const std::string& version,
                      const std::string& prompt, CancellableProcess& handle, const StreamSink<Event>& sink,
                      std::stop_token stop) const;
};

/// The cases of `AdminInstallOutcome`.
struct AdminInstallOutcomeCases {
    struct Success {
        bool operator==(const Success&) const = default;
    };
    struct Canceled {
        bool operator==(const Canceled&) const = default;
    };
    struct Failed {
        std::string message;
        bool operator==(const Failed&) const = default;
    };
    /// The copy that root was to install is not the package that was checked; `actual` is its SHA-256.
    struct ChecksumMismatch {
        std::string actual;
        bool operator==(const ChecksumMismatch&) const = default;
    };

    using Case = std::variant<Success, Canceled, Failed, ChecksumMismatch>;
};

/// How an administrator install ended.
struct AdminInstallOutcome : TaggedUnion<AdminInstallOutcomeCases> {
    using TaggedUnion::TaggedUnion;
};

/// Runs /usr/sbin/installer as administrator through osascript, behind the system's password dialog with
/// `prompt`, on a copy of `packagePath` that only root can reach, made and checked against `sha256` (64
/// hexadecimal digits) after the password was given: the package the user's account can still change is never
/// the one installed. The copy's folder is removed however the run ends. A `sha256` of any other form fails
/// without starting anything. The osascript child is registered in `cancellation`. Blocking.
AdminInstallOutcome runInstallerAsAdmin(const ProcessRunning& process, const std::string& packagePath,
                                        const std::string& sha256, const std::string& prompt,
                                        CancellableProcess& cancellation);

/// The AppleScript that `runInstallerAsAdmin` runs: a fixed root script given the path and the digest as its
/// arguments, each reaching it literally.
std::string adminInstallScript(std::string_view packagePath, std::string_view sha256,
                               std::string_view prompt);

}  // namespace quill
