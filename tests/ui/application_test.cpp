#include <gtest/gtest.h>
#include <plist/plist.h>

#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/build_options.h"
#include "engine/core/property_list.h"
#include "engine/services/live_key_value_store.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/temporary_directory.h"
#include "tests/ui/ui_test_support.h"
#include "ui/app/application.h"
#include "ui/app/consent_view.h"
#include "ui/java/diagnose_view.h"
#include "ui/setupflow/setup_workflow_view.h"

namespace quill::ui {
namespace {

using test::visibleById;

/// One product the build can ship, as the build's own table names it.
struct BuildProduct {
    std::string name;
    std::string displayName;
    std::string bundleIdentifier;
};

/// The build's table: one "<name>|<display name>|<bundle identifier>" a line.
std::vector<BuildProduct> buildProducts() {
    std::vector<BuildProduct> products;
    const std::string table = quill::test::readFile(QUILL_PRODUCTS_TABLE);
    std::size_t start = 0;
    while (start < table.size()) {
        const auto end = std::min(table.find('\n', start), table.size());
        const std::string line = table.substr(start, end - start);
        const auto first = line.find('|');
        const auto second = line.find('|', first + 1);
        products.push_back(
            {line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
        start = end + 1;
    }
    return products;
}

TEST(ShippedProductTest, TheBuildsProductsAreTheEnginesConfigurations) {
    const auto products = buildProducts();
    ASSERT_EQ(products.size(), 5u);
    for (const auto& product : products) {
        SCOPED_TRACE(product.name);
        const auto* config = shippableProductConfig(product.name);
        ASSERT_NE(config, nullptr);
        EXPECT_EQ(config->displayName, product.displayName);
        EXPECT_EQ(config->userDefaultsPrefix, product.bundleIdentifier);
    }
    for (const char* unknown : {"", "Code", "java ", "tolvane"})
        EXPECT_EQ(shippableProductConfig(unknown), nullptr) << unknown;
}

TEST(ShippedProductTest, TheGeneratedInfoPlistNamesTheShippedProductAndThisBuild) {
    const std::string data = quill::test::readFile(QUILL_INFO_PLIST);
    const auto* shipped = shippableProductConfig(build::kProduct);
    ASSERT_NE(shipped, nullptr);
    const std::vector<std::pair<const char*, std::string>> texts = {
        {"CFBundleIdentifier", shipped->userDefaultsPrefix},
        {"CFBundleName", shipped->displayName},
        {"CFBundleDisplayName", shipped->displayName},
        {"CFBundleExecutable", "quillstart"},
        {"CFBundlePackageType", "APPL"},
        {"CFBundleShortVersionString", std::string(build::kAppVersion)},
        {"CFBundleVersion", std::string(build::kBuildNumber)},
        {"LSMinimumSystemVersion", QUILL_MINIMUM_MACOS},
    };
    for (const auto& [key, expected] : texts)
        EXPECT_EQ(propertyListText(data, {key}), expected) << key;

    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    ASSERT_NE(root, nullptr);
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);
    plist_t highResolution = plist_dict_get_item(root, "NSHighResolutionCapable");
    ASSERT_NE(highResolution, nullptr);
    ASSERT_EQ(plist_get_node_type(highResolution), PLIST_BOOLEAN);
    std::uint8_t value = 0;
    plist_get_bool_val(highResolution, &value);
    EXPECT_TRUE(value);
}

class ShippedProductWindowTest : public test::UiTest {};

TEST_F(ShippedProductWindowTest, EachProductOpensOnConsentThenItsWelcomeThenItsFlow) {
    for (const auto& product : buildProducts()) {
        SCOPED_TRACE(product.name);
        const auto* shipped = shippableProductConfig(product.name);
        ASSERT_NE(shipped, nullptr);
        ProductConfig::setCurrent(*shipped);

        // A fresh home: a settings store of its own, so nothing has been consented to yet.
        const quill::test::TemporaryDirectory home;
        RootViewOptions options;
        options.services = services;
        options.services.store = std::make_shared<const LiveKeyValueStore>(home.path());
        options.services.processRunner = std::make_shared<quill::test::FakeProcessRunner>();
        options.services.isFixtureMode = true;
        options.profile = SystemProfile{};
        options.urls = urls;
        options.clipboard = clipboard;
        const auto window = openMainWindow(std::move(options));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        auto* root = qobject_cast<QuillRootView*>(window->centralWidget());
        ASSERT_NE(root, nullptr);
        EXPECT_NE(qobject_cast<ConsentView*>(root->frontPage()), nullptr);
        EXPECT_EQ(window->windowTitle().toStdString(), product.displayName);

        QTest::mouseClick(visibleById<QPushButton>(window.get(), QStringLiteral("consent-continue")),
                          Qt::LeftButton);
        auto* start = visibleById<QPushButton>(window.get(), QStringLiteral("welcome-diagnose-button"));
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(test::shownText(start).toStdString(), shipped->copy.primaryCTA);
        test::saveGrab(window.get(), QString::fromStdString("welcome-" + product.name));

        QTest::mouseClick(start, Qt::LeftButton);
        if (product.name == "java")
            EXPECT_NE(qobject_cast<DiagnoseView*>(root->frontPage()), nullptr);
        else
            EXPECT_NE(qobject_cast<SetupWorkflowView*>(root->frontPage()), nullptr);
        test::saveGrab(window.get(), QString::fromStdString("flow-" + product.name));
    }
}

}  // namespace
}  // namespace quill::ui
