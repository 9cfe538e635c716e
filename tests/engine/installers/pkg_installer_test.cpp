#include "engine/installers/pkg_installer.h"

#include <gtest/gtest.h>

#include "engine/core/build_options.h"
#include "engine/core/shell_quote.h"
#include "engine/core/task.h"
#include "engine/installers/sha256.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/fake_bin.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temporary_home.h"

namespace quill {

void PrintTo(const PKGInstaller::Event& event, std::ostream* out) {
    *out << "case " << event.value.index();
    if (const auto* error = std::get_if<PKGInstaller::Event::Error>(&event.value))
        *out << " \"" << error->message << "\"";
}

namespace {

namespace fs = std::filesystem;
using Event = PKGInstaller::Event;
using Events = std::vector<Event>;
using namespace std::chrono_literals;

const std::string kPackage = "xar!temurin-package-bytes";

class PKGInstallerTest : public ::testing::Test {
  protected:
    PKGInstallerTest() {
        server.reply("/OpenJDK21.pkg", test::LoopbackReply::text(kPackage));
        lookupAnswers(sha256Hex(kPackage));
    }

    void lookupAnswers(const std::string& checksum, std::chrono::milliseconds delay = 0ms) {
        auto reply = test::LoopbackReply::text(R"([{"binary":{"installer":{"link":")" +
                                               server.url("/OpenJDK21.pkg") + R"(","checksum":")" + checksum +
                                               R"(","name":"p.pkg"}},"release_name":"jdk-21"}])");
        reply.delayBeforeHeaders = delay;
        server.reply("/v3/assets/latest/21/hotspot", reply);
    }
    /// An installer whose osascript runs `script`; both watchdogs at `watch`.
    [[nodiscard]] PKGInstaller installer(const std::string& script, std::chrono::nanoseconds watch = 5s,
                                         std::shared_ptr<const HTTPFetching> http = nullptr) {
        bin.add("/usr/bin/osascript", script);
        if (!http)
            http = std::make_shared<LiveHTTPFetcher>();
        return {bin.runner(), http, std::make_shared<LiveFileSystem>(), AdoptiumAPI{http, server.url("")},
                watch,        watch};
    }
    [[nodiscard]] fs::path package() const {
        return home / ".cache" / "QuillCache" /
               ("temurin-21-" + std::string(build::kArchitectureName) + ".pkg");
    }
    static Events run(const PKGInstaller& pkg) {
        auto stream = pkg.install(21, "Install Java?");
        return drain(stream);
    }
    static Events installed(Event last, bool slowLookup = false) {
        const auto size = static_cast<std::int64_t>(kPackage.size());
        Events events{Event::Fetching{}, Event::Downloading{size, size}, Event::Verifying{},
                      Event::Installing{}, last};
        if (slowLookup)
            events.insert(events.begin() + 1, Event::SlowResponse{});
        return events;
    }

    test::TemporaryHome home;
    test::LoopbackServer server;
    test::FakeBin bin;
    ScopedProductConfig product{test::installerProduct()};
};

TEST_F(PKGInstallerTest, EndsWithOneOutcomeAndNeverLeavesThePackage) {
    const std::string other = sha256Hex("another package");
    struct Case {
        const char* name;
        std::string checksum;
        std::string osascript;
        Events events;
    };
    const std::vector<Case> cases = {
        {"installed", sha256Hex(kPackage), "exit 0", installed(Event::Completed{})},
        {"dialog dismissed", sha256Hex(kPackage), "echo 'execution error: User canceled. (-128)' >&2\nexit 1",
         installed(Event::Canceled{})},
        {"silent failure", sha256Hex(kPackage), "exit 1", installed(Event::Error{"osascript exited 1"})},
        {"swapped before root's copy", sha256Hex(kPackage),
         "echo \"0:42: execution error: copy-checksum-mismatch " + other + " (1)\" >&2\nexit 1",
         installed(Event::Error{"Checksum mismatch (expected " + sha256Hex(kPackage) + ", got " + other +
                                ") (pkg: " + package().string() + ")"})},
        {"checksum differs", other, "exit 0",
         Events{Event::Fetching{}, Event::Downloading{25, 25}, Event::Verifying{},
                Event::Error{"Checksum mismatch (expected " + other + ", got " + sha256Hex(kPackage) +
                             ") (pkg: " + package().string() + ")"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        home.write(package().lexically_relative(home.path()), "an earlier package");
        lookupAnswers(c.checksum);
        EXPECT_EQ(run(installer(c.osascript)), c.events);
        EXPECT_FALSE(fs::exists(package()));
    }

    server.reply("/OpenJDK21.pkg", test::LoopbackReply::text("gone", 404));
    EXPECT_EQ(run(installer("exit 0")),
              (Events{Event::Fetching{}, Event::Error{"Adoptium download HTTP error (pkg: n/a)"}}));
    auto timedOut = std::make_shared<test::StallingHTTP>(
        Error{kHTTPErrorDomain, static_cast<int>(HTTPErrorCode::timedOut), "timed out"});
    EXPECT_EQ(
        run(installer("exit 0", 5s, timedOut)),
        (Events{Event::Fetching{}, Event::Error{"Adoptium didn't respond within 20 seconds. Try again in a "
                                                "moment, or use Other Java install methods."}}));
}

TEST_F(PKGInstallerTest, SlowResponseOnlyWhileItsStageRuns) {
    // The download's watchdog would fire during the slow installer if it outlived its stage.
    EXPECT_EQ(run(installer("sleep 1.2", 600ms)), installed(Event::Completed{}));
    lookupAnswers(sha256Hex(kPackage), 1200ms);
    EXPECT_EQ(run(installer("exit 0", 300ms)), installed(Event::Completed{}, true));
}

TEST_F(PKGInstallerTest, AStopWhileDownloadingOrInstallingEndsCanceledWithNoPackageLeft) {
    test::TemporaryDirectory state;
    const fs::path waiting = state.path() / "waiting";
    const fs::path terminated = state.path() / "terminated";
    const std::string osascript = "trap 'touch " + shellSingleQuoted(terminated.string()) +
                                  "; exit 143' TERM\ntouch " + shellSingleQuoted(waiting.string()) +
                                  "\nsleep 30 & wait";
    for (const bool installing : {false, true}) {
        for (const bool byConsumer : {false, true}) {
            SCOPED_TRACE(std::string(installing ? "installing" : "downloading") +
                         (byConsumer ? ", consumer" : ""));
            fs::remove(waiting);
            fs::remove(terminated);
            auto download = test::LoopbackReply::text(kPackage);
            download.delayBeforeHeaders = installing ? 0ms : 1500ms;
            server.reply("/OpenJDK21.pkg", download);
            const auto requests = server.requests().size();
            auto stream = installer(osascript).install(21, "p");
            ASSERT_TRUE(stream.next());
            ASSERT_TRUE(installing ? test::eventually([&] { return fs::exists(waiting); })
                                   : server.waitForRequests(requests + 2, 10s));
            if (byConsumer) {
                stream.cancel();
                EXPECT_TRUE(test::eventually([&] { return !fs::exists(package()); }));
                // A waiting installer is asked to end (at shutdown it may be killed outright instead).
                if (installing) {
                    EXPECT_TRUE(test::eventually([&] { return fs::exists(terminated); }));
                }
            } else {
                ASSERT_TRUE(TaskTracker::stopAll(10s));
                const auto events = drain(stream);
                ASSERT_FALSE(events.empty());
                EXPECT_EQ(events.back(), Event(Event::Canceled{}));
                EXPECT_FALSE(fs::exists(package()));
            }
        }
    }
}

}  // namespace
}  // namespace quill
