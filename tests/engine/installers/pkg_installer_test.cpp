#include "engine/installers/pkg_installer.h"

#include <gtest/gtest.h>

#include "engine/core/build_options.h"
#include "engine/core/overloaded.h"
#include "engine/core/shell_quote.h"
#include "engine/core/task.h"
#include "engine/installers/sha256.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "engine/setup/product_config.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/fake_bin.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temporary_home.h"

namespace quill {

void PrintTo(const PKGInstaller::Event& event, std::ostream* out) {
    using E = PKGInstaller::Event;
    std::visit(
        Overloaded{[out](const E::Fetching&) { *out << "fetching"; },
                   [out](const E::SlowResponse&) { *out << "slowResponse"; },
                   [out](const E::Downloading& d) { *out << "downloading(" << d.bytesReceived << ")"; },
                   [out](const E::Verifying&) { *out << "verifying"; },
                   [out](const E::Installing&) { *out << "installing"; },
                   [out](const E::Completed&) { *out << "completed"; },
                   [out](const E::Canceled&) { *out << "canceled"; },
                   [out](const E::Error& e) { *out << "error(\"" << e.message << "\")"; }},
        event.value);
}

namespace {

namespace fs = std::filesystem;
using test::LoopbackReply;
using Event = PKGInstaller::Event;
using Events = std::vector<Event>;
using namespace std::chrono_literals;

constexpr const char* kLookup = "/v3/assets/latest/21/hotspot";
const std::string kPackage = "xar!temurin-package-bytes";

/// Looks up through the live service; every download waits until it is stopped.
class StallingDownloads final : public HTTPFetching {
  public:
    Result<HTTPDataResult> data(const HTTPRequest& request, std::stop_token stop) const override {
        return m_live.data(request, std::move(stop));
    }
    Result<HTTPDownloadResult> download(const std::string& url, std::stop_token stop) const override {
        return m_stalling.download(url, std::move(stop));
    }
    Result<HTTPByteCount> bytes(const HTTPRequest& request, std::int64_t maxBytes,
                                std::chrono::milliseconds limit, std::stop_token stop) const override {
        return m_live.bytes(request, maxBytes, limit, std::move(stop));
    }
    [[nodiscard]] int downloads() const { return m_stalling.calls(); }

  private:
    LiveHTTPFetcher m_live;
    test::StallingHTTP m_stalling;
};

class PKGInstallerTest : public ::testing::Test {
  protected:
    PKGInstallerTest() {
        ProductConfig product = ProductConfig::javaDiagnostic();
        product.cacheDirName = "QuillCache";
        m_product = std::make_unique<ScopedProductConfig>(product);
        server.reply("/OpenJDK21.pkg", LoopbackReply::text(kPackage));
        lookupAnswers(sha256Hex(kPackage));
        osascript("exit 0");
    }

    void lookupAnswers(const std::string& checksum, std::chrono::milliseconds delay = 0ms) {
        auto reply = LoopbackReply::text(R"([{"binary":{"installer":{"link":")" +
                                         server.url("/OpenJDK21.pkg") + R"(","checksum":")" + checksum +
                                         R"(","name":"OpenJDK21.pkg"}},"release_name":"jdk-21.0.5+11"}])");
        reply.delayBeforeHeaders = delay;
        server.reply(kLookup, reply);
    }
    void osascript(const std::string& script) { bin.add("/usr/bin/osascript", script); }

    [[nodiscard]] PKGInstaller installer(std::shared_ptr<const HTTPFetching> http = nullptr) const {
        if (!http)
            http = std::make_shared<LiveHTTPFetcher>();
        PKGInstaller pkg{bin.runner(), http, std::make_shared<LiveFileSystem>(),
                         AdoptiumAPI{http, server.url("")}};
        pkg.lookupWatchdog = 5s;
        pkg.downloadWatchdog = 5s;
        return pkg;
    }
    [[nodiscard]] fs::path package() const {
        return home / ".cache" / "QuillCache" /
               ("temurin-21-" + std::string(build::kArchitectureName) + ".pkg");
    }
    static Events run(const PKGInstaller& pkg) {
        auto stream = pkg.install(21, "Quillstart wants to install Java.");
        return drain(stream);
    }
    static Events installed(Event last) {
        const auto size = static_cast<std::int64_t>(kPackage.size());
        return {Event::Fetching{}, Event::Downloading{size, size}, Event::Verifying{}, Event::Installing{},
                last};
    }

    test::TemporaryHome home;
    test::LoopbackServer server;
    test::FakeBin bin;
    std::unique_ptr<ScopedProductConfig> m_product;
};

TEST_F(PKGInstallerTest, EndsWithTheInstallersOutcomeAndRemovesThePackage) {
    const std::string mismatch = std::string(64, '0');
    struct Case {
        const char* name;
        std::string osascript;
        Events events;
    };
    const std::vector<Case> cases = {
        {"installed", "exit 0", installed(Event::Completed{})},
        {"dialog dismissed", "echo '0:150: execution error: User canceled. (-128)' >&2\nexit 1",
         installed(Event::Canceled{})},
        {"silent failure", "exit 1", installed(Event::Error{"osascript exited 1"})},
        {"installer's words", "echo ' installer: the package is damaged '\nexit 1",
         installed(Event::Error{"installer: the package is damaged"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // An earlier package of the same name is replaced, and the run leaves none behind.
        home.write(package().lexically_relative(home.path()), "older package");
        osascript(c.osascript);
        EXPECT_EQ(run(installer()), c.events);
        EXPECT_FALSE(fs::exists(package()));
    }
}

TEST_F(PKGInstallerTest, FailuresBeforeTheInstallNameThePackageWhenThereIsOne) {
    const std::string digest = sha256Hex(kPackage);
    const std::string other = sha256Hex("another package");
    lookupAnswers(other);
    EXPECT_EQ(run(installer()), (Events{Event::Fetching{}, Event::Downloading{25, 25}, Event::Verifying{},
                                        Event::Error{"Checksum mismatch (expected " + other + ", got " +
                                                     digest + ") (pkg: " + package().string() + ")"}}));
    EXPECT_FALSE(fs::exists(package()));

    lookupAnswers(digest);
    server.reply("/OpenJDK21.pkg", LoopbackReply::text("gone", 404));
    EXPECT_EQ(run(installer()),
              (Events{Event::Fetching{}, Event::Error{"Adoptium download HTTP error (pkg: n/a)"}}));

    auto timedOut = std::make_shared<test::StallingHTTP>(
        Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::timedOut), "timed out"});
    EXPECT_EQ(
        run(installer(timedOut)),
        (Events{Event::Fetching{}, Event::Error{"Adoptium didn't respond within 20 seconds. Try again in a "
                                                "moment, or use Other Java install methods."}}));
    auto cancelled = std::make_shared<test::StallingHTTP>(
        Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::cancelled), "cancelled"});
    EXPECT_EQ(run(installer(cancelled)), (Events{Event::Fetching{}, Event::Canceled{}}));
}

TEST_F(PKGInstallerTest, SlowResponseOnlyWhileItsStageRuns) {
    // The lookup outlasts its watchdog; the download watchdog would fire during the slow installer if it
    // outlived its stage.
    lookupAnswers(sha256Hex(kPackage), 1200ms);
    osascript("sleep 1.5\nexit 0");
    PKGInstaller slow = installer();
    slow.lookupWatchdog = 300ms;
    slow.downloadWatchdog = 600ms;
    auto events = run(slow);
    EXPECT_EQ(events, [] {
        auto expected = installed(Event::Completed{});
        expected.insert(expected.begin() + 1, Event::SlowResponse{});
        return expected;
    }());

    lookupAnswers(sha256Hex(kPackage));
    osascript("exit 0");
    slow.lookupWatchdog = 2s;
    slow.process = bin.runner();
    EXPECT_EQ(run(slow), installed(Event::Completed{}));
}

TEST_F(PKGInstallerTest, AStopWhileDownloadingOrInstallingEndsCanceledWithNoPackageLeft) {
    test::TemporaryDirectory state;
    const fs::path waiting = state.path() / "waiting";
    const fs::path terminated = state.path() / "terminated";
    osascript("trap 'touch " + shellSingleQuoted(terminated.string()) + "; exit 143' TERM\ntouch " +
              shellSingleQuoted(waiting.string()) + "\nsleep 30 & wait");

    for (const bool whileInstalling : {false, true}) {
        for (const bool byConsumer : {false, true}) {
            SCOPED_TRACE(std::string(whileInstalling ? "installing" : "downloading") +
                         (byConsumer ? ", consumer stops" : ", task stopped"));
            fs::remove(waiting);
            fs::remove(terminated);
            auto stalling = std::make_shared<StallingDownloads>();
            auto stream = (whileInstalling ? installer() : installer(stalling)).install(21, "p");
            Events seen;
            const Event reached = whileInstalling ? Event(Event::Installing{}) : Event(Event::Fetching{});
            while (auto event = stream.next()) {
                seen.push_back(*event);
                if (*event == reached)
                    break;
            }
            ASSERT_EQ(seen.back(), reached);
            if (whileInstalling)
                ASSERT_TRUE(test::eventually([&] { return fs::exists(waiting); }));
            else
                ASSERT_TRUE(test::eventually([&] { return stalling->downloads() == 1; }));

            if (byConsumer) {
                stream.cancel();
                EXPECT_TRUE(test::eventually([&] { return !fs::exists(package()); }));
            } else {
                ASSERT_TRUE(TaskTracker::stopAll(10s));
                EXPECT_EQ(drain(stream), Events{Event::Canceled{}});
                EXPECT_FALSE(fs::exists(package()));
            }
            if (whileInstalling) {
                EXPECT_TRUE(test::eventually([&] { return fs::exists(terminated); }));
            }
        }
    }
}

TEST_F(PKGInstallerTest, VerifiesAPackageLargerThanAnyWholeFileRead) {
    constexpr std::uintmax_t kSize = 65u << 20;
    const fs::path sparse = home / "large.pkg";
    home.write("large.pkg", "");
    fs::resize_file(sparse, kSize);
    const std::string digest = sha256Hex(std::string(kSize, '\0'));
    EXPECT_TRUE(installer().verifyChecksum(sparse, digest, {}));
    const auto wrong = installer().verifyChecksum(sparse, std::string(64, 'a'), {});
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error().code, 6);
}

}  // namespace
}  // namespace quill
