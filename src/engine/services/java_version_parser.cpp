#include "engine/services/java_version_parser.h"

#include <charconv>
#include <string>

namespace quill {

namespace {

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::optional<int> toInt(std::string_view digits) {
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

/// The run of digits starting at `pos` (possibly empty).
std::string_view digitsAt(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && isAsciiDigit(text[end]))
        ++end;
    return text.substr(pos, end - pos);
}

}  // namespace

std::optional<int> JavaVersionParser::majorVersion(std::string_view text) {
    constexpr std::string_view kWord = "version";
    for (std::size_t at = text.find(kWord); at != std::string_view::npos; at = text.find(kWord, at + 1)) {
        std::size_t pos = at + kWord.size();
        const std::size_t spacesStart = pos;
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
        if (pos == spacesStart || pos >= text.size() || text[pos] != '"')
            continue;
        const std::string_view major = digitsAt(text, pos + 1);
        if (major.empty())
            continue;

        const auto first = toInt(major);
        if (!first)
            return std::nullopt;
        if (*first != 1)
            return first;

        const std::size_t afterMajor = pos + 1 + major.size();
        if (afterMajor < text.size() && text[afterMajor] == '.') {
            const std::string_view minor = digitsAt(text, afterMajor + 1);
            if (!minor.empty()) {
                if (const auto second = toInt(minor))
                    return second;
            }
        }
        return 1;
    }
    return std::nullopt;
}

std::optional<int> JavaVersionParser::majorVersionOfBareVersion(std::string_view bareVersion) {
    std::string wrapped = "version \"";
    wrapped.append(bareVersion);
    wrapped.push_back('"');
    return majorVersion(wrapped);
}

}  // namespace quill
