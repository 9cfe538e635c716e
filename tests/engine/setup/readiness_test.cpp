#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "engine/setup/readiness_screen_copy.h"

namespace quill {
namespace {

using namespace std::chrono_literals;

/// Answers `bytes` from a per-URL script and records every request.
class ScriptedByteFetcher : public HTTPFetching {
  public:
    using Answer = std::function<Result<HTTPByteCount>()>;

    std::map<std::string, Answer> answers;

    struct Call {
        HTTPRequest request;
        std::int64_t maxBytes;
        std::chrono::milliseconds timeLimit;
    };
    mutable std::mutex mutex;
    mutable std::vector<Call> calls;

    Result<HTTPDataResult> data(const HTTPRequest&, std::stop_token) const override {
        return fail(Error{"test", 0, "unused"});
    }
    Result<HTTPDownloadResult> download(const std::string&, std::stop_token) const override {
        return fail(Error{"test", 0, "unused"});
    }
    Result<HTTPByteCount> bytes(const HTTPRequest& request, std::int64_t maxBytes,
                                std::chrono::milliseconds timeLimit, std::stop_token) const override {
        {
            std::lock_guard lock(mutex);
            calls.push_back({request, maxBytes, timeLimit});
        }
        auto found = answers.find(request.url);
        if (found == answers.end())
            return fail(Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::other), "?"});
        return found->second();
    }
};

ScriptedByteFetcher::Answer counted(std::int64_t count, std::chrono::microseconds elapsed,
                                    std::optional<int> status = 206) {
    return [=] { return Result<HTTPByteCount>(HTTPByteCount{count, elapsed, status}); };
}

ScriptedByteFetcher::Answer failing(HTTPErrorCode code) {
    return [=] {
        return Result<HTTPByteCount>(fail(Error{kHTTPErrorDomain, static_cast<int>(code), "failed"}));
    };
}

NetworkReadinessConfig configFor(std::vector<std::string> endpoints) {
    NetworkReadinessConfig config;
    config.endpoints = std::move(endpoints);
    config.estimatedPayloadBytes = 1'500'000'000;
    config.slowThresholdSeconds = 600;
    config.maxSampleBytes = 800'000;
    config.probeTimeout = 3s;
    return config;
}

NetworkReadinessResult measureWith(const std::shared_ptr<ScriptedByteFetcher>& http,
                                   const NetworkReadinessConfig& config) {
    return NetworkReadinessProbe{http}.measure(config);
}

TEST(NetworkReadinessProbeTest, AsksEachEndpointForARangeWithoutCaching) {
    auto http = std::make_shared<ScriptedByteFetcher>();
    http->answers["https://a.test/x"] = counted(800'000, 500ms);
    http->answers["https://b.test/y"] = counted(800'000, 500ms);
    (void)measureWith(http, configFor({"https://a.test/x", "https://b.test/y"}));

    ASSERT_EQ(http->calls.size(), 2u);
    for (const auto& call : http->calls) {
        EXPECT_EQ(call.request.method, "GET");
        EXPECT_EQ(call.request.headers.at("Range"), "bytes=0-799999");
        EXPECT_EQ(call.request.headers.at("Cache-Control"), "no-cache");
        EXPECT_EQ(call.request.headers.size(), 2u);
        EXPECT_EQ(call.maxBytes, 800'000);
        EXPECT_EQ(call.timeLimit, 3s);
        EXPECT_EQ(call.request.timeout, 3s);
    }
}

TEST(NetworkReadinessProbeTest, OutOfRangeSettingsBehaveAsTheNearestValidOnes) {
    for (std::int64_t maxSample : {0LL, -5LL}) {
        for (std::chrono::milliseconds timeout : {0ms, -1000ms}) {
            auto http = std::make_shared<ScriptedByteFetcher>();
            http->answers["https://a.test"] = counted(1, 500us);
            auto config = configFor({"https://a.test"});
            config.maxSampleBytes = maxSample;
            config.probeTimeout = timeout;
            const auto result = measureWith(http, config);

            ASSERT_EQ(http->calls.size(), 1u);
            EXPECT_EQ(http->calls[0].request.headers.at("Range"),
                      "bytes=0-0");  // the first byte, never "0--1"
            EXPECT_EQ(http->calls[0].maxBytes, 1);
            EXPECT_GT(http->calls[0].timeLimit, 0ms);
            EXPECT_GT(http->calls[0].request.timeout, 0ms);
            EXPECT_EQ(result.endpointsReachable, 1);
        }
    }

    // A limit past a day is cut to a day, so that the check always returns.
    auto http = std::make_shared<ScriptedByteFetcher>();
    http->answers["https://a.test"] = counted(1, 500us);
    auto config = configFor({"https://a.test"});
    config.probeTimeout = std::chrono::milliseconds::max();
    (void)measureWith(http, config);
    ASSERT_EQ(http->calls.size(), 1u);
    EXPECT_EQ(http->calls[0].timeLimit, 24h);
    EXPECT_EQ(http->calls[0].request.timeout, 24h);
}

TEST(NetworkReadinessProbeTest, VerdictAtTheSlowThreshold) {
    struct Case {
        double bytesPerSecond;
        std::int64_t payload;
        NetworkVerdict verdict;
        std::int64_t seconds;
    };
    const Case cases[] = {
        {2'500'000, 1'500'000'000, NetworkVerdict::ok, 600},  // exactly at the threshold
        {2'499'999, 1'500'000'000, NetworkVerdict::ok, 600},  // 600.00024 rounds to 600
        {2'000'000, 1'500'000'000, NetworkVerdict::slow, 750},
        {2, 1'201, NetworkVerdict::slow, 601},  // 600.5 rounds away from zero, past the threshold
        {2, 1'199, NetworkVerdict::ok, 600},    // 599.5 rounds up to the threshold itself
        {1e12, 1'500'000'000, NetworkVerdict::ok, 0},
    };
    for (const auto& c : cases) {
        auto http = std::make_shared<ScriptedByteFetcher>();
        http->answers["https://a.test"] = counted(static_cast<std::int64_t>(c.bytesPerSecond * 2), 2s);
        auto config = configFor({"https://a.test"});
        config.estimatedPayloadBytes = c.payload;
        config.maxSampleBytes = 1LL << 50;
        const auto result = measureWith(http, config);
        EXPECT_EQ(result.verdict, c.verdict) << c.bytesPerSecond;
        EXPECT_EQ(result.estimatedInstallSeconds, c.seconds) << c.bytesPerSecond;
        EXPECT_EQ(result.needsAttention(), c.verdict == NetworkVerdict::slow);
    }
}

TEST(NetworkReadinessProbeTest, BestEndpointDecidesAndMegabitsAreNotRounded) {
    auto http = std::make_shared<ScriptedByteFetcher>();
    http->answers["https://slow.test"] = counted(100'000, 1s);
    http->answers["https://fast.test"] = counted(800'000, 400ms);  // 2,000,000 bytes per second
    http->answers["https://empty.test"] = counted(0, 100ms);
    http->answers["https://down.test"] = failing(HTTPErrorCode::cannotConnectToHost);
    const auto result = measureWith(http, configFor({"https://slow.test", "https://fast.test",
                                                     "https://empty.test", "https://down.test"}));
    EXPECT_EQ(result.verdict, NetworkVerdict::slow);
    ASSERT_TRUE(result.downMbps);
    EXPECT_DOUBLE_EQ(*result.downMbps, 16.0);
    EXPECT_EQ(result.estimatedInstallSeconds, 750);
    EXPECT_EQ(result.endpointsReachable, 3);
    EXPECT_EQ(result.endpointsTotal, 4);
}

TEST(NetworkReadinessProbeTest, WithoutThroughputOnlyAllDownIsUnreachable) {
    const std::vector<std::string> three{"https://a.test", "https://b.test", "https://c.test"};
    {
        auto http = std::make_shared<ScriptedByteFetcher>();
        for (const auto& url : three)
            http->answers[url] = failing(HTTPErrorCode::cannotFindHost);
        const auto result = measureWith(http, configFor(three));
        EXPECT_EQ(result,
                  (NetworkReadinessResult{NetworkVerdict::unreachable, std::nullopt, std::nullopt, 0, 3}));
        EXPECT_TRUE(result.needsAttention());
    }
    {
        // Every code that means "no connection" counts as down.
        auto http = std::make_shared<ScriptedByteFetcher>();
        std::vector<std::string> urls;
        for (auto code : {HTTPErrorCode::notConnectedToInternet, HTTPErrorCode::cannotFindHost,
                          HTTPErrorCode::cannotConnectToHost, HTTPErrorCode::dnsLookupFailed,
                          HTTPErrorCode::networkConnectionLost}) {
            urls.push_back("https://down" + std::to_string(static_cast<int>(code)) + ".test");
            http->answers[urls.back()] = failing(code);
        }
        EXPECT_EQ(measureWith(http, configFor(urls)).verdict, NetworkVerdict::unreachable);
    }
    {
        // Two down and one timing out: not every endpoint is down.
        auto http = std::make_shared<ScriptedByteFetcher>();
        http->answers[three[0]] = failing(HTTPErrorCode::cannotFindHost);
        http->answers[three[1]] = failing(HTTPErrorCode::cannotConnectToHost);
        http->answers[three[2]] = failing(HTTPErrorCode::timedOut);
        const auto result = measureWith(http, configFor(three));
        EXPECT_EQ(result,
                  (NetworkReadinessResult{NetworkVerdict::unmeasured, std::nullopt, std::nullopt, 0, 3}));
        EXPECT_FALSE(result.needsAttention());
    }
    {
        // A failure outside the HTTP domain is no proof of a missing connection.
        auto http = std::make_shared<ScriptedByteFetcher>();
        http->answers[three[0]] = [] { return Result<HTTPByteCount>(fail(Error{"Other", 2, "?"})); };
        EXPECT_EQ(measureWith(http, configFor({three[0]})).verdict, NetworkVerdict::unmeasured);
    }
}

TEST(NetworkReadinessProbeTest, AnswersWithoutAUsableRateCountAsReachableOnly) {
    auto http = std::make_shared<ScriptedByteFetcher>();
    http->answers["https://empty.test"] = counted(0, 200ms);
    http->answers["https://error.test"] = counted(500'000, 10ms, 503);  // fast, but an error page
    http->answers["https://missing.test"] = counted(800'000, 10ms, 404);
    http->answers["https://down.test"] = failing(HTTPErrorCode::cannotFindHost);
    const auto result = measureWith(http, configFor({"https://empty.test", "https://error.test",
                                                     "https://missing.test", "https://down.test"}));
    EXPECT_EQ(result, (NetworkReadinessResult{NetworkVerdict::unmeasured, std::nullopt, std::nullopt, 3, 4}));

    // A full answer or a partial one both measure the path.
    auto ok = std::make_shared<ScriptedByteFetcher>();
    ok->answers["https://whole.test"] = counted(1'000'000, 100ms, 200);
    ok->answers["https://part.test"] = counted(1'000'000, 100ms, 206);
    ok->answers["https://unknown.test"] = counted(1'000'000, 100ms, std::nullopt);
    EXPECT_EQ(measureWith(ok, configFor({"https://whole.test"})).verdict, NetworkVerdict::ok);
    EXPECT_EQ(measureWith(ok, configFor({"https://part.test"})).verdict, NetworkVerdict::ok);
    EXPECT_EQ(measureWith(ok, configFor({"https://unknown.test"})).verdict, NetworkVerdict::ok);
}

TEST(NetworkReadinessProbeTest, NoEndpointsIsUnmeasuredAtOnce) {
    auto http = std::make_shared<ScriptedByteFetcher>();
    EXPECT_EQ(measureWith(http, configFor({})),
              (NetworkReadinessResult{NetworkVerdict::unmeasured, std::nullopt, std::nullopt, 0, 0}));
    EXPECT_TRUE(http->calls.empty());
}

TEST(NetworkReadinessProbeTest, SamplesEveryEndpointAtTheSameTime) {
    // Each answer waits until all three requests are in flight; sampled one after another, they would time
    // out.
    auto http = std::make_shared<ScriptedByteFetcher>();
    std::mutex mutex;
    std::condition_variable arrived;
    int inFlight = 0;
    const std::vector<std::string> urls{"https://a.test", "https://b.test", "https://c.test"};
    for (const auto& url : urls) {
        http->answers[url] = [&]() -> Result<HTTPByteCount> {
            std::unique_lock lock(mutex);
            ++inFlight;
            arrived.notify_all();
            if (!arrived.wait_for(lock, 5s, [&] { return inFlight == 3; })) {
                return fail(Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::timedOut), "timed out"});
            }
            return HTTPByteCount{800'000, 100ms, 206};
        };
    }
    const auto result = measureWith(http, configFor(urls));
    EXPECT_EQ(result.verdict, NetworkVerdict::ok);
    EXPECT_EQ(result.endpointsReachable, 3);
}

TEST(DiskReadinessTest, VerdictAtEachThreshold) {
    const DiskReadinessConfig coding{20'000'000'000, 10'000'000'000, 3'000'000'000};
    EXPECT_EQ(coding.evaluate(12'000'000'000).verdict, DiskVerdict::low);
    EXPECT_EQ(coding.evaluate(29'999'999'999).verdict, DiskVerdict::low);
    EXPECT_EQ(coding.evaluate(30'000'000'000).verdict, DiskVerdict::ok);
    EXPECT_EQ(coding.evaluate(3'000'000'000).verdict, DiskVerdict::low);
    EXPECT_EQ(coding.evaluate(2'999'999'999).verdict, DiskVerdict::critical);
    EXPECT_EQ(coding.evaluate(2'000'000'000).verdict, DiskVerdict::critical);
    EXPECT_EQ(coding.evaluate(-1).verdict, DiskVerdict::critical);
    EXPECT_EQ(coding.evaluate(std::nullopt),
              (DiskReadinessResult{DiskVerdict::unmeasured, std::nullopt, 20'000'000'000, 10'000'000'000}));
    EXPECT_EQ(coding.evaluate(12'000'000'000),
              (DiskReadinessResult{DiskVerdict::low, 12'000'000'000, 20'000'000'000, 10'000'000'000}));

    EXPECT_TRUE(coding.evaluate(1).needsAttention());
    EXPECT_TRUE(coding.evaluate(12'000'000'000).needsAttention());
    EXPECT_FALSE(coding.evaluate(30'000'000'000).needsAttention());
    EXPECT_FALSE(coding.evaluate(std::nullopt).needsAttention());

    // A sum past the largest byte count does not wrap round to a small one.
    const DiskReadinessConfig huge{INT64_MAX, INT64_MAX, 0};
    EXPECT_EQ(huge.evaluate(INT64_MAX - 1).verdict, DiskVerdict::low);
}

TEST(ReadinessScreenCopyTest, NetworkTexts) {
    const auto unreachable =
        ReadinessScreenCopy::network({NetworkVerdict::unreachable, std::nullopt, std::nullopt, 0, 3});
    EXPECT_EQ(unreachable,
              (ReadinessScreenCopy{
                  "Your connection", "We can't reach the servers needed to install",
                  "The Apple and Homebrew download servers aren't responding right now. You can still "
                  "try, but it may fail partway. Checking your internet connection first is "
                  "recommended.",
                  "Continue now", "Stop and try later"}));

    auto minutesIn = [](std::optional<std::int64_t> seconds) {
        return ReadinessScreenCopy::network({NetworkVerdict::slow, 1.0, seconds, 1, 3}).body;
    };
    EXPECT_EQ(
        minutesIn(750),
        "Setting up your Mac downloads several hundred megabytes from Apple and Homebrew. On this connection "
        "that will take about 13 minutes. You can continue now, or stop and try again later when your "
        "connection is faster. Nothing has changed on your Mac yet.");
    const auto slow = ReadinessScreenCopy::network({NetworkVerdict::slow, 1.0, 750, 1, 3});
    EXPECT_EQ(slow.headline, "Slow Internet Connection");
    EXPECT_EQ(slow.windowTitle, "Your connection");
    EXPECT_NE(minutesIn(89).find("about 1 minutes."), std::string::npos);
    EXPECT_NE(minutesIn(90).find("about 2 minutes."), std::string::npos);  // halves round up
    EXPECT_NE(minutesIn(0).find("about 1 minutes."), std::string::npos);
    EXPECT_NE(minutesIn(std::nullopt).find("about 10 minutes."), std::string::npos);
}

TEST(ReadinessScreenCopyTest, DiskTexts) {
    const auto critical = ReadinessScreenCopy::disk({DiskVerdict::critical, 400'000'000, 20'000'000'000, 0});
    EXPECT_EQ(critical,
              (ReadinessScreenCopy{"Your disk space", "Your Mac is almost out of space",
                                   "Your Mac has only about 1 GB free. Installing new software now is likely "
                                   "to fail partway and may leave your Mac unstable. Freeing up space first "
                                   "is strongly recommended.",
                                   "Continue anyway", "Stop and free up space"}));
    EXPECT_NE(ReadinessScreenCopy::disk({DiskVerdict::critical, std::nullopt, 0, 0})
                  .body.find("only about a few GB"),
              std::string::npos);

    const auto low =
        ReadinessScreenCopy::disk({DiskVerdict::low, 12'499'999'999, 20'000'000'000, 10'000'000'000});
    EXPECT_EQ(low.headline, "Low on disk space");
    EXPECT_EQ(low.body,
              "Setting up your Mac can add up to about 20 GB if you install everything we recommend. Your "
              "Mac has about "
              "12 GB free right now. You can continue and choose fewer items, free up some space first, or "
              "stop and "
              "come back later. Nothing has changed on your Mac yet.");
    EXPECT_NE(
        ReadinessScreenCopy::disk({DiskVerdict::low, 12'500'000'000, 0, 0}).body.find("about 13 GB free"),
        std::string::npos);
    EXPECT_NE(
        ReadinessScreenCopy::disk({DiskVerdict::low, std::nullopt, 0, 0}).body.find("has about a little GB"),
        std::string::npos);
    EXPECT_NE(
        ReadinessScreenCopy::disk({DiskVerdict::low, INT64_MAX, 0, 0}).body.find("about 9223372037 GB free"),
        std::string::npos);
}

TEST(ReadinessRawValuesTest, RoundTrip) {
    for (auto v : {NetworkVerdict::ok, NetworkVerdict::slow, NetworkVerdict::unreachable,
                   NetworkVerdict::unmeasured}) {
        EXPECT_EQ(fromRawNetworkVerdict(toRaw(v)), v);
    }
    for (auto v : {DiskVerdict::ok, DiskVerdict::low, DiskVerdict::critical, DiskVerdict::unmeasured}) {
        EXPECT_EQ(fromRawDiskVerdict(toRaw(v)), v);
    }
    EXPECT_EQ(toRaw(NetworkVerdict::unreachable), "unreachable");
    EXPECT_EQ(fromRawDiskVerdict("Critical"), std::nullopt);
}

}  // namespace
}  // namespace quill
