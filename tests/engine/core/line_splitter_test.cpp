#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/text.h"

namespace quill {
namespace {

std::vector<std::string> feedInPieces(const std::string& text, std::size_t pieceSize) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size(); pos += pieceSize) {
        for (auto& line : splitter.feed(std::string_view(text).substr(pos, pieceSize)))
            lines.push_back(line);
    }
    for (auto& line : splitter.finish())
        lines.push_back(line);
    return lines;
}

TEST(LineSplitterTest, FindsEveryKindOfTerminatorWhereverItFallsAndHoweverTheBytesArrive) {
    // Terminators at every offset within eight-byte words, mixed with a dash that shares the separators' lead
    // byte but ends no line.
    const std::string text =
        "a\nbb\r\nccc\rdddd\xE2\x80\xA8"
        "eeeee\xE2\x80\xA9"
        "ffffff — gg\n\nhhhhhhhhhhhhhhhhhh\r\n\r\niiiiiii—\xE2\x80\xA8jjjjjjjjj";
    const std::vector<std::string> expected = {"a",     "bb",          "ccc",      "dddd",
                                               "eeeee", "ffffff — gg", "",         "hhhhhhhhhhhhhhhhhh",
                                               "",      "iiiiiii—",    "jjjjjjjjj"};
    EXPECT_EQ(splitLines(text), expected);
    for (std::size_t piece = 1; piece <= text.size(); ++piece) {
        EXPECT_EQ(feedInPieces(text, piece), expected) << "pieces of " << piece;
    }

    for (std::size_t offset = 1; offset < 20; ++offset) {
        const std::string line(offset, 'x');
        EXPECT_EQ(splitLines(line + "\n" + line + "\r" + line), (std::vector<std::string>{line, line, line}));
    }
}

TEST(LineSplitterTest, ReplacesIllFormedBytesAfterLongPlainRuns) {
    for (std::size_t offset = 0; offset < 20; ++offset) {
        const std::string plain(offset, 'p');
        EXPECT_TRUE(isValidUtf8(plain + "é" + plain));
        EXPECT_FALSE(isValidUtf8(plain + "\xFF" + plain)) << offset;
        EXPECT_FALSE(isValidUtf8(plain + "\xE2\x80")) << offset;
        EXPECT_EQ(feedInPieces(plain + "\xC3" + plain + "\n", 7),
                  (std::vector<std::string>{plain + "\xEF\xBF\xBD" + plain}));
    }
}

TEST(LineSplitterTest, ALineLongerThanTheMaximumComesInPiecesCutBetweenCharacters) {
    constexpr std::size_t kMaximum = 8;
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    } rows[] = {
        {"at the maximum", "abcdefgh\nz", {"abcdefgh", "z"}},
        {"one past it", "abcdefghi\n", {"abcdefgh", "i"}},
        {"never ending", std::string(20, 'x'), {"xxxxxxxx", "xxxxxxxx", "xxxx"}},
        {"two-byte characters", "ééééé\r\n", {"éééé", "é"}},
        {"four-byte characters", "😀😀😀", {"😀😀", "😀"}},
        {"a character across the cut", "abcdefg—h\n", {"abcdefg", "—h"}},
        {"ill-formed bytes count as replaced",
         "\xFF\xFF\xFF"
         "ab\n",
         {replacement + replacement, replacement + "ab"}},
        {"a separator after a long run", "abcdefghij\xE2\x80\xA8k", {"abcdefgh", "ij", "k"}},
    };
    for (const auto& row : rows) {
        for (std::size_t piece = 1; piece <= row.text.size(); ++piece) {
            LineSplitter splitter(kMaximum);
            std::vector<std::string> lines;
            for (std::size_t pos = 0; pos < row.text.size(); pos += piece) {
                for (auto& line : splitter.feed(std::string_view(row.text).substr(pos, piece)))
                    lines.push_back(line);
            }
            for (auto& line : splitter.finish())
                lines.push_back(line);
            EXPECT_EQ(lines, row.lines) << row.name << ", pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace quill
