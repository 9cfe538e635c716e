#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill::test {

/// A request as the loopback server received it.
struct RecordedRequest {
    std::string method;
    std::string path;                            ///< without the query
    std::string target;                          ///< as sent, with the query
    std::map<std::string, std::string> headers;  ///< names lower-cased
    std::string body;

    /// The value of a header (any case), or empty.
    [[nodiscard]] std::string header(const std::string& name) const;
};

/// How the loopback server answers one request.
struct LoopbackReply {
    int status = 200;
    std::string body;
    std::map<std::string, std::string> headers;
    std::string contentType = "text/plain";
    /// Waits this long before sending anything at all.
    std::chrono::milliseconds delayBeforeHeaders{0};
    /// Sends the status line and headers, then waits this long before the body (the body must not be empty).
    std::chrono::milliseconds delayAfterHeaders{0};
    /// Sends only this many bytes of the body, then closes the connection (the headers promise the whole
    /// body).
    std::optional<std::size_t> closeAfterBytes;
    /// Sends the body one byte at a time, waiting this long before each byte.
    std::chrono::milliseconds trickleInterval{0};

    static LoopbackReply text(std::string body, int status = 200);
    static LoopbackReply redirect(std::string location, int status = 302);
};

/// A TCP socket for IPv4 that no child inherits (closed on exec), or -1 with errno set.
[[nodiscard]] int closeOnExecSocket();

/// An HTTP server on 127.0.0.1 and a free port, for tests. Answers each path as scripted (404 for paths
/// without a script) and records every request. One request per connection; up to 32 at once. Stalled replies
/// end early when the server is destroyed. Thread-safe.
class LoopbackServer {
  public:
    using Handler = std::function<LoopbackReply(const RecordedRequest&)>;

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    [[nodiscard]] int port() const;
    /// "http://127.0.0.1:<port>" + `path`.
    [[nodiscard]] std::string url(const std::string& path) const;

    /// Answers every request for `path` with `reply`.
    void reply(const std::string& path, LoopbackReply reply);
    /// Answers requests for `path` with `replies` in turn; the last one repeats.
    void replies(const std::string& path, std::vector<LoopbackReply> replies);
    /// Answers requests for `path` by calling `handler` (on a server thread).
    void handle(const std::string& path, Handler handler);

    /// Every request received so far, in order of arrival.
    [[nodiscard]] std::vector<RecordedRequest> requests() const;
    /// Waits until at least `count` requests have arrived; false when `timeout` passed first.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    /// An address on 127.0.0.1 where nothing listens, so connecting is refused.
    static std::string refusingURL(const std::string& path = "/");

  private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace quill::test
