#include "engine/telemetry/telemetry_service.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <mutex>
#include <stop_token>
#include <vector>

#include "engine/core/build_options.h"
#include "engine/core/paths.h"
#include "engine/core/property_list.h"
#include "engine/core/serial_worker.h"
#include "engine/core/system_log.h"
#include "engine/core/task.h"
#include "engine/core/text.h"
#include "engine/services/app_services.h"
#include "engine/services/live_file_system.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/event.h"
#include "engine/telemetry/session_id.h"

namespace quill {

namespace {

constexpr std::string_view kPendingFileName = "pending-events.json";
constexpr std::string_view kCorruptSuffix = ".corrupt";
constexpr int kMaxAttempts = 3;
constexpr std::chrono::seconds kRequestTimeout{15};
/// A post that is still trickling in after this long is abandoned (and retried), so one slow answer cannot
/// hold up every event behind it.
constexpr std::chrono::seconds kResourceTimeout{30};

/// The current time as ISO 8601 with milliseconds, in UTC with a "Z".
std::string isoTimestamp(std::chrono::system_clock::time_point now) {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    const auto millis = static_cast<int>(((sinceEpoch.count() % 1000) + 1000) % 1000);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

bool isLoopbackHost(std::string_view host) {
    if (host == "localhost" || host == "[::1]")
        return true;
    // 127.0.0.0/8 in dotted form: four decimal parts, the first 127.
    int parts = 0;
    std::size_t start = 0;
    while (start <= host.size()) {
        const auto end = std::min(host.find('.', start), host.size());
        const auto part = host.substr(start, end - start);
        if (part.empty() || part.size() > 3)
            return false;
        int value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255 || (parts == 0 && value != 127))
            return false;
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

std::string environmentValue(const char* name, std::string_view fallback) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string(fallback);
}

/// How one delivery ended.
enum class Delivery {
    sent,     // 2xx
    dropped,  // a 4xx that a retry cannot mend
    kept,     // still to be delivered
};

/// Statuses worth another try even though they are 4xx: the backend asked us to come back later.
bool isRetryableClientStatus(int status) {
    return status == 408 || status == 429;
}

}  // namespace

/// The actor's state. The queue and the file are touched only by jobs of `m_worker`; the shutdown signals may
/// be raised from any thread. A post in flight holds a share of the core so that the service can go away
/// before the post ends.
class TelemetryService::Core : public std::enable_shared_from_this<Core> {
  public:
    explicit Core(Configuration configuration) : m_configuration(std::move(configuration)) {}

    void start() {
        if (!sendingIsOn())
            return;
        m_worker.post([this] {
            m_sessionID =
                SessionID{m_configuration.kvStore, m_configuration.userDefaultsPrefix}.loadOrCreate();
            m_pendingFile = m_configuration.pendingFileURL
                                ? *m_configuration.pendingFileURL
                                : pendingFileURL(*m_configuration.fs, m_configuration.appSupportDirName);
            loadPending();
        });
    }

    void shutDown() {
        m_stopping = true;
        m_shutdown.request_stop();
    }

    [[nodiscard]] bool acceptsEvents() const { return sendingIsOn() && !m_configuration.disabled; }

    void track(std::string eventName, JSONObject eventData) {
        if (!acceptsEvents())
            return;
        m_worker.post([this, name = std::move(eventName), data = std::move(eventData),
                       timestamp = isoTimestamp(std::chrono::system_clock::now())]() mutable {
            append(telemetry::Event{
                .sessionID = m_sessionID,
                .clientTimestamp = std::move(timestamp),
                .appVersion = m_configuration.appVersion,
                .eventName = std::move(name),
                .eventData = std::move(data),
            });
        });
    }

    bool waitUntilIdle(std::chrono::milliseconds timeout) { return m_worker.waitUntilIdle(timeout); }

    [[nodiscard]] const Configuration& configuration() const { return m_configuration; }

  private:
    struct Entry {
        std::uint64_t id = 0;  // tells the delivered event apart, wherever it is in the queue by then
        telemetry::Event event;
    };

    [[nodiscard]] bool sendingIsOn() const {
        return !m_configuration.endpointURL.empty() && m_configuration.http && m_configuration.fs;
    }

    void append(telemetry::Event event) {
        m_pending.push_back(Entry{m_nextID++, std::move(event)});
        dropOverflow();
        persistSoon();
        flush();
    }

    void dropOverflow() {
        while (m_pending.size() > kMaxPendingEvents)
            m_pending.pop_front();
    }

    void loadPending() {
        const auto& fs = *m_configuration.fs;
        if (!fs.fileExists(m_pendingFile))
            return;
        auto text = fs.readData(m_pendingFile);
        auto decoded = text ? telemetry::decodePendingFile(*text)
                            : Result<telemetry::DecodedPendingFile>(fail(text.error()));
        if (!decoded) {
            systemLog("Telemetry: couldn't load pending events: " + decoded.error().message);
            moveAside();
            return;
        }
        if (decoded->skipped > 0) {
            systemLog("Telemetry: couldn't load pending events: " + std::to_string(decoded->skipped) +
                      " unreadable records skipped");
        }
        std::deque<Entry> loaded;
        for (auto& event : decoded->events)
            loaded.push_back(Entry{m_nextID++, std::move(event)});
        for (auto& entry : m_pending)
            loaded.push_back(std::move(entry));
        m_pending = std::move(loaded);
        dropOverflow();
        persistSoon();
        flush();
    }

    /// Keeps an unreadable pending file beside the new one instead of overwriting it.
    void moveAside() {
        const auto& fs = *m_configuration.fs;
        auto aside = m_pendingFile;
        aside += kCorruptSuffix;
        if (fs.fileExists(aside))
            (void)fs.removeItem(aside);
        (void)fs.moveItem(m_pendingFile, aside);
    }

    /// Writes the queue once the jobs already waiting have run, so that a burst of events costs one write.
    void persistSoon() {
        m_needsPersist = true;
        if (!m_worker.hasQueuedJobs()) {
            persistPending();
        } else if (!m_persistPosted) {
            m_persistPosted = true;
            m_worker.post([this] {
                m_persistPosted = false;
                if (m_needsPersist)
                    persistPending();
            });
        }
    }

    void persistPending() {
        m_needsPersist = false;
        const auto& fs = *m_configuration.fs;
        if (auto made =
                fs.createDirectory(m_pendingFile.parent_path(), CreateDirectoryMode::withIntermediates);
            !made) {
            systemLog("Telemetry: couldn't persist pending events: " + made.error().message);
            return;
        }
        if (m_pending.empty()) {
            if (fs.fileExists(m_pendingFile))
                (void)fs.removeItem(m_pendingFile);
            return;
        }
        std::vector<telemetry::Event> events;
        events.reserve(m_pending.size());
        for (const auto& entry : m_pending)
            events.push_back(entry.event);
        if (auto written =
                fs.write(telemetry::encodePendingFile(events), m_pendingFile, WriteMode::atomically);
            !written) {
            systemLog("Telemetry: couldn't persist pending events: " + written.error().message);
        }
    }

    /// Posts the head event from a task of its own; its outcome comes back as a job. One post at a time.
    void flush() {
        if (m_isFlushing || m_stopping || m_pending.empty())
            return;
        // Null once the service is going away: the remaining jobs then only keep the file up to date.
        auto self = weak_from_this().lock();
        if (!self)
            return;
        m_isFlushing = true;
        const auto& head = m_pending.front();
        HTTPRequest request{
            .url = m_configuration.endpointURL,
            .method = "POST",
            .headers = {{"Content-Type", "application/json"},
                        {"Authorization", "Bearer " + m_configuration.anonKey}},
            .body =
                telemetry::EventPayload::make(head.event, m_configuration.appID, m_configuration.runContext)
                    .requestBody(),
            .timeout = kRequestTimeout,
            .resourceTimeout = kResourceTimeout,
        };
        m_worker.retain();
        spawnTask([self = std::move(self), id = head.id, request = std::move(request)](std::stop_token stop) {
            const auto outcome = self->send(request, stop);
            self->m_worker.post([core = self.get(), id, outcome] { core->delivered(id, outcome); });
            self->m_worker.release();
        });
    }

    /// Runs on the post's task: up to three attempts, 0.5 s and 1 s apart. Blocking.
    Delivery send(const HTTPRequest& request, const std::stop_token& taskStop) {
        for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
            if (auto answer = m_configuration.http->data(request, taskStop)) {
                const int status = answer->response.statusCode;
                if (status >= 200 && status <= 299)
                    return Delivery::sent;
                if (status >= 400 && status <= 499 && !isRetryableClientStatus(status)) {
                    systemLog("Telemetry: dropping event after " + std::to_string(status) +
                              " (likely event_name or schema mismatch)");
                    return Delivery::dropped;
                }
            }
            if (attempt + 1 == kMaxAttempts)
                break;
            if (!retryDelay(attempt, taskStop))
                break;
        }
        return Delivery::kept;
    }

    /// Sleeps before the attempt after `attempt`: 0.5 s, then 1 s. False when the service shuts down or the
    /// task is stopped meanwhile: the event then stays queued.
    bool retryDelay(int attempt, const std::stop_token& taskStop) {
        const auto duration = m_configuration.retryStep * (2 << attempt);
        std::stop_source wake;
        const std::stop_callback onTaskStop(taskStop, [&wake] { wake.request_stop(); });
        const std::stop_callback onShutdown(m_shutdown.get_token(), [&wake] { wake.request_stop(); });
        return sleepFor(duration, wake.get_token());
    }

    void delivered(std::uint64_t id, Delivery outcome) {
        m_isFlushing = false;
        if (outcome == Delivery::kept)
            return;  // stays at the head, already on disk; the next event retries it
        std::erase_if(m_pending, [id](const Entry& entry) { return entry.id == id; });
        persistSoon();
        flush();
    }

    const Configuration m_configuration;
    std::stop_source m_shutdown;

    std::string m_sessionID;
    std::filesystem::path m_pendingFile;
    std::deque<Entry> m_pending;
    std::uint64_t m_nextID = 1;
    bool m_isFlushing = false;
    bool m_needsPersist = false;
    bool m_persistPosted = false;
    std::atomic<bool> m_stopping = false;

    SerialWorker m_worker;  // last: destroyed first, running its remaining jobs while the state above exists
};

TelemetryService::Configuration TelemetryService::Configuration::live(const ProductConfig& product,
                                                                      const AppServices& services) {
    Configuration configuration;
    const bool hasKey = !build::kTelemetryKey.empty();
    if (auto endpoint = endpointFor(build::kTelemetryOrigin); endpoint && hasKey) {
        configuration.endpointURL = std::move(*endpoint);
    }
    configuration.anonKey = std::string(build::kTelemetryKey);
    // The app's own bundle, read from the disk whatever file system the services stand for.
    configuration.appVersion = bundleAppVersion(LiveFileSystem(), ResourceLocator::resourcesDirectory());
    configuration.appID = product.appID;
    configuration.runContext = environmentValue("QUILL_RUN_CONTEXT", "release");
    configuration.disabled = environmentValue("QUILL_TELEMETRY_DISABLED", "") == "1";
    configuration.http = services.http;
    configuration.kvStore = services.store;
    configuration.fs = services.fs;
    configuration.userDefaultsPrefix = product.userDefaultsPrefix;
    configuration.appSupportDirName = product.appSupportDirName;
    return configuration;
}

std::string TelemetryService::Configuration::appVersionString(std::string_view shortVersion,
                                                              std::string_view build) {
    return std::string(shortVersion.empty() ? "0.0" : shortVersion) + " (" +
           std::string(build.empty() ? "0" : build) + ")";
}

std::string TelemetryService::Configuration::bundleAppVersion(
    const FileSystemOperating& fs, const std::filesystem::path& resourcesDirectory) {
    const auto infoPlist = ResourceLocator::bundleInfoPlist(resourcesDirectory);
    if (!infoPlist)
        return appVersionString(build::kAppVersion, build::kBuildNumber);
    const auto data = fs.readData(*infoPlist);
    const std::string contents = data ? *data : std::string();
    return appVersionString(propertyListText(contents, {"CFBundleShortVersionString"}).value_or(""),
                            propertyListText(contents, {"CFBundleVersion"}).value_or(""));
}

std::optional<std::string> TelemetryService::endpointFor(std::string_view origin) {
    while (!origin.empty() && origin.back() == '/')
        origin.remove_suffix(1);
    const auto schemeEnd = origin.find("://");
    if (schemeEnd == std::string_view::npos)
        return std::nullopt;
    const auto scheme = toLower(origin.substr(0, schemeEnd));
    auto authority = origin.substr(schemeEnd + 3);
    if (authority.empty() || authority.find_first_of("/?#@ ") != std::string_view::npos)
        return std::nullopt;
    if (scheme == "http") {
        // The host without its port; an IPv6 literal keeps its brackets.
        auto host = authority;
        if (host.front() == '[') {
            host =
                host.substr(0, host.find(']') == std::string_view::npos ? host.size() : host.find(']') + 1);
        } else {
            host = host.substr(0, host.find(':'));
        }
        if (!isLoopbackHost(toLower(host)))
            return std::nullopt;
    } else if (scheme != "https") {
        return std::nullopt;
    }
    return std::string(origin) + std::string(kEventsPath);
}

std::filesystem::path TelemetryService::pendingFileURL(const FileSystemOperating& fs,
                                                       const std::string& folderName) {
    auto base = fs.userDirectory(UserDirectory::applicationSupport, IfMissing::create);
    std::filesystem::path folder;
    if (base) {
        folder = *base;
    } else {
        std::error_code error;
        folder = std::filesystem::temp_directory_path(error);
        // Never a path relative to wherever the program was started from.
        if (error || !folder.is_absolute())
            folder = "/tmp";
    }
    return folder / folderName / std::string(kPendingFileName);
}

TelemetryService::TelemetryService(Configuration configuration)
    : m_core(std::make_shared<Core>(std::move(configuration))) {
    m_core->start();
}

namespace {

std::atomic<TelemetryService*> sharedInstance = nullptr;

}  // namespace

TelemetryService::~TelemetryService() {
    TelemetryService* self = this;
    sharedInstance.compare_exchange_strong(self, nullptr);
    m_core->shutDown();
}

void TelemetryService::track(std::string eventName, JSONObject eventData) {
    m_core->track(std::move(eventName), std::move(eventData));
}

void TelemetryService::stopPosting() {
    m_core->shutDown();
}

bool TelemetryService::waitUntilIdle(std::chrono::milliseconds timeout) const {
    return m_core->waitUntilIdle(timeout);
}

const TelemetryService::Configuration& TelemetryService::configuration() const {
    return m_core->configuration();
}

}  // namespace quill

namespace quill {

TelemetryService& TelemetryService::shared() {
    // Destroyed at exit before the services it was built from; shutdown has saved its events by then.
    static TelemetryService instance(Configuration::live(*ProductConfig::current(), AppServices::live()));
    static const bool published = (sharedInstance.store(&instance), true);
    (void)published;
    return instance;
}

TelemetryService* TelemetryService::sharedIfCreated() {
    return sharedInstance.load();
}

}  // namespace quill
