#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/services/file_system_operating.h"

namespace quill::test {

/// A `FileSystemOperating` that moves the machine's fixed folders ("/Library", "/Applications", "/opt",
/// "/usr/local", "/System") into a temporary tree: "/Applications/X.app" becomes "<root>/Applications/X.app".
/// Every other path, the home folder and the user folders pass through unchanged, so a test that also uses a
/// `TemporaryHome` never touches the real machine.
class PathMappingFileSystem final : public FileSystemOperating {
  public:
    static const std::vector<std::string>& defaultPrefixes();

    PathMappingFileSystem(std::shared_ptr<const FileSystemOperating> inner, std::filesystem::path root,
                          std::vector<std::string> prefixes = defaultPrefixes());

    /// Where `path` really is: inside the root when it lies in a mapped folder, else `path` itself.
    [[nodiscard]] std::filesystem::path mapped(const std::filesystem::path& path) const;
    [[nodiscard]] const std::filesystem::path& root() const { return m_root; }

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
    std::shared_ptr<const FileSystemOperating> m_inner;
    std::filesystem::path m_root;
    std::vector<std::string> m_prefixes;
};

}  // namespace quill::test
