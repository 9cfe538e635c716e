#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "engine/services/app_services.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "engine/services/live_key_value_store.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "engine/telemetry/telemetry_service.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

TEST(TelemetryConcurrency, NPSShownGoesOutOnceWhicheverScreenIsFirst) {
    ScopedTelemetryCapture capture;
    constexpr int kScreens = 16;
    std::latch start(kScreens);
    std::atomic<int> sent = 0;
    std::vector<std::jthread> screens;
    for (int i = 0; i < kScreens; ++i) {
        screens.emplace_back([&] {
            start.arrive_and_wait();
            if (TelemetryEvents::sendNPSShownOnce())
                ++sent;
        });
    }
    screens.clear();
    EXPECT_EQ(sent.load(), 1);
    EXPECT_FALSE(TelemetryEvents::sendNPSShownOnce());
    const auto shown = capture.events("nps_shown");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].data.empty());
}

TEST(TelemetryConcurrency, EventsFromManyThreadsAreEachPostedOnceInTheirThreadsOrder) {
    test::TemporaryDirectory folder;
    test::LoopbackServer server;
    const std::string path(TelemetryService::kEventsPath);
    server.reply(path, test::LoopbackReply::text(""));
    TelemetryService::Configuration settings;
    settings.endpointURL = server.url(path);
    settings.anonKey = "k";
    settings.http = std::make_shared<LiveHTTPFetcher>();
    settings.kvStore = std::make_shared<LiveKeyValueStore>(folder.path() / "settings");
    settings.fs = std::make_shared<LiveFileSystem>();
    settings.appSupportDirName = "Quillstart";
    settings.pendingFileURL = folder.path() / "Quillstart" / "pending-events.json";
    settings.retryStep = 1ms;

    constexpr int kThreads = 6;
    constexpr int kEach = 15;
    {
        TelemetryService service(settings);
        std::latch start(kThreads);
        std::vector<std::jthread> senders;
        for (int t = 0; t < kThreads; ++t) {
            senders.emplace_back([&service, &start, t] {
                start.arrive_and_wait();
                for (int i = 0; i < kEach; ++i)
                    service.track("t" + std::to_string(t), {{"i", i}});
            });
        }
        senders.clear();
        ASSERT_TRUE(service.waitUntilIdle(30s));
    }

    std::map<std::string, std::vector<std::int64_t>> byThread;
    for (const auto& request : server.requests()) {
        const auto record = nlohmann::json::parse(request.body, nullptr, false).at(0);
        byThread[record["event_name"].get<std::string>()].push_back(
            record["event_data"]["i"].get<std::int64_t>());
    }
    std::vector<std::int64_t> expected(kEach);
    for (int i = 0; i < kEach; ++i)
        expected[static_cast<std::size_t>(i)] = i;
    ASSERT_EQ(byThread.size(), static_cast<std::size_t>(kThreads));
    for (const auto& [name, order] : byThread)
        EXPECT_EQ(order, expected) << name;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Quillstart" / "pending-events.json"));
}

}  // namespace
}  // namespace quill
