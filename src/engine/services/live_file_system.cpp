#include "engine/services/live_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <system_error>
#include <utility>

#include "engine/core/file_descriptor.h"
#include "engine/core/text.h"

namespace quill {

namespace detail {

AtomicWriteCalls& atomicWriteCalls() {
    thread_local AtomicWriteCalls calls{::fsync, ::rename};
    return calls;
}

}  // namespace detail

namespace {

constexpr int kMaximumLinkHops = 40;

/// Follows `path` while it names a symbolic link, to the file that writes should replace (which may not
/// exist).
Result<std::filesystem::path> resolveLinks(std::filesystem::path path) {
    for (int hop = 0; hop < kMaximumLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::string target(4096, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return fail(fileSystemErrors::failed(errno, "follow the link", path));
        target.resize(static_cast<std::size_t>(length));
        const std::filesystem::path next(target);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return fail(fileSystemErrors::failed(ELOOP, "follow the link", path));
}

constexpr std::size_t kTemporarySuffixLength = 12;
constexpr std::string_view kHexDigits = "0123456789abcdef";

/// The start of the names of `target`'s temporary files: hidden, beside it.
std::string temporaryPrefixFor(const std::filesystem::path& target) {
    return "." + target.filename().string() + ".quill-";
}

std::string temporaryNameFor(const std::filesystem::path& target) {
    std::random_device random;
    std::string name = temporaryPrefixFor(target);
    for (std::size_t i = 0; i < kTemporarySuffixLength; ++i)
        name += kHexDigits[random() % kHexDigits.size()];
    return name;
}

/// Removes the temporary files of `target` that a write killed mid-way left in `folder`. Only files of our
/// own pattern that have not changed for a minute: a younger one may belong to a write still running.
void removeStaleTemporaries(const std::filesystem::path& folder, const std::filesystem::path& target) {
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    const std::string prefix = temporaryPrefixFor(target);
    const time_t staleBefore = ::time(nullptr) - 60;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name(entry->d_name);
        if (name.size() != prefix.size() + kTemporarySuffixLength || !name.starts_with(prefix) ||
            name.find_first_not_of(kHexDigits, prefix.size()) != std::string_view::npos) {
            continue;
        }
        struct stat info {};
        if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_mtime < staleBefore) {
            ::unlinkat(::dirfd(listing), entry->d_name, 0);
        }
    }
    ::closedir(listing);
}

/// Writes `text` to a temporary file beside `target` and renames it over `target`, which is replaced only
/// once the new text is whole. With `keepMode`, a file already there keeps its mode; otherwise the new file
/// gets `newFilePermissions` (else the process's default) whatever was there.
Result<void> writeAtomically(std::string_view text, const std::filesystem::path& target,
                             std::optional<unsigned> newFilePermissions, bool keepMode) {
    struct stat existing {};
    // A link is only ever at `target` when it is to be replaced itself: look at the link, not past it.
    const bool exists = ::lstat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(fileSystemErrors::failed(EISDIR, "write", target));
    const bool keepExisting = exists && keepMode;

    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder / temporaryNameFor(target);
        // Mode 0666 lets the process's umask decide, as for any new file; a file that is to be private is
        // never readable by others, not even empty.
        const mode_t mode =
            keepExisting ? 0600 : static_cast<mode_t>(newFilePermissions.value_or(0666) & 07777);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return fail(fileSystemErrors::failed(errno, "write", target));
    }
    if (fd < 0)
        return fail(fileSystemErrors::failed(EEXIST, "write", target));
    FileDescriptor file(fd);

    const auto abandon = [&](int code) {
        file.close();
        ::unlink(temporary.c_str());
        return fail(fileSystemErrors::failed(code, "write", target));
    };
    // The umask may have taken bits away from the mode asked for.
    const std::optional<mode_t> finalMode = keepExisting ? std::optional<mode_t>(existing.st_mode & 07777)
                                            : newFilePermissions
                                                ? std::optional<mode_t>(*newFilePermissions & 07777)
                                                : std::nullopt;
    if (finalMode && ::fchmod(file.get(), *finalMode) != 0)
        return abandon(errno);
    if (!writeAll(file.get(), text))
        return abandon(errno);
    const auto& calls = detail::atomicWriteCalls();
    // The text reaches the disk before the name does, so a crash leaves the old file or the new one whole.
    if (calls.fsync(file.get()) != 0)
        return abandon(errno);
    if (!file.close())
        return abandon(errno);
    if (calls.rename(temporary.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return fail(fileSystemErrors::failed(code, "write", target));
    }
    return {};
}

Result<void> writeInPlace(std::string_view text, const std::filesystem::path& target,
                          std::optional<unsigned> newFilePermissions) {
    const auto mode = static_cast<mode_t>(newFilePermissions.value_or(0666) & 07777);
    // Create first, so that only a file made here gets the mode asked for; an existing one keeps its own.
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST)
        fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    FileDescriptor file(fd);
    if (file.get() < 0)
        return fail(fileSystemErrors::failed(errno, "write", target));
    if (created && newFilePermissions && ::fchmod(file.get(), mode) != 0)
        return fail(fileSystemErrors::failed(errno, "write", target));
    if (!writeAll(file.get(), text))
        return fail(fileSystemErrors::failed(errno, "write", target));
    if (!file.close())
        return fail(fileSystemErrors::failed(errno, "write", target));
    return {};
}

std::filesystem::file_type fileType(mode_t mode) {
    using std::filesystem::file_type;
    if (S_ISREG(mode))
        return file_type::regular;
    if (S_ISDIR(mode))
        return file_type::directory;
    if (S_ISLNK(mode))
        return file_type::symlink;
    if (S_ISFIFO(mode))
        return file_type::fifo;
    if (S_ISSOCK(mode))
        return file_type::socket;
    if (S_ISBLK(mode))
        return file_type::block;
    if (S_ISCHR(mode))
        return file_type::character;
    return file_type::unknown;
}

}  // namespace

std::filesystem::path LiveFileSystem::homeDirectory() const {
    return homeDirectoryPath();
}

bool LiveFileSystem::fileExists(const std::filesystem::path& path) const {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

ItemKind LiveFileSystem::itemKind(const std::filesystem::path& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return ItemKind::missing;
    return S_ISDIR(info.st_mode) ? ItemKind::directory : ItemKind::file;
}

bool LiveFileSystem::isExecutableFile(const std::filesystem::path& path) const {
    struct stat info {};
    // A folder is searchable, not executable.
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

Result<std::vector<std::string>> LiveFileSystem::contentsOfDirectory(
    const std::filesystem::path& path) const {
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return fail(fileSystemErrors::failed(errno, "list the folder", path));
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    const int code = errno;
    ::closedir(folder);
    if (code != 0)
        return fail(fileSystemErrors::failed(code, "list the folder", path));
    return names;
}

Result<void> LiveFileSystem::createDirectory(const std::filesystem::path& path,
                                             CreateDirectoryMode mode) const {
    if (mode == CreateDirectoryMode::withIntermediates) {
        std::error_code error;
        std::filesystem::create_directories(path, error);
        if (error)
            return fail(fileSystemErrors::failed(error, "create the folder", path));
        return {};
    }
    const bool isPrivate = mode == CreateDirectoryMode::newPrivate;
    // mkdir never follows a link at the path, and the mask can only narrow the mode.
    if (::mkdir(path.c_str(), isPrivate ? 0700 : 0777) == 0)
        return {};
    const int code = errno;
    struct stat info {};
    if (!isPrivate && code == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {};
    return fail(fileSystemErrors::failed(code, "create the folder", path));
}

Result<void> LiveFileSystem::removeItem(const std::filesystem::path& path) const {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return fail(fileSystemErrors::failed(errno, "remove", path));
    std::error_code error;
    std::filesystem::remove_all(path, error);  // a symbolic link is removed, not what it points to
    if (error)
        return fail(fileSystemErrors::failed(error, "remove", path));
    return {};
}

Result<void> LiveFileSystem::moveItem(const std::filesystem::path& source,
                                      const std::filesystem::path& destination) const {
    const std::string action = "move " + source.string() + " to";
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0)
        return fail(fileSystemErrors::failed(errno, action, destination));
    // Moving never replaces what is already there.
    if (::lstat(destination.c_str(), &info) == 0)
        return fail(fileSystemErrors::failed(EEXIST, action, destination));
    if (::rename(source.c_str(), destination.c_str()) == 0)
        return {};
    if (errno != EXDEV)
        return fail(fileSystemErrors::failed(errno, action, destination));

    // Another volume: copy, then remove the original only once the copy is complete.
    std::error_code error;
    std::filesystem::copy(
        source, destination,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove_all(destination, ignored);
        return fail(fileSystemErrors::failed(error, action, destination));
    }
    std::filesystem::remove_all(source, error);
    if (error)
        return fail(fileSystemErrors::failed(error, "remove", source));
    return {};
}

Result<FileAttributes> LiveFileSystem::attributesOfItem(const std::filesystem::path& path) const {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return fail(fileSystemErrors::failed(errno, "read the attributes of", path));
    FileAttributes attributes;
    attributes.posixPermissions = static_cast<unsigned>(info.st_mode & 07777);
    attributes.size = static_cast<std::uintmax_t>(info.st_size);
    attributes.type = fileType(info.st_mode);
    attributes.modificationDate = std::chrono::system_clock::from_time_t(info.st_mtime);  // whole seconds
    return attributes;
}

Result<void> LiveFileSystem::setAttributes(const FileAttributes& attributes,
                                           const std::filesystem::path& path) const {
    if (attributes.posixPermissions &&
        ::chmod(path.c_str(), static_cast<mode_t>(*attributes.posixPermissions & 07777)) != 0) {
        return fail(fileSystemErrors::failed(errno, "set the permissions of", path));
    }
    return {};
}

Result<std::string> LiveFileSystem::readData(const std::filesystem::path& path) const {
    // A FIFO, a socket or a device could block a read, or never end it: only regular files are read. The
    // check before opening spares a device the open; the one after it is the one that counts.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return fail(fileSystemErrors::failed(errno, "read", path));
    if (!S_ISREG(info.st_mode))
        return fail(fileSystemErrors::notARegularFile(path, S_ISDIR(info.st_mode)));
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return fail(fileSystemErrors::failed(errno, "read", path));
    if (::fstat(file.get(), &info) != 0)
        return fail(fileSystemErrors::failed(errno, "read", path));
    if (!S_ISREG(info.st_mode))
        return fail(fileSystemErrors::notARegularFile(path, S_ISDIR(info.st_mode)));
    if (static_cast<std::uintmax_t>(info.st_size) > kMaximumReadSize)
        return fail(fileSystemErrors::tooLarge(path));

    std::string contents;
    contents.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t length = ::read(file.get(), buffer, sizeof(buffer));
        if (length == 0)
            break;
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return fail(fileSystemErrors::failed(errno, "read", path));
        }
        // The file may grow while it is read.
        if (contents.size() + static_cast<std::size_t>(length) > kMaximumReadSize)
            return fail(fileSystemErrors::tooLarge(path));
        contents.append(buffer, static_cast<std::size_t>(length));
    }
    return contents;
}

Result<std::string> LiveFileSystem::readString(const std::filesystem::path& path) const {
    auto data = readData(path);
    if (!data)
        return fail(data.error());
    if (!isValidUtf8(*data)) {
        return fail(fileSystemErrors::notUtf8(path));
    }
    return data;
}

Result<void> LiveFileSystem::write(std::string_view text, const std::filesystem::path& path, WriteMode mode,
                                   std::optional<unsigned> newFilePermissions) const {
    auto target = mode == WriteMode::replacingItem ? Result<std::filesystem::path>(path) : resolveLinks(path);
    if (!target)
        return fail(target.error());
    removeStaleTemporaries(target->has_parent_path() ? target->parent_path() : ".", *target);
    switch (mode) {
        case WriteMode::inPlace:
            return writeInPlace(text, *target, newFilePermissions);
        case WriteMode::atomically:
            return writeAtomically(text, *target, newFilePermissions, true);
        case WriteMode::atomicallyWithPermissions:
        case WriteMode::replacingItem:
            break;
    }
    return writeAtomically(text, *target, newFilePermissions, false);
}

Result<std::filesystem::path> LiveFileSystem::userDirectory(UserDirectory which, IfMissing ifMissing) const {
    return quill::userDirectory(which, ifMissing);
}

}  // namespace quill
