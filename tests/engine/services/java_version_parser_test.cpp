#include "engine/services/java_version_parser.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(JavaVersionParserTest, ReadsTheMajorOfModernAndOldNumbering) {
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"21.0.2\""), 21);
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"17\""), 17);
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"1.8.0_392\""), 8);
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"1\""), 1);
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"1.\""), 1);
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"021\""), 21);
}

TEST(JavaVersionParserTest, FindsTheVersionInsideABanner) {
    const char* banner =
        "openjdk version \"21.0.2\" 2024-01-16 LTS\n"
        "OpenJDK Runtime Environment Temurin-21.0.2+13 (build 21.0.2+13-LTS)\n"
        "OpenJDK 64-Bit Server VM Temurin-21.0.2+13 (build 21.0.2+13-LTS, mixed mode)\n";
    EXPECT_EQ(JavaVersionParser::majorVersion(banner), 21);
    // The first usable match wins, even when a later one would parse too.
    EXPECT_EQ(JavaVersionParser::majorVersion("versions: version \"x\" version\t\"11.0.1\" version \"17\""),
              11);
}

TEST(JavaVersionParserTest, NeedsWhitespaceAQuoteAndDigits) {
    EXPECT_EQ(JavaVersionParser::majorVersion("version\"21\""), std::nullopt);
    EXPECT_EQ(JavaVersionParser::majorVersion("version 21"), std::nullopt);
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"abc\""), std::nullopt);
    EXPECT_EQ(JavaVersionParser::majorVersion("Version \"21\""), std::nullopt);
    EXPECT_EQ(JavaVersionParser::majorVersion(""), std::nullopt);
}

TEST(JavaVersionParserTest, NumbersTooLargeForAnIntGiveNoMajor) {
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"99999999999999999999\""), std::nullopt);
    // In the 1.x numbering an unreadable second number falls back to 1.
    EXPECT_EQ(JavaVersionParser::majorVersion("version \"1.99999999999999999999\""), 1);
}

TEST(JavaVersionParserTest, WrapsABareVersion) {
    EXPECT_EQ(JavaVersionParser::majorVersionOfBareVersion("21.0.2"), 21);
    EXPECT_EQ(JavaVersionParser::majorVersionOfBareVersion("1.8.0_392"), 8);
    EXPECT_EQ(JavaVersionParser::majorVersionOfBareVersion("abc"), std::nullopt);
    EXPECT_EQ(JavaVersionParser::majorVersionOfBareVersion(""), std::nullopt);
}

}  // namespace
}  // namespace quill
