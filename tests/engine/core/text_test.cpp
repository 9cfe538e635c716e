#include "engine/core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

using Lines = std::vector<std::string>;

TEST(TextTest, Utf8ValidationRejectsEveryIllFormedSequence) {
    for (std::string_view valid : {"", "plain ascii", "h\xC3\xA9llo", "\xE2\x80\x94", "\xF0\x9F\x98\x80",
                                   "\xED\x9F\xBF" /* U+D7FF, just below the surrogates */,
                                   "\xF4\x8F\xBF\xBF" /* U+10FFFF */, "\xEF\xBF\xBD"}) {
        EXPECT_TRUE(isValidUtf8(valid)) << valid;
    }
    const std::vector<std::string> invalid = {
        "\x80",              // lone continuation byte
        "a\xC3",             // truncated two-byte sequence
        "\xE2\x80",          // truncated three-byte sequence
        "\xC0\xAF",          // overlong '/'
        "\xC1\xBF",          // overlong
        "\xE0\x80\xAF",      // overlong three-byte
        "\xF0\x80\x80\xAF",  // overlong four-byte
        "\xED\xA0\x80",      // U+D800, a surrogate
        "\xED\xBF\xBF",      // U+DFFF, a surrogate
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xF5\x80\x80\x80",  // lead byte never used
        "\xFF",              //
        "\xC3\x28",          // continuation byte missing
        "\xE2\x28\xA1",      //
    };
    for (const auto& bytes : invalid)
        EXPECT_FALSE(isValidUtf8(bytes)) << testing::PrintToString(bytes);

    // Sanitising keeps what is valid and always yields valid text.
    EXPECT_EQ(sanitizeUtf8("h\xC3\xA9llo"), "h\xC3\xA9llo");
    for (const auto& bytes : invalid) {
        const std::string clean = sanitizeUtf8("<" + bytes + ">");
        EXPECT_TRUE(isValidUtf8(clean));
        EXPECT_TRUE(clean.starts_with("<") && clean.ends_with(">")) << clean;
        EXPECT_NE(clean.find("\xEF\xBF\xBD"), std::string::npos) << clean;
    }
}

TEST(TextTest, TrimRemovesAsciiAndUnicodeSpaceOnlyAtTheEnds) {
    EXPECT_EQ(trimWhitespaceAndNewlines(" \t\r\n x  y \n\v\f"), "x  y");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xC2\xA0\xE2\x80\x83"
                                        "abc"
                                        "\xE3\x80\x80\xE2\x80\xA8\xC2\x85"),
              "abc");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE2\x80\xAF"
                                        "a\xE2\x80\x89"
                                        "b\xE2\x81\x9F"),
              "a\xE2\x80\x89"
              "b");
    EXPECT_EQ(trimWhitespaceAndNewlines(" \xC3\xA9 "), "\xC3\xA9");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE2\x80\x8B"
                                        "x"),
              "\xE2\x80\x8B"
              "x")
        << "a zero-width space is not space";
    EXPECT_EQ(trimWhitespaceAndNewlines(" \n\xE2\x80\xA9 "), "");
    EXPECT_EQ(trimWhitespaceAndNewlines(""), "");
    // Ill-formed bytes are content, not space, and never read past the text.
    EXPECT_EQ(trimWhitespaceAndNewlines(" \xFF "), "\xFF");
    EXPECT_EQ(trimWhitespaceAndNewlines("x \xA0"), "x \xA0");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE2\x80"), "\xE2\x80");
}

TEST(TextTest, PrefixAndCountWorkInCodePoints) {
    EXPECT_EQ(prefixCodePoints("h\xC3\xA9llo", 2), "h\xC3\xA9");
    EXPECT_EQ(prefixCodePoints("a\xF0\x9F\x98\x80"
                               "b",
                               2),
              "a\xF0\x9F\x98\x80");
    EXPECT_EQ(prefixCodePoints("abc", 0), "");
    EXPECT_EQ(prefixCodePoints("abc", 10), "abc");
    EXPECT_EQ(prefixCodePoints("", 3), "");
    EXPECT_EQ(codePointCount("a\xF0\x9F\x98\x80\xE2\x80\x94\xC3\xA9"), 4u);
    EXPECT_EQ(codePointCount(""), 0u);
    // A truncated sequence at the end is never cut into or read past.
    EXPECT_EQ(prefixCodePoints("a\xE2\x80", 5), "a\xE2\x80");
}

TEST(TextTest, GraphemesCountWhatTheUserSeesAsOneCharacter) {
    // A family joined by zero-width joiners, a thumb with a skin-tone modifier, a flag, an e with a combining
    // accent and CR LF are one character each.
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";
    const std::string accented = "e\xCC\x81";
    struct Case {
        std::string text;
        std::size_t count;
        std::size_t limit;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {"", 0, 3, ""},
        {"abc", 3, 0, ""},
        {"abc", 3, 3, "abc"},
        {"abc", 3, 10, "abc"},
        {family + "x", 2, 1, family},
        {thumb + thumb, 2, 1, thumb},
        {flag + "a", 2, 1, flag},
        {accented + "z", 2, 1, accented},
        {"a\r\nb", 3, 2, "a\r\n"},
        // Ill-formed bytes count as U+FFFD and come out as it.
        {"a\x80"
         "b",
         3, 2, "a\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(graphemeCount(c.text), c.count) << c.text;
        EXPECT_EQ(prefixGraphemes(c.text, c.limit), c.prefix) << c.text << " / " << c.limit;
    }
    EXPECT_EQ(codePointCount(family), 5u);  // what the graphemes are not
}

TEST(TextTest, SplitLinesRecognisesEveryTerminator) {
    EXPECT_EQ(splitLines("a\nb\r\nc\rd\xE2\x80\xA8"
                         "e\xE2\x80\xA9"
                         "f"),
              (Lines{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(splitLines("one\n"), (Lines{"one"})) << "a final terminator makes no empty line";
    EXPECT_EQ(splitLines("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("\r\n"), (Lines{""}));
    EXPECT_EQ(splitLines("\r\r\n"), (Lines{"", ""}));
    EXPECT_EQ(splitLines("\n\r"), (Lines{"", ""}));
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("\xE2\x82\xAC\xE2\x80\xA8"), (Lines{"\xE2\x82\xAC"}))
        << "other E2 sequences are text";
    EXPECT_EQ(splitLines("bad\xFF\n"), (Lines{"bad\xEF\xBF\xBD"}));
}

TEST(TextTest, LineSplitterGivesTheSameLinesWhereverTheChunksBreak) {
    const std::string text =
        "first\r\nsecond\rthird\xE2\x80\xA8"
        "fourth\xE2\x80\xA9\xE2\x82\xAC"
        "fifth\n\r\n"
        "\xC3\xA9t\xC3\xA9\r";
    const Lines expected = splitLines(text);
    ASSERT_EQ(expected, (Lines{"first", "second", "third", "fourth",
                               "\xE2\x82\xAC"
                               "fifth",
                               "", "\xC3\xA9t\xC3\xA9"}));

    const auto run = [](const std::vector<std::string_view>& chunks) {
        LineSplitter splitter;
        Lines lines;
        for (auto chunk : chunks) {
            for (auto& line : splitter.feed(chunk))
                lines.push_back(std::move(line));
        }
        for (auto& line : splitter.finish())
            lines.push_back(std::move(line));
        return lines;
    };

    const std::string_view all(text);
    // Every break into two and three chunks, including inside CRLF and inside U+2028.
    for (std::size_t i = 0; i <= text.size(); ++i) {
        EXPECT_EQ(run({all.substr(0, i), all.substr(i)}), expected) << "break at " << i;
        for (std::size_t j = i; j <= text.size(); j += 3) {
            EXPECT_EQ(run({all.substr(0, i), all.substr(i, j - i), all.substr(j)}), expected)
                << "breaks at " << i << " and " << j;
        }
    }
    // One byte at a time.
    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < text.size(); ++i)
        bytes.push_back(all.substr(i, 1));
    EXPECT_EQ(run(bytes), expected);

    // A CR at the end of a chunk ends its line at once; the LF that follows belongs to it.
    LineSplitter splitter;
    EXPECT_EQ(splitter.feed("progress 50%\r"), (Lines{"progress 50%"}));
    EXPECT_EQ(splitter.feed("\nnext"), Lines{});
    EXPECT_EQ(splitter.finish(), (Lines{"next"}));

    // A multi-byte character split across chunks is kept whole, not replaced.
    LineSplitter split;
    EXPECT_EQ(split.feed("caf\xC3"), Lines{});
    EXPECT_EQ(split.feed("\xA9\n"), (Lines{"caf\xC3\xA9"}));
}

}  // namespace
}  // namespace quill
