#include "engine/core/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include <unicode/ubrk.h>
#include <unicode/utext.h>

namespace quill {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

/// Length of the well-formed UTF-8 sequence at `pos`, or 0 when it is ill-formed.
std::size_t sequenceLength(std::string_view s, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > s.size())
        return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF)
            return 0;
    }
    return length;
}

char32_t decodeAt(std::string_view s, std::size_t pos, std::size_t length) {
    const auto byte = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(s[pos + i]));
    };
    switch (length) {
        case 1:
            return byte(0);
        case 2:
            return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        case 3:
            return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        default:
            return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
                   (byte(3) & 0x3F);
    }
}

bool isWhitespaceOrNewline(char32_t c) {
    if (c == ' ' || (c >= 0x09 && c <= 0x0D))
        return true;
    constexpr std::array<char32_t, 7> kOthers = {0x85, 0xA0, 0x1680, 0x2028, 0x2029, 0x202F, 0x205F};
    if (std::find(kOthers.begin(), kOthers.end(), c) != kOthers.end())
        return true;
    return (c >= 0x2000 && c <= 0x200A) || c == 0x3000;
}

/// Length of the line terminator at `pos`: 1 for LF or CR, 2 for CRLF, 3 for U+2028/U+2029, 0 for none.
/// CR at the end of `s` counts as a lone CR.
std::size_t terminatorAt(std::string_view s, std::size_t pos) {
    const char c = s[pos];
    if (c == '\n')
        return 1;
    if (c == '\r')
        return (pos + 1 < s.size() && s[pos + 1] == '\n') ? 2 : 1;
    if (c == '\xE2' && pos + 2 < s.size() && s[pos + 1] == '\x80' &&
        (s[pos + 2] == '\xA8' || s[pos + 2] == '\xA9')) {
        return 3;
    }
    return 0;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

/// Whether any byte of `v` equals `c`.
bool hasByte(std::uint64_t v, unsigned char c) {
    const std::uint64_t x = v ^ (kOnes * c);
    return ((x - kOnes) & ~x & kHighBits) != 0;
}

/// The position of the next byte at or after `pos` that may begin a line terminator (LF, CR, or the lead byte
/// of U+2028/U+2029), or `s.size()`. Skips eight bytes at a time: long output is mostly plain text.
std::size_t nextTerminatorCandidate(std::string_view s, std::size_t pos) {
    while (pos + 8 <= s.size()) {
        const std::uint64_t v = load8(s.data() + pos);
        if (hasByte(v, '\n') || hasByte(v, '\r') || hasByte(v, 0xE2))
            break;
        pos += 8;
    }
    while (pos < s.size() && s[pos] != '\n' && s[pos] != '\r' && s[pos] != '\xE2')
        ++pos;
    return pos;
}

/// The character (grapheme cluster) break iterator of this thread, made once per thread because opening one
/// loads its rules; null when ICU has no data for it.
UBreakIterator* characterBreaks() {
    struct Closer {
        void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
    };
    thread_local const std::unique_ptr<UBreakIterator, Closer> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        return std::unique_ptr<UBreakIterator, Closer>(U_SUCCESS(status) ? opened : nullptr);
    }();
    return iterator.get();
}

struct GraphemeWalk {
    std::size_t count = 0;  // characters walked
    std::size_t end = 0;    // byte offset after the last of them
};

/// Walks at most `limit` user-perceived characters of well-formed UTF-8. Without ICU's data it falls back to
/// code points, which only ever counts more, never lets more through.
GraphemeWalk walkGraphemes(std::string_view text, std::size_t limit) {
    GraphemeWalk walk;
    if (text.empty() || limit == 0)
        return walk;
    UErrorCode status = U_ZERO_ERROR;
    struct TextCloser {
        void operator()(UText* ut) const { utext_close(ut); }
    };
    const std::unique_ptr<UText, TextCloser> ut(
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status));
    UBreakIterator* iterator = characterBreaks();
    if (iterator != nullptr && U_SUCCESS(status))
        ubrk_setUText(iterator, ut.get(), &status);
    if (iterator == nullptr || U_FAILURE(status)) {
        while (walk.count < limit && walk.end < text.size()) {
            walk.end += std::max<std::size_t>(1, sequenceLength(text, walk.end));
            ++walk.count;
        }
        return walk;
    }
    // The iterator reports native indexes, which for a UTF-8 text are byte offsets.
    for (std::int32_t pos = ubrk_next(iterator); pos != UBRK_DONE && walk.count < limit;
         pos = ubrk_next(iterator)) {
        ++walk.count;
        walk.end = static_cast<std::size_t>(pos);
    }
    return walk;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        // Runs of ASCII need no decoding.
        while (pos + 8 <= bytes.size() && (load8(bytes.data() + pos) & kHighBits) == 0)
            pos += 8;
        if (pos == bytes.size())
            break;
        const std::size_t length = sequenceLength(bytes, pos);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

namespace {

/// How many bytes from the start of `bytes` make at most `limit` bytes once ill-formed bytes are replaced,
/// ending between characters; at least one.
std::size_t pieceLength(std::string_view bytes, std::size_t limit) {
    std::size_t produced = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t length = sequenceLength(bytes, pos);
        const std::size_t out = length == 0 ? kReplacement.size() : length;
        if (produced + out > limit)
            break;
        produced += out;
        pos += length == 0 ? 1 : length;
    }
    return std::max<std::size_t>(pos, 1);
}

}  // namespace

std::string sanitizeUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, pos);
        if (length == 0) {
            out += kReplacement;
            ++pos;
        } else {
            out.append(bytes.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    // Leading: decode forwards.
    while (begin < end) {
        const std::size_t length = sequenceLength(text, begin);
        if (length == 0 || !isWhitespaceOrNewline(decodeAt(text, begin, length)))
            break;
        begin += length;
    }
    // Trailing: step back to the start of each code point.
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            --start;
        const std::size_t length = sequenceLength(text, start);
        if (length != end - start || !isWhitespaceOrNewline(decodeAt(text, start, length)))
            break;
        end = start;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string_view trimSpacesAndTabs(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string prefixCodePoints(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < count && pos < text.size(); ++taken) {
        pos += std::max<std::size_t>(1, sequenceLength(text, pos));
    }
    return std::string(text.substr(0, pos));
}

std::size_t codePointCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count)
        pos += std::max<std::size_t>(1, sequenceLength(text, pos));
    return count;
}

std::size_t graphemeCount(std::string_view text) {
    if (isValidUtf8(text))
        return walkGraphemes(text, std::numeric_limits<std::size_t>::max()).count;
    return walkGraphemes(sanitizeUtf8(text), std::numeric_limits<std::size_t>::max()).count;
}

std::string prefixGraphemes(std::string_view text, std::size_t count) {
    std::string valid = isValidUtf8(text) ? std::string(text) : sanitizeUtf8(text);
    valid.resize(walkGraphemes(valid, count).end);
    return valid;
}

std::vector<std::string> splitLines(std::string_view text) {
    LineSplitter splitter;
    auto lines = splitter.feed(text);
    for (auto& last : splitter.finish())
        lines.push_back(std::move(last));
    return lines;
}

std::vector<std::string> LineSplitter::feed(std::string_view bytes) {
    std::vector<std::string> lines;
    if (bytes.empty())
        return lines;
    std::size_t start = 0;
    if (m_pendingCR) {
        // A CR ended the previous chunk: it was a line end; swallow the LF of a CRLF split across chunks.
        m_pendingCR = false;
        if (bytes.front() == '\n')
            start = 1;
    }
    m_buffer.append(bytes.substr(start));
    const std::string_view buffer = m_buffer;
    std::size_t lineStart = 0;
    std::size_t pos = m_scanned;
    while (pos < buffer.size()) {
        pos = nextTerminatorCandidate(buffer, pos);
        if (pos == buffer.size())
            break;
        const char c = buffer[pos];
        if (c == '\xE2' && pos + 2 >= buffer.size())
            break;  // a separator may be split across chunks
        if (c == '\r' && pos + 1 == buffer.size()) {
            handOut(buffer.substr(lineStart, pos - lineStart), lines);
            m_pendingCR = true;
            lineStart = pos = buffer.size();
            break;
        }
        const std::size_t terminator = terminatorAt(buffer, pos);
        if (terminator == 0) {
            ++pos;
            continue;
        }
        handOut(buffer.substr(lineStart, pos - lineStart), lines);
        pos += terminator;
        lineStart = pos;
    }
    // The start of a line too long to wait for goes out now. Each piece ends well before the bytes the next
    // chunk could still make into a character (the longest takes four) or a separator, so every character a
    // piece holds is complete.
    std::size_t cut = lineStart;
    if (m_maximumLineSize != std::numeric_limits<std::size_t>::max()) {
        const std::size_t undecided = buffer.size() - pos + 3;
        std::string_view rest = buffer.substr(lineStart);
        while (rest.size() > m_maximumLineSize + undecided) {
            const std::size_t piece = pieceLength(rest, m_maximumLineSize);
            lines.push_back(sanitizeUtf8(rest.substr(0, piece)));
            rest.remove_prefix(piece);
            cut += piece;
        }
    }
    m_buffer.erase(0, cut);
    m_scanned = pos - cut;
    return lines;
}

void LineSplitter::handOut(std::string_view bytes, std::vector<std::string>& lines) const {
    if (bytes.size() <= m_maximumLineSize / kReplacement.size()) {
        lines.push_back(sanitizeUtf8(bytes));
        return;
    }
    do {
        const std::size_t piece = pieceLength(bytes, m_maximumLineSize);
        lines.push_back(sanitizeUtf8(bytes.substr(0, piece)));
        bytes.remove_prefix(piece);
    } while (!bytes.empty());
}

std::vector<std::string> LineSplitter::finish() {
    std::vector<std::string> lines;
    m_pendingCR = false;
    if (!m_buffer.empty())
        handOut(m_buffer, lines);
    m_buffer.clear();
    m_scanned = 0;
    return lines;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}
bool endsWithLineFeed(std::string_view text) {
    return text.ends_with('\n') && !text.ends_with("\r\n");
}

std::string toLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += separator;
        out += parts[i];
    }
    return out;
}

}  // namespace quill
