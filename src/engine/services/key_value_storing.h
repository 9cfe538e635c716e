#pragma once

#include <optional>
#include <string>

namespace quill {

/// A small persistent store of settings keyed "<prefix>.<name>". Never fails visibly; thread-safe.
class KeyValueStoring {
  public:
    virtual ~KeyValueStoring() = default;

    /// The text stored under `key`, or nothing.
    [[nodiscard]] virtual std::optional<std::string> string(const std::string& key) const = 0;
    /// Stores `value` under `key`; nothing removes the key.
    virtual void setString(const std::string& key, const std::optional<std::string>& value) const = 0;
    /// The Boolean stored under `key`, or nothing.
    [[nodiscard]] virtual std::optional<bool> boolean(const std::string& key) const = 0;
    virtual void setBool(const std::string& key, bool value) const = 0;
};

}  // namespace quill
