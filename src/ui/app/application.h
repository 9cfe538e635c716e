#pragma once

#include <memory>

#include "ui/app/main_window.h"
#include "ui/app/quill_root_view.h"

namespace quill::ui {

/// Makes the product the application ships as the current configuration. Call before any window exists.
void installShippedProductConfig();

/// Builds the application's one window around a root view made of `options`, and shows it.
std::unique_ptr<MainWindow> openMainWindow(RootViewOptions options);

}  // namespace quill::ui
