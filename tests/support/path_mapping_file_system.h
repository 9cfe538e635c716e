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
    [[nodiscard]] bool fileExists(const std::string& path) const override;
    bool fileExists(const std::string& path, bool& isDirectory) const override;
    [[nodiscard]] bool isExecutableFile(const std::string& path) const override;
    [[nodiscard]] Result<std::vector<std::string>> contentsOfDirectory(
        const std::string& path) const override;
    Result<void> createDirectory(const std::filesystem::path& path,
                                 bool withIntermediateDirectories) const override;
    Result<void> removeItem(const std::filesystem::path& path) const override;
    Result<void> moveItem(const std::filesystem::path& source,
                          const std::filesystem::path& destination) const override;
    [[nodiscard]] Result<FileAttributes> attributesOfItem(const std::string& path) const override;
    Result<void> setAttributes(const FileAttributes& attributes, const std::string& path) const override;
    [[nodiscard]] Result<std::string> readString(const std::filesystem::path& path) const override;
    [[nodiscard]] Result<std::string> readData(const std::filesystem::path& path) const override;
    Result<void> write(const std::string& text, const std::filesystem::path& path,
                       bool atomically) const override;
    [[nodiscard]] Result<std::filesystem::path> userDirectory(UserDirectory which,
                                                              bool create) const override;

  private:
    [[nodiscard]] std::string map(const std::string& path) const { return mapped(path).string(); }

    std::shared_ptr<const FileSystemOperating> m_inner;
    std::filesystem::path m_root;
    std::vector<std::string> m_prefixes;
};

}  // namespace quill::test
