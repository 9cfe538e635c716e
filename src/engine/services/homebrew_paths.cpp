#include "engine/services/homebrew_paths.h"

#include <utility>

namespace quill {

std::string homebrewBinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    return path.append(folder).append("/").append(name);
}

std::vector<std::string> inHomebrewFolders(std::string_view name) {
    std::vector<std::string> paths;
    paths.reserve(kHomebrewBinFolders.size());
    for (const std::string_view folder : kHomebrewBinFolders)
        paths.push_back(homebrewBinPath(folder, name));
    return paths;
}

std::optional<std::string> homebrewTool(const FileSystemOperating& fs, std::string_view name,
                                        HomebrewToolCheck check) {
    for (std::string& path : inHomebrewFolders(name)) {
        const bool passes =
            check == HomebrewToolCheck::executable ? fs.isExecutableFile(path) : fs.fileExists(path);
        if (passes)
            return std::move(path);
    }
    return std::nullopt;
}

std::optional<std::string> homebrewExecutable(const FileSystemOperating& fs, HomebrewToolCheck check) {
    return homebrewTool(fs, "brew", check);
}

}  // namespace quill
