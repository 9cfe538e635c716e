#pragma once

#include <functional>

#include "engine/services/file_system_operating.h"

namespace quill {

namespace detail {

/// The system calls that finish an atomic write: the flush of the temporary file and its rename over the
/// target. They are here so that a test can watch their order or fail one.
struct AtomicWriteCalls {
    std::function<int(int fd)> fsync;
    std::function<int(const char* from, const char* to)> rename;
};

/// The calls the live file system makes on the calling thread; a change affects that thread only.
AtomicWriteCalls& atomicWriteCalls();

}  // namespace detail

/// `FileSystemOperating` on the POSIX calls of the machine. Stateless; any thread may call any operation.
/// Writes replace a file through a temporary file in the same folder when asked to be atomic, follow symbolic
/// links to the file they name, keep an existing file's mode and give new files the default mode of the
/// process.
class LiveFileSystem final : public FileSystemOperating {
  public:
    [[nodiscard]] std::filesystem::path homeDirectory() const override;
    [[nodiscard]] bool fileExists(const std::filesystem::path& path) const override;
    [[nodiscard]] ItemKind itemKind(const std::filesystem::path& path) const override;
    [[nodiscard]] bool isExecutableFile(const std::filesystem::path& path) const override;
    [[nodiscard]] Result<std::vector<std::string>> contentsOfDirectory(
        const std::filesystem::path& path) const override;
    Result<void> createDirectory(const std::filesystem::path& path, CreateDirectoryMode mode) const override;
    Result<void> removeItem(const std::filesystem::path& path) const override;
    Result<void> moveItem(const std::filesystem::path& source,
                          const std::filesystem::path& destination) const override;
    [[nodiscard]] Result<FileAttributes> attributesOfItem(const std::filesystem::path& path) const override;
    Result<void> setAttributes(const FileAttributes& attributes,
                               const std::filesystem::path& path) const override;
    [[nodiscard]] Result<std::string> readString(const std::filesystem::path& path) const override;
    [[nodiscard]] Result<std::string> readData(const std::filesystem::path& path) const override;
    Result<void> write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions = std::nullopt) const override;
    [[nodiscard]] Result<std::filesystem::path> userDirectory(UserDirectory which,
                                                              IfMissing ifMissing) const override;
};

}  // namespace quill
