#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>

#include "engine/core/result.h"
#include "engine/core/stream.h"
#include "engine/core/tagged_union.h"
#include "engine/installers/adoptium_api.h"
#include "engine/installers/brew_runner.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/http_fetching.h"
#include "engine/services/process_cancellation.h"
#include "engine/services/process_running.h"

namespace quill {

/// Installs a Temurin JDK from the vendor's installer package, without Homebrew: looks the package up,
/// downloads it into the product's cache folder, verifies its SHA-256 and runs the system installer behind
/// the administrator password dialog. `install` returns at once; one task produces the events. Ending the
/// stream terminates the running installer and stops the task. The package never outlives the run.
struct PKGInstaller {
    /// The cases of `Event`.
    struct EventCases {
        /// The release lookup starts.
        struct Fetching {
            bool operator==(const Fetching&) const = default;
        };
        /// A watched stage is taking longer than expected; at most once per stage.
        struct SlowResponse {
            bool operator==(const SlowResponse&) const = default;
        };
        /// The package is saved; both values are its size.
        struct Downloading {
            std::int64_t bytesReceived = 0;
            std::optional<std::int64_t> totalBytes;
            bool operator==(const Downloading&) const = default;
        };
        struct Verifying {
            bool operator==(const Verifying&) const = default;
        };
        /// The administrator install starts.
        struct Installing {
            bool operator==(const Installing&) const = default;
        };
        struct Completed {
            bool operator==(const Completed&) const = default;
        };
        /// The user dismissed the password dialog, or the run was stopped.
        struct Canceled {
            bool operator==(const Canceled&) const = default;
        };
        /// The install failed; `message` is for the user.
        struct Error {
            std::string message;
            bool operator==(const Error&) const = default;
        };

        using Case = std::variant<Fetching, SlowResponse, Downloading, Verifying, Installing, Completed,
                                  Canceled, Error>;
    };

    /// Progress of one install: `Fetching` first, then exactly one of `Completed`, `Canceled`, `Error` last.
    struct Event : TaggedUnion<EventCases> {
        using TaggedUnion::TaggedUnion;
    };

    /// A package saved in the cache folder.
    struct SavedPackage {
        std::filesystem::path location;
        std::int64_t size = 0;  ///< 0 when the size could not be read
    };

    /// Codes of the "PKGInstaller" error domain.
    enum class ErrorCode { downloadHTTP = 2, checksumMismatch = 6 };
    static constexpr std::string_view kErrorDomain = "PKGInstaller";

    std::shared_ptr<const ProcessRunning> process;
    std::shared_ptr<const HTTPFetching> http;
    std::shared_ptr<const FileSystemOperating> fs;
    AdoptiumAPI adoptium;
    /// How long the lookup and the download may take before a `SlowResponse`; they are never cut short.
    std::chrono::nanoseconds lookupWatchdog = std::chrono::seconds(8);
    std::chrono::nanoseconds downloadWatchdog = std::chrono::seconds(15);

    /// Installs the newest Temurin package of `featureVersion` (21, …); the password dialog shows `prompt`.
    [[nodiscard]] Stream<Event> install(int featureVersion, const std::string& prompt) const;

    /// Downloads `url` to "temurin-<feature>-<architecture>.pkg" in the product's cache folder, replacing an
    /// earlier file of that name. Fails with the transfer's or the file system's error, or code 2 for an
    /// answer outside 200–299. Blocking.
    [[nodiscard]] Result<SavedPackage> downloadPackage(const std::string& url, int featureVersion,
                                                       std::string_view architecture,
                                                       std::stop_token stop) const;

    /// Succeeds when the package's SHA-256 is exactly `expected` (64 lower-case hexadecimal digits); fails
    /// with code 6 naming both digests, or the read error. Hashes by streaming. Blocking.
    [[nodiscard]] Result<void> verifyChecksum(const std::filesystem::path& package,
                                              const std::string& expected, std::stop_token stop) const;

    /// The administrator install of `packagePath`, checked again against `sha256` where only root can change
    /// it, its osascript child registered in `cancellation`. Blocking.
    AdminInstallOutcome runInstallerAsAdmin(const std::string& packagePath, const std::string& sha256,
                                            const std::string& prompt,
                                            CancellableProcess& cancellation) const;

    /// Starts a task that yields one `SlowResponse` into `sink` once `limit` has passed. The returned
    /// function marks the watched stage done (under the same lock as the yield) and stops the task: no
    /// `SlowResponse` follows it.
    [[nodiscard]] static std::function<void()> slowResponseWatchdog(std::chrono::nanoseconds limit,
                                                                    const StreamSink<Event>& sink);
};

}  // namespace quill
