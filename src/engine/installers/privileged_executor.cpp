#include "engine/installers/privileged_executor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "engine/core/paths.h"
#include "engine/core/uuid.h"
#include "engine/setup/product_config.h"

namespace quill {

namespace {

constexpr std::string_view kDefaultPath = "/usr/bin:/bin:/usr/sbin:/sbin";
constexpr unsigned kOwnerOnly = 0700;
/// A private folder left this long ago was left by a run that ended before its clean-up.
constexpr std::chrono::hours kStaleFolderAge{24};

/// Control characters would let a prompt end the here-document early or break the dialog's one line.
std::string withoutControlCharacters(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    return result;
}

}  // namespace

std::string appleScriptEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else
            escaped.push_back(c);
    }
    return escaped;
}

std::string PrivilegedExecutor::askpassScript(std::string_view prompt, std::string_view title) {
    // The here-document's delimiter is quoted, so bash hands its text to osascript untouched: no expansion of
    // $(…) or backticks, and the doubled backslashes reach AppleScript as written.
    return "#!/bin/bash\nosascript <<'EOF'\nactivate\ndisplay dialog \"" +
           appleScriptEscaped(withoutControlCharacters(prompt)) +
           "\" default answer \"\" with hidden answer with title \"" +
           appleScriptEscaped(withoutControlCharacters(title)) +
           "\" with icon caution buttons {\"Cancel\", \"OK\"} default button \"OK\"\n"
           "return text returned of result\nEOF";
}

void sweepStalePrivilegedFolders(const std::filesystem::path& temporary,
                                 std::chrono::system_clock::time_point now) {
    const auto oldest = std::chrono::system_clock::to_time_t(now - kStaleFolderAge);
    std::error_code error;
    for (std::filesystem::directory_iterator entry(temporary, error), end; !error && entry != end;
         entry.increment(error)) {
        const auto& path = entry->path();
        if (!path.filename().string().starts_with(PrivilegedExecutor::kFolderPrefix))
            continue;
        // Only a real folder of ours: lstat sees a link as a link, and another user's folder is theirs.
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
            info.st_mtime >= oldest)
            continue;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);  // links inside are removed, never followed
    }
}

Result<PrivilegedEnvironment> PrivilegedExecutor::prepareEnvironment(const std::string& prompt) const {
    auto temporary = userTemporaryDirectory();
    if (!temporary)
        return fail(temporary.error());
    sweepStalePrivilegedFolders(*temporary, std::chrono::system_clock::now());
    const std::filesystem::path folder = *temporary / (std::string(kFolderPrefix) + randomUUID());
    if (auto created = fs->createDirectory(folder, CreateDirectoryMode::newPrivate); !created)
        return fail(created.error());

    const auto config = ProductConfig::current();
    const std::filesystem::path askpass = folder / "askpass.sh";
    const std::filesystem::path wrapper = folder / "sudo";
    // Both scripts are created executable by their owner only, never readable by others on the way.
    if (auto written =
            fs->write(askpassScript(prompt, config->displayName), askpass, WriteMode::atomically, kOwnerOnly);
        !written)
        return fail(written.error());
    if (auto written = fs->write(kSudoWrapper, wrapper, WriteMode::atomically, kOwnerOnly); !written)
        return fail(written.error());

    const char* inherited = std::getenv("PATH");
    const std::string path = inherited && *inherited ? inherited : std::string(kDefaultPath);
    PrivilegedEnvironment prepared;
    prepared.variables = {{"PATH", folder.string() + ":" + path}, {"SUDO_ASKPASS", askpass.string()}};
    prepared.folder = folder;
    prepared.cleanup = [fs = fs, folder] { (void)fs->removeItem(folder); };
    return prepared;
}

}  // namespace quill
