#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/services/file_system_operating.h"

namespace quill::test {

/// A read-only `FileSystemOperating` over scripted files and folder listings, for code that only lists
/// folders and reads files. Paths are matched exactly; anything not scripted is missing (ENOENT), and every
/// write fails. Reads refuse folders and files over `kMaximumReadSize` as the live file system does. Records
/// each path it was asked to read or list. Thread-safe.
class ScriptedFileSystem : public FileSystemOperating {
  public:
    /// `path` reads as `contents` (bytes; `readString` rejects it when it is not UTF-8).
    void addFile(const std::string& path, std::string contents);
    /// Adds the contents of the file `source` of the real file system as `path`.
    void addFileFrom(const std::string& path, const std::filesystem::path& source);
    /// `path` lists `entries`, in this order.
    void addDirectory(const std::string& path, std::vector<std::string> entries);

    [[nodiscard]] std::vector<std::string> accessedPaths() const;

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

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_files;
    std::map<std::string, std::vector<std::string>> m_directories;
    mutable std::vector<std::string> m_accessed;
};

}  // namespace quill::test
