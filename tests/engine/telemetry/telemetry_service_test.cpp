#include "engine/telemetry/telemetry_service.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "engine/core/build_options.h"
#include "engine/core/text.h"
#include "engine/services/app_services.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_http_fetcher.h"
#include "engine/services/live_key_value_store.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/event.h"
#include "engine/telemetry/session_id.h"
#include "engine/telemetry/telemetry_events.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using namespace std::chrono_literals;
using test::LoopbackReply;
using test::RecordedRequest;

const std::string kPath(TelemetryService::kEventsPath);
constexpr auto kPatience = 10s;

class TelemetryServiceTest : public ::testing::Test {
  protected:
    TelemetryService::Configuration configuration(std::string endpoint = {}) const {
        TelemetryService::Configuration settings;
        settings.endpointURL = endpoint.empty() ? server.url(kPath) : endpoint;
        settings.anonKey = "test-key";
        settings.appVersion = "1.4 (27)";
        settings.appID = "code";
        settings.runContext = "test";
        settings.http = http;
        settings.kvStore = store;
        settings.fs = fs;
        settings.userDefaultsPrefix = "com.example.quill";
        settings.appSupportDirName = "Quillstart";
        settings.pendingFileURL = pendingFile();
        settings.retryStep = 1ms;
        return settings;
    }

    [[nodiscard]] std::filesystem::path pendingFile() const {
        return folder.path() / "Quillstart" / "pending-events.json";
    }

    /// The names in the pending file, oldest first.
    [[nodiscard]] std::vector<std::string> pendingNames() const {
        std::vector<std::string> names;
        auto decoded = telemetry::decodePendingFile(test::readFile(pendingFile()));
        if (!decoded)
            return names;
        for (const auto& event : decoded->events)
            names.push_back(event.eventName);
        return names;
    }

    static nlohmann::json record(const RecordedRequest& request) {
        const auto body = nlohmann::json::parse(request.body, nullptr, false);
        return body.is_array() && body.size() == 1 ? body[0] : nlohmann::json();
    }

    [[nodiscard]] std::vector<std::string> postedNames() const {
        std::vector<std::string> names;
        for (const auto& request : server.requests())
            names.push_back(record(request).value("event_name", "?"));
        return names;
    }

    /// Answers each event by its name; 200 for names not listed.
    void answerByName(std::map<std::string, int> statuses) {
        server.handle(kPath, [statuses = std::move(statuses)](const RecordedRequest& request) {
            const auto name = record(request).value("event_name", "");
            const auto found = statuses.find(name);
            return LoopbackReply::text("", found == statuses.end() ? 200 : found->second);
        });
    }

    test::TemporaryDirectory folder;
    test::LoopbackServer server;
    std::shared_ptr<LiveKeyValueStore> store =
        std::make_shared<LiveKeyValueStore>(folder.path() / "settings");
    std::shared_ptr<LiveFileSystem> fs = std::make_shared<LiveFileSystem>();
    std::shared_ptr<LiveHTTPFetcher> http = std::make_shared<LiveHTTPFetcher>();
};

TEST_F(TelemetryServiceTest, PostsOneRecordWithTheExactWireFormAndRemovesTheFileOnceDelivered) {
    store->setString("com.example.quill.session_id", "3F2504E0-4F89-41D3-9A0C-0305E82C3301");
    server.reply(kPath, LoopbackReply::text("", 201));
    {
        TelemetryService service(configuration());
        service.track("app_launched", {{"arch", "arm64"},
                                       {"macos_major", 15},
                                       {"has_homebrew", true},
                                       {"down_mbps", 12.5},
                                       {"note", nullptr},
                                       {"terminals", JSONArray{"iterm2", "warp"}}});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
    }

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, kPath);
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer test-key");

    std::smatch timestamp;
    ASSERT_TRUE(
        std::regex_search(request.body, timestamp,
                          std::regex(R"x("client_timestamp":"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")x")))
        << request.body;
    EXPECT_EQ(
        request.body,
        R"x([{"session_id":"3f2504e0-4f89-41d3-9a0c-0305e82c3301","client_timestamp":")x" + timestamp.str(1) +
            R"x(","app_version":"1.4 (27)","app_id":"code","run_context":"test","event_name":"app_launched",)x"
            R"x("event_data":{"arch":"arm64","down_mbps":12.5,"has_homebrew":true,"macos_major":15,"note":null,)x"
            R"x("terminals":["iterm2","warp"]}}])x");
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(TelemetryServiceTest, SendsDropsOrKeepsEachEventByTheAnswer) {
    struct Case {
        int status;
        bool delivered;  // sent or dropped: leaves the queue after one attempt
    };
    const Case cases[] = {{200, true},  {204, true},  {400, true},  {404, true},
                          {408, false}, {429, false}, {500, false}, {503, false}};
    for (const auto& [status, delivered] : cases) {
        SCOPED_TRACE(status);
        test::TemporaryDirectory caseFolder;
        test::LoopbackServer caseServer;
        const auto file = caseFolder.path() / "Quillstart" / "pending-events.json";
        auto settings = configuration(caseServer.url(kPath));
        settings.pendingFileURL = file;
        caseServer.handle(kPath, [status](const RecordedRequest& request) {
            return LoopbackReply::text("", record(request).value("event_name", "") == "first" ? status : 200);
        });

        TelemetryService service(settings);
        service.track("first", {});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
        if (delivered) {
            EXPECT_EQ(caseServer.requests().size(), 1u);
            EXPECT_FALSE(std::filesystem::exists(file));
        } else {
            // Three attempts, then the event waits at the head of the queue, on disk.
            EXPECT_EQ(caseServer.requests().size(), 3u);
            auto kept = telemetry::decodePendingFile(test::readFile(file));
            ASSERT_TRUE(kept);
            ASSERT_EQ(kept->events.size(), 1u);
            EXPECT_EQ(kept->events[0].eventName, "first");
        }

        // The next event starts a new flush, which begins with what is left at the head.
        service.track("second", {});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
        std::vector<std::string> posted;
        for (const auto& request : caseServer.requests())
            posted.push_back(record(request).value("event_name", ""));
        if (delivered) {
            EXPECT_EQ(posted, (std::vector<std::string>{"first", "second"}));
        } else {
            EXPECT_EQ(posted, std::vector<std::string>(6, "first"));
            auto kept = telemetry::decodePendingFile(test::readFile(file));
            ASSERT_TRUE(kept);
            ASSERT_EQ(kept->events.size(), 2u);
            EXPECT_EQ(kept->events[1].eventName, "second");
        }
    }
}

TEST_F(TelemetryServiceTest, KeepsEveryEventWhenTheBackendRefusesConnections) {
    TelemetryService service(configuration(test::LoopbackServer::refusingURL(kPath)));
    service.track("first", {});
    service.track("second", {{"n", 2}});
    ASSERT_TRUE(service.waitUntilIdle(kPatience));
    EXPECT_EQ(pendingNames(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(TelemetryServiceTest, PostsEventsOneAtATimeInTheOrderTheyWereTracked) {
    // The first answer stalls, so the later events queue up behind the post in flight.
    server.handle(kPath, [](const RecordedRequest& request) {
        auto reply = LoopbackReply::text("");
        if (record(request).value("event_name", "") == "e0")
            reply.delayBeforeHeaders = 300ms;
        return reply;
    });
    TelemetryService service(configuration());
    std::vector<std::string> expected;
    for (int i = 0; i < 6; ++i) {
        expected.push_back("e" + std::to_string(i));
        service.track(expected.back(), {{"i", i}});
    }
    ASSERT_TRUE(service.waitUntilIdle(kPatience));
    EXPECT_EQ(postedNames(), expected);
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(TelemetryServiceTest, ASecondRunPostsWhatTheFirstLeftBeforeItsOwnEvents) {
    std::string firstSession;
    {
        auto settings = configuration(test::LoopbackServer::refusingURL(kPath));
        settings.appID = "cli";
        settings.runContext = "earlier";
        settings.appVersion = "1.3 (20)";
        TelemetryService first(settings);
        first.track("left-1", {{"whole", 3.0}});
        first.track("left-2", {});
        ASSERT_TRUE(first.waitUntilIdle(kPatience));
        firstSession = store->string("com.example.quill.session_id").value_or("");
    }
    ASSERT_EQ(pendingNames(), (std::vector<std::string>{"left-1", "left-2"}));

    TelemetryService second(configuration());
    second.track("new", {});
    ASSERT_TRUE(second.waitUntilIdle(kPatience));

    EXPECT_EQ(postedNames(), (std::vector<std::string>{"left-1", "left-2", "new"}));
    const auto left = record(server.requests().at(0));
    // The event keeps its own identity and version; the sending run supplies app_id and run_context.
    EXPECT_EQ(left["session_id"], toLower(firstSession));
    EXPECT_EQ(left["app_version"], "1.3 (20)");
    EXPECT_EQ(left["app_id"], "code");
    EXPECT_EQ(left["run_context"], "test");
    EXPECT_EQ(left["event_data"]["whole"], 3.0);
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(TelemetryServiceTest, SkipsUnreadableRecordsAndMovesAnUnparsableFileAside) {
    const auto valid = [](const std::string& name) {
        return telemetry::Event{
            "3F2504E0-4F89-41D3-9A0C-0305E82C3301", "2026-01-02T03:04:05.678Z", "1.0 (1)", name, {}}
            .toJSON()
            .dump();
    };
    // One record lacks its data, one has a name that is not text: only those two are lost.
    folder.write(
        "Quillstart/pending-events.json",
        "[" + valid("kept-1") +
            R"(,{"sessionID":"x","clientTimestamp":"t","appVersion":"v","eventName":"no-data"},)" +
            R"({"sessionID":"x","clientTimestamp":"t","appVersion":"v","eventName":7,"eventData":{}},)" +
            valid("kept-2") + "]");
    {
        TelemetryService service(configuration());
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
    }
    EXPECT_EQ(postedNames(), (std::vector<std::string>{"kept-1", "kept-2"}));

    const std::string garbage = "[{\"sessionID\": truncated";
    folder.write("Quillstart/pending-events.json", garbage);
    {
        TelemetryService service(configuration());
        service.track("after", {});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
    }
    EXPECT_EQ(postedNames().back(), "after");
    auto aside = pendingFile();
    aside += ".corrupt";
    EXPECT_EQ(test::readFile(aside), garbage);
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(TelemetryServiceTest, StartsAndSendsWhenThePendingFileIsNoFile) {
    for (const test::NotAFile kind : test::kEveryNotAFile) {
        const auto sent = server.requests().size();
        folder.makeNotAFile("Quillstart/pending-events.json", kind);
        auto settings = configuration();
        settings.fs = std::make_shared<test::FencedFileSystem>(fs, folder.path());
        {
            TelemetryService service(settings);
            service.track("after", {});
            ASSERT_TRUE(service.waitUntilIdle(kPatience)) << toString(kind);
        }
        ASSERT_EQ(server.requests().size(), sent + 1) << toString(kind);
        EXPECT_EQ(postedNames().back(), "after");
    }
}

TEST_F(TelemetryServiceTest, KeepsOnlyTheNewestThousandEvents) {
    TelemetryService service(configuration(test::LoopbackServer::refusingURL(kPath)));
    const std::size_t total = TelemetryService::kMaxPendingEvents + 5;
    for (std::size_t i = 0; i < total; ++i)
        service.track("e" + std::to_string(i), {});
    ASSERT_TRUE(service.waitUntilIdle(60s));
    const auto names = pendingNames();
    ASSERT_EQ(names.size(), 1'000u);
    EXPECT_EQ(names.front(), "e5");
    EXPECT_EQ(names.back(), "e" + std::to_string(total - 1));
}

TEST_F(TelemetryServiceTest, DisabledQueuesNothingNewButStillPostsWhatAnEarlierRunLeft) {
    {
        TelemetryService earlier(configuration(test::LoopbackServer::refusingURL(kPath)));
        earlier.track("left", {});
        ASSERT_TRUE(earlier.waitUntilIdle(kPatience));
    }
    auto settings = configuration();
    settings.disabled = true;
    TelemetryService service(settings);
    service.track("while-disabled", {});
    ASSERT_TRUE(service.waitUntilIdle(kPatience));
    EXPECT_EQ(postedNames(), (std::vector<std::string>{"left"}));
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(TelemetryServiceTest, WithoutABackendNothingIsQueuedLoadedOrPosted) {
    {
        TelemetryService earlier(configuration(test::LoopbackServer::refusingURL(kPath)));
        earlier.track("left", {});
        ASSERT_TRUE(earlier.waitUntilIdle(kPatience));
    }
    const auto before = test::readFile(pendingFile());
    auto settings = configuration();
    settings.endpointURL.clear();
    TelemetryService service(settings);
    service.track("ignored", {});
    ASSERT_TRUE(service.waitUntilIdle(kPatience));
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(test::readFile(pendingFile()), before);
}

TEST_F(TelemetryServiceTest, KeepsAValidSessionIdentifierAndReplacesAnInvalidOne) {
    const std::string key = "com.example.quill.session_id";
    store->setString(key, "3f2504e0-4f89-41d3-9a0c-0305e82c3301");
    {
        TelemetryService service(configuration());
        service.track("one", {});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
    }
    EXPECT_EQ(record(server.requests().at(0))["session_id"], "3f2504e0-4f89-41d3-9a0c-0305e82c3301");

    store->setString(key, "not-a-uuid");
    {
        TelemetryService service(configuration());
        service.track("two", {});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));
    }
    const auto replaced = store->string(key).value_or("");
    ASSERT_TRUE(canonicalUUID(replaced));
    EXPECT_EQ(replaced, *canonicalUUID(replaced)) << "stored in upper case";
    EXPECT_EQ(record(server.requests().at(1))["session_id"], toLower(replaced));
}

TEST_F(TelemetryServiceTest, GoingAwayDuringAStalledPostNeitherBlocksNorLosesTheEvent) {
    server.reply(kPath, [] {
        auto reply = LoopbackReply::text("");
        reply.delayBeforeHeaders = 800ms;
        return reply;
    }());
    const auto started = std::chrono::steady_clock::now();
    {
        TelemetryService service(configuration());
        service.track("in-flight", {});
        ASSERT_TRUE(server.waitForRequests(1, kPatience));
        EXPECT_FALSE(service.waitUntilIdle(100ms)) << "a stalled post keeps the service busy";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 700ms);
    EXPECT_EQ(pendingNames(), (std::vector<std::string>{"in-flight"}));

    // The answer that arrives after the service went away still takes the event off the queue.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::filesystem::exists(pendingFile()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(std::filesystem::exists(pendingFile()));
}

TEST_F(TelemetryServiceTest, OnceClosingStopsPostingOnlyThePostInFlightEndsAndTheRestStayOnDisk) {
    struct Case {
        int status;  // the slow answer to the post in flight
        std::vector<std::string> left;
    };
    const Case cases[] = {{200, {"second", "third"}}, {500, {"first", "second", "third"}}};
    for (const auto& [status, left] : cases) {
        SCOPED_TRACE(status);
        test::TemporaryDirectory caseFolder;
        test::LoopbackServer caseServer;
        const auto file = caseFolder.path() / "Quillstart" / "pending-events.json";
        auto settings = configuration(caseServer.url(kPath));
        settings.pendingFileURL = file;
        caseServer.reply(kPath, [status] {
            auto reply = LoopbackReply::text("", status);
            reply.delayBeforeHeaders = 300ms;
            return reply;
        }());

        TelemetryService service(settings);
        service.track("first", {});
        service.track("second", {});
        ASSERT_TRUE(caseServer.waitForRequests(1, kPatience));
        service.stopPosting();
        service.track("third", {});
        ASSERT_TRUE(service.waitUntilIdle(kPatience));

        // Neither the next event nor a retry goes out once the answer is in.
        EXPECT_EQ(caseServer.requests().size(), 1u);
        std::vector<std::string> names;
        if (auto kept = telemetry::decodePendingFile(test::readFile(file))) {
            for (const auto& event : kept->events)
                names.push_back(event.eventName);
        }
        EXPECT_EQ(names, left);
    }
}

TEST(TelemetryServiceSettings, AcceptsHttpsOrLoopbackOriginsOnly) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"https://telemetry.example", "https://telemetry.example/api/database/records/usage_events"},
        {"https://telemetry.example/", "https://telemetry.example/api/database/records/usage_events"},
        {"https://telemetry.example:8443",
         "https://telemetry.example:8443/api/database/records/usage_events"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/api/database/records/usage_events"},
        {"http://127.9.8.7", "http://127.9.8.7/api/database/records/usage_events"},
        {"http://localhost:1234", "http://localhost:1234/api/database/records/usage_events"},
        {"http://[::1]:1234", "http://[::1]:1234/api/database/records/usage_events"},
        {"", std::nullopt},
        {"telemetry.example", std::nullopt},
        {"http://telemetry.example", std::nullopt},
        {"http://128.0.0.1", std::nullopt},
        {"http://127.0.0.1.attacker.example", std::nullopt},
        {"http://localhost.attacker.example", std::nullopt},
        {"http://127.0.0.1@attacker.example", std::nullopt},
        {"http://127.0.0.256", std::nullopt},
        {"ftp://127.0.0.1", std::nullopt},
        {"https://telemetry.example/elsewhere", std::nullopt},
    };
    for (const auto& [origin, endpoint] : cases) {
        EXPECT_EQ(TelemetryService::endpointFor(origin), endpoint) << origin;
    }
}

TEST(TelemetryServiceSettings, ReadsTheRunContextAndTheSwitchFromTheEnvironment) {
    auto product = ProductConfig::javaDiagnostic();
    product.appID = "code";
    const auto live = [&product] { return TelemetryService::Configuration::live(product, AppServices{}); };

    unsetenv("QUILL_RUN_CONTEXT");
    unsetenv("QUILL_TELEMETRY_DISABLED");
    EXPECT_EQ(live().runContext, "release");
    EXPECT_FALSE(live().disabled);

    setenv("QUILL_RUN_CONTEXT", "", 1);
    EXPECT_EQ(live().runContext, "");
    setenv("QUILL_RUN_CONTEXT", "ci", 1);
    EXPECT_EQ(live().runContext, "ci");

    for (const char* value : {"true", "yes", "0", " 1", ""}) {
        setenv("QUILL_TELEMETRY_DISABLED", value, 1);
        EXPECT_FALSE(live().disabled) << value;
    }
    setenv("QUILL_TELEMETRY_DISABLED", "1", 1);
    EXPECT_TRUE(live().disabled);
    unsetenv("QUILL_RUN_CONTEXT");
    unsetenv("QUILL_TELEMETRY_DISABLED");

    EXPECT_EQ(live().appID, "code");
    EXPECT_EQ(TelemetryService::Configuration::appVersionString("", ""), "0.0 (0)");
    EXPECT_EQ(TelemetryService::Configuration::appVersionString("1.4", "27"), "1.4 (27)");
}

TEST(TelemetryServiceSettings, PlacesThePendingFileInTheProductFolderOfTheApplicationData) {
    test::TemporaryDirectory folder;
    setenv("XDG_DATA_HOME", (folder.path() / "share").c_str(), 1);
    const LiveFileSystem fs;
    const auto applicationData = fs.userDirectory(UserDirectory::applicationSupport, IfMissing::create);
    ASSERT_TRUE(applicationData);
    EXPECT_EQ(TelemetryService::pendingFileURL(fs, "Quillstart"),
              *applicationData / "Quillstart" / "pending-events.json");
    unsetenv("XDG_DATA_HOME");

    // Without an application data folder: the temporary folder, and never a relative path.
    const test::ScriptedFileSystem noUserFolders;
    const char* savedTemporary = std::getenv("TMPDIR");
    const std::string restore = savedTemporary ? savedTemporary : "";
    setenv("TMPDIR", folder.path().c_str(), 1);
    EXPECT_EQ(TelemetryService::pendingFileURL(noUserFolders, "Quillstart"),
              folder.path() / "Quillstart" / "pending-events.json");
    setenv("TMPDIR", (folder.path() / "missing").c_str(), 1);
    EXPECT_TRUE(TelemetryService::pendingFileURL(noUserFolders, "Quillstart").is_absolute());
    if (savedTemporary) {
        setenv("TMPDIR", restore.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

using namespace std::chrono_literals;

TEST(TelemetryServiceShared, TakesTheProductThatIsCurrentWhenTheFirstEventIsSent) {
    if (!build::kTelemetryOrigin.empty())
        GTEST_SKIP() << "this build posts to a real backend";
    if (TelemetryService::sharedIfCreated())
        GTEST_SKIP() << "the shared service already exists in this process";

    auto first = ProductConfig::javaDiagnostic();
    first.appID = "first-product";
    ScopedProductConfig scoped(first);
    const auto started = std::chrono::steady_clock::now();
    TelemetryEvents::send("app_launched", {});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);

    auto* shared = TelemetryService::sharedIfCreated();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(&TelemetryService::shared(), shared);
    EXPECT_EQ(shared->configuration().appID, "first-product");
    EXPECT_TRUE(shared->configuration().endpointURL.empty()) << "a build without a backend sends nothing";

    auto later = ProductConfig::javaDiagnostic();
    later.appID = "later-product";
    ScopedProductConfig replaced(later);
    TelemetryEvents::send("app_launched", {});
    EXPECT_EQ(TelemetryService::shared().configuration().appID, "first-product");
    EXPECT_TRUE(shared->waitUntilIdle(5s));
}

}  // namespace
}  // namespace quill
