#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/result.h"
#include "engine/services/file_system_operating.h"

namespace quill {

// Helpers of the writers that copy folder trees and keep backups. Blocking; everything goes through `fs`.

/// Whether anything is at `path`, a symbolic link that leads nowhere included.
bool itemExists(const FileSystemOperating& fs, const std::filesystem::path& path);

/// The permissions of the file at `path`; for a symbolic link, those of the file it leads to.
std::optional<unsigned> filePermissions(const FileSystemOperating& fs, const std::filesystem::path& path);

/// Whether a copy of `text`, the user's text of a file, is owed at `backup`: always, but where `text` holds
/// nothing to keep (white space, NUL bytes and byte-order marks, U+FEFF, in any mix, nothing else) and
/// something stands at `backup` already: the user's own copy, which stays as it is.
bool backupOwed(const FileSystemOperating& fs, std::string_view text, const std::filesystem::path& backup);

/// Saves `text`, the contents of `file`, as the copy `backup`: a new file with `file`'s mode (600 when that
/// cannot be told), put in place by one rename, so that an older copy is replaced only by a whole new one and
/// never removed first. A file or a symbolic link at `backup` is replaced (a link is not followed); a folder
/// there makes it fail (EISDIR) and stays as it is.
Result<void> writeBackup(const FileSystemOperating& fs, const std::filesystem::path& file,
                         const std::filesystem::path& backup, std::string_view text);

/// One entry of a folder that a tree copy takes.
struct TreeEntry {
    std::string name;
    bool isFolder = false;

    bool operator==(const TreeEntry&) const = default;
};

/// The folders and regular files in `folder`, hidden ones included, by name in plain byte order. Symbolic
/// links are left out, never followed (a tree must not pull in files from outside it), and so are FIFOs,
/// sockets and devices.
Result<std::vector<TreeEntry>> treeEntries(const FileSystemOperating& fs,
                                           const std::filesystem::path& folder);

/// The name of a fresh staging folder: `prefix` + a random UUID.
std::string stagingName(std::string_view prefix);

/// Removes the staging folders in `parent` (named `prefix` + a UUID) that have not changed for a minute: left
/// behind by a copy that was killed. A younger one may belong to a copy still running. Failures are ignored.
void removeStaleStaging(const FileSystemOperating& fs, const std::filesystem::path& parent,
                        std::string_view prefix);

}  // namespace quill
