#include <mach-o/dyld.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/core/paths.h"

namespace quill {

std::filesystem::path userDirectoryPath(UserDirectory which) {
    const std::filesystem::path library = homeDirectoryPath() / "Library";
    switch (which) {
        case UserDirectory::configuration:
            return library / "Preferences";
        case UserDirectory::caches:
            return library / "Caches";
        case UserDirectory::applicationSupport:
            return library / "Application Support";
    }
    return library;
}

Result<std::filesystem::path> userTemporaryDirectory() {
    if (const char* value = std::getenv("TMPDIR"); value && value[0] == '/')
        return std::filesystem::path(value);
    // The per-user folder under /var/folders; the shared /tmp would let other users see and swap our files.
    const std::size_t size = confstr(_CS_DARWIN_USER_TEMP_DIR, nullptr, 0);
    if (size > 1) {
        std::vector<char> buffer(size, '\0');
        if (confstr(_CS_DARWIN_USER_TEMP_DIR, buffer.data(), buffer.size()) == size && buffer[0] == '/')
            return std::filesystem::path(buffer.data());
    }
    return fail(Error{"FileSystem", ENOENT, "Couldn't find the user's temporary folder"});
}

std::filesystem::path runningExecutablePath() {
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return {};
    return buffer.data();
}

}  // namespace quill
