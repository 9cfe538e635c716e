#include <gtest/gtest.h>

#include "engine/services/live_http_fetcher.h"
#include "engine/setup/network_readiness_probe.h"
#include "tests/support/loopback_server.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using test::LoopbackReply;
using test::LoopbackServer;

// A payload of 150 MB within the 600 s threshold needs 250 KB/s: a fast reply clears that even on a loaded
// machine with sanitizers (200 KB in 0.8 s, connection included), and the trickle of the slow replies below
// takes most of a day.
NetworkReadinessConfig loopbackConfig(std::vector<std::string> endpoints) {
    NetworkReadinessConfig config;
    config.endpoints = std::move(endpoints);
    config.estimatedPayloadBytes = 150'000'000;
    config.slowThresholdSeconds = 600;
    config.maxSampleBytes = 200'000;
    config.probeTimeout = 2s;
    return config;
}

LoopbackReply fast() {
    return LoopbackReply::text(std::string(200'000, 'x'));
}

LoopbackReply slow() {
    auto reply = LoopbackReply::text(std::string(1'000, 'x'));
    reply.delayAfterHeaders = 500ms;  // about 2,000 bytes per second at best
    return reply;
}

LoopbackReply stalled() {
    auto reply = LoopbackReply::text(std::string(1'000, 'x'));
    reply.delayBeforeHeaders = 30s;  // cut short when the server goes
    return reply;
}

NetworkReadinessResult measure(const NetworkReadinessConfig& config) {
    return NetworkReadinessProbe{std::make_shared<LiveHTTPFetcher>()}.measure(config);
}

TEST(NetworkReadinessLoopbackTest, FastServersAreOk) {
    LoopbackServer server;
    server.reply("/api/formula.json", fast());
    server.reply("/content/catalogs/index.sucatalog", fast());
    server.reply("/", fast());
    const auto result = measure(loopbackConfig(
        {server.url("/api/formula.json"), server.url("/content/catalogs/index.sucatalog"), server.url("/")}));
    EXPECT_EQ(result.verdict, NetworkVerdict::ok);
    EXPECT_EQ(result.endpointsReachable, 3);
    EXPECT_EQ(result.endpointsTotal, 3);
    ASSERT_TRUE(result.estimatedInstallSeconds);
    EXPECT_LE(*result.estimatedInstallSeconds, 600);
    EXPECT_GT(result.downMbps.value_or(0), 0);

    // Each server was asked for the first bytes only, fresh.
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.header("Range"), "bytes=0-199999");
        EXPECT_EQ(request.header("Cache-Control"), "no-cache");
    }
}

TEST(NetworkReadinessLoopbackTest, ASlowServerBehindAFastOneIsStillOk) {
    LoopbackServer server;
    server.reply("/slow", slow());
    server.reply("/fast", fast());
    EXPECT_EQ(measure(loopbackConfig({server.url("/slow"), server.url("/fast")})).verdict,
              NetworkVerdict::ok);
}

TEST(NetworkReadinessLoopbackTest, OnlySlowServersAreSlow) {
    LoopbackServer server;
    server.reply("/a", slow());
    server.reply("/b", slow());
    const auto result = measure(loopbackConfig({server.url("/a"), server.url("/b")}));
    EXPECT_EQ(result.verdict, NetworkVerdict::slow);
    EXPECT_EQ(result.endpointsReachable, 2);
    EXPECT_GT(result.estimatedInstallSeconds.value_or(0), 600);
    EXPECT_TRUE(result.needsAttention());
}

TEST(NetworkReadinessLoopbackTest, RefusedEverywhereIsUnreachable) {
    const auto result =
        measure(loopbackConfig({LoopbackServer::refusingURL("/a"), LoopbackServer::refusingURL("/b")}));
    EXPECT_EQ(result,
              (NetworkReadinessResult{NetworkVerdict::unreachable, std::nullopt, std::nullopt, 0, 2}));
}

TEST(NetworkReadinessLoopbackTest, AStalledServerIsNotCountedAsDown) {
    LoopbackServer server;
    server.reply("/stall", stalled());
    auto config = loopbackConfig({server.url("/stall"), LoopbackServer::refusingURL("/a")});
    config.probeTimeout = 500ms;

    const auto started = std::chrono::steady_clock::now();
    const auto result = measure(config);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);  // bounded by the time limit, not the stall
    EXPECT_EQ(result.verdict, NetworkVerdict::unmeasured);
    EXPECT_FALSE(result.downMbps);
    EXPECT_EQ(result.endpointsReachable, 0);  // a server that never answered timed out; it was not reached
    EXPECT_EQ(result.endpointsTotal, 2);
}

TEST(NetworkReadinessLoopbackTest, AnErrorPageIsNoMeasureOfSpeed) {
    LoopbackServer server;
    server.reply("/gone", LoopbackReply::text(std::string(200'000, 'x'), 503));
    server.reply("/empty", LoopbackReply::text(""));
    const auto result = measure(loopbackConfig({server.url("/gone"), server.url("/empty")}));
    EXPECT_EQ(result, (NetworkReadinessResult{NetworkVerdict::unmeasured, std::nullopt, std::nullopt, 2, 2}));
}

}  // namespace
}  // namespace quill
