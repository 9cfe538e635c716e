#include "tests/support/scripted_file_system.h"

#include <cerrno>
#include <system_error>

#include "engine/core/text.h"
#include "tests/support/temporary_directory.h"

namespace quill::test {

namespace {

// The live file system's words, so that a test over this stand-in sees the texts the program shows.
Error failure(int code, const std::string& action, const std::string& path) {
    return fileSystemErrors::failed(code, action, path);
}

Error missing(const std::string& action, const std::string& path) {
    return failure(ENOENT, action, path);
}

Error readOnly(const std::string& action, const std::string& path) {
    return failure(EROFS, action, path);
}

}  // namespace

void ScriptedFileSystem::addFile(const std::string& path, std::string contents) {
    std::lock_guard lock(m_mutex);
    m_files[path] = std::move(contents);
}

void ScriptedFileSystem::addFileFrom(const std::string& path, const std::filesystem::path& source) {
    addFile(path, readFile(source));
}

void ScriptedFileSystem::addDirectory(const std::string& path, std::vector<std::string> entries) {
    std::lock_guard lock(m_mutex);
    m_directories[path] = std::move(entries);
}

std::vector<std::string> ScriptedFileSystem::accessedPaths() const {
    std::lock_guard lock(m_mutex);
    return m_accessed;
}

std::filesystem::path ScriptedFileSystem::homeDirectory() const {
    return "/Users/tester";
}

bool ScriptedFileSystem::fileExists(const std::filesystem::path& path) const {
    return itemKind(path) != ItemKind::missing;
}

ItemKind ScriptedFileSystem::itemKind(const std::filesystem::path& path) const {
    std::lock_guard lock(m_mutex);
    if (m_directories.contains(path.string()))
        return ItemKind::directory;
    return m_files.contains(path.string()) ? ItemKind::file : ItemKind::missing;
}

bool ScriptedFileSystem::isExecutableFile(const std::filesystem::path& /*path*/) const {
    return false;
}

Result<std::vector<std::string>> ScriptedFileSystem::contentsOfDirectory(
    const std::filesystem::path& path) const {
    std::lock_guard lock(m_mutex);
    m_accessed.push_back(path.string());
    const auto found = m_directories.find(path.string());
    if (found == m_directories.end())
        return fail(missing("list the folder", path.string()));
    return found->second;
}

Result<void> ScriptedFileSystem::createDirectory(const std::filesystem::path& path,
                                                 CreateDirectoryMode /*mode*/) const {
    return fail(readOnly("create the folder", path.string()));
}

Result<void> ScriptedFileSystem::removeItem(const std::filesystem::path& path) const {
    return fail(readOnly("remove", path.string()));
}

Result<void> ScriptedFileSystem::moveItem(const std::filesystem::path& source,
                                          const std::filesystem::path& destination) const {
    return fail(readOnly("move " + source.string() + " to", destination.string()));
}

Result<FileAttributes> ScriptedFileSystem::attributesOfItem(const std::filesystem::path& path) const {
    std::lock_guard lock(m_mutex);
    if (const auto found = m_files.find(path.string()); found != m_files.end()) {
        return FileAttributes{0644U, found->second.size(), std::filesystem::file_type::regular};
    }
    if (m_directories.contains(path.string()))
        return FileAttributes{0755U, 0U, std::filesystem::file_type::directory};
    return fail(missing("read the attributes of", path.string()));
}

Result<void> ScriptedFileSystem::setAttributes(const FileAttributes& /*attributes*/,
                                               const std::filesystem::path& path) const {
    return fail(readOnly("set the permissions of", path.string()));
}

Result<std::string> ScriptedFileSystem::readString(const std::filesystem::path& path) const {
    auto data = readData(path);
    if (!data)
        return data;
    if (!isValidUtf8(*data)) {
        return fail(fileSystemErrors::notUtf8(path));
    }
    return data;
}

Result<std::string> ScriptedFileSystem::readData(const std::filesystem::path& path) const {
    std::lock_guard lock(m_mutex);
    m_accessed.push_back(path.string());
    if (m_directories.contains(path.string())) {
        return fail(fileSystemErrors::notARegularFile(path, true));
    }
    const auto found = m_files.find(path.string());
    if (found == m_files.end())
        return fail(missing("read", path.string()));
    if (found->second.size() > kMaximumReadSize)
        return fail(fileSystemErrors::tooLarge(path));
    return found->second;
}

Result<void> ScriptedFileSystem::write(std::string_view /*text*/, const std::filesystem::path& path,
                                       WriteMode /*mode*/,
                                       std::optional<unsigned> /*newFilePermissions*/) const {
    return fail(readOnly("write", path.string()));
}

Result<std::filesystem::path> ScriptedFileSystem::userDirectory(UserDirectory /*which*/,
                                                                IfMissing /*ifMissing*/) const {
    return fail(
        Error{std::string(kFileSystemErrorDomain), ENOENT, "No user folders in a scripted file system."});
}

}  // namespace quill::test
