// How long a caller waits to send an event while the backend stalls: the send must return at once.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "engine/services/app_services.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "engine/services/live_key_value_store.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_service.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temporary_directory.h"

namespace {

using namespace std::chrono_literals;

void BM_TrackWhileTheBackendStalls(benchmark::State& state) {
    quill::test::TemporaryDirectory folder;
    auto server = std::make_unique<quill::test::LoopbackServer>();
    const std::string path(quill::TelemetryService::kEventsPath);
    auto stalled = quill::test::LoopbackReply::text("");
    stalled.delayBeforeHeaders = 60s;
    server->reply(path, stalled);

    quill::TelemetryService::Configuration settings;
    settings.endpointURL = server->url(path);
    settings.anonKey = "k";
    settings.appVersion = "1.0 (0)";
    settings.http = std::make_shared<quill::LiveHTTPFetcher>();
    settings.kvStore = std::make_shared<quill::LiveKeyValueStore>(folder.path() / "settings");
    settings.fs = std::make_shared<quill::LiveFileSystem>();
    settings.appSupportDirName = "Quillstart";
    settings.pendingFileURL = folder.path() / "Quillstart" / "pending-events.json";
    auto service = std::make_unique<quill::TelemetryService>(settings);
    service->track("first", {});
    server->waitForRequests(1, 10s);  // a post is now in flight and will not be answered

    std::chrono::nanoseconds slowest{0};
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        service->track("app_launched", {{"macos_major", 15}, {"arch", "arm64"}, {"has_homebrew", true}});
        slowest = std::max(slowest, std::chrono::steady_clock::now() - started);
    }
    state.counters["slowest_us"] = std::chrono::duration<double, std::micro>(slowest).count();

    // Ending the server answers the stalled post; give its outcome time to reach the file before the folder
    // goes.
    service.reset();
    server.reset();
    std::this_thread::sleep_for(300ms);
}
BENCHMARK(BM_TrackWhileTheBackendStalls)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
