#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string>

#include "engine/core/paths.h"

namespace quill {

namespace {

std::filesystem::path xdg(const char* variable, const char* fallback) {
    // An XDG variable counts only when it holds an absolute path.
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    return homeDirectoryPath() / fallback;
}

}  // namespace

std::filesystem::path userDirectoryPath(UserDirectory which) {
    switch (which) {
        case UserDirectory::configuration:
            return xdg("XDG_CONFIG_HOME", ".config");
        case UserDirectory::caches:
            return xdg("XDG_CACHE_HOME", ".cache");
        case UserDirectory::applicationSupport:
            return xdg("XDG_DATA_HOME", ".local/share");
    }
    return homeDirectoryPath();
}

Result<std::filesystem::path> userTemporaryDirectory() {
    if (const char* value = std::getenv("TMPDIR"); value && value[0] == '/')
        return std::filesystem::path(value);
    return std::filesystem::path("/tmp");
}

std::filesystem::path runningExecutablePath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace quill
