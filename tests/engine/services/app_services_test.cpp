#include "engine/services/app_services.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(AppServicesTest, LiveBundleIsCompleteSharedAndNotFixtureMode) {
    const AppServices& first = AppServices::live();
    ASSERT_NE(first.processRunner, nullptr);
    ASSERT_NE(first.http, nullptr);
    ASSERT_NE(first.fs, nullptr);
    ASSERT_NE(first.store, nullptr);
    EXPECT_FALSE(first.isFixtureMode);

    // Copies share the same live services.
    const AppServices copy = AppServices::live();
    EXPECT_EQ(copy.processRunner, first.processRunner);
    EXPECT_EQ(copy.store, first.store);
    EXPECT_EQ(&AppServices::live(), &first);
}

}  // namespace
}  // namespace quill
