#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

/// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// `bytes` with every ill-formed sequence replaced by U+FFFD.
std::string sanitizeUtf8(std::string_view bytes);

/// `text` without leading and trailing white space and newlines (ASCII and the Unicode space separators,
/// U+0085, U+2028 and U+2029).
std::string trimWhitespaceAndNewlines(std::string_view text);

/// `text` without leading and trailing spaces and tabs (the trim of key=value and listing lines).
std::string_view trimSpacesAndTabs(std::string_view text);

/// The first `count` code points of a UTF-8 text (the whole text when it is shorter).
std::string prefixCodePoints(std::string_view text, std::size_t count);

/// The number of code points of a UTF-8 text.
std::size_t codePointCount(std::string_view text);

/// The number of user-perceived characters (extended grapheme clusters) of a UTF-8 text: an emoji made of
/// several code points joined by modifiers or zero-width joiners counts once. Ill-formed bytes count as
/// U+FFFD. Every limit the user sees or an event applies to free text counts this way.
std::size_t graphemeCount(std::string_view text);

/// The first `count` user-perceived characters of a UTF-8 text (the whole text when it is shorter), never
/// splitting a character; ill-formed bytes come out as U+FFFD.
std::string prefixGraphemes(std::string_view text, std::size_t count);

/// Splits text into lines at LF, CRLF, a lone CR, U+2028 and U+2029. Terminators are dropped; a final
/// terminator does not make an empty last line.
std::vector<std::string> splitLines(std::string_view text);

/// Splits a byte stream into lines by the same rule as `splitLines`, as the bytes arrive. Lines come out as
/// valid UTF-8 (ill-formed bytes become U+FFFD). A line longer than the maximum comes out in pieces of at
/// most that many bytes, cut between characters, as soon as its bytes arrive; so a stream without line
/// breaks never piles up.
class LineSplitter {
  public:
    /// `maximumLineSize` counts the bytes handed out (replacements included); at least 4.
    explicit LineSplitter(std::size_t maximumLineSize = std::numeric_limits<std::size_t>::max())
        : m_maximumLineSize(maximumLineSize) {}

    /// Adds bytes and returns the lines they complete.
    std::vector<std::string> feed(std::string_view bytes);
    /// Ends the input: returns the unterminated last line, if any.
    std::vector<std::string> finish();

  private:
    /// Adds `bytes` (one line, or the first part of one) to `lines`, in pieces when it is too long.
    void handOut(std::string_view bytes, std::vector<std::string>& lines) const;

    std::size_t m_maximumLineSize;
    std::string m_buffer;
    std::size_t m_scanned = 0;
    bool m_pendingCR = false;
};

/// Whether `part` occurs in `text` (std::string_view gains `contains` only in C++23).
bool contains(std::string_view text, std::string_view part);
/// Whether `text` ends with a line feed of its own: a CR LF pair counts as one line end that is no line feed,
/// so text ending in "\r\n" does not end with a line feed (the separators of appended blocks rely on this).
bool endsWithLineFeed(std::string_view text);
std::string toLower(std::string_view text);

// ASCII character classes by ranges. <cctype> follows the C locale, which the application takes from the
// environment, so a byte >= 0x80 could count as a letter there; here every such byte is data.
constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isAsciiAlphanumeric(char c) {
    return isAsciiDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool isAsciiHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
constexpr char toAsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string join(const std::vector<std::string>& parts, std::string_view separator);

}  // namespace quill
