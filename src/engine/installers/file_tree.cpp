#include "engine/installers/file_tree.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/core/text.h"
#include "engine/core/uuid.h"

namespace quill {

namespace {

constexpr std::size_t kUUIDLength = 36;
constexpr auto kStagingAge = std::chrono::minutes(1);
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool holdsNothingToKeep(std::string_view text) {
    // Cut at each NUL and each 0xEF, the lead byte of U+FEFF: neither falls inside a character, and no other
    // character that 0xEF leads (U+F000 to U+FFFF) is white space.
    constexpr std::string_view kCuts("\0\xEF", 2);
    while (true) {
        const std::size_t cut = std::min(text.find_first_of(kCuts), text.size());
        if (!trimWhitespaceAndNewlines(text.substr(0, cut)).empty())
            return false;
        text.remove_prefix(cut);
        if (text.empty())
            return true;
        if (text.front() == '\0')
            text.remove_prefix(1);
        else if (text.starts_with(kByteOrderMark))
            text.remove_prefix(kByteOrderMark.size());
        else
            return false;
    }
}

}  // namespace

bool itemExists(const FileSystemOperating& fs, const std::filesystem::path& path) {
    return fs.fileExists(path) || fs.attributesOfItem(path).has_value();
}

std::optional<unsigned> filePermissions(const FileSystemOperating& fs, const std::filesystem::path& path) {
    auto attributes = fs.attributesOfItem(path);
    if (attributes && attributes->type == std::filesystem::file_type::symlink) {
        std::error_code error;
        const auto resolved = std::filesystem::canonical(path, error);
        attributes = fs.attributesOfItem(error ? path : resolved);
    }
    return attributes ? attributes->posixPermissions : std::nullopt;
}

bool backupOwed(const FileSystemOperating& fs, std::string_view text, const std::filesystem::path& backup) {
    return !holdsNothingToKeep(text) || !itemExists(fs, backup);
}

Result<void> writeBackup(const FileSystemOperating& fs, const std::filesystem::path& file,
                         const std::filesystem::path& backup, std::string_view text) {
    constexpr unsigned kPrivateMode = 0600;
    return fs.write(text, backup, WriteMode::replacingItem, filePermissions(fs, file).value_or(kPrivateMode));
}

Result<std::vector<TreeEntry>> treeEntries(const FileSystemOperating& fs,
                                           const std::filesystem::path& folder) {
    auto names = fs.contentsOfDirectory(folder);
    if (!names)
        return fail(names.error());
    std::sort(names->begin(), names->end());
    std::vector<TreeEntry> entries;
    for (auto& name : *names) {
        auto attributes = fs.attributesOfItem(folder / name);
        if (!attributes)
            return fail(attributes.error());
        if (attributes->type == std::filesystem::file_type::directory)
            entries.push_back({std::move(name), true});
        else if (attributes->type == std::filesystem::file_type::regular)
            entries.push_back({std::move(name), false});
    }
    return entries;
}

std::string stagingName(std::string_view prefix) {
    return std::string(prefix) + randomUUID();
}

void removeStaleStaging(const FileSystemOperating& fs, const std::filesystem::path& parent,
                        std::string_view prefix) {
    const auto names = fs.contentsOfDirectory(parent);
    if (!names)
        return;
    const auto staleBefore = std::chrono::system_clock::now() - kStagingAge;
    for (const auto& name : *names) {
        if (name.size() != prefix.size() + kUUIDLength || !name.starts_with(prefix))
            continue;
        const auto attributes = fs.attributesOfItem(parent / name);
        if (attributes && attributes->type == std::filesystem::file_type::directory &&
            attributes->modificationDate && *attributes->modificationDate < staleBefore) {
            (void)fs.removeItem(parent / name);
        }
    }
}

}  // namespace quill
