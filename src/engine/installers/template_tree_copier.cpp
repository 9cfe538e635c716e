#include "engine/installers/template_tree_copier.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "engine/core/home_abbreviation.h"
#include "engine/core/text.h"
#include "engine/installers/file_tree.h"

namespace quill {

namespace {

/// The files that, when the user has one, get the example written beside it.
constexpr std::array<std::string_view, 2> kInstructionFiles{"CLAUDE.md", "AGENTS.md"};

bool isInstructionFile(std::string_view name) {
    return std::find(kInstructionFiles.begin(), kInstructionFiles.end(), name) != kInstructionFiles.end();
}

std::string stagingPrefix(const std::filesystem::path& destination) {
    return "." + destination.filename().string() + ".quillstart-staging-";
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

/// A failed copy's lines: `message`, and where macOS refused the Documents folder (EPERM: the user has not
/// let the app into it), where to allow it.
std::vector<std::string> failureLines(std::string message, const Error& error,
                                      const std::filesystem::path& home,
                                      const std::filesystem::path& destination) {
    std::vector<std::string> lines{std::move(message)};
    if (error.code == EPERM && isInside(destination, home / "Documents"))
        lines.emplace_back(
            "macOS didn't let the app into your Documents folder — you can allow it in System Settings › "
            "Privacy & Security › Files and Folders, then try again.");
    return lines;
}

}  // namespace

std::string TemplateTreeCopier::outputName(std::string_view name) {
    if (name.starts_with("dot."))
        return "." + std::string(name.substr(4));
    return std::string(name);
}

std::string TemplateTreeCopier::exampleName(std::string_view name) {
    const std::filesystem::path path(name);
    const std::string extension = path.extension().string();
    // ".gitignore" and "notes." have no extension.
    if (extension.size() <= 1)
        return std::string(name) + "-example";
    return path.stem().string() + "-example" + extension;
}

std::string TemplateTreeCopier::displayedPath(const std::filesystem::path& path) const {
    return abbreviatingHome(path.string(), fs->homeDirectory());
}

Result<void> TemplateTreeCopier::walk(const std::filesystem::path& source,
                                      const std::filesystem::path& destination, bool adding,
                                      std::vector<std::string>& clashes) const {
    auto entries = treeEntries(*fs, source);
    if (!entries)
        return fail(entries.error());
    for (const auto& entry : *entries) {
        const std::string name = outputName(entry.name);
        // "dot." and "dot.." would name the folder itself or its parent.
        if (name == "." || name == "..")
            continue;
        const auto from = source / entry.name;
        const auto to = destination / name;
        if (entry.isFolder) {
            if (!itemExists(*fs, to)) {
                if (auto created = fs->createDirectory(to, CreateDirectoryMode::withIntermediates); !created)
                    return created;
            }
            if (auto walked = walk(from, to, adding, clashes); !walked)
                return walked;
            continue;
        }

        auto target = to;
        if (adding && itemExists(*fs, to)) {
            if (!isInstructionFile(name))
                continue;
            clashes.push_back(name);
            target = destination / exampleName(name);
            if (itemExists(*fs, target))
                continue;
        }
        auto bytes = fs->readData(from);
        if (!bytes)
            return fail(bytes.error());
        if (auto written = fs->write(*bytes, target, WriteMode::atomically); !written)
            return written;
    }
    return {};
}

WriterOutcome TemplateTreeCopier::copyTemplate(const std::filesystem::path& templateFolder,
                                               const std::filesystem::path& destination,
                                               bool chosenByUser) const {
    if (!fs->fileExists(templateFolder))
        return {{"Couldn't find the bundled project template at " + templateFolder.string() + "."}, false};
    const std::string shown = displayedPath(destination);

    if (chosenByUser) {
        std::vector<std::string> clashes;
        const auto added = [&]() -> Result<void> {
            if (auto created = fs->createDirectory(destination, CreateDirectoryMode::withIntermediates);
                !created)
                return created;
            return walk(templateFolder, destination, true, clashes);
        }();
        if (!added)
            return {failureLines("Couldn't add the example files to " + shown + ": " + added.error().message,
                                 added.error(), fs->homeDirectory(), destination),
                    false};
        std::vector<std::string> messages{"Added the example files to " + shown + "."};
        if (!clashes.empty()) {
            std::vector<std::string> examples;
            examples.reserve(clashes.size());
            for (const auto& name : clashes)
                examples.push_back(exampleName(name));
            messages.push_back("You already had " + join(clashes, " and ") + " — wrote " +
                               join(examples, " and ") + " instead (your files are untouched).");
        }
        return {messages, true};
    }

    if (itemExists(*fs, destination))
        return {{"A project already exists at " + shown + " — leaving it as is."}, true};

    // Built beside the destination and moved into place whole: a failed copy never looks like a project.
    const auto parent = destination.parent_path();
    std::filesystem::path staging;
    const auto created = [&]() -> Result<void> {
        if (auto made = fs->createDirectory(parent, CreateDirectoryMode::withIntermediates); !made)
            return made;
        removeStaleStaging(*fs, parent, stagingPrefix(destination));
        const auto folder = parent / stagingName(stagingPrefix(destination));
        if (auto made = fs->createDirectory(folder, CreateDirectoryMode::parentMustExist); !made)
            return made;
        staging = folder;
        std::vector<std::string> unused;
        if (auto walked = walk(templateFolder, staging, false, unused); !walked)
            return walked;
        return fs->moveItem(staging, destination);
    }();
    if (!created) {
        if (!staging.empty() && itemExists(*fs, staging))
            (void)fs->removeItem(staging);
        return {failureLines("Couldn't create the project at " + shown + ": " + created.error().message,
                             created.error(), fs->homeDirectory(), destination),
                false};
    }
    return {{"Created your project at " + shown + "."}, true};
}

}  // namespace quill
