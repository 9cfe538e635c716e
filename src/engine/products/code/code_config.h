#pragma once

#include "engine/setup/product_config.h"

namespace quill::products {

/// The coding product, which the application installs at start: the command-line product with its own
/// identity, wording, links, screen texts, experience question and larger readiness estimates. Built once,
/// on first use, from any thread; never changes afterwards.
const ProductConfig& code();

/// The coding product's render policy.
const SpineRenderPolicy& codeSpinePolicy();

}  // namespace quill::products
