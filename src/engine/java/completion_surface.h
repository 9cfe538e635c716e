#pragma once

#include <optional>
#include <string_view>
#include <variant>

#include "engine/core/tagged_union.h"

namespace quill {

/// The surfaces on which the build-intent prompt is shown. The raw values reach telemetry.
enum class BuildIntentSurface {
    postFix,
    modernHomeSet,
    noErrorsFound,
};

std::string_view toRaw(BuildIntentSurface surface);
std::optional<BuildIntentSurface> fromRawBuildIntentSurface(std::string_view raw);

/// The cases of `CompletionSurface`.
struct CompletionSurfaceCases {
    struct Prompt {
        BuildIntentSurface surface = BuildIntentSurface::postFix;
        bool operator==(const Prompt&) const = default;
    };
    struct Excluded {
        bool operator==(const Excluded&) const = default;
    };
    using Case = std::variant<Prompt, Excluded>;
};

/// The completion screen that ends the system audit: with the build-intent prompt on a given surface, or
/// without it.
struct CompletionSurface : TaggedUnion<CompletionSurfaceCases> {
    using TaggedUnion::TaggedUnion;
};

}  // namespace quill
