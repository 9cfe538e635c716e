#include "ui/app/application.h"

#include "engine/products/code/code_config.h"
#include "engine/setup/product_config.h"

namespace quill::ui {

void installShippedProductConfig() {
    ProductConfig::setCurrent(products::code());
}

std::unique_ptr<MainWindow> openMainWindow(RootViewOptions options) {
    auto window = std::make_unique<MainWindow>();
    window->setRootView(new QuillRootView(std::move(options)));
    window->show();
    return window;
}

}  // namespace quill::ui
