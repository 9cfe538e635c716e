#include "ui/app/application.h"

#include <array>
#include <utility>

#include "engine/core/build_options.h"
#include "engine/products/brew/brew_config.h"
#include "engine/products/claude/claude_config.h"
#include "engine/products/cli/cli_config.h"
#include "engine/products/code/code_config.h"
#include "engine/setup/product_config.h"

namespace quill::ui {

const ProductConfig* shippableProductConfig(std::string_view name) {
    using Builder = const ProductConfig& (*)();
    static constexpr std::array<std::pair<std::string_view, Builder>, 5> kProducts{{
        {"code", &products::code},
        {"cli", &products::cli},
        {"brew", &products::brew},
        {"claude", &products::claude},
        {"java", &ProductConfig::javaDiagnostic},
    }};
    for (const auto& [productName, build] : kProducts) {
        if (productName == name)
            return &build();
    }
    return nullptr;
}

void installShippedProductConfig() {
    // The build refuses any other name, so the shipped product is always one of the table's.
    if (const auto* config = shippableProductConfig(build::kProduct))
        ProductConfig::setCurrent(*config);
}

std::unique_ptr<MainWindow> openMainWindow(RootViewOptions options) {
    auto window = std::make_unique<MainWindow>();
    window->setRootView(new QuillRootView(std::move(options)));
    window->show();
    return window;
}

}  // namespace quill::ui
