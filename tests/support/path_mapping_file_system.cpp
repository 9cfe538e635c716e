#include "tests/support/path_mapping_file_system.h"

namespace quill::test {

const std::vector<std::string>& PathMappingFileSystem::defaultPrefixes() {
    static const std::vector<std::string> prefixes = {"/Library", "/Applications", "/opt", "/usr/local",
                                                      "/System"};
    return prefixes;
}

PathMappingFileSystem::PathMappingFileSystem(std::shared_ptr<const FileSystemOperating> inner,
                                             std::filesystem::path root, std::vector<std::string> prefixes)
    : m_inner(std::move(inner)), m_root(std::move(root)), m_prefixes(std::move(prefixes)) {}

std::filesystem::path PathMappingFileSystem::mapped(const std::filesystem::path& path) const {
    const std::string text = path.lexically_normal().string();
    for (const auto& prefix : m_prefixes) {
        const bool inside = text == prefix || (text.starts_with(prefix) && text[prefix.size()] == '/');
        if (inside)
            return m_root / std::filesystem::path(text).relative_path();
    }
    return path;
}

std::filesystem::path PathMappingFileSystem::homeDirectory() const {
    return m_inner->homeDirectory();
}

bool PathMappingFileSystem::fileExists(const std::filesystem::path& path) const {
    return m_inner->fileExists(mapped(path));
}

ItemKind PathMappingFileSystem::itemKind(const std::filesystem::path& path) const {
    return m_inner->itemKind(mapped(path));
}

bool PathMappingFileSystem::isExecutableFile(const std::filesystem::path& path) const {
    return m_inner->isExecutableFile(mapped(path));
}

Result<std::vector<std::string>> PathMappingFileSystem::contentsOfDirectory(
    const std::filesystem::path& path) const {
    return m_inner->contentsOfDirectory(mapped(path));
}

Result<void> PathMappingFileSystem::createDirectory(const std::filesystem::path& path,
                                                    CreateDirectoryMode mode) const {
    return m_inner->createDirectory(mapped(path), mode);
}

Result<void> PathMappingFileSystem::removeItem(const std::filesystem::path& path) const {
    return m_inner->removeItem(mapped(path));
}

Result<void> PathMappingFileSystem::moveItem(const std::filesystem::path& source,
                                             const std::filesystem::path& destination) const {
    return m_inner->moveItem(mapped(source), mapped(destination));
}

Result<FileAttributes> PathMappingFileSystem::attributesOfItem(const std::filesystem::path& path) const {
    return m_inner->attributesOfItem(mapped(path));
}

Result<void> PathMappingFileSystem::setAttributes(const FileAttributes& attributes,
                                                  const std::filesystem::path& path) const {
    return m_inner->setAttributes(attributes, mapped(path));
}

Result<std::string> PathMappingFileSystem::readString(const std::filesystem::path& path) const {
    return m_inner->readString(mapped(path));
}

Result<std::string> PathMappingFileSystem::readData(const std::filesystem::path& path) const {
    return m_inner->readData(mapped(path));
}

Result<void> PathMappingFileSystem::write(std::string_view text, const std::filesystem::path& path,
                                          WriteMode mode, std::optional<unsigned> newFilePermissions) const {
    return m_inner->write(text, mapped(path), mode, newFilePermissions);
}

Result<std::filesystem::path> PathMappingFileSystem::userDirectory(UserDirectory which,
                                                                   IfMissing ifMissing) const {
    return m_inner->userDirectory(which, ifMissing);
}

}  // namespace quill::test
