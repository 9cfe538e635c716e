#include "engine/products/product_strategies.h"

#include "engine/products/claude/claude_setup_prober.h"
#include "engine/products/claude/claude_spine_copy.h"
#include "engine/products/claude/claude_spine_provider.h"
#include "engine/products/claude/claude_verifier.h"

namespace quill::products {

ProductStrategies productStrategies(const ProductConfig& config) {
    ProductStrategies strategies{config.prober, config.spineProvider, config.spineCopy, config.verifier};
    if (!strategies.prober)
        strategies.prober = std::make_shared<const ClaudeSetupProber>();
    if (!strategies.spineProvider)
        strategies.spineProvider = std::make_shared<const ClaudeSpineProvider>();
    if (!strategies.spineCopy)
        strategies.spineCopy = std::make_shared<const ClaudeSpineCopyProvider>();
    if (!strategies.verifier)
        strategies.verifier = std::make_shared<const ClaudeSetupVerifier>();
    return strategies;
}

}  // namespace quill::products
