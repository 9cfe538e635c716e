#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "engine/core/result.h"

namespace quill {

/// An HTTP request. `timeoutSeconds` bounds connecting and each wait for data, not the whole transfer.
struct HTTPRequest {
    std::string url;
    std::string method = "GET";
    std::map<std::string, std::string> headers;
    std::string body;
    double timeoutSeconds = 60;
    /// When set, bounds the whole transfer, however steadily the data trickles in.
    std::optional<double> resourceTimeoutSeconds;

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
    std::int64_t count = 0;         ///< body bytes received
    double elapsed = 0;             ///< seconds, at least 0.0001
    std::optional<int> statusCode;  ///< the answer's status code, when one was received
};

/// HTTP requests. Errors of the connection (refused, host not found, time-out) come back as `Error` with
/// domain "HTTP" and an `HTTPErrorCode`; no operation judges the status code. Blocking; thread-safe.
class HTTPFetching {
  public:
    virtual ~HTTPFetching() = default;

    virtual Result<HTTPDataResult> data(const HTTPRequest& request) const = 0;
    virtual Result<HTTPDownloadResult> download(const std::string& url) const = 0;
    /// Reads at most `maxBytes` of the body for at most `timeLimit` seconds. Fails only when the request
    /// cannot start; a stalled or broken body yields what was counted.
    virtual Result<HTTPByteCount> bytes(const HTTPRequest& request, std::int64_t maxBytes,
                                        double timeLimit) const = 0;
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
};

inline constexpr const char* kHTTPErrorDomain = "HTTP";

}  // namespace quill
