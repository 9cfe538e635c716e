#pragma once

#include <optional>
#include <string_view>
#include <variant>

namespace quill {

/// The surfaces on which the build-intent prompt is shown. The raw values reach telemetry.
enum class BuildIntentSurface {
    postFix,
    modernHomeSet,
    noErrorsFound,
};

std::string_view toRaw(BuildIntentSurface surface);
std::optional<BuildIntentSurface> fromRawBuildIntentSurface(std::string_view raw);

/// The completion screen that ends the system audit: with the build-intent prompt on a given surface, or
/// without it.
struct CompletionSurface {
    struct Prompt {
        BuildIntentSurface surface = BuildIntentSurface::postFix;
        bool operator==(const Prompt&) const = default;
    };
    struct Excluded {
        bool operator==(const Excluded&) const = default;
    };
    using Case = std::variant<Prompt, Excluded>;

    Case value;

    CompletionSurface(Prompt prompt) : value(prompt) {}        // NOLINT: implicit by design
    CompletionSurface(Excluded excluded) : value(excluded) {}  // NOLINT: implicit by design

    bool operator==(const CompletionSurface&) const = default;
};

}  // namespace quill
