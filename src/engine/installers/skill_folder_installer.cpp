#include "engine/installers/skill_folder_installer.h"

#include "engine/core/text.h"
#include "engine/installers/file_tree.h"

namespace quill {

namespace {

std::string stagingPrefix(const std::string& slug) {
    return ".quillstart-staging-" + slug + "-";
}

}  // namespace

const std::vector<SkillFolderInstaller::Agent>& SkillFolderInstaller::agents() {
    static const std::vector<Agent> known{
        {"Claude", ".claude"},
        {"Codex", ".codex"},
        {"Zed", ".agents"},
    };
    return known;
}

std::vector<SkillFolderInstaller::Agent> SkillFolderInstaller::detectedAgents() const {
    const auto home = fs->homeDirectory();
    std::vector<Agent> detected;
    for (const auto& agent : agents()) {
        if (itemExists(*fs, home / agent.configDir))
            detected.push_back(agent);
    }
    return detected;
}

Result<void> SkillFolderInstaller::copyTree(const std::filesystem::path& source,
                                            const std::filesystem::path& destination) const {
    auto entries = treeEntries(*fs, source);
    if (!entries)
        return fail(entries.error());
    for (const auto& entry : *entries) {
        const auto from = source / entry.name;
        const auto to = destination / entry.name;
        if (entry.isFolder) {
            if (auto created = fs->createDirectory(to, CreateDirectoryMode::withIntermediates); !created)
                return created;
            if (auto copied = copyTree(from, to); !copied)
                return copied;
            continue;
        }
        auto bytes = fs->readData(from);
        if (!bytes)
            return fail(bytes.error());
        if (auto written = fs->write(*bytes, to, WriteMode::atomically); !written)
            return written;
    }
    return {};
}

SkillFolderInstaller::Outcome SkillFolderInstaller::install(const std::filesystem::path& source,
                                                            const std::string& slug) const {
    if (!fs->fileExists(source))
        return {{"Couldn't find the skill files for " + slug + "."}, false, {}};
    const auto detected = detectedAgents();
    if (detected.empty())
        return {{"No AI agent is set up yet — nothing to install " + slug + " into."}, true, {}};

    const auto home = fs->homeDirectory();
    std::vector<std::string> installed;
    std::vector<std::string> alreadyHad;
    for (const auto& agent : detected) {
        const auto agentFolder = home / agent.configDir;
        const auto destination = agentFolder / "skills" / slug;
        if (itemExists(*fs, destination)) {
            alreadyHad.push_back(agent.label);
            continue;
        }
        // The copy is staged outside the skills folder, where the agent would load a half copy.
        removeStaleStaging(*fs, agentFolder, stagingPrefix(slug));
        const auto staging = agentFolder / stagingName(stagingPrefix(slug));
        bool stagingCreated = false;
        const auto result = [&]() -> Result<void> {
            if (auto created =
                    fs->createDirectory(destination.parent_path(), CreateDirectoryMode::withIntermediates);
                !created)
                return created;
            if (auto created = fs->createDirectory(staging, CreateDirectoryMode::parentMustExist); !created)
                return created;
            stagingCreated = true;
            if (auto copied = copyTree(source, staging); !copied)
                return copied;
            return fs->moveItem(staging, destination);
        }();
        if (!result) {
            if (stagingCreated && itemExists(*fs, staging))
                (void)fs->removeItem(staging);
            return {{"Couldn't install " + slug + ": " + result.error().message}, false, installed};
        }
        installed.push_back(agent.label);
    }

    std::vector<std::string> messages;
    if (!installed.empty())
        messages.push_back("Installed " + slug + " for " + join(installed, ", ") + ".");
    if (!alreadyHad.empty())
        messages.push_back(join(alreadyHad, ", ") + " already had " + slug + " — left as is.");
    return {messages, true, installed};
}

bool SkillFolderInstaller::isInstalled(const std::string& slug) const {
    const auto detected = detectedAgents();
    if (detected.empty())
        return false;
    const auto home = fs->homeDirectory();
    for (const auto& agent : detected) {
        if (!itemExists(*fs, home / agent.configDir / "skills" / slug))
            return false;
    }
    return true;
}

}  // namespace quill
