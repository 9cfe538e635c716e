#include "engine/core/home_abbreviation.h"

namespace quill {

namespace {

/// Whether `text[at]` may start a path: the start of the text, or right after a separator.
bool startsPath(std::string_view text, std::size_t at) {
    if (at == 0)
        return true;
    const char before = text[at - 1];
    return before == ':' || before == ' ' || before == '=';
}

/// Whether a path that matched up to `end` ends there or continues below that folder.
bool endsComponent(std::string_view text, std::size_t end) {
    return end == text.size() || text[end] == '/' || text[end] == ':';
}

}  // namespace

std::string abbreviatingHome(std::string_view text, const std::filesystem::path& home) {
    std::string folder = home.string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    // An empty or root home would mask every absolute path; there is nothing personal to hide then.
    if (folder.size() <= 1)
        return std::string(text);

    std::string masked;
    std::size_t from = 0;
    for (std::size_t at = text.find(folder); at != std::string_view::npos; at = text.find(folder, at + 1)) {
        const std::size_t end = at + folder.size();
        if (at < from || !startsPath(text, at) || !endsComponent(text, end))
            continue;
        masked.append(text, from, at - from);
        masked += '~';
        from = end;
    }
    masked.append(text, from);
    return masked;
}

}  // namespace quill
