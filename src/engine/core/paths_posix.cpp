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

std::filesystem::path ResourceLocator::resourcesDirectory() {
    return resourcesDirectory(runningExecutablePath());
}

std::filesystem::path ResourceLocator::resourcesDirectory(const std::filesystem::path& executable) {
    std::error_code error;
    // A link to the executable (from a bin folder on the PATH, say) leads to where the executable really is.
    std::filesystem::path real = std::filesystem::weakly_canonical(executable, error);
    if (error || real.empty())
        real = executable;
    const auto folder = real.parent_path();
    const auto contents = folder.parent_path();
    if (folder.filename() == "MacOS" && contents.filename() == "Contents")
        return contents / "Resources";
    return contents / "share" / "quillstart";
}

std::filesystem::path ResourceLocator::resource(const std::filesystem::path& relative) {
    return resourcesDirectory() / relative;
}

std::optional<std::filesystem::path> ResourceLocator::bundleInfoPlist(
    const std::filesystem::path& resourcesDirectory) {
    const auto contents = resourcesDirectory.parent_path();
    if (resourcesDirectory.filename() != "Resources" || contents.filename() != "Contents")
        return std::nullopt;
    return contents / "Info.plist";
}

}  // namespace quill
