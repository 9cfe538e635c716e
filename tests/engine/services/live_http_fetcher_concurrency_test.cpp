#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "engine/services/live_http_fetcher.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::LoopbackReply;
using test::LoopbackServer;

/// Runs one request with `stop` and gives its error code, or -1 when it did not fail.
using Operation = std::function<int(const std::string& url, std::stop_token stop)>;

int codeOf(const auto& result) {
    return result ? -1 : (result.error().domain == kHTTPErrorDomain ? result.error().code : -2);
}

struct Case {
    const char* label;
    const char* path;
    Operation run;
};

std::vector<Case> everyOperationOn(const LiveHTTPFetcher& fetcher, std::vector<const char*> paths) {
    const Operation data = [&fetcher](const std::string& url, std::stop_token stop) {
        HTTPRequest request;
        request.url = url;
        request.timeout = 60s;
        return codeOf(fetcher.data(request, std::move(stop)));
    };
    const Operation download = [&fetcher](const std::string& url, std::stop_token stop) {
        return codeOf(fetcher.download(url, std::move(stop)));
    };
    const Operation bytes = [&fetcher](const std::string& url, std::stop_token stop) {
        HTTPRequest request;
        request.url = url;
        return codeOf(fetcher.bytes(request, 1'000'000, 60s, std::move(stop)));
    };
    std::vector<Case> cases;
    for (const char* path : paths) {
        cases.push_back({"data", path, data});
        cases.push_back({"download", path, download});
        cases.push_back({"bytes", path, bytes});
    }
    return cases;
}

class LiveHTTPFetcherStopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Downloads land here, so that a cancelled one can be seen to leave nothing behind.
        const char* previous = std::getenv("TMPDIR");
        m_savedTemporary = previous ? std::optional<std::string>(previous) : std::nullopt;
        setenv("TMPDIR", temporary.path().c_str(), 1);
    }
    void TearDown() override {
        if (m_savedTemporary) {
            setenv("TMPDIR", m_savedTemporary->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    test::TemporaryDirectory temporary;
    LoopbackServer server;
    LiveHTTPFetcher fetcher;

  private:
    std::optional<std::string> m_savedTemporary;
};

TEST_F(LiveHTTPFetcherStopTest, AStopEndsEveryKindOfRequestWithinOneAndAHalfSeconds) {
    // Each reply would take 10 s; a fetcher that misses the stop fails quickly instead of hanging.
    const std::string body(200, 'b');
    LoopbackReply silent = LoopbackReply::text(body);
    silent.delayBeforeHeaders = 10s;
    server.reply("/silent", silent);
    LoopbackReply headersOnly = LoopbackReply::text(body);
    headersOnly.delayAfterHeaders = 10s;
    server.reply("/headers-only", headersOnly);
    LoopbackReply trickle = LoopbackReply::text(body);
    trickle.trickleInterval = 50ms;
    server.reply("/trickle", trickle);

    // Every request runs at once on a thread of its own; one stop ends them all.
    const auto cases = everyOperationOn(fetcher, {"/silent", "/headers-only", "/trickle"});
    std::stop_source stop;
    std::vector<int> codes(cases.size(), 0);
    std::vector<Clock::time_point> ended(cases.size());
    std::vector<std::jthread> threads;
    for (std::size_t index = 0; index < cases.size(); ++index) {
        threads.emplace_back([&, index] {
            codes[index] = cases[index].run(server.url(cases[index].path), stop.get_token());
            ended[index] = Clock::now();
        });
    }
    EXPECT_TRUE(server.waitForRequests(cases.size(), 5s));
    std::this_thread::sleep_for(300ms);  // well into the stall
    const auto stoppedAt = Clock::now();
    stop.request_stop();
    threads.clear();  // joins

    for (std::size_t index = 0; index < cases.size(); ++index) {
        SCOPED_TRACE(std::string(cases[index].label) + " " + cases[index].path);
        EXPECT_EQ(codes[index], static_cast<int>(HTTPErrorCode::cancelled));
        EXPECT_LT(ended[index] - stoppedAt, 1500ms);
    }
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));  // no partial download is left

    // A stop requested before the request starts sends nothing at all.
    const std::size_t sent = server.requests().size();
    for (const auto& each : everyOperationOn(fetcher, {"/trickle"})) {
        EXPECT_EQ(each.run(server.url(each.path), stop.get_token()),
                  static_cast<int>(HTTPErrorCode::cancelled))
            << each.label;
    }
    EXPECT_EQ(server.requests().size(), sent);
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
}

}  // namespace
}  // namespace quill
