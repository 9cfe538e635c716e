#include <gtest/gtest.h>
#include <plist/plist.h>

#include <QPushButton>
#include <QTest>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/build_options.h"
#include "engine/core/plist_from_memory.h"
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

/// The build's table of products it can ship: name, display name and bundle identifier, one per line.
std::vector<std::vector<std::string>> buildProducts() {
    std::vector<std::vector<std::string>> products;
    std::istringstream table(quill::test::readFile(QUILL_PRODUCTS_TABLE));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        auto& row = products.emplace_back();
        for (std::string field; std::getline(fields, field, '|');)
            row.push_back(field);
    }
    return products;
}

TEST(ShippedProductTest, TheBuildsProductsAreTheEnginesConfigurations) {
    const auto products = buildProducts();
    ASSERT_EQ(products.size(), 5u);
    for (const auto& product : products) {
        ASSERT_EQ(product.size(), 3u);
        const auto* config = shippableProductConfig(product[0]);
        ASSERT_NE(config, nullptr) << product[0];
        EXPECT_EQ((std::vector{product[0], config->displayName, config->userDefaultsPrefix}), product);
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
        {"NSPrincipalClass", "NSApplication"},
        {"NSDocumentsFolderUsageDescription",
         "The app looks for its example projects in your Documents folder, and copies them there when you "
         "ask."},
    };
    for (const auto& [key, expected] : texts)
        EXPECT_EQ(propertyListText(data, {key}), expected) << key;

    plist_t root = nullptr;
    plistFromMemory(&plist_from_memory, data.data(), static_cast<std::uint32_t>(data.size()), &root);
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
        const std::string& name = product.at(0);
        SCOPED_TRACE(name);
        const auto* shipped = shippableProductConfig(name);
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
        EXPECT_EQ(window->windowTitle().toStdString(), shipped->displayName);

        QTest::mouseClick(visibleById<QPushButton>(window.get(), QStringLiteral("consent-continue")),
                          Qt::LeftButton);
        auto* start = visibleById<QPushButton>(window.get(), QStringLiteral("welcome-diagnose-button"));
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(test::shownText(start).toStdString(), shipped->copy.primaryCTA);
        test::saveGrab(window.get(), QString::fromStdString("welcome-" + name));

        QTest::mouseClick(start, Qt::LeftButton);
        if (name == "java")
            EXPECT_NE(qobject_cast<DiagnoseView*>(root->frontPage()), nullptr);
        else
            EXPECT_NE(qobject_cast<SetupWorkflowView*>(root->frontPage()), nullptr);
        test::saveGrab(window.get(), QString::fromStdString("flow-" + name));
    }
}

}  // namespace
}  // namespace quill::ui
