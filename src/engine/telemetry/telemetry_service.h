#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/telemetry/json_value.h"

namespace quill {

struct AppServices;
class FileSystemOperating;
class HTTPFetching;
class KeyValueStoring;
struct ProductConfig;

/// The one place where anonymous usage events leave the process. An actor: `track` stamps an event and hands
/// it to the service's serial worker, which writes it to the pending file and posts the queue to the backend
/// one event at a time, oldest first, from a task of its own. No call waits for the network and no failure
/// reaches a caller. Events that are not delivered survive a restart in "pending-events.json".
class TelemetryService {
  public:
    /// Where the backend receives events, after the backend's origin.
    static constexpr std::string_view kEventsPath = "/api/database/records/usage_events";
    /// The queue keeps at most this many events; the oldest go first.
    static constexpr std::size_t kMaxPendingEvents = 1000;

    /// Settings fixed at creation.
    struct Configuration {
        /// The backend's origin followed by `kEventsPath`; empty turns sending off (nothing is queued or
        /// loaded).
        std::string endpointURL;
        std::string anonKey;
        std::string appVersion;
        std::string appID;
        std::string runContext;
        /// New events are not queued; events left by an earlier run are still loaded and posted.
        bool disabled = false;
        std::shared_ptr<const HTTPFetching> http;
        std::shared_ptr<const KeyValueStoring> kvStore;
        std::shared_ptr<const FileSystemOperating> fs;
        std::string userDefaultsPrefix;
        std::string appSupportDirName;
        /// The queue file; absent means "pending-events.json" in `appSupportDirName` under the application
        /// data folder.
        std::optional<std::filesystem::path> pendingFileURL;
        /// The pause after failed attempt n (0 or 1) is this step times 2^(n+1): 0.5 s, then 1 s.
        std::chrono::milliseconds retryStep{250};

        /// The settings of this build and process for `product`: the backend from the build options, the
        /// environment's "QUILL_TELEMETRY_DISABLED" and "QUILL_RUN_CONTEXT", the product's `appID`,
        /// `userDefaultsPrefix` and `appSupportDirName`, and the given services.
        static Configuration live(const ProductConfig& product, const AppServices& services);

        /// "<short version> (<build>)", with "0.0" and "0" for missing parts.
        static std::string appVersionString(std::string_view shortVersion, std::string_view build);
        /// The app's `appVersionString`, from the Info.plist of the app bundle that holds
        /// `resourcesDirectory` (read through `fs`; a key missing or not text counts as missing), or from
        /// this build's own version and build number when the resources are not a bundle's.
        static std::string bundleAppVersion(const FileSystemOperating& fs,
                                            const std::filesystem::path& resourcesDirectory);
    };

    /// The events address for a backend origin: https, or http on a loopback host (127.0.0.0/8, localhost,
    /// [::1]); nothing for an empty or unaccepted origin.
    static std::optional<std::string> endpointFor(std::string_view origin);

    /// "pending-events.json" in `folderName` under the application data folder of `fs` (created when
    /// missing), or under the temporary folder when that folder is unavailable.
    static std::filesystem::path pendingFileURL(const FileSystemOperating& fs, const std::string& folderName);

    /// Starts the service: reading the session identifier and the pending file happen on the worker, so
    /// creation never blocks.
    explicit TelemetryService(Configuration configuration);
    /// Stops retrying; events still in hand are written to the pending file first. Does not wait for a post
    /// in flight (its task keeps what it needs alive).
    ~TelemetryService();
    TelemetryService(const TelemetryService&) = delete;
    TelemetryService& operator=(const TelemetryService&) = delete;

    /// The process-wide instance, created on first use from the live configuration of the product that is
    /// current at that moment and the live services. Destroyed at exit with the other statics, before the
    /// services it was built from; from then on `sharedIfCreated` returns null.
    static TelemetryService& shared();
    /// The shared instance when it has been created, otherwise null; never creates it.
    static TelemetryService* sharedIfCreated();

    /// Queues one event and starts a flush. Returns at once; never fails.
    void track(std::string eventName, JSONObject eventData);

    /// Starts no further post and cuts short the retries of the post in flight; events go on being queued and
    /// written to the pending file for the next run. For closing the window: a post started then would be cut
    /// off at exit and, if the backend had taken it, sent again by the next run. Returns at once.
    void stopPosting();

    /// Waits until queued work is done and no post is in flight, at most `timeout`; true when idle. For
    /// closing the window and for tests.
    bool waitUntilIdle(std::chrono::milliseconds timeout) const;

    [[nodiscard]] const Configuration& configuration() const;

  private:
    class Core;
    std::shared_ptr<Core> m_core;
};

}  // namespace quill
