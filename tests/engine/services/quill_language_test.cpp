#include "engine/services/quill_language.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(QuillLanguageTest, RawValuesAndNamesRoundTripInDeclarationOrder) {
    const std::array<std::string_view, 5> raws = {"python", "node", "java", "ruby", "rust"};
    const std::array<std::string_view, 5> names = {"Python", "JavaScript (Node)", "Java", "Ruby", "Rust"};
    for (std::size_t i = 0; i < kQuillLanguages.size(); ++i) {
        EXPECT_EQ(toRaw(kQuillLanguages[i]), raws[i]);
        EXPECT_EQ(displayName(kQuillLanguages[i]), names[i]);
        EXPECT_EQ(fromRawQuillLanguage(raws[i]), kQuillLanguages[i]);
    }
    EXPECT_EQ(fromRawQuillLanguage("Python"), std::nullopt);
    EXPECT_EQ(fromRawQuillLanguage("javascript"), std::nullopt);
    EXPECT_EQ(fromRawQuillLanguage(""), std::nullopt);
}

}  // namespace
}  // namespace quill
