#include "engine/java/completion_surface.h"

#include "engine/core/raw_value_table.h"

namespace quill {

namespace {

constexpr detail::RawValueTable<BuildIntentSurface, 3> kBuildIntentSurfaces = {{
    {BuildIntentSurface::postFix, "post_fix"},
    {BuildIntentSurface::modernHomeSet, "modern_home_set"},
    {BuildIntentSurface::noErrorsFound, "no_errors_found"},
}};

}  // namespace

std::string_view toRaw(BuildIntentSurface surface) {
    return detail::rawValueOf(kBuildIntentSurfaces, surface);
}

std::optional<BuildIntentSurface> fromRawBuildIntentSurface(std::string_view raw) {
    return detail::valueOfRaw(kBuildIntentSurfaces, raw);
}

}  // namespace quill
