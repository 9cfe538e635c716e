#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/forwarding_file_system.h"

namespace quill::test {

/// A `FileSystemOperating` that moves the machine's fixed folders ("/Library", "/Applications", "/opt",
/// "/usr/local", "/System") into a temporary tree: "/Applications/X.app" becomes "<root>/Applications/X.app".
/// Every other path, the home folder and the user folders pass through unchanged, so a test that also uses a
/// `TemporaryHome` never touches the real machine.
class PathMappingFileSystem final : public ForwardingFileSystem {
  public:
    static const std::vector<std::string>& defaultPrefixes();

    PathMappingFileSystem(std::shared_ptr<const FileSystemOperating> inner, std::filesystem::path root,
                          std::vector<std::string> prefixes = defaultPrefixes());

    /// Where `path` really is: inside the root when it lies in a mapped folder, else `path` itself.
    [[nodiscard]] std::filesystem::path mapped(const std::filesystem::path& path) const;
    [[nodiscard]] const std::filesystem::path& root() const { return m_root; }

  protected:
    [[nodiscard]] std::filesystem::path route(const std::filesystem::path& path) const override {
        return mapped(path);
    }

  private:
    std::filesystem::path m_root;
    std::vector<std::string> m_prefixes;
};

}  // namespace quill::test
