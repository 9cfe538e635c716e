#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quill {

/// `text` with the home folder `home` replaced by "~" wherever a path in it starts with that folder (at the
/// start of the text or after ':', ' ' or '=') and ends there or goes on below it: with home "/Users/al",
/// "/Users/al/x" becomes "~/x" while "/Users/alice" stays. An empty or root home changes nothing.
std::string abbreviatingHome(std::string_view text, const std::filesystem::path& home);

}  // namespace quill
