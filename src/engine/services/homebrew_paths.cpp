#include "engine/services/homebrew_paths.h"

namespace quill {

std::optional<std::string> homebrewTool(const FileSystemOperating& fs, std::string_view name) {
    for (const std::string_view folder : kHomebrewBinFolders) {
        std::string path = std::string(folder) + "/" + std::string(name);
        if (fs.fileExists(path))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> homebrewExecutable(const FileSystemOperating& fs) {
    return homebrewTool(fs, "brew");
}

}  // namespace quill
