#include "engine/core/property_list.h"

#include <plist/plist.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "engine/core/plist_from_memory.h"

namespace quill {

std::optional<std::string> propertyListText(const std::string& data,
                                            std::initializer_list<std::string_view> keys) {
    if (data.empty() || data.size() > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    plist_t root = nullptr;
    plistFromMemory(&plist_from_memory, data.data(), static_cast<std::uint32_t>(data.size()), &root);
    if (root == nullptr)
        return std::nullopt;
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);

    plist_t node = root;
    for (const auto key : keys) {
        if (plist_get_node_type(node) != PLIST_DICT)
            return std::nullopt;
        node = plist_dict_get_item(node, std::string(key).c_str());
        if (node == nullptr)
            return std::nullopt;
    }
    if (plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr)
        return std::nullopt;
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace quill
