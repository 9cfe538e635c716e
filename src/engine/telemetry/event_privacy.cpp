#include "engine/telemetry/event_privacy.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "engine/core/paths.h"
#include "engine/core/text.h"

namespace quill {

namespace {

constexpr std::size_t kVersionExcerptLimit = 200;

/// The login name of the current user, from the password database, else $USER.
std::string loginName() {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name)
        return entry->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

/// Whether `c` can be part of a login name (ASCII letters and digits, '.', '_', '-'): any other byte, every
/// byte of a non-ASCII character included, ends it.
bool continuesName(char c) {
    return isAsciiAlphanumeric(c) || c == '.' || c == '_' || c == '-';
}

/// Whether URL encoding leaves `c` as it is (letters, digits, "-", ".", "_", "~"): no encoder writes such a
/// byte as "%XX", so it stands only for itself.
bool keptByUrlEncoding(char c) {
    return isAsciiAlphanumeric(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

unsigned hexValue(char c) {
    return isAsciiDigit(c) ? static_cast<unsigned>(c - '0')
                           : static_cast<unsigned>(toAsciiUpper(c) - 'A' + 10);
}

/// How many bytes at the start of `text` spell the byte `c`: `c` itself (an ASCII letter in any case, as a
/// volume that ignores case takes "/users/Dev" for "/Users/dev"), or, for a byte that URL encoding changes,
/// its percent-encoding, encoded again any number of times ("%2F", "%2f", "%252F", "%25252F", …). 0 when
/// `text` does not start with it.
std::size_t spelling(std::string_view text, char c) {
    if (!keptByUrlEncoding(c) && text.starts_with('%')) {
        std::size_t at = 1;
        while (text.substr(at, 2) == "25")
            at += 2;
        if (at + 2 <= text.size() && isAsciiHexDigit(text[at]) && isAsciiHexDigit(text[at + 1]) &&
            hexValue(text[at]) * 16 + hexValue(text[at + 1]) == static_cast<unsigned char>(c))
            return at + 2;
        if (c == '%' && at > 1)  // the last "25" was the encoded "%" itself
            return at;
    }
    return !text.empty() && toAsciiUpper(text.front()) == toAsciiUpper(c) ? 1 : 0;
}

/// A home folder found at the start of a text: how many bytes it takes, and what stands in its place.
struct FolderMatch {
    std::size_t length = 0;
    std::string masked;
};

/// `folder` ("/Users/dev") at the start of `text`, each byte spelt as `spelling` allows, so that plain,
/// encoded, twice-encoded and half-encoded forms all match. Its place takes the folder's parent and "/~",
/// with the folder's own letter case and the text's own spelling of every encoded byte: "%2fusers%2FDEV"
/// becomes "%2fUsers%2F~", so a masked query still reads as one.
std::optional<FolderMatch> folderAt(std::string_view text, std::string_view folder) {
    const std::size_t nameStart = folder.rfind('/') + 1;
    FolderMatch match;
    for (std::size_t k = 0; k < folder.size(); ++k) {
        const std::size_t length = spelling(text.substr(match.length), folder[k]);
        if (length == 0)
            return std::nullopt;
        if (k < nameStart)
            match.masked += length == 1 ? std::string_view(&folder[k], 1) : text.substr(match.length, length);
        match.length += length;
    }
    match.masked += '~';
    return match;
}

}  // namespace

std::string versionExcerpt(std::string_view output) {
    std::vector<std::string> lines;
    for (auto& line : splitLines(output)) {
        if (!trimWhitespaceAndNewlines(line).empty())
            lines.push_back(std::move(line));
    }
    if (lines.empty())
        return {};
    const auto* chosen = &lines.front();
    for (const auto& line : lines) {
        if (line.find("version \"") != std::string::npos) {
            chosen = &line;
            break;
        }
    }
    return prefixGraphemes(maskHomeFolder(*chosen), kVersionExcerptLimit);
}

std::string maskHomeFolder(std::string_view path) {
    static const std::string login = loginName();
    static const std::string home = homeDirectoryPath().string();
    return maskHomeFolder(path, login, home);
}

std::string maskHomeFolder(std::string_view text, std::string_view loginName, std::string_view homePath) {
    std::vector<std::string> folders;
    if (!loginName.empty())
        folders.push_back("/Users/" + std::string(loginName));
    while (homePath.size() > 1 && homePath.back() == '/')
        homePath.remove_suffix(1);
    if (homePath.size() > 1 && homePath.front() == '/' && (folders.empty() || folders.front() != homePath))
        folders.emplace_back(homePath);

    std::string masked;
    masked.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::optional<FolderMatch> found;
        for (const auto& folder : folders) {
            found = folderAt(text.substr(i), folder);
            if (!found)
                continue;
            // "/Users/dev.old" is another folder, but "/Users/dev." ends a sentence about the home folder.
            auto next = i + found->length;
            while (next < text.size() && text[next] == '.')
                ++next;
            if (next < text.size() && continuesName(text[next])) {
                found.reset();
                continue;
            }
            break;
        }
        if (found) {
            masked += found->masked;
            i += found->length;
        } else {
            masked += text[i++];
        }
    }
    return masked;
}

std::int64_t roundedGigabytes(std::int64_t bytes) {
    constexpr std::uint64_t kGigabyte = 1'000'000'000;
    // Headroom can be negative; round the magnitude so that halves go away from zero on both sides.
    const std::uint64_t magnitude =
        bytes < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
    const auto rounded = static_cast<std::int64_t>((magnitude + kGigabyte / 2) / kGigabyte);
    return bytes < 0 ? -rounded : rounded;
}

double roundedToTenth(double value) {
    return std::round(value * 10) / 10;
}

JSONValue cleanedText(std::string_view text, std::size_t limit) {
    auto cleaned = prefixGraphemes(trimWhitespaceAndNewlines(maskHomeFolder(text)), limit);
    if (cleaned.empty())
        return JSONValue();
    return JSONValue(std::move(cleaned));
}

}  // namespace quill
