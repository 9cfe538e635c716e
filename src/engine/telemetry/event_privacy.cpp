#include "engine/telemetry/event_privacy.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/core/paths.h"
#include "engine/core/text.h"

namespace quill {

namespace {

constexpr std::size_t kVersionExcerptLimit = 200;
constexpr std::string_view kEncodedSlash = "%2F";

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

/// Whether `text` starts with `prefix`, ASCII letters in any case: a volume that ignores case takes
/// "/users/Dev" for "/Users/dev".
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return toAsciiUpper(a) == toAsciiUpper(b); });
}

/// `text` with every `from` replaced by `to`.
std::string replacingAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(from, start)) != std::string_view::npos; start = at + from.size())
        result.append(text.substr(start, at - start)).append(to);
    return result.append(text.substr(start));
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
    struct Target {
        std::string folder;    // the home folder as written in text
        std::string masked;    // what stands in its place
        bool encoded = false;  // "/" written "%2F" (a URL's query), kept as the text writes it
    };
    std::vector<Target> targets;
    if (!loginName.empty())
        targets.push_back({"/Users/" + std::string(loginName), "/Users/~"});
    while (homePath.size() > 1 && homePath.back() == '/')
        homePath.remove_suffix(1);
    if (homePath.size() > 1 && homePath.front() == '/' &&
        (targets.empty() || targets.front().folder != homePath)) {
        const auto parent = homePath.substr(0, homePath.rfind('/'));
        targets.push_back({std::string(homePath), std::string(parent) + "/~"});
    }
    for (std::size_t plain = targets.size(), t = 0; t < plain; ++t) {
        targets.push_back({replacingAll(targets[t].folder, "/", kEncodedSlash),
                           replacingAll(targets[t].masked, "/", kEncodedSlash), true});
    }

    std::string masked;
    masked.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& target : targets) {
            if (!startsWithIgnoringCase(text.substr(i), target.folder))
                continue;
            const auto end = i + target.folder.size();
            // "/Users/dev.old" is another folder, but "/Users/dev." ends a sentence about the home folder.
            auto next = end;
            while (next < text.size() && text[next] == '.')
                ++next;
            if (next < text.size() && continuesName(text[next]))
                continue;
            // The text's own spelling of the encoded "/" ("%2F" or "%2f") stays.
            masked += target.encoded
                          ? replacingAll(target.masked, kEncodedSlash, text.substr(i, kEncodedSlash.size()))
                          : target.masked;
            i = end;
            replaced = true;
            break;
        }
        if (!replaced)
            masked += text[i++];
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
