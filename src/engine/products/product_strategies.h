#pragma once

#include <memory>

#include "engine/setup/product_config.h"

namespace quill::products {

/// The four strategies the setup flow runs a product with. Each is set: where the product leaves one
/// unset, the Claude Code product's stands in.
struct ProductStrategies {
    std::shared_ptr<const SetupProber> prober;
    std::shared_ptr<const SpineProvider> spineProvider;
    std::shared_ptr<const SpineCopyProviding> spineCopy;
    std::shared_ptr<const SetupVerifier> verifier;
};

/// The strategies of `config`, with the Claude Code prober, provider, texts and verifier for the ones it
/// leaves unset. Thread-safe.
ProductStrategies productStrategies(const ProductConfig& config);

}  // namespace quill::products
