#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/java/inert_diagnosis_profile.h"
#include "engine/setup/product_config.h"

namespace quill {
namespace {

// Each test runs in a process of its own, so the first one really is the first use of the current value.
TEST(ProductConfigConcurrencyTest, FirstUseFromManyThreadsCreatesOneValue) {
    constexpr int kThreads = 8;
    std::atomic<int> ready = 0;
    std::vector<std::shared_ptr<const ProductConfig>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < kThreads) {
            }
            seen[i] = ProductConfig::current();
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& config : seen) {
        ASSERT_TRUE(config);
        EXPECT_EQ(config, seen.front());
        EXPECT_EQ(config->appID, "tvn-java");
    }
}

ProductURLs urlsAt(std::string base) {
    ProductURLs urls;
    urls.articleBase = std::move(base);
    return urls;
}

ProductConfig variant(const std::string& name) {
    ProductConfig config{
        .appID = name,
        .displayName = name + " display",
        .appSupportDirName = name,
        .userDefaultsPrefix = "com.example." + name,
        .shellConfigMarker = name,
        .cacheDirName = name,
        .copy = ProductCopy{"", "", std::nullopt},
        .urls = urlsAt("https://" + name + ".test"),
        .consent = ConsentCopy::standard(),
        .diagnosisProfile = std::make_shared<const InertDiagnosisProfile>(),
        .flow = SetupFlow::setupWorkflow,
    };
    config.spinePolicy.fallbackArticlePath = "/" + name;
    return config;
}

TEST(ProductConfigConcurrencyTest, ReadersAlwaysSeeOneWholeConfiguration) {
    const auto first = std::make_shared<const ProductConfig>(variant("first"));
    const auto second = std::make_shared<const ProductConfig>(variant("second"));
    ScopedProductConfig scope(first);

    constexpr int kReaders = 4;
    std::atomic<bool> stop = false;
    std::atomic<int> torn = 0;
    std::atomic<int> readersUnderWay = 0;
    std::vector<std::thread> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.emplace_back([&] {
            for (bool firstRead = true; !stop.load(); firstRead = false) {
                const auto snapshot = ProductConfig::current();
                // Every field of one snapshot belongs to the same product.
                if (snapshot->displayName != snapshot->appID + " display" ||
                    snapshot->spinePolicy.fallbackArticlePath != "/" + snapshot->appID ||
                    snapshot->urls.articleBase != "https://" + snapshot->appID + ".test") {
                    ++torn;
                }
                if (firstRead)
                    ++readersUnderWay;
            }
        });
    }
    // The writer starts only once every reader has read, so that the swaps really race with reads even
    // when the scheduler runs the writer to its end before a reader gets a core.
    std::thread writer([&] {
        while (readersUnderWay.load() < kReaders)
            std::this_thread::yield();
        for (int i = 0; i < 2'000; ++i) {
            ProductConfig::setCurrent(i % 2 == 0 ? second : first);
            if (i % 100 == 0)
                ProductConfig::setCurrent(variant("fresh" + std::to_string(i)));
        }
        stop = true;
    });
    writer.join();
    for (auto& reader : readers)
        reader.join();

    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace quill
