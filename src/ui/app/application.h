#pragma once

#include <memory>
#include <string_view>

#include "ui/app/main_window.h"
#include "ui/app/quill_root_view.h"

namespace quill {

struct ProductConfig;

namespace ui {

/// The product configuration a build can ship under `name` ("code", "cli", "brew", "claude" or "java"); null
/// for any other name.
const ProductConfig* shippableProductConfig(std::string_view name);

/// Makes the product the build ships (its `QUILL_PRODUCT`) the current configuration. Call before any window
/// exists.
void installShippedProductConfig();

/// Builds the application's one window around a root view made of `options`, and shows it.
std::unique_ptr<MainWindow> openMainWindow(RootViewOptions options);

}  // namespace ui
}  // namespace quill
