#pragma once

#include "engine/setup/product_config.h"

namespace quill::products {

/// The Homebrew product: Command Line Tools, Homebrew and Warp first, the developer environment after. The
/// command-line product with its own identity, wording, links, workflow, verifier, screen texts and render
/// policy. Built once, on first use, from any thread; never changes afterwards.
const ProductConfig& brew();

/// The Homebrew product's render policy.
const SpineRenderPolicy& homebrewSpinePolicy();

}  // namespace quill::products
