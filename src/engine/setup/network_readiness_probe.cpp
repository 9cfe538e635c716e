#include "engine/setup/network_readiness_probe.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/core/raw_value_table.h"
#include "engine/core/task.h"

namespace quill {

namespace {

constexpr detail::RawValueTable<NetworkVerdict, 4> kVerdicts{{
    {NetworkVerdict::ok, "ok"},
    {NetworkVerdict::slow, "slow"},
    {NetworkVerdict::unreachable, "unreachable"},
    {NetworkVerdict::unmeasured, "unmeasured"},
}};

// The shortest time limit a request is given; a limit of zero or less is raised to it. A longer one than a
// day is cut to a day so that the check always returns.
constexpr std::chrono::milliseconds kShortestTimeLimit{1};
constexpr std::chrono::milliseconds kLongestTimeLimit = std::chrono::hours(24);

std::chrono::milliseconds usableTimeLimit(std::chrono::milliseconds limit) {
    return std::clamp(limit, kShortestTimeLimit, kLongestTimeLimit);
}

// Failures that mean no connection could be made at all, as opposed to a slow or broken one.
bool meansNoConnection(const Error& error) {
    if (error.domain != kHTTPErrorDomain)
        return false;
    switch (static_cast<HTTPErrorCode>(error.code)) {
        case HTTPErrorCode::notConnectedToInternet:
        case HTTPErrorCode::cannotFindHost:
        case HTTPErrorCode::cannotConnectToHost:
        case HTTPErrorCode::dnsLookupFailed:
        case HTTPErrorCode::networkConnectionLost:
            return true;
        default:
            return false;
    }
}

using Sample = NetworkReadinessProbe::EndpointSample;

Sample sampleEndpoint(const HTTPFetching& http, const std::string& url, std::int64_t maxBytes,
                      std::chrono::milliseconds timeLimit) {
    HTTPRequest request;
    request.url = url;
    request.timeout = timeLimit;
    request.headers["Range"] = "bytes=0-" + std::to_string(maxBytes - 1);
    request.headers["Cache-Control"] = "no-cache";

    // Every request is bounded by its time limit, so the check needs no stop of its own.
    auto counted = http.bytes(request, maxBytes, timeLimit, std::stop_token());
    if (!counted) {
        if (meansNoConnection(counted.error()))
            return NetworkReadinessProbe::Down{};
        return NetworkReadinessProbe::Timeout{};
    }
    // An error page arrives as fast as any body, but says nothing about the download path.
    const auto status = counted->statusCode;
    const bool successful = !status || (*status >= 200 && *status < 300);
    const double seconds = std::chrono::duration<double>(counted->elapsed).count();
    if (successful && counted->count >= 1 && seconds > 0)
        return NetworkReadinessProbe::Throughput{static_cast<double>(counted->count) / seconds};
    return NetworkReadinessProbe::Responded{};
}

// Rounds half away from zero and saturates, so that an absurdly slow rate still reads as slow.
std::int64_t roundedSeconds(double seconds) {
    constexpr auto kMax = static_cast<double>(std::numeric_limits<std::int64_t>::max());
    if (std::isnan(seconds))
        return std::numeric_limits<std::int64_t>::max();
    if (seconds >= kMax)
        return std::numeric_limits<std::int64_t>::max();
    if (seconds <= -kMax)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::round(seconds));
}

NetworkReadinessResult fold(const std::vector<Sample>& samples, const NetworkReadinessConfig& config) {
    std::optional<double> best;
    int reachable = 0;
    int down = 0;
    for (const auto& sample : samples) {
        if (const auto* throughput = std::get_if<NetworkReadinessProbe::Throughput>(&sample)) {
            best = std::max(best.value_or(throughput->bytesPerSecond), throughput->bytesPerSecond);
            ++reachable;
        } else if (std::holds_alternative<NetworkReadinessProbe::Responded>(sample)) {
            ++reachable;
        } else if (std::holds_alternative<NetworkReadinessProbe::Down>(sample)) {
            ++down;
        }
    }

    NetworkReadinessResult result;
    result.endpointsReachable = reachable;
    result.endpointsTotal = static_cast<int>(samples.size());
    if (best && *best > 0) {
        const std::int64_t seconds =
            roundedSeconds(static_cast<double>(config.estimatedPayloadBytes) / *best);
        result.estimatedInstallSeconds = seconds;
        result.verdict = seconds > config.slowThresholdSeconds ? NetworkVerdict::slow : NetworkVerdict::ok;
        result.downMbps = *best * 8 / 1'000'000;
    } else if (reachable == 0 && down == result.endpointsTotal) {
        result.verdict = NetworkVerdict::unreachable;
    } else {
        result.verdict = NetworkVerdict::unmeasured;
    }
    return result;
}

}  // namespace

std::string_view toRaw(NetworkVerdict verdict) {
    return detail::rawValueOf(kVerdicts, verdict);
}

std::optional<NetworkVerdict> fromRawNetworkVerdict(std::string_view raw) {
    return detail::valueOfRaw(kVerdicts, raw);
}

bool NetworkReadinessResult::needsAttention() const {
    return verdict == NetworkVerdict::slow || verdict == NetworkVerdict::unreachable;
}

NetworkReadinessResult NetworkReadinessProbe::measure(const NetworkReadinessConfig& config) const {
    if (config.endpoints.empty())
        return NetworkReadinessResult{};

    const std::int64_t maxBytes = std::max<std::int64_t>(config.maxSampleBytes, 1);
    const std::chrono::milliseconds timeLimit = usableTimeLimit(config.probeTimeout);

    // Every child writes only its own slot, and all are joined before the slots are read.
    std::vector<Sample> samples(config.endpoints.size(), Timeout{});
    std::vector<std::function<void()>> children;
    children.reserve(config.endpoints.size());
    for (std::size_t index = 0; index < config.endpoints.size(); ++index) {
        children.emplace_back([&, index] {
            samples[index] =
                http ? sampleEndpoint(*http, config.endpoints[index], maxBytes, timeLimit) : Timeout{};
        });
    }
    runConcurrently(std::move(children));
    return fold(samples, config);
}

}  // namespace quill
