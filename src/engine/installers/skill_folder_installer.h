#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/result.h"
#include "engine/services/file_system_operating.h"

namespace quill {

/// Copies an agent skill folder into the skills folder of every AI agent set up here, never over a folder
/// already there, and tells whether a skill is present for all of them. Blocking; keeps no state.
struct SkillFolderInstaller {
    /// An agent that loads skills from `configDir` (relative to the home folder) + "skills".
    struct Agent {
        std::string label;
        std::string configDir;

        bool operator==(const Agent&) const = default;
    };

    /// What `install` reports.
    struct Outcome {
        std::vector<std::string> messages;
        bool succeeded = true;
        std::vector<std::string> installed;  ///< labels of the agents that got a new copy

        bool operator==(const Outcome&) const = default;
    };

    /// The agents known, in the order of every list and message.
    static const std::vector<Agent>& agents();

    std::shared_ptr<const FileSystemOperating> fs;

    /// Copies the tree at `source` as `slug` for each detected agent that lacks it. Each copy is built in a
    /// staging folder inside the agent's folder and moved into place whole, so a failed copy leaves nothing
    /// that looks installed. The first failure stops; agents done before it keep their copies.
    [[nodiscard]] Outcome install(const std::filesystem::path& source, const std::string& slug) const;

    /// True when at least one agent is detected and each detected agent has an item named `slug` in its
    /// skills folder.
    [[nodiscard]] bool isInstalled(const std::string& slug) const;

  private:
    [[nodiscard]] std::vector<Agent> detectedAgents() const;
    [[nodiscard]] Result<void> copyTree(const std::filesystem::path& source,
                                        const std::filesystem::path& destination) const;
};

}  // namespace quill
