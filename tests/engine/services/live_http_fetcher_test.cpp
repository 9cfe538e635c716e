#include "engine/services/live_http_fetcher.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>
#include <variant>

#include "engine/services/live_process_runner.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using test::LoopbackReply;
using test::LoopbackServer;

/// Answers each connection on 127.0.0.1 with `reply`, byte for byte, then closes it: for answers that no
/// HTTP server library would send.
class RawReplyServer {
  public:
    explicit RawReplyServer(std::string reply) {
        m_listener = test::closeOnExecSocket();
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("the raw reply server could not listen");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::jthread([this, reply = std::move(reply)](std::stop_token stop) {
            while (!stop.stop_requested()) {
                pollfd waiting{m_listener, POLLIN, 0};
                if (::poll(&waiting, 1, 50) <= 0)
                    continue;
                const int connection = ::accept(m_listener, nullptr, nullptr);
                if (connection < 0)
                    continue;
                std::string request;
                char buffer[4096];
                while (request.find("\r\n\r\n") == std::string::npos) {
                    const ssize_t got = ::recv(connection, buffer, sizeof(buffer), 0);
                    if (got <= 0)
                        break;
                    request.append(buffer, static_cast<std::size_t>(got));
                }
                (void)!::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
                ::shutdown(connection, SHUT_RDWR);
                ::close(connection);
            }
        });
    }
    ~RawReplyServer() {
        m_thread.request_stop();
        m_thread.join();
        ::close(m_listener);
    }
    RawReplyServer(const RawReplyServer&) = delete;
    RawReplyServer& operator=(const RawReplyServer&) = delete;

    [[nodiscard]] std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

  private:
    int m_listener = -1;
    int m_port = 0;
    std::jthread m_thread;
};

TEST(ByteCounterTest, CountsTheFirstByteAndStopsAtTheLimit) {
    ByteCounter none;
    EXPECT_EQ(none.add(10, 0), 1);  // counted before the comparison
    EXPECT_TRUE(none.reachedMax(0));
    EXPECT_EQ(none.add(10, 0), 0);

    ByteCounter counter;
    EXPECT_EQ(counter.add(4, 10), 4);
    EXPECT_FALSE(counter.reachedMax(10));
    EXPECT_EQ(counter.add(8, 10), 6);
    EXPECT_TRUE(counter.reachedMax(10));
    EXPECT_EQ(counter.count(), 10);
}

class LiveHTTPFetcherTest : public ::testing::Test {
  protected:
    HTTPRequest get(const std::string& path) const {
        HTTPRequest request;
        request.url = server.url(path);
        request.timeout = 10s;
        return request;
    }

    LoopbackServer server;
    LiveHTTPFetcher fetcher;
};

TEST_F(LiveHTTPFetcherTest, DataSendsMethodHeadersAndBodyAndReturnsAnyStatus) {
    LoopbackReply created = LoopbackReply::text(R"({"ok":true})", 201);
    created.headers["X-Request-Id"] = "abc";
    server.reply("/events", created);
    server.reply("/broken", LoopbackReply::text("oops", 500));

    HTTPRequest post = get("/events?batch=1");
    post.method = "POST";
    post.headers = {{"Content-Type", "application/json"}, {"apikey", "k-123"}};
    post.body =
        std::string(R"({"name":"ü","n":)") + std::string(4000, '7') + "}";  // large enough for 100-continue
    auto answer = fetcher.data(post, {});
    ASSERT_TRUE(answer) << answer.error().message;
    EXPECT_EQ(answer->body, R"({"ok":true})");
    EXPECT_EQ(answer->response.statusCode, 201);
    EXPECT_EQ(answer->response.headers.at("x-request-id"), "abc");
    EXPECT_EQ(answer->response.url, server.url("/events?batch=1"));

    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].path, "/events");
    EXPECT_EQ(seen[0].target, "/events?batch=1");
    EXPECT_EQ(seen[0].header("content-type"), "application/json");
    EXPECT_EQ(seen[0].header("apikey"), "k-123");
    EXPECT_EQ(seen[0].body, post.body);

    // A server error is an answer, not a failure.
    auto broken = fetcher.data(get("/broken"), {});
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->response.statusCode, 500);
    EXPECT_EQ(broken->body, "oops");

    HTTPRequest put = get("/events");
    put.method = "PUT";
    put.body = "x";
    ASSERT_TRUE(fetcher.data(put, {}));
    EXPECT_EQ(server.requests().back().method, "PUT");
    EXPECT_EQ(server.requests().back().body, "x");
}

TEST_F(LiveHTTPFetcherTest, ConnectionFailuresAreHTTPErrors) {
    HTTPRequest request;
    request.url = LoopbackServer::refusingURL("/x");
    auto data = fetcher.data(request, {});
    ASSERT_FALSE(data);
    EXPECT_EQ(data.error().domain, "HTTP");
    EXPECT_EQ(data.error().code, static_cast<int>(HTTPErrorCode::cannotConnectToHost));
    EXPECT_FALSE(data.error().message.empty());

    auto bytes = fetcher.bytes(request, 100, 5s, {});
    ASSERT_FALSE(bytes);
    EXPECT_EQ(bytes.error().code, static_cast<int>(HTTPErrorCode::cannotConnectToHost));

    request.url = "not a url";
    auto bad = fetcher.data(request, {});
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().domain, "HTTP");
}

TEST(LiveHTTPFetcherAnswerTest, AnAnswerThatIsNoHTTPAnswerIsABadServerResponse) {
    struct Case {
        const char* answer;
        HTTPErrorCode code;
    };
    const Case cases[] = {
        {"garbage\r\n\r\n", HTTPErrorCode::badServerResponse},  // no status line at all
        {"HTTP/1.1 2x0 OK\r\nContent-Length: 2\r\n\r\nok", HTTPErrorCode::badServerResponse},
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nno colon\r\n\r\nok", HTTPErrorCode::badServerResponse},
        {"HTTP/9.1 200 OK\r\nContent-Length: 2\r\n\r\nok", HTTPErrorCode::badServerResponse},
        {"", HTTPErrorCode::networkConnectionLost},  // closed without a word: nothing to judge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        RawReplyServer server(c.answer);
        HTTPRequest request;
        request.url = server.url();
        request.timeout = 5s;
        auto data = LiveHTTPFetcher().data(request, {});
        ASSERT_FALSE(data);
        EXPECT_EQ(data.error().domain, kHTTPErrorDomain);
        EXPECT_EQ(data.error().code, static_cast<int>(c.code)) << data.error().message;
        auto download = LiveHTTPFetcher().download(server.url(), {});
        ASSERT_FALSE(download);
        EXPECT_EQ(download.error().code, static_cast<int>(c.code)) << download.error().message;
    }
}

TEST_F(LiveHTTPFetcherTest, ARequestThatGetsNoAnswerTimesOut) {
    LoopbackReply silent = LoopbackReply::text("late");
    silent.delayBeforeHeaders = 20s;
    server.reply("/silent", silent);

    HTTPRequest request = get("/silent");
    request.timeout = 1s;
    const auto started = std::chrono::steady_clock::now();
    auto answer = fetcher.data(request, {});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_FALSE(answer);
    EXPECT_EQ(answer.error().code, static_cast<int>(HTTPErrorCode::timedOut));
    EXPECT_LT(wall, 10.0);

    // An answer that has started but never finishes is cut off by the whole-transfer limit, well before the
    // idle limit would notice anything.
    LoopbackReply dribble = LoopbackReply::text("never all of it");
    dribble.delayAfterHeaders = 20s;
    server.reply("/dribble", dribble);
    HTTPRequest bounded = get("/dribble");
    bounded.timeout = 15s;
    bounded.resourceTimeout = 500ms;
    const auto boundedStart = std::chrono::steady_clock::now();
    auto cut = fetcher.data(bounded, {});
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, static_cast<int>(HTTPErrorCode::timedOut));
    EXPECT_LT(std::chrono::steady_clock::now() - boundedStart, 5s);
}

/// A port on 127.0.0.1 that nothing listened on a moment ago.
int freeLoopbackPort() {
    const int probe = test::closeOnExecSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const bool bound = probe >= 0 &&
                       ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                       ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(probe);
    return bound ? ntohs(address.sin_port) : 0;
}

// The same fetcher brings the JDK package, its checksum and the link to both: a certificate that nobody
// vouches for is refused.
TEST(LiveHTTPFetcherTLSTest, AServerWhoseCertificateIsNotTrustedIsRefused) {
    const test::TemporaryDirectory folder;
    const auto key = (folder.path() / "key.pem").string();
    const auto certificate = (folder.path() / "certificate.pem").string();
    const auto made = LiveProcessRunner().run(
        "/bin/sh", {"-c",
                    "exec \"$2\" req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                    "-days 1 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout \"$0\" "
                    "-out \"$1\"",
                    key, certificate, QUILL_OPENSSL_COMMAND});
    ASSERT_TRUE(made && made->exitCode == 0) << (made ? made->stderr_ : made.error().message);

    const int port = freeLoopbackPort();
    ASSERT_NE(port, 0);
    auto server = std::make_shared<LiveProcessCancellation>();
    auto events = LiveProcessRunner().stream(
        "/bin/sh",
        {"-c", "exec \"$3\" s_server -www -accept \"127.0.0.1:$0\" -cert \"$1\" -key \"$2\"",
         std::to_string(port), certificate, key, QUILL_OPENSSL_COMMAND},
        std::nullopt, server);
    bool listening = false;
    while (!listening) {
        const auto event = events.next();
        if (!event)
            break;
        const auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value);
        listening = line && line->text == "ACCEPT";
    }
    ASSERT_TRUE(listening) << "openssl s_server did not start";

    HTTPRequest request;
    request.url = "https://127.0.0.1:" + std::to_string(port) + "/";
    request.timeout = 10s;
    const auto answer = LiveHTTPFetcher().data(request, {});
    server->cancel();
    (void)drain(events);
    ASSERT_FALSE(answer) << answer->body;
    EXPECT_EQ(answer.error().code, static_cast<int>(HTTPErrorCode::secureConnectionFailed))
        << answer.error().message;
}

TEST_F(LiveHTTPFetcherTest, RedirectsToPlainHTTPAreRefused) {
    server.reply("/moved", LoopbackReply::redirect(server.url("/target")));
    server.reply("/target", LoopbackReply::text("should not be fetched"));

    auto answer = fetcher.data(get("/moved"), {});
    ASSERT_FALSE(answer);
    EXPECT_EQ(answer.error().code, static_cast<int>(HTTPErrorCode::insecureRedirect));
    for (const auto& request : server.requests())
        EXPECT_NE(request.path, "/target");

    EXPECT_FALSE(fetcher.download(server.url("/moved"), {}));
}

TEST_F(LiveHTTPFetcherTest, DownloadWritesAFreshFileEachTime) {
    test::TemporaryDirectory temporary;
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    setenv("TMPDIR", temporary.path().c_str(), 1);

    const std::string payload(300000, 'p');
    server.reply("/package.pkg", LoopbackReply::text(payload));
    server.reply("/missing", LoopbackReply::text("not here", 404));

    auto first = fetcher.download(server.url("/package.pkg"), {});
    auto second = fetcher.download(server.url("/package.pkg"), {});
    ASSERT_TRUE(first) << first.error().message;
    ASSERT_TRUE(second);
    EXPECT_NE(first->location, second->location);
    EXPECT_EQ(first->location.parent_path(), temporary.path());
    EXPECT_EQ(test::readFile(first->location), payload);
    EXPECT_EQ(first->response.statusCode, 200);

    auto missing = fetcher.download(server.url("/missing"), {});  // the caller judges the status
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->response.statusCode, 404);
    EXPECT_EQ(test::readFile(missing->location), "not here");

    // A failed download leaves no file behind.
    std::filesystem::remove(first->location);
    std::filesystem::remove(second->location);
    std::filesystem::remove(missing->location);
    auto refused = fetcher.download(LoopbackServer::refusingURL("/package.pkg"), {});
    ASSERT_FALSE(refused);
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));

    // A body cut short is a failure, and its partial file is removed.
    LoopbackReply cut = LoopbackReply::text(payload);
    cut.closeAfterBytes = 1000;
    server.reply("/cut", cut);
    EXPECT_FALSE(fetcher.download(server.url("/cut"), {}));
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));

    if (previous) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

TEST_F(LiveHTTPFetcherTest, TimedReadStopsAtTheEndOfTheBodyOrAtMaxBytes) {
    server.reply("/short", LoopbackReply::text(std::string(1000, 's')));
    server.reply("/long", LoopbackReply::text(std::string(std::size_t{4} * 1024 * 1024, 'l')));
    server.reply("/empty", LoopbackReply::text(""));

    auto shortRead = fetcher.bytes(get("/short"), 1'000'000, 10s, {});
    ASSERT_TRUE(shortRead);
    EXPECT_EQ(shortRead->count, 1000);
    EXPECT_EQ(shortRead->statusCode, 200);
    EXPECT_LT(shortRead->elapsed, 5s);  // ended with the body, not at the limit
    EXPECT_GE(shortRead->elapsed, 100us);

    auto exact = fetcher.bytes(get("/long"), 100'000, 10s, {});
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->count, 100'000);

    auto odd = fetcher.bytes(get("/long"), 65'537, 10s, {});  // not a multiple of any buffer size
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->count, 65'537);

    // The first byte is counted before the comparison.
    for (std::int64_t maxBytes : {0, 1}) {
        auto tiny = fetcher.bytes(get("/short"), maxBytes, 10s, {});
        ASSERT_TRUE(tiny);
        EXPECT_EQ(tiny->count, 1) << "maxBytes " << maxBytes;
        EXPECT_GE(tiny->elapsed, 100us);
    }

    auto empty = fetcher.bytes(get("/empty"), 100, 10s, {});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count, 0);
    EXPECT_GE(empty->elapsed, 100us);

    // Any status is read like any other.
    server.reply("/gone", LoopbackReply::text("gone", 410));
    auto gone = fetcher.bytes(get("/gone"), 100, 10s, {});
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->count, 4);
    EXPECT_EQ(gone->statusCode, 410);
}

TEST_F(LiveHTTPFetcherTest, TimedReadOfAStalledOrTricklingServerEndsAtTheTimeLimit) {
    LoopbackReply headersOnly = LoopbackReply::text("late body");
    headersOnly.delayAfterHeaders = 5s;
    server.reply("/headers-only", headersOnly);
    LoopbackReply trickle = LoopbackReply::text(std::string(1000, 't'), 206);
    trickle.trickleInterval = 50ms;
    server.reply("/trickle", trickle);
    LoopbackReply silent = LoopbackReply::text("late body");
    silent.delayBeforeHeaders = 5s;
    server.reply("/silent", silent);

    struct Case {
        const char* path;
        std::chrono::milliseconds limit;
        std::optional<int> status;  ///< none: the read times out
        std::int64_t fewest;
        std::int64_t most;
    };
    const Case cases[] = {
        {"/headers-only", 400ms, 200, 0, 0},     // an answer whose body stalls: nothing counted
        {"/trickle", 600ms, 206, 1, 100},        // what trickled in by the limit, about 12 bytes
        {"/silent", 400ms, std::nullopt, 0, 0},  // no answer at all by the limit
        {"/silent", -3s, std::nullopt, 0, 0},    // a negative limit counts as no time at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.limit.count()) + " ms");
        const auto started = std::chrono::steady_clock::now();
        auto read = fetcher.bytes(get(c.path), 1'000'000, c.limit, {});
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
        if (!c.status) {
            ASSERT_FALSE(read);
            EXPECT_EQ(read.error().domain, kHTTPErrorDomain);
            EXPECT_EQ(read.error().code, static_cast<int>(HTTPErrorCode::timedOut));
            continue;
        }
        ASSERT_TRUE(read) << read.error().message;
        EXPECT_EQ(read->statusCode, c.status);
        EXPECT_GE(read->count, c.fewest);
        EXPECT_LE(read->count, c.most);
        EXPECT_GE(read->elapsed, c.limit - 10ms);
        EXPECT_LT(read->elapsed, 2s);
    }
}

TEST_F(LiveHTTPFetcherTest, TimedReadKeepsWhatArrivedBeforeTheConnectionBroke) {
    LoopbackReply cut = LoopbackReply::text(std::string(10000, 'c'));
    cut.closeAfterBytes = 2500;
    server.reply("/cut", cut);

    auto read = fetcher.bytes(get("/cut"), 1'000'000, 10s, {});
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(read->count, 2500);
    EXPECT_EQ(read->statusCode, 200);
    EXPECT_LT(read->elapsed, 5s);
}

}  // namespace
}  // namespace quill
