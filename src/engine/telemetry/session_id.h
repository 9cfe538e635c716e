#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/uuid.h"
#include "engine/services/key_value_storing.h"

namespace quill {

/// The installation's anonymous identifier: a random UUID kept under "<userDefaultsPrefix>.session_id". It is
/// never regenerated while a valid value is stored; a stored value that is not a UUID is replaced.
struct SessionID {
    std::shared_ptr<const KeyValueStoring> store;
    std::string userDefaultsPrefix;

    /// The stored identifier, or a new one that is stored first. Canonical upper-case text. Blocking (reads
    /// the store).
    [[nodiscard]] std::string loadOrCreate() const;
};

/// `text` as a canonical upper-case UUID (8-4-4-4-12 hexadecimal digits, either case accepted), or nothing.
std::optional<std::string> canonicalUUID(std::string_view text);

}  // namespace quill
