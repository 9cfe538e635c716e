#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "engine/core/paths.h"

namespace quill {

std::filesystem::path homeDirectoryPath() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    // The reentrant lookup: the probes ask for the home folder from many threads at once, and the plain one
    // hands every caller the same static record.
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int code = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (code == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (code == 0 && found != nullptr && entry.pw_dir != nullptr)
            return entry.pw_dir;
        return "/";
    }
}

Result<std::filesystem::path> userDirectory(UserDirectory which, IfMissing ifMissing) {
    std::filesystem::path folder = userDirectoryPath(which);
    if (ifMissing == IfMissing::create) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
            return fail(Error{"FileSystem", error.value(),
                              "Couldn't create " + folder.string() + ": " + error.message()});
    }
    return folder;
}

}  // namespace quill
