#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

/// The text at `keys` in a property list of any format libplist reads (XML, binary or JSON): each key but the
/// last names a nested dictionary. Nothing when the data does not parse or the value is missing or not text.
std::optional<std::string> propertyListText(const std::string& data,
                                            std::initializer_list<std::string_view> keys);

}  // namespace quill
