#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "engine/services/file_system_operating.h"
#include "engine/services/key_value_storing.h"

namespace quill {

/// `KeyValueStoring` backed by JSON files: the key "<prefix>.<name>" lives as entry "<name>" of
/// "<prefix>.json" (keys without a dot in "defaults.json") in the store's folder. Every change reads the file
/// again and rewrites it atomically, under an advisory lock on "<file>.lock" beside it, so that no change is
/// lost between threads, store instances or app processes. No call waits for that lock: while another
/// process holds it, changes live in memory (lookups see them) and go into the file at the next change or
/// lookup, or by a task that tries again while they wait, and the program's end tries them a last time
/// (`saveBeforeExit`). A missing file is empty; one that does not parse
/// counts as empty and is set aside as "<file>.corrupt" by the next change. A file that exists but cannot be
/// read (no permission, an I/O error, not a regular file) is never written over: while it stays so (logged
/// once), its changes live in memory, and the next change or lookup after it can be read again writes them
/// into it, merged. Failures to write are logged, never reported.
class LiveKeyValueStore final : public KeyValueStoring {
  public:
    /// A store in the user's configuration folder ("quillstart" inside it), as it is when each call is made.
    LiveKeyValueStore();
    /// A store in `folder` (created when first written).
    explicit LiveKeyValueStore(std::filesystem::path folder);
    /// A store in `folder` that reaches its files through `fs`.
    LiveKeyValueStore(std::filesystem::path folder, std::shared_ptr<const FileSystemOperating> fs);

    [[nodiscard]] std::optional<std::string> string(const std::string& key) const override;
    void setString(const std::string& key, const std::optional<std::string>& value) const override;
    [[nodiscard]] std::optional<bool> boolean(const std::string& key) const override;
    void setBool(const std::string& key, bool value) const override;

    /// The folder the store's files are in.
    [[nodiscard]] std::filesystem::path folder() const;

    /// Whether changes of any store in the process have not reached their file (another process's lock, a
    /// file that cannot be read or written, or a change still being made), known without waiting for a
    /// settings call stalled on its volume.
    [[nodiscard]] static bool changesPending();
    /// For the program's end, once nothing else changes settings: writes the changes that have not reached
    /// their files, trying a lock that another process holds every few milliseconds until shortly before
    /// `deadline`, and logs the keys (never the values) of those it could not write. Returns by `deadline`:
    /// the writes run on a task, and one stalled on its volume is left running for the caller's forced exit
    /// to end (each write replaces its file by a rename, so only its change is lost). A task that gets to the
    /// changes only after this has returned leaves them alone; this names them then, unless a settings call
    /// holds them.
    static void saveBeforeExit(std::chrono::steady_clock::time_point deadline);

  private:
    std::optional<std::filesystem::path> m_folder;
    std::shared_ptr<const FileSystemOperating> m_fs;
};

}  // namespace quill
