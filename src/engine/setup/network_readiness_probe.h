#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/services/http_fetching.h"

namespace quill {

/// Settings of the connection check that runs before a product starts installing.
struct NetworkReadinessConfig {
    std::vector<std::string> endpoints;      ///< servers to sample; may be empty
    std::int64_t estimatedPayloadBytes = 0;  ///< what the full install is expected to download
    std::int64_t slowThresholdSeconds = 0;   ///< estimated install time above which the connection is slow
    std::int64_t maxSampleBytes = 1;         ///< bytes read at most from each endpoint; below 1 counts as 1
    /// Time limit of each endpoint's request.
    std::chrono::milliseconds probeTimeout = std::chrono::seconds(3);

    bool operator==(const NetworkReadinessConfig&) const = default;
};

enum class NetworkVerdict { ok, slow, unreachable, unmeasured };

std::string_view toRaw(NetworkVerdict verdict);
std::optional<NetworkVerdict> fromRawNetworkVerdict(std::string_view raw);

/// What the connection check found.
struct NetworkReadinessResult {
    NetworkVerdict verdict = NetworkVerdict::unmeasured;
    std::optional<double> downMbps;  ///< megabits per second of the best endpoint
    std::optional<std::int64_t> estimatedInstallSeconds;
    int endpointsReachable = 0;
    int endpointsTotal = 0;

    /// Whether the user should be warned: the connection is slow or no server could be reached.
    [[nodiscard]] bool needsAttention() const;

    bool operator==(const NetworkReadinessResult&) const = default;
};

/// Estimates the download speed by reading the start of a few well-known files from every endpoint at once.
/// `measure` blocks until every endpoint has answered or run out of time (each bounded by its time limit),
/// never fails, and may be called from any thread.
struct NetworkReadinessProbe {
    std::shared_ptr<const HTTPFetching> http;

    /// An endpoint answered with a usable body: its bytes per second.
    struct Throughput {
        double bytesPerSecond = 0;
        bool operator==(const Throughput&) const = default;
    };
    /// An endpoint answered, but gave no usable rate (an empty body, or an HTTP error status).
    struct Responded {
        bool operator==(const Responded&) const = default;
    };
    /// No connection to the endpoint could be made.
    struct Down {
        bool operator==(const Down&) const = default;
    };
    /// Any other failure, a time-out included.
    struct Timeout {
        bool operator==(const Timeout&) const = default;
    };
    using EndpointSample = std::variant<Throughput, Responded, Down, Timeout>;

    [[nodiscard]] NetworkReadinessResult measure(const NetworkReadinessConfig& config) const;
};

}  // namespace quill
