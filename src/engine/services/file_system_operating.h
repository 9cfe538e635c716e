#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/paths.h"
#include "engine/core/result.h"

namespace quill {

/// The attributes the program reads and sets.
struct FileAttributes {
    std::optional<unsigned> posixPermissions;  ///< e.g. 0600
    std::optional<std::uintmax_t> size;
    std::optional<std::filesystem::file_type> type;

    bool operator==(const FileAttributes&) const = default;
};

/// File-system access. Every failing operation returns the system's error (domain "FileSystem", the errno as
/// code, a sentence naming the path); nothing is retried or substituted. Blocking; thread-safe.
class FileSystemOperating {
  public:
    virtual ~FileSystemOperating() = default;

    [[nodiscard]] virtual std::filesystem::path homeDirectory() const = 0;
    [[nodiscard]] virtual bool fileExists(const std::string& path) const = 0;
    /// Whether something exists at `path`, and in `isDirectory` whether it is a folder (links followed).
    virtual bool fileExists(const std::string& path, bool& isDirectory) const = 0;
    [[nodiscard]] virtual bool isExecutableFile(const std::string& path) const = 0;
    /// Entry names (not paths) in the order the file system gives them.
    [[nodiscard]] virtual Result<std::vector<std::string>> contentsOfDirectory(
        const std::string& path) const = 0;
    /// Succeeds when the folder already exists.
    virtual Result<void> createDirectory(const std::filesystem::path& path,
                                         bool withIntermediateDirectories) const = 0;
    /// Removes a file, or a folder with its contents. Fails when nothing is there.
    virtual Result<void> removeItem(const std::filesystem::path& path) const = 0;
    virtual Result<void> moveItem(const std::filesystem::path& source,
                                  const std::filesystem::path& destination) const = 0;
    [[nodiscard]] virtual Result<FileAttributes> attributesOfItem(const std::string& path) const = 0;
    /// Sets the attributes that are present (only `posixPermissions` can be set).
    virtual Result<void> setAttributes(const FileAttributes& attributes, const std::string& path) const = 0;
    /// The file's contents as UTF-8; fails when unreadable or not valid UTF-8.
    [[nodiscard]] virtual Result<std::string> readString(const std::filesystem::path& path) const = 0;
    /// The file's bytes.
    [[nodiscard]] virtual Result<std::string> readData(const std::filesystem::path& path) const = 0;
    /// Writes `text`. With `atomically`, through a temporary file in the same folder renamed over the target.
    /// A symbolic link is followed: its target is replaced, and an existing file keeps its mode.
    virtual Result<void> write(const std::string& text, const std::filesystem::path& path,
                               bool atomically) const = 0;
    /// A standard folder of the user (created first when `create` is true and it is missing).
    [[nodiscard]] virtual Result<std::filesystem::path> userDirectory(UserDirectory which,
                                                                      bool create) const = 0;
};

}  // namespace quill
