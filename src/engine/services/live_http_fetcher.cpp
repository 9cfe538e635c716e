#include "engine/services/live_http_fetcher.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/core/build_options.h"
#include "engine/core/file_descriptor.h"
#include "engine/core/text.h"

namespace quill {

std::int64_t ByteCounter::add(std::int64_t available, std::int64_t maxBytes) {
    // Counting byte by byte and stopping once the count reaches `maxBytes` always takes the first byte, so
    // the effective limit is at least 1; a chunk is counted in one step with the same outcome.
    const std::int64_t limit = std::max<std::int64_t>(maxBytes, 1);
    const std::int64_t taken =
        std::clamp<std::int64_t>(limit - m_count, 0, std::max<std::int64_t>(available, 0));
    m_count += taken;
    return taken;
}

bool ByteCounter::reachedMax(std::int64_t maxBytes) const {
    return m_count >= std::max<std::int64_t>(maxBytes, 1);
}

std::int64_t ByteCounter::count() const {
    return m_count;
}

namespace {

constexpr long kMaximumRedirects = 16;
constexpr std::chrono::milliseconds kDownloadTimeout = std::chrono::seconds(60);
/// Bounds a timed byte read, so that any limit fits curl's millisecond count.
constexpr std::chrono::milliseconds kLongestTimeLimit = std::chrono::seconds(10'000'000);

void initialiseCurlOnce() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialised;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

/// The state of one transfer that curl's callbacks write into.
struct Transfer {
    std::stop_token stop;  ///< checked by the progress callback
    HTTPResponse response;
    bool sawResponse = false;  ///< a status line arrived
    /// Receives body bytes; returning false aborts the transfer.
    std::function<bool(const char*, std::size_t)> onBody;
    std::string errorDetail = std::string(CURL_ERROR_SIZE, '\0');
    HeaderList headerList;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    if (!transfer->onBody)
        return length;
    return transfer->onBody(data, length) ? length : 0;
}

std::size_t receiveHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        // Each response of a redirect chain starts afresh; only the last one's headers are kept.
        transfer->sawResponse = true;
        transfer->response.headers.clear();
        return length;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return length;
    const std::string name = toLower(line.substr(0, colon));
    const std::string value = trimWhitespaceAndNewlines(line.substr(colon + 1));
    auto [entry, inserted] = transfer->response.headers.emplace(name, value);
    if (!inserted)
        entry->second += ", " + value;
    return length;
}

/// Curl's progress callback: a non-zero answer ends the transfer with CURLE_ABORTED_BY_CALLBACK.
int checkStop(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const Transfer*>(context)->stop.stop_requested() ? 1 : 0;
}

std::string userAgent() {
    return "Quillstart/" + std::string(build::kAppVersion);
}

/// Sets up `handle` for `request`; the request must outlive the transfer (its body is not copied).
void configure(CURL* handle, const HTTPRequest& request, Transfer& transfer) {
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaximumRedirects);
    // A redirect must never downgrade to plain http (nor lead anywhere but https).
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, userAgent().c_str());

    const std::chrono::milliseconds timeout =
        request.timeout > std::chrono::milliseconds::zero()
            ? std::min<std::chrono::milliseconds>(request.timeout, std::chrono::hours(24))
            : std::chrono::seconds(60);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
    // No byte for `timeout` ends the transfer as timed out. The speed check also wakes curl once a second on
    // a stalled connection, which is when the progress callback sees a stop.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::chrono::ceil<std::chrono::seconds>(timeout).count()));
    if (request.resourceTimeout) {
        const auto whole = std::clamp<std::chrono::milliseconds>(
            *request.resourceTimeout, std::chrono::milliseconds(1), std::chrono::seconds(10'000'000));
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(whole.count()));
    }

    const std::string& method = request.method;
    const bool sendsBody = !request.body.empty() || method == "POST" || method == "PUT" || method == "PATCH";
    if (method == "HEAD") {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    } else if (sendsBody && method != "GET") {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        if (method != "POST")
            curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method != "GET") {
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_slist* list = nullptr;
    for (const auto& [name, value] : request.headers) {
        // "Name;" is how curl sends a header with an empty value ("Name:" would remove it).
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        list = curl_slist_append(list, line.c_str());
    }
    if (sendsBody)
        list = curl_slist_append(list, "Expect:");  // send the body at once, without a 100 round trip
    transfer.headerList.reset(list);
    if (list)
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, list);

    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, transfer.errorDetail.data());
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, receiveHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, checkStop);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
}

/// Runs the transfer, unless a stop was requested before it started.
CURLcode perform(CURL* handle, const Transfer& transfer) {
    if (transfer.stop.stop_requested())
        return CURLE_ABORTED_BY_CALLBACK;
    return curl_easy_perform(handle);
}

void readResponse(CURL* handle, Transfer& transfer) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    transfer.response.statusCode = static_cast<int>(status);
    char* url = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
        transfer.response.url = url;
}

Error httpError(HTTPErrorCode code, std::string message) {
    return Error{kHTTPErrorDomain, static_cast<int>(code), std::move(message)};
}

/// Turns a failed transfer into the "HTTP" error the callers know.
Error transferError(CURL* handle, CURLcode result, const Transfer& transfer) {
    if (result == CURLE_ABORTED_BY_CALLBACK)
        return httpError(HTTPErrorCode::cancelled, "The request was cancelled");
    long osError = 0;
    curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &osError);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    long requestSize = 0;
    curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &requestSize);

    std::string detail(transfer.errorDetail.c_str());
    if (detail.empty())
        detail = curl_easy_strerror(result);
    const auto make = [&](HTTPErrorCode code, std::string_view sentence) {
        return httpError(code, std::string(sentence) + ": " + detail);
    };

    switch (result) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return make(HTTPErrorCode::cannotFindHost, "The server could not be found");
        case CURLE_COULDNT_RESOLVE_PROXY:
            return make(HTTPErrorCode::dnsLookupFailed, "The proxy could not be found");
        case CURLE_COULDNT_CONNECT:
            if (osError == ENETUNREACH || osError == ENETDOWN) {
                return make(HTTPErrorCode::notConnectedToInternet,
                            "The computer is not connected to the internet");
            }
            return make(HTTPErrorCode::cannotConnectToHost, "Could not connect to the server");
        case CURLE_OPERATION_TIMEDOUT:
            return make(HTTPErrorCode::timedOut, "The request timed out");
        case CURLE_URL_MALFORMAT:
            return make(HTTPErrorCode::badURL, "The address is not valid");
        case CURLE_UNSUPPORTED_PROTOCOL:
            if (status >= 300 && status < 400) {
                return make(HTTPErrorCode::insecureRedirect,
                            "The server redirected to an address that is not https");
            }
            // A request that went out was answered in a form curl refuses (such as a bare body without a
            // status line); the address itself was fine.
            if (requestSize > 0)
                return make(HTTPErrorCode::badServerResponse, "The server's answer could not be read");
            return make(HTTPErrorCode::badURL, "The address is not valid");
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
            return make(HTTPErrorCode::badServerResponse, "The server's answer could not be read");
        case CURLE_TOO_MANY_REDIRECTS:
            return make(HTTPErrorCode::other, "The server redirected too many times");
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return make(HTTPErrorCode::secureConnectionFailed,
                        "A secure connection to the server could not be made");
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return make(HTTPErrorCode::networkConnectionLost, "The network connection was lost");
        default:
            return make(HTTPErrorCode::other, "The request failed");
    }
}

EasyHandle newHandle() {
    initialiseCurlOnce();
    return EasyHandle(curl_easy_init());
}

Error noHandleError() {
    return httpError(HTTPErrorCode::other, "The request failed: could not create a transfer");
}

}  // namespace

LiveHTTPFetcher::LiveHTTPFetcher() {
    initialiseCurlOnce();
}

Result<HTTPDataResult> LiveHTTPFetcher::data(const HTTPRequest& request, std::stop_token stop) const {
    EasyHandle handle = newHandle();
    if (!handle)
        return fail(noHandleError());
    Transfer transfer;
    std::string body;
    transfer.onBody = [&body](const char* bytes, std::size_t length) {
        body.append(bytes, length);
        return true;
    };
    transfer.stop = std::move(stop);
    configure(handle.get(), request, transfer);
    const CURLcode result = perform(handle.get(), transfer);
    if (result != CURLE_OK)
        return fail(transferError(handle.get(), result, transfer));
    readResponse(handle.get(), transfer);
    return HTTPDataResult{std::move(body), std::move(transfer.response)};
}

Result<HTTPDownloadResult> LiveHTTPFetcher::download(const std::string& url, std::stop_token stop) const {
    EasyHandle handle = newHandle();
    if (!handle)
        return fail(noHandleError());

    // A fresh file with a name nobody can predict, so another process cannot put something in its place.
    std::error_code tempError;
    std::filesystem::path folder = std::filesystem::temp_directory_path(tempError);
    if (tempError)
        folder = "/tmp";
    std::string pattern = (folder / "quill-download-XXXXXX").string();
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return fail(httpError(HTTPErrorCode::cannotCreateFile, "Couldn't create a file for the download: " +
                                                                   std::string(std::strerror(code))));
    }
    const std::filesystem::path location = pattern;

    int writeErrno = 0;
    Transfer transfer;
    transfer.stop = std::move(stop);
    transfer.onBody = [fd, &writeErrno](const char* bytes, std::size_t length) {
        if (writeAll(fd, std::string_view(bytes, length)))
            return true;
        writeErrno = errno;
        return false;
    };
    HTTPRequest request;
    request.url = url;
    request.timeout = kDownloadTimeout;
    configure(handle.get(), request, transfer);
    const CURLcode result = perform(handle.get(), transfer);
    const bool closed = ::close(fd) == 0;

    if (result != CURLE_OK || !closed) {
        ::unlink(location.c_str());
        if (result == CURLE_WRITE_ERROR || (result == CURLE_OK && !closed)) {
            const int code = writeErrno != 0 ? writeErrno : errno;
            return fail(httpError(
                HTTPErrorCode::cannotCreateFile,
                "Couldn't write the download to " + location.string() + ": " + std::strerror(code)));
        }
        return fail(transferError(handle.get(), result, transfer));
    }
    readResponse(handle.get(), transfer);
    return HTTPDownloadResult{location, std::move(transfer.response)};
}

Result<HTTPByteCount> LiveHTTPFetcher::bytes(const HTTPRequest& request, std::int64_t maxBytes,
                                             std::chrono::milliseconds timeLimit,
                                             std::stop_token stop) const {
    EasyHandle handle = newHandle();
    if (!handle)
        return fail(noHandleError());

    // The time limit bounds the whole transfer, together with any limit of the request's own.
    HTTPRequest bounded = request;
    const auto limit = std::clamp(timeLimit, std::chrono::milliseconds(1), kLongestTimeLimit);
    bounded.resourceTimeout = request.resourceTimeout ? std::min(*request.resourceTimeout, limit) : limit;

    ByteCounter counter;
    Transfer transfer;
    transfer.stop = std::move(stop);
    transfer.onBody = [&counter, maxBytes](const char*, std::size_t length) {
        const auto available = static_cast<std::int64_t>(length);
        return counter.add(available, maxBytes) == available && !counter.reachedMax(maxBytes);
    };
    configure(handle.get(), bounded, transfer);

    const auto start = std::chrono::steady_clock::now();
    const CURLcode result = perform(handle.get(), transfer);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

    // Once the server has answered, what was counted stands, however the read ended: at the time limit, at
    // `maxBytes` (the body callback refused more), or with a broken connection. A stop is no measurement.
    if (result == CURLE_ABORTED_BY_CALLBACK || (result != CURLE_OK && !transfer.sawResponse))
        return fail(transferError(handle.get(), result, transfer));
    readResponse(handle.get(), transfer);
    return HTTPByteCount{counter.count(), std::max(elapsed, std::chrono::microseconds(100)),
                         transfer.response.statusCode};
}

}  // namespace quill
