#include "engine/java/completion_surface.h"

#include <array>
#include <utility>

namespace quill {

namespace {

constexpr std::array<std::pair<BuildIntentSurface, std::string_view>, 3> kBuildIntentSurfaces = {{
    {BuildIntentSurface::postFix, "post_fix"},
    {BuildIntentSurface::modernHomeSet, "modern_home_set"},
    {BuildIntentSurface::noErrorsFound, "no_errors_found"},
}};

}  // namespace

std::string_view toRaw(BuildIntentSurface surface) {
    for (const auto& [value, raw] : kBuildIntentSurfaces) {
        if (value == surface)
            return raw;
    }
    return {};
}

std::optional<BuildIntentSurface> fromRawBuildIntentSurface(std::string_view raw) {
    for (const auto& [value, text] : kBuildIntentSurfaces) {
        if (text == raw)
            return value;
    }
    return std::nullopt;
}

}  // namespace quill
