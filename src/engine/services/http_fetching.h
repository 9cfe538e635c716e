#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stop_token>
#include <string>

#include "engine/core/result.h"

namespace quill {

/// An HTTP request. `timeout` bounds connecting and each wait for data, not the whole transfer.
struct HTTPRequest {
    std::string url;
    std::string method = "GET";
    std::map<std::string, std::string> headers;
    std::string body;
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
    /// When set, bounds the whole transfer, however steadily the data trickles in.
    std::optional<std::chrono::milliseconds> resourceTimeout;

    bool operator==(const HTTPRequest&) const = default;
};

/// What the server answered, apart from the body.
struct HTTPResponse {
    int statusCode = 0;
    std::string url;                             ///< the final address, after redirects
    std::map<std::string, std::string> headers;  ///< names lower-cased

    bool operator==(const HTTPResponse&) const = default;
};

struct HTTPDataResult {
    std::string body;
    HTTPResponse response;
};

struct HTTPDownloadResult {
    std::filesystem::path location;  ///< a fresh temporary file that the caller now owns
    HTTPResponse response;
};

struct HTTPByteCount {
    std::int64_t count = 0;                  ///< body bytes received
    std::chrono::microseconds elapsed{100};  ///< at least 100 µs
    std::optional<int> statusCode;           ///< the answer's status code, when one was received
};

/// HTTP requests. Errors of the connection (refused, host not found, time-out) come back as `Error` with
/// domain "HTTP" and an `HTTPErrorCode`; no operation judges the status code. Blocking; thread-safe. A stop
/// requested through `stop` ends the request within about a second with `HTTPErrorCode::cancelled`.
class HTTPFetching {
  public:
    virtual ~HTTPFetching() = default;

    virtual Result<HTTPDataResult> data(const HTTPRequest& request, std::stop_token stop) const = 0;
    virtual Result<HTTPDownloadResult> download(const std::string& url, std::stop_token stop) const = 0;
    /// Reads at most `maxBytes` of the body for at most `timeLimit`. Once an answer has started, running
    /// into the limit, a stalled body or a broken connection yields what was counted; only a request with
    /// no answer by the limit fails, as `timedOut`.
    virtual Result<HTTPByteCount> bytes(const HTTPRequest& request, std::int64_t maxBytes,
                                        std::chrono::milliseconds timeLimit, std::stop_token stop) const = 0;
};

/// Codes of the "HTTP" error domain.
enum class HTTPErrorCode {
    notConnectedToInternet = 1,
    cannotFindHost,
    cannotConnectToHost,
    dnsLookupFailed,
    networkConnectionLost,
    timedOut,
    badURL,
    insecureRedirect,
    secureConnectionFailed,
    cannotCreateFile,
    other,
    cancelled,          ///< the caller requested a stop
    badServerResponse,  ///< the server answered with something that is not a usable HTTP answer
};

inline constexpr const char* kHTTPErrorDomain = "HTTP";

}  // namespace quill
