#include "engine/products/outcome_audit.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "engine/core/text.h"
#include "engine/installers/shell_configurator.h"
#include "engine/products/brew/brew_verifier.h"
#include "engine/setup/login_shell_output.h"
#include "engine/setup/setup_remediation.h"

namespace quill {

namespace {

/// The section a checklist line belongs to, in display order.
enum class AuditSection { foundation, editors, agents, languages };
constexpr std::array<std::string_view, 4> kAuditSectionTitles = {"Foundation", "Editors & terminal",
                                                                 "AI agents", "Languages"};

}  // namespace

std::vector<OutcomeAuditSection> buildOutcomeAudit(const std::optional<SystemProfile>& profile,
                                                   const ProcessRunning& process,
                                                   const FileSystemOperating& fs, std::stop_token stop) {
    std::array<std::vector<std::string>, kAuditSectionTitles.size()> lines;
    auto add = [&lines](AuditSection section, std::string line) {
        lines[static_cast<std::size_t>(section)].push_back(std::move(line));
    };
    // A check passes when the login shell exits 0 and prints something; a stop ends the running one.
    auto check = [&](const std::string& command) -> LoginShellOutput {
        if (stop.stop_requested())
            return {};
        return loginShellOutput(process, command, kLoginShellProbeTimeLimit, stop);
    };

    const bool commandLineTools = check("xcode-select -p 2>&1").ok;
    if (commandLineTools)
        add(AuditSection::foundation, "Command Line Tools installed");
    if (commandLineTools) {
        if (const auto git = check("git --version 2>&1"); git.ok) {
            std::string first;
            for (const auto& line : splitLines(git.output)) {
                if (!trimWhitespaceAndNewlines(line).empty()) {
                    first = trimWhitespaceAndNewlines(line);
                    break;
                }
            }
            add(AuditSection::foundation, first.empty() ? "git installed" : first);
        }
    }
    if (const auto brew = check("brew --version 2>&1"); brew.ok) {
        const auto version = brewVersion(brew.output);
        add(AuditSection::foundation,
            version ? "Homebrew installed — version " + *version : "Homebrew installed");
    }
    if (!stop.stop_requested() && ShellConfigurator::isConfigured(fs))
        add(AuditSection::foundation, "Shell configuration in place");
    const bool mise = check("mise --version 2>&1").ok;
    if (mise)
        add(AuditSection::foundation, "mise installed for language version management");

    if (profile) {
        const auto& tools = profile->aiTooling;
        const auto& editors = profile->markdownEditors;
        const std::array<std::pair<bool, const char*>, 5> editorLines = {{
            {tools.warpApp || profile->terminals.warp, "Warp installed"},
            {tools.zed, "Zed installed"},
            {tools.vsCode, "VS Code installed"},
            {editors.zettlr, "Zettlr installed"},
            {editors.obsidian, "Obsidian installed"},
        }};
        for (const auto& [present, line] : editorLines) {
            if (present)
                add(AuditSection::editors, line);
        }
        const std::array<std::pair<bool, const char*>, 4> agentLines = {{
            {tools.claudeCodeDesktop,
             "Claude Desktop installed (paid subscription required for Claude Code)"},
            {tools.claudeCodeCLI, "Claude Code CLI installed (paid subscription required)"},
            {tools.chatgptDesktop, "ChatGPT Desktop installed"},
            {tools.codexCLI, "Codex CLI installed"},
        }};
        for (const auto& [present, line] : agentLines) {
            if (present)
                add(AuditSection::agents, line);
        }
    }

    if (check("uv --version 2>&1").ok)
        add(AuditSection::languages, "Python installed (with uv)");
    if (mise) {
        constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kMiseLanguages = {{
            {"node", "JavaScript installed (with mise via Node)"},
            {"ruby", "Ruby installed (with mise)"},
            {"cargo", "Rust installed (with mise via rustup)"},
        }};
        for (const auto& [tool, line] : kMiseLanguages) {
            if (check("mise which " + std::string(tool) + " 2>/dev/null").ok)
                add(AuditSection::languages, std::string(line));
        }
    }
    if (check("/usr/libexec/java_home 2>/dev/null").ok)
        add(AuditSection::languages, "Java installed");

    std::vector<OutcomeAuditSection> sections;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (!lines[index].empty())
            sections.push_back({std::string(kAuditSectionTitles[index]), std::move(lines[index])});
    }
    return sections;
}

bool anyExampleProjectInDocuments(const FileSystemOperating& fs) {
    const auto documents = fs.homeDirectory() / "Documents";
    return std::ranges::any_of(kProjectTemplates, [&](ProjectTemplate project) {
        return fs.fileExists(documents / std::string(projectFolderName(project)));
    });
}

std::optional<std::filesystem::path> installedAppPath(const FileSystemOperating& fs,
                                                      const std::string& appName) {
    for (const auto& folder : {std::filesystem::path("/Applications"), fs.homeDirectory() / "Applications"}) {
        if (fs.fileExists(folder / appName))
            return folder / appName;
    }
    return std::nullopt;
}

OutcomeFiles findOutcomeFiles(const FileSystemOperating& fs, const std::vector<std::string>& appNames) {
    OutcomeFiles files{anyExampleProjectInDocuments(fs), {}};
    files.appPaths.reserve(appNames.size());
    for (const auto& name : appNames)
        files.appPaths.push_back(installedAppPath(fs, name));
    return files;
}

}  // namespace quill
