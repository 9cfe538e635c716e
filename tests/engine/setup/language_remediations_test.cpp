#include "engine/setup/language_remediations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

std::vector<std::string> ids(const std::set<QuillLanguage>& languages) {
    std::vector<std::string> result;
    for (const auto& fix : remediations(languages))
        result.push_back(fix.id());
    return result;
}

using L = QuillLanguage;
using Ids = std::vector<std::string>;

TEST(LanguageRemediationsTest, MiseComesInOnlyWhenALanguageNeedsIt) {
    EXPECT_EQ(ids({}), Ids{});
    EXPECT_EQ(ids({L::python}), Ids{"uv"});
    EXPECT_EQ(ids({L::java}), Ids{"brew:temurin"});
    EXPECT_EQ(ids({L::rust}), Ids{"rustup"});
    EXPECT_EQ(ids({L::node}), (Ids{"brew:mise", "mise:node@lts"}));
    EXPECT_EQ(ids({L::ruby}), (Ids{"brew:mise", "mise:ruby@latest"}));
    // Two languages need mise even when neither installs through it, and then Rust goes through it too.
    EXPECT_EQ(ids({L::python, L::java}), (Ids{"uv", "brew:mise", "brew:temurin"}));
    EXPECT_EQ(ids({L::python, L::rust}), (Ids{"uv", "brew:mise", "mise:rust"}));
    EXPECT_EQ(ids({L::java, L::node}), (Ids{"brew:mise", "mise:node@lts", "brew:temurin"}));
}

TEST(LanguageRemediationsTest, EveryLanguageFollowsTheFixedOrder) {
    EXPECT_EQ(ids({L::rust, L::ruby, L::java, L::node, L::python}),
              (Ids{"uv", "brew:mise", "mise:node@lts", "mise:ruby@latest", "brew:temurin", "mise:rust"}));
}

}  // namespace
}  // namespace quill
