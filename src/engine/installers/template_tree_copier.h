#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/result.h"
#include "engine/installers/writer_outcome.h"
#include "engine/services/file_system_operating.h"

namespace quill {

/// Copies a shipped example-project tree into the user's folders. Entries stored as "dot.name" are written as
/// ".name". Blocking; keeps no state.
struct TemplateTreeCopier {
    std::shared_ptr<const FileSystemOperating> fs;

    /// Creates the project at `destination` (the default place; left alone when something is there already),
    /// or, when the user chose the folder, adds the example files to it without touching the user's files:
    /// an instruction file the user has gets the example written beside it under its example name. A new
    /// project is built in a staging folder beside `destination` and moved into place whole.
    [[nodiscard]] WriterOutcome copyTemplate(const std::filesystem::path& templateFolder,
                                             const std::filesystem::path& destination,
                                             bool chosenByUser) const;

    /// The name a template entry is written as: "dot.x" gives ".x"; other names stay.
    [[nodiscard]] static std::string outputName(std::string_view name);
    /// The name an example is written as beside a user's file: "CLAUDE.md" gives "CLAUDE-example.md",
    /// "Makefile" gives "Makefile-example".
    [[nodiscard]] static std::string exampleName(std::string_view name);
    /// `path` with the home folder shown as "~".
    [[nodiscard]] std::string displayedPath(const std::filesystem::path& path) const;

  private:
    [[nodiscard]] Result<void> walk(const std::filesystem::path& source,
                                    const std::filesystem::path& destination, bool adding,
                                    std::vector<std::string>& clashes) const;
};

}  // namespace quill
