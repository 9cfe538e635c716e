#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "engine/core/paths.h"

namespace quill {

std::filesystem::path homeDirectoryPath() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

Result<std::filesystem::path> userDirectory(UserDirectory which, bool create) {
    std::filesystem::path folder = userDirectoryPath(which);
    if (create) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return Error{"FileSystem", error.value(), "Couldn't create " + folder.string() + ": " + error.message()};
    }
    return folder;
}

}  // namespace quill
