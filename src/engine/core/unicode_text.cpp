#include "engine/core/unicode_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace quill {

namespace {

bool isLineBreak(UChar32 c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::vector<std::string> nonEmptyLines(std::string_view text) {
    std::vector<std::string> lines;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t lineStart = 0;
    std::int32_t pos = 0;
    while (pos < length) {
        const std::int32_t start = pos;
        UChar32 c = 0;
        U8_NEXT(bytes, pos, length, c);
        if (!isLineBreak(c))
            continue;
        if (start > lineStart)
            lines.emplace_back(text.substr(static_cast<std::size_t>(lineStart),
                                           static_cast<std::size_t>(start - lineStart)));
        lineStart = pos;
    }
    if (length > lineStart)
        lines.emplace_back(text.substr(static_cast<std::size_t>(lineStart)));
    return lines;
}

bool startsWithNumber(std::string_view text) {
    if (text.empty())
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::int32_t pos = 0;
    UChar32 c = 0;
    U8_NEXT(bytes, pos, static_cast<std::int32_t>(text.size()), c);
    return c >= 0 && u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

}  // namespace quill
