#include "engine/core/tagged_union.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <variant>

namespace quill {
namespace {

struct ReplyCases {
    struct Text {
        std::string body;
        bool operator==(const Text&) const = default;
    };
    struct Code {
        int number = 0;
        bool operator==(const Code&) const = default;
    };
    using Case = std::variant<Text, Code>;
};
struct Reply : TaggedUnion<ReplyCases> {
    using TaggedUnion::TaggedUnion;
};

// Only a case converts into the union: not what a case is made from, nor the bare variant.
static_assert(std::is_convertible_v<Reply::Text, Reply> && std::is_convertible_v<const Reply::Code&, Reply>);
static_assert(!std::is_constructible_v<Reply, std::string> && !std::is_constructible_v<Reply, int>);
static_assert(!std::is_constructible_v<Reply, Reply::Case> && !std::is_default_constructible_v<Reply>);

TEST(TaggedUnionTest, TellsItsCaseAndComparesCaseAndPayload) {
    const Reply text = Reply::Text{"hello"};
    EXPECT_TRUE(text.is<Reply::Text>() && !text.is<Reply::Code>());
    EXPECT_EQ(text.as<Reply::Code>(), nullptr);
    ASSERT_NE(text.as<Reply::Text>(), nullptr);
    EXPECT_EQ(text.as<Reply::Text>()->body, "hello");

    EXPECT_EQ(text, Reply::Text{"hello"});
    EXPECT_NE(text, Reply::Text{"bye"});
    EXPECT_NE(Reply(Reply::Code{0}), Reply(Reply::Text{}));
}

}  // namespace
}  // namespace quill
