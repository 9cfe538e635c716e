#pragma once

#include <optional>
#include <vector>

#include "engine/setup/product_config.h"

namespace quill::products {

/// The command-line product: Command Line Tools, shell, Homebrew, Warp and Git first, the developer
/// environment after. Built once, on first use, from any thread; never changes afterwards.
const ProductConfig& cli();

/// The command-line product's render policy, which the Homebrew and coding products adapt.
const SpineRenderPolicy& commandLineSpinePolicy();

/// The applications the outcome screen offers to open: each installed AI app, editor, Warp and Markdown
/// editor of the profile, in a fixed order; none without a profile.
std::vector<SpineRenderPolicy::OpenableApp> commandLineOpenableApps(
    const std::optional<SystemProfile>& profile, const std::optional<SetupVerificationResult>& verification);

}  // namespace quill::products
