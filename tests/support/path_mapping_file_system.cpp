#include "tests/support/path_mapping_file_system.h"

namespace quill::test {

const std::vector<std::string>& PathMappingFileSystem::defaultPrefixes() {
    static const std::vector<std::string> prefixes = {"/Library", "/Applications", "/opt", "/usr/local",
                                                      "/System"};
    return prefixes;
}

PathMappingFileSystem::PathMappingFileSystem(std::shared_ptr<const FileSystemOperating> inner,
                                             std::filesystem::path root, std::vector<std::string> prefixes)
    : ForwardingFileSystem(std::move(inner)), m_root(std::move(root)), m_prefixes(std::move(prefixes)) {}

std::filesystem::path PathMappingFileSystem::mapped(const std::filesystem::path& path) const {
    const std::string text = path.lexically_normal().string();
    for (const auto& prefix : m_prefixes) {
        const bool inside = text == prefix || (text.starts_with(prefix) && text[prefix.size()] == '/');
        if (inside)
            return m_root / std::filesystem::path(text).relative_path();
    }
    return path;
}

}  // namespace quill::test
