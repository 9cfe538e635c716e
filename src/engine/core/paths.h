#pragma once

#include <filesystem>

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

/// Where shipped resources live: the bundle's Resources folder on macOS, <executable>/../share/quillstart on
/// Linux. The build tree has the same layout.
class ResourceLocator {
  public:
    /// The resources folder of the running executable.
    static std::filesystem::path resourcesDirectory();
    /// A resource by its path relative to the resources folder.
    static std::filesystem::path resource(const std::filesystem::path& relative);
};

}  // namespace quill
