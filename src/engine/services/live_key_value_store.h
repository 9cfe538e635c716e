#pragma once

#include <filesystem>
#include <optional>

#include "engine/services/key_value_storing.h"

namespace quill {

/// `KeyValueStoring` backed by JSON files: the key "<prefix>.<name>" lives as entry "<name>" of
/// "<prefix>.json" (keys without a dot in "defaults.json") in the store's folder. Every change rewrites its
/// file atomically; changes from any number of threads and store instances in the process are serialised, so
/// none is lost. A file that cannot be read or parsed counts as empty. Failures to write are logged, never
/// reported.
class LiveKeyValueStore final : public KeyValueStoring {
  public:
    /// A store in the user's configuration folder ("quillstart" inside it), as it is when each call is made.
    LiveKeyValueStore() = default;
    /// A store in `folder` (created when first written).
    explicit LiveKeyValueStore(std::filesystem::path folder);

    [[nodiscard]] std::optional<std::string> string(const std::string& key) const override;
    void setString(const std::string& key, const std::optional<std::string>& value) const override;
    [[nodiscard]] std::optional<bool> boolean(const std::string& key) const override;
    void setBool(const std::string& key, bool value) const override;

    /// The folder the store's files are in.
    [[nodiscard]] std::filesystem::path folder() const;

  private:
    std::optional<std::filesystem::path> m_folder;
};

}  // namespace quill
