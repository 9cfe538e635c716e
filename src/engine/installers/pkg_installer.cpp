#include "engine/installers/pkg_installer.h"

#include <mutex>

#include "engine/core/build_options.h"
#include "engine/core/task.h"
#include "engine/installers/sha256.h"
#include "engine/setup/product_config.h"

namespace quill {

namespace {

using Event = PKGInstaller::Event;

constexpr std::string_view kTimedOutMessage =
    "Adoptium didn't respond within 20 seconds. Try again in a moment, or use Other Java install methods.";

Error installerError(PKGInstaller::ErrorCode code, std::string message) {
    return Error{std::string(PKGInstaller::kErrorDomain), static_cast<int>(code), std::move(message)};
}

/// The terminal event of a lookup, download or verification that failed.
Event failureEvent(const Error& error, const std::optional<std::filesystem::path>& package,
                   const std::stop_token& stop) {
    if (stop.stop_requested())
        return Event::Canceled{};
    if (error.domain == kHTTPErrorDomain) {
        if (error.code == static_cast<int>(HTTPErrorCode::cancelled))
            return Event::Canceled{};
        if (error.code == static_cast<int>(HTTPErrorCode::timedOut))
            return Event::Error{std::string(kTimedOutMessage)};
    }
    return Event::Error{error.message + " (pkg: " + (package ? package->string() : "n/a") + ")"};
}

Error checksumMismatch(const std::string& expected, const std::string& actual) {
    return installerError(PKGInstaller::ErrorCode::checksumMismatch,
                          "Checksum mismatch (expected " + expected + ", got " + actual + ")");
}

Event outcomeEvent(const AdminInstallOutcome& outcome, const std::string& expected,
                   const std::filesystem::path& package, const std::stop_token& stop) {
    return std::visit(
        [&](const auto& result) -> Event {
            using Case = std::decay_t<decltype(result)>;
            if constexpr (std::is_same_v<Case, AdminInstallOutcome::Success>)
                return Event::Completed{};
            else if constexpr (std::is_same_v<Case, AdminInstallOutcome::Canceled>)
                return Event::Canceled{};
            else if constexpr (std::is_same_v<Case, AdminInstallOutcome::ChecksumMismatch>)
                return failureEvent(checksumMismatch(expected, result.actual), package, stop);
            else {
                static_assert(std::is_same_v<Case, AdminInstallOutcome::Failed>);
                return Event::Error{result.message};
            }
        },
        outcome.value);
}

}  // namespace

Stream<Event> PKGInstaller::install(int featureVersion, const std::string& prompt) const {
    auto cancellation = std::make_shared<CancellableProcess>();
    return streamFromTask<Event>(
        [self = *this, cancellation, featureVersion, prompt](const StreamSink<Event>& sink,
                                                             std::stop_token stop) {
            // A stop from anywhere (the stream's end, the program's shutdown) also ends a waiting installer.
            std::stop_callback stopInstaller(stop, [&cancellation] { cancellation->cancel(); });
            const std::string architecture(build::kArchitectureName);
            std::optional<std::filesystem::path> package;

            auto run = [&]() -> Event {
                sink.yield(Event::Fetching{});
                auto endLookupWatch = slowResponseWatchdog(self.lookupWatchdog, sink);
                auto asset = self.adoptium.latestAsset(featureVersion, architecture, stop);
                endLookupWatch();
                if (!asset)
                    return failureEvent(asset.error(), package, stop);

                auto endDownloadWatch = slowResponseWatchdog(self.downloadWatchdog, sink);
                auto saved = self.downloadPackage(asset->downloadURL, featureVersion, architecture, stop);
                endDownloadWatch();
                if (!saved)
                    return failureEvent(saved.error(), package, stop);
                package = saved->location;
                if (stop.stop_requested())
                    return Event::Canceled{};
                sink.yield(Event::Downloading{saved->size, saved->size});

                sink.yield(Event::Verifying{});
                if (auto verified = self.verifyChecksum(*package, asset->checksum, stop); !verified)
                    return failureEvent(verified.error(), package, stop);

                sink.yield(Event::Installing{});
                return outcomeEvent(
                    self.runInstallerAsAdmin(package->string(), asset->checksum, prompt, *cancellation),
                    asset->checksum, *package, stop);
            };

            sink.yield(run());
            // Removed before the stream ends, so that its end means the cache holds no package of this run.
            if (package)
                (void)self.fs->removeItem(*package);
        },
        [cancellation] { cancellation->cancel(); });
}

Result<PKGInstaller::SavedPackage> PKGInstaller::downloadPackage(const std::string& url, int featureVersion,
                                                                 std::string_view architecture,
                                                                 std::stop_token stop) const {
    auto caches = fs->userDirectory(UserDirectory::caches, IfMissing::create);
    if (!caches)
        return fail(caches.error());
    const std::filesystem::path folder = *caches / ProductConfig::current()->cacheDirName;
    if (auto created = fs->createDirectory(folder, CreateDirectoryMode::withIntermediates); !created)
        return fail(created.error());
    const std::filesystem::path destination =
        folder / ("temurin-" + std::to_string(featureVersion) + "-" + std::string(architecture) + ".pkg");
    // The move never replaces: an earlier package of the same name goes first.
    (void)fs->removeItem(destination);

    auto downloaded = http->download(url, std::move(stop));
    if (!downloaded)
        return fail(downloaded.error());
    const auto temporary = downloaded->location;
    const int status = downloaded->response.statusCode;
    if (status < 200 || status > 299) {
        (void)fs->removeItem(temporary);
        return fail(installerError(ErrorCode::downloadHTTP, "Adoptium download HTTP error"));
    }
    if (auto moved = fs->moveItem(temporary, destination); !moved) {
        (void)fs->removeItem(temporary);
        return fail(moved.error());
    }
    const auto attributes = fs->attributesOfItem(destination);
    const auto size = attributes && attributes->size ? static_cast<std::int64_t>(*attributes->size) : 0;
    return SavedPackage{destination, size};
}

Result<void> PKGInstaller::verifyChecksum(const std::filesystem::path& package, const std::string& expected,
                                          std::stop_token stop) const {
    // Streamed: a package is far larger than any file we read whole.
    auto actual = sha256OfFile(package, std::move(stop));
    if (!actual)
        return fail(actual.error());
    if (*actual != expected)
        return fail(checksumMismatch(expected, *actual));
    return {};
}

AdminInstallOutcome PKGInstaller::runInstallerAsAdmin(const std::string& packagePath,
                                                      const std::string& sha256, const std::string& prompt,
                                                      CancellableProcess& cancellation) const {
    return quill::runInstallerAsAdmin(*process, packagePath, sha256, prompt, cancellation);
}

std::function<void()> PKGInstaller::slowResponseWatchdog(std::chrono::nanoseconds limit,
                                                         const StreamSink<Event>& sink) {
    struct Watch {
        std::mutex lock;  ///< guards `stageDone` and orders the yield before the stage's end
        bool stageDone = false;
    };
    auto watch = std::make_shared<Watch>();
    auto task = spawnTask([watch, sink, limit](std::stop_token stop) {
        if (!sleepFor(limit, stop))
            return;
        std::lock_guard guard(watch->lock);
        if (!watch->stageDone)
            sink.yield(Event::SlowResponse{});
    });
    return [watch, task] {
        {
            std::lock_guard guard(watch->lock);
            watch->stageDone = true;
        }
        task.cancel();
    };
}

}  // namespace quill
