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

bool PathMappingFileSystem::fileExists(const std::string& path) const {
    return m_inner->fileExists(map(path));
}

bool PathMappingFileSystem::fileExists(const std::string& path, bool& isDirectory) const {
    return m_inner->fileExists(map(path), isDirectory);
}

bool PathMappingFileSystem::isExecutableFile(const std::string& path) const {
    return m_inner->isExecutableFile(map(path));
}

Result<std::vector<std::string>> PathMappingFileSystem::contentsOfDirectory(const std::string& path) const {
    return m_inner->contentsOfDirectory(map(path));
}

Result<void> PathMappingFileSystem::createDirectory(const std::filesystem::path& path,
                                                    bool withIntermediateDirectories) const {
    return m_inner->createDirectory(mapped(path), withIntermediateDirectories);
}

Result<void> PathMappingFileSystem::removeItem(const std::filesystem::path& path) const {
    return m_inner->removeItem(mapped(path));
}

Result<void> PathMappingFileSystem::moveItem(const std::filesystem::path& source,
                                             const std::filesystem::path& destination) const {
    return m_inner->moveItem(mapped(source), mapped(destination));
}

Result<FileAttributes> PathMappingFileSystem::attributesOfItem(const std::string& path) const {
    return m_inner->attributesOfItem(map(path));
}

Result<void> PathMappingFileSystem::setAttributes(const FileAttributes& attributes,
                                                  const std::string& path) const {
    return m_inner->setAttributes(attributes, map(path));
}

Result<std::string> PathMappingFileSystem::readString(const std::filesystem::path& path) const {
    return m_inner->readString(mapped(path));
}

Result<std::string> PathMappingFileSystem::readData(const std::filesystem::path& path) const {
    return m_inner->readData(mapped(path));
}

Result<void> PathMappingFileSystem::write(const std::string& text, const std::filesystem::path& path,
                                          bool atomically) const {
    return m_inner->write(text, mapped(path), atomically);
}

Result<std::filesystem::path> PathMappingFileSystem::userDirectory(UserDirectory which, bool create) const {
    return m_inner->userDirectory(which, create);
}

}  // namespace quill::test
