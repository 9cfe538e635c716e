#include "ui/common/settings.h"

#include "engine/setup/product_config.h"

namespace quill::ui {

std::string productKey(std::string_view suffix) {
    return ProductConfig::current()->userDefaultsPrefix + std::string(suffix);
}

bool readFlag(const KeyValueStoring& store, const std::string& key) {
    return store.boolean(key).value_or(false);
}

void writeFlag(const KeyValueStoring& store, const std::string& key, bool value) {
    store.setBool(key, value);
}

}  // namespace quill::ui
