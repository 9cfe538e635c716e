#include <gtest/gtest.h>

#include "engine/core/unicode_text.h"
#include "engine/core/web_address.h"

namespace quill {
namespace {

TEST(UnicodeTextTest, NonEmptyLinesSplitAtEveryLineBreak) {
    EXPECT_EQ(nonEmptyLines("a\nb\r\nc\rd\ve\ff\xC2\x85g\u2028h\u2029i"),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    EXPECT_EQ(nonEmptyLines("\n\n  \n\r\nx\n"), (std::vector<std::string>{"  ", "x"}));
    EXPECT_EQ(nonEmptyLines("caf\xC3\xA9\xE2\x80\xA9"), (std::vector<std::string>{"caf\xC3\xA9"}));
    EXPECT_TRUE(nonEmptyLines("").empty());
}

TEST(UnicodeTextTest, NumbersOfEveryScriptCount) {
    for (const char* number : {"7", "\u0663", "\u0967", "\u2167", "\u00BD", "\uFF19x"})
        EXPECT_TRUE(startsWithNumber(number)) << number;
    for (const char* text : {"", "v1", " 1", "-1", "\xFF", "\xE2\x80"})
        EXPECT_FALSE(startsWithNumber(text)) << text;
}

TEST(WebAddressTest, OnlyAbsoluteHttpAddressesPass) {
    for (const char* good :
         {"https://quillstart.example", "http://127.0.0.1:8080/a", "HTTPS://x.example/a%20b?q=1#f",
          "https://www.warp.dev/mac-terminal?utm_source=fernwick&utm_content=quill_cli", "http://[::1]:9/"})
        EXPECT_TRUE(isAbsoluteWebAddress(good)) << good;
    for (const char* bad :
         {"", "quillstart.example", "ftp://x.example", "https://", "https:///path", "https://x y",
          "https://x.example/a b", "https://x.example/%zz", "https://x.example/%2", "https://user@x.example",
          "https://x.example:", "https://x.example:99999", "https://-x.example", "javascript:alert(1)"})
        EXPECT_FALSE(isAbsoluteWebAddress(bad)) << bad;
    EXPECT_EQ(checkedWebAddress("https://x.example/a"), "https://x.example/a");
    EXPECT_DEATH((void)checkedWebAddress("not a link"), "not an absolute http");
}

}  // namespace
}  // namespace quill
