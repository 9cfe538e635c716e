#include <mach-o/dyld.h>

#include <cstdint>
#include <system_error>
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

std::filesystem::path ResourceLocator::resourcesDirectory() {
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    std::error_code error;
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return std::filesystem::current_path(error);
    // <bundle>/Contents/MacOS/<executable> → <bundle>/Contents/Resources
    std::filesystem::path executable = std::filesystem::weakly_canonical(buffer.data(), error);
    if (error)
        executable = buffer.data();
    return executable.parent_path().parent_path() / "Resources";
}

std::filesystem::path ResourceLocator::resource(const std::filesystem::path& relative) {
    return resourcesDirectory() / relative;
}

}  // namespace quill
