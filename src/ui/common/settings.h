#pragma once

#include <string>
#include <string_view>

#include "engine/services/key_value_storing.h"

namespace quill::ui {

/// The settings key "<userDefaultsPrefix><suffix>" of the current product, as in `productKey(".consented")`.
[[nodiscard]] std::string productKey(std::string_view suffix);

/// A flag of the screens: absent reads as false.
[[nodiscard]] bool readFlag(const KeyValueStoring& store, const std::string& key);
void writeFlag(const KeyValueStoring& store, const std::string& key, bool value);

}  // namespace quill::ui
