#include "engine/services/live_http_fetcher.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/core/build_options.h"
#include "engine/core/text.h"

namespace quill {

std::int64_t ByteCounter::add(std::int64_t available, std::int64_t maxBytes) {
    // Counting byte by byte and stopping once the count reaches `maxBytes` always takes the first byte, so
    // the effective limit is at least 1; a chunk is counted in one step with the same outcome.
    const std::int64_t limit = std::max<std::int64_t>(maxBytes, 1);
    std::lock_guard lock(m_lock);
    const std::int64_t taken =
        std::clamp<std::int64_t>(limit - m_count, 0, std::max<std::int64_t>(available, 0));
    m_count += taken;
    return taken;
}

bool ByteCounter::reachedMax(std::int64_t maxBytes) const {
    std::lock_guard lock(m_lock);
    return m_count >= std::max<std::int64_t>(maxBytes, 1);
}

std::int64_t ByteCounter::count() const {
    std::lock_guard lock(m_lock);
    return m_count;
}

namespace {

constexpr long kMaximumRedirects = 16;
constexpr std::chrono::milliseconds kDownloadTimeout = std::chrono::seconds(60);

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
    // No byte for `timeout` ends the transfer as timed out.
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
    long osError = 0;
    curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &osError);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);

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
            return make(HTTPErrorCode::badURL, "The address is not valid");
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

Result<HTTPDataResult> LiveHTTPFetcher::data(const HTTPRequest& request, std::stop_token /*stop*/) const {
    EasyHandle handle = newHandle();
    if (!handle)
        return fail(noHandleError());
    Transfer transfer;
    std::string body;
    transfer.onBody = [&body](const char* bytes, std::size_t length) {
        body.append(bytes, length);
        return true;
    };
    configure(handle.get(), request, transfer);
    const CURLcode result = curl_easy_perform(handle.get());
    if (result != CURLE_OK)
        return fail(transferError(handle.get(), result, transfer));
    readResponse(handle.get(), transfer);
    return HTTPDataResult{std::move(body), std::move(transfer.response)};
}

Result<HTTPDownloadResult> LiveHTTPFetcher::download(const std::string& url, std::stop_token /*stop*/) const {
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
    transfer.onBody = [fd, &writeErrno](const char* bytes, std::size_t length) {
        while (length > 0) {
            const ssize_t written = ::write(fd, bytes, length);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                writeErrno = errno;
                return false;
            }
            bytes += written;
            length -= static_cast<std::size_t>(written);
        }
        return true;
    };
    HTTPRequest request;
    request.url = url;
    request.timeout = kDownloadTimeout;
    configure(handle.get(), request, transfer);
    const CURLcode result = curl_easy_perform(handle.get());
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
                                             std::stop_token /*stop*/) const {
    EasyHandle handle = newHandle();
    if (!handle)
        return fail(noHandleError());
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
    if (!multi)
        return fail(noHandleError());

    ByteCounter counter;
    std::atomic<bool> stopRequested = false;
    Transfer transfer;
    transfer.onBody = [&](const char*, std::size_t length) {
        if (stopRequested.load())
            return false;
        const auto available = static_cast<std::int64_t>(length);
        return counter.add(available, maxBytes) == available && !counter.reachedMax(maxBytes);
    };
    configure(handle.get(), request, transfer);
    curl_multi_add_handle(multi.get(), handle.get());

    const auto limit = std::clamp<std::chrono::milliseconds>(timeLimit, std::chrono::milliseconds::zero(),
                                                             std::chrono::seconds(10'000'000));
    const auto start = std::chrono::steady_clock::now();

    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool readerDone = false;
    bool transferEnded = false;
    CURLcode result = CURLE_OK;

    // The reader drives the transfer; the calling thread is the timer. Whichever finishes first stops the
    // other.
    std::thread reader;
    try {
        reader = std::thread([&] {
            int running = 1;
            while (!stopRequested.load()) {
                if (curl_multi_perform(multi.get(), &running) != CURLM_OK || running == 0)
                    break;
                curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    transferEnded = true;
                    result = message->data.result;
                }
            }
            {
                std::lock_guard lock(doneMutex);
                readerDone = true;
            }
            doneChanged.notify_all();
        });
    } catch (const std::system_error&) {
        curl_multi_remove_handle(multi.get(), handle.get());
        return fail(
            httpError(HTTPErrorCode::other, "The request failed: could not start reading the answer"));
    }
    {
        std::unique_lock lock(doneMutex);
        doneChanged.wait_for(lock, limit, [&] { return readerDone; });
    }
    stopRequested = true;
    curl_multi_wakeup(multi.get());
    reader.join();

    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const std::int64_t count = counter.count();
    curl_multi_remove_handle(multi.get(), handle.get());

    // Only a request that never got an answer fails; once the server has answered, what was counted stands.
    if (transferEnded && result != CURLE_OK && result != CURLE_WRITE_ERROR && !transfer.sawResponse &&
        count == 0) {
        return fail(transferError(handle.get(), result, transfer));
    }
    // A server that has not even answered by the time limit has timed out, as the request itself would have.
    if (!transferEnded && !transfer.sawResponse && count == 0) {
        return fail(Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::timedOut),
                          "The request timed out: no answer from " + request.url});
    }
    HTTPByteCount counted{count, std::max(elapsed, std::chrono::microseconds(100)), std::nullopt};
    if (transfer.sawResponse) {
        readResponse(handle.get(), transfer);
        counted.statusCode = transfer.response.statusCode;
    }
    return counted;
}

}  // namespace quill
