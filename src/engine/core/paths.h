#pragma once

#include <filesystem>
#include <optional>

#include "engine/core/result.h"

namespace quill {

/// The per-user standard folders the program uses.
enum class UserDirectory {
    configuration,       ///< settings: ~/Library/Preferences on macOS, $XDG_CONFIG_HOME on Linux
    caches,              ///< ~/Library/Caches, $XDG_CACHE_HOME
    applicationSupport,  ///< ~/Library/Application Support, $XDG_DATA_HOME
};

/// What `userDirectory` does when the folder is missing.
enum class IfMissing {
    leave,   ///< only name it
    create,  ///< create it with its parents
};

/// The current user's home folder: $HOME, else the password database.
std::filesystem::path homeDirectoryPath();

/// The folder for `which` (not created).
std::filesystem::path userDirectoryPath(UserDirectory which);

/// The folder for `which`, created first (with its parents) when it is missing and `ifMissing` says so.
Result<std::filesystem::path> userDirectory(UserDirectory which, IfMissing ifMissing);

/// The user's own temporary folder: $TMPDIR when it holds an absolute path, else the per-user folder the
/// system keeps (macOS) or /tmp (Linux). On macOS it is never the shared /tmp; it fails when the system has
/// no such folder.
Result<std::filesystem::path> userTemporaryDirectory();

/// Where shipped resources live, found from the executable's real path in either layout, on every platform:
/// inside an app bundle (<bundle>/Contents/MacOS/<executable> → <bundle>/Contents/Resources) or beside a
/// plain executable (<prefix>/bin/<executable> → <prefix>/share/quillstart). The build tree has the second
/// layout.
class ResourceLocator {
  public:
    /// The resources folder of the running executable.
    static std::filesystem::path resourcesDirectory();
    /// The resources folder of the executable at `executable`, symbolic links resolved. Says where the
    /// resources belong, whether or not they are there.
    static std::filesystem::path resourcesDirectory(const std::filesystem::path& executable);
    /// A resource by its path relative to the resources folder.
    static std::filesystem::path resource(const std::filesystem::path& relative);
    /// The Info.plist of the app bundle that holds `resourcesDirectory`; nothing when the resources are not
    /// a bundle's.
    static std::optional<std::filesystem::path> bundleInfoPlist(
        const std::filesystem::path& resourcesDirectory);
};

/// The running executable's path as the system reports it (links not resolved).
std::filesystem::path runningExecutablePath();

}  // namespace quill
