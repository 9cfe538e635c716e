#include "engine/installers/adoptium_api.h"

#include <gtest/gtest.h>

#include "engine/services/live_http_fetcher.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/loopback_server.h"

namespace quill {
namespace {

using test::LoopbackReply;

std::string assetJSON(const std::string& installer, const std::string& release = "jdk-21.0.5+11") {
    return R"({"binary":{"os":"mac",)" + installer + R"(},"release_name":")" + release + R"(","vendor":"x"})";
}
std::string installerJSON(const std::string& link, const std::string& checksum) {
    return R"("installer":{"link":")" + link + R"(","checksum":")" + checksum +
           R"(","name":"OpenJDK21.pkg"})";
}

TEST(AdoptiumAPITest, TakesTheFirstAssetsInstallerAndChecksItsShape) {
    test::LoopbackServer server;
    const AdoptiumAPI api{std::make_shared<LiveHTTPFetcher>(), server.url("")};
    const std::string hex64(64, 'a');
    const std::string link = "https://github.com/adoptium/temurin21-binaries/OpenJDK21.pkg";
    const std::string good = "[" + assetJSON(installerJSON(link, std::string(64, 'A'))) + "]";

    struct Case {
        const char* name;
        LoopbackReply reply;
        std::string domain;  // empty: success
        int code = 0;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"complete, checksum in upper case", LoopbackReply::text(good), "", 0, ""},
        {"empty array", LoopbackReply::text("[]"), "AdoptiumAPI", 1,
         "No installer asset for Java 21 on aarch64"},
        {"first asset without installer",
         LoopbackReply::text("[" + assetJSON(R"("installer":null)") + "," +
                             assetJSON(installerJSON(link, hex64)) + "]"),
         "AdoptiumAPI", 1, "No installer asset for Java 21 on aarch64"},
        {"installer key missing", LoopbackReply::text("[" + assetJSON(R"("image_type":"jdk")") + "]"),
         "AdoptiumAPI", 1, "No installer asset for Java 21 on aarch64"},
        {"invalid link", LoopbackReply::text("[" + assetJSON(installerJSON("not a url", hex64)) + "]"),
         "AdoptiumAPI", 2, "Invalid installer URL from Adoptium"},
        {"63 characters",
         LoopbackReply::text("[" + assetJSON(installerJSON(link, std::string(63, 'b'))) + "]"), "AdoptiumAPI",
         3, "Unexpected checksum format from Adoptium (63 chars)"},
        {"65 characters",
         LoopbackReply::text("[" + assetJSON(installerJSON(link, std::string(65, 'b'))) + "]"), "AdoptiumAPI",
         3, "Unexpected checksum format from Adoptium (65 chars)"},
        {"206", LoopbackReply::text(good, 206), "HTTP", static_cast<int>(HTTPErrorCode::badServerResponse),
         ""},
        {"304", LoopbackReply::text("", 304), "HTTP", static_cast<int>(HTTPErrorCode::badServerResponse), ""},
        {"not an array", LoopbackReply::text(assetJSON(installerJSON(link, hex64))), "AdoptiumAPI.Decoding",
         1, ""},
        {"release name missing", LoopbackReply::text(R"([{"binary":{}}])"), "AdoptiumAPI.Decoding", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.reply("/v3/assets/latest/21/hotspot", c.reply);
        auto asset = api.latestAsset(21, "aarch64", {});
        if (c.domain.empty()) {
            ASSERT_TRUE(asset) << asset.error().message;
            EXPECT_EQ(*asset, (AdoptiumAPI::AssetMetadata{link, hex64, "OpenJDK21.pkg", "jdk-21.0.5+11"}));
            continue;
        }
        ASSERT_FALSE(asset);
        EXPECT_EQ(asset.error().domain, c.domain);
        EXPECT_EQ(asset.error().code, c.code);
        if (!c.message.empty()) {
            EXPECT_EQ(asset.error().message, c.message);
        }
    }

    const auto request = server.requests().front();
    EXPECT_EQ(request.target, "/v3/assets/latest/21/hotspot?architecture=aarch64&image_type=jdk&os=mac");
    EXPECT_EQ(request.header("Accept"), "application/json");
}

TEST(AdoptiumAPITest, HandsItsStopTokenToTheRequest) {
    auto http = std::make_shared<test::StallingHTTP>();
    const AdoptiumAPI api{http};
    std::stop_source stop;
    std::thread stopper([&] {
        test::eventually([&] { return http->calls() == 1; });
        stop.request_stop();
    });
    auto asset = api.latestAsset(17, "x64", stop.get_token());
    stopper.join();
    ASSERT_FALSE(asset);
    EXPECT_EQ(asset.error().code, static_cast<int>(HTTPErrorCode::cancelled));
}

}  // namespace
}  // namespace quill
