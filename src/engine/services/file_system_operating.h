#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/core/paths.h"
#include "engine/core/result.h"

namespace quill {

/// The attributes the program reads and sets.
struct FileAttributes {
    std::optional<unsigned> posixPermissions;  ///< e.g. 0600
    std::optional<std::uintmax_t> size;
    std::optional<std::filesystem::file_type> type;
    std::optional<std::chrono::system_clock::time_point> modificationDate = std::nullopt;  ///< read only

    bool operator==(const FileAttributes&) const = default;
};

/// What a path names, symbolic links followed.
enum class ItemKind {
    missing,
    directory,
    file,  ///< anything but a folder: a regular file, a device, a FIFO…
};

/// How `createDirectory` treats missing parent folders and what is already there.
enum class CreateDirectoryMode {
    parentMustExist,
    withIntermediates,
    /// A new folder that only its owner may use (mode 0700), in an existing parent. Fails when anything is
    /// already at the path, a symbolic link included: a private folder is never one somebody else made.
    newPrivate,
};

/// How `write` puts the text in place.
enum class WriteMode {
    inPlace,     ///< truncates the file and writes into it
    atomically,  ///< through a temporary file in the same folder, renamed over the target
    /// As `atomically`, but the file gets `newFilePermissions` from its first byte, whether or not one was
    /// there: a file that is to be private never has its new text under a wider mode.
    atomicallyWithPermissions,
    /// As `atomicallyWithPermissions`, but a symbolic link at the path is itself replaced, never followed,
    /// and so is any other file there; a folder there fails (EISDIR) and stays as it is. For copies such as
    /// backups, which must not land wherever a link under their name leads.
    replacingItem,
};

/// The most `readString` and `readData` read: 64 MiB. Larger files are streamed, never read whole.
inline constexpr std::uintmax_t kMaximumReadSize = std::uintmax_t{64} << 20;

/// The error domain of the file system; the codes are `errno` values.
inline constexpr std::string_view kFileSystemErrorDomain = "FileSystem";

/// The file system's errors, worded as people see them: "Couldn't <action> <path>: <the system's words>".
/// Every implementation, and every component that reads files on its own, fails with these.
namespace fileSystemErrors {
Error failed(int code, std::string_view action, const std::filesystem::path& path);
Error failed(const std::error_code& code, std::string_view action, const std::filesystem::path& path);
/// A read of something other than a regular file: EISDIR for a folder, EINVAL for a FIFO, device or socket.
Error notARegularFile(const std::filesystem::path& path, bool isDirectory);
/// A read past `kMaximumReadSize`.
Error tooLarge(const std::filesystem::path& path);
/// A text read of bytes that are not UTF-8.
Error notUtf8(const std::filesystem::path& path);
}  // namespace fileSystemErrors

/// File-system access. Every failing operation returns the system's error (domain "FileSystem", the errno as
/// code, a sentence naming the path); nothing is retried or substituted. Blocking; thread-safe.
class FileSystemOperating {
  public:
    virtual ~FileSystemOperating() = default;

    [[nodiscard]] virtual std::filesystem::path homeDirectory() const = 0;
    [[nodiscard]] virtual bool fileExists(const std::filesystem::path& path) const = 0;
    [[nodiscard]] virtual ItemKind itemKind(const std::filesystem::path& path) const = 0;
    [[nodiscard]] virtual bool isExecutableFile(const std::filesystem::path& path) const = 0;
    /// Entry names (not paths) in the order the file system gives them.
    [[nodiscard]] virtual Result<std::vector<std::string>> contentsOfDirectory(
        const std::filesystem::path& path) const = 0;
    /// Succeeds when the folder already exists, except in the `newPrivate` mode.
    virtual Result<void> createDirectory(const std::filesystem::path& path,
                                         CreateDirectoryMode mode) const = 0;
    /// Removes a file, or a folder with its contents. Fails when nothing is there.
    virtual Result<void> removeItem(const std::filesystem::path& path) const = 0;
    virtual Result<void> moveItem(const std::filesystem::path& source,
                                  const std::filesystem::path& destination) const = 0;
    [[nodiscard]] virtual Result<FileAttributes> attributesOfItem(
        const std::filesystem::path& path) const = 0;
    /// Sets the attributes that are present (only `posixPermissions` can be set).
    virtual Result<void> setAttributes(const FileAttributes& attributes,
                                       const std::filesystem::path& path) const = 0;
    /// The file's contents as UTF-8; fails as `readData` does, and when the bytes are not valid UTF-8.
    [[nodiscard]] virtual Result<std::string> readString(const std::filesystem::path& path) const = 0;
    /// The file's bytes. Reads regular files only, up to `kMaximumReadSize`; anything else (a folder, a FIFO,
    /// a device, links to them) fails at once, so that a read never blocks.
    [[nodiscard]] virtual Result<std::string> readData(const std::filesystem::path& path) const = 0;
    /// Writes `text` to `path`. A symbolic link is followed: its target is replaced. An existing file keeps
    /// its mode; a new one gets `newFilePermissions` when given (e.g. 0600), else the process's default.
    /// `WriteMode::atomicallyWithPermissions` and `WriteMode::replacingItem` say otherwise.
    /// (The text is a `std::string_view` so that a path passed first does not build: a path converts to a
    /// `std::string` but not on to a view.)
    virtual Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                               std::optional<unsigned> newFilePermissions = std::nullopt) const = 0;
    /// A standard folder of the user, created first (with its parents) when `ifMissing` says so.
    [[nodiscard]] virtual Result<std::filesystem::path> userDirectory(UserDirectory which,
                                                                      IfMissing ifMissing) const = 0;
};

}  // namespace quill
