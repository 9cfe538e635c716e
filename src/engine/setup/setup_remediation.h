#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "engine/core/tagged_union.h"
#include "engine/setup/agent_skill.h"
#include "engine/setup/mcp_server.h"

namespace quill {

/// The example projects the setup can copy for the user.
enum class ProjectTemplate { simple, coding };

inline constexpr std::array<ProjectTemplate, 2> kProjectTemplates = {ProjectTemplate::simple,
                                                                     ProjectTemplate::coding};

std::string_view toRaw(ProjectTemplate value);
std::optional<ProjectTemplate> fromRawProjectTemplate(std::string_view raw);
/// The folder an example project ships in, which is also its default folder name.
std::string_view projectFolderName(ProjectTemplate template_);

/// The Homebrew, cask and mise names the fixes install. Identifiers, captions and the commands that run them
/// all use these, so they cannot drift apart.
namespace packages {
inline constexpr std::string_view kClaudeCodeCask = "claude-code@latest";
inline constexpr std::string_view kClaudeDesktopCask = "claude";
inline constexpr std::string_view kWarpCask = "warp";
inline constexpr std::string_view kZedCask = "zed";
inline constexpr std::string_view kVSCodeCask = "visual-studio-code";
inline constexpr std::string_view kZettlrCask = "zettlr";
inline constexpr std::string_view kObsidianCask = "obsidian";
inline constexpr std::string_view kCodexCask = "codex";
inline constexpr std::string_view kChatGPTCask = "chatgpt";
inline constexpr std::string_view kTemurinCask = "temurin";
inline constexpr std::string_view kMiseFormula = "mise";
inline constexpr std::string_view kGhFormula = "gh";
inline constexpr std::string_view kMiseNode = "node@lts";
inline constexpr std::string_view kMiseRuby = "ruby@latest";
inline constexpr std::string_view kMiseRust = "rust";
}  // namespace packages

/// The cases of `SetupRemediation`.
struct SetupRemediationCases {
    /// Puts `directory` on PATH in ~/.zprofile so that `claude` is found.
    struct RepairPath {
        std::string directory;
        bool operator==(const RepairPath&) const = default;
    };
    struct CreateProject {
        ProjectTemplate template_ = ProjectTemplate::simple;
        std::optional<std::string> destinationPath;
        bool operator==(const CreateProject&) const = default;
    };
    struct InstallSkill {
        AgentSkill skill;
        bool operator==(const InstallSkill&) const = default;
    };
    struct AddMCPServer {
        MCPServer server;
        std::optional<std::string> apiKey;
        bool operator==(const AddMCPServer&) const = default;
    };
    struct ConfigureGit {
        std::string name;
        std::string email;
        bool operator==(const ConfigureGit&) const = default;
    };

    // The cases without a payload.
    // clang-format off
    struct InstallCommandLineTools { bool operator==(const InstallCommandLineTools&) const = default; };
    struct InstallHomebrew { bool operator==(const InstallHomebrew&) const = default; };
    struct InstallClaudeCLI { bool operator==(const InstallClaudeCLI&) const = default; };
    struct RepairHomebrewPath { bool operator==(const RepairHomebrewPath&) const = default; };
    struct InstallWarp { bool operator==(const InstallWarp&) const = default; };
    struct InstallClaudeDesktop { bool operator==(const InstallClaudeDesktop&) const = default; };
    struct InstallZed { bool operator==(const InstallZed&) const = default; };
    struct InstallVSCode { bool operator==(const InstallVSCode&) const = default; };
    struct InstallZettlr { bool operator==(const InstallZettlr&) const = default; };
    struct InstallObsidian { bool operator==(const InstallObsidian&) const = default; };
    struct InstallCodexCLI { bool operator==(const InstallCodexCLI&) const = default; };
    struct InstallChatGPTDesktop { bool operator==(const InstallChatGPTDesktop&) const = default; };
    struct ConfigureShell { bool operator==(const ConfigureShell&) const = default; };
    struct InstallUv { bool operator==(const InstallUv&) const = default; };
    struct InstallMise { bool operator==(const InstallMise&) const = default; };
    struct InstallNodeViaMise { bool operator==(const InstallNodeViaMise&) const = default; };
    struct InstallRubyViaMise { bool operator==(const InstallRubyViaMise&) const = default; };
    struct InstallRustViaMise { bool operator==(const InstallRustViaMise&) const = default; };
    struct InstallRustup { bool operator==(const InstallRustup&) const = default; };
    struct InstallTemurin { bool operator==(const InstallTemurin&) const = default; };
    struct DocumentEnvironment { bool operator==(const DocumentEnvironment&) const = default; };
    struct InstallGh { bool operator==(const InstallGh&) const = default; };
    struct GithubAuth { bool operator==(const GithubAuth&) const = default; };
    // clang-format on

    using Case =
        std::variant<RepairPath, CreateProject, InstallSkill, AddMCPServer, ConfigureGit,
                     InstallCommandLineTools, InstallHomebrew, InstallClaudeCLI, RepairHomebrewPath,
                     InstallWarp, InstallClaudeDesktop, InstallZed, InstallVSCode, InstallZettlr,
                     InstallObsidian, InstallCodexCLI, InstallChatGPTDesktop, ConfigureShell, InstallUv,
                     InstallMise, InstallNodeViaMise, InstallRubyViaMise, InstallRustViaMise, InstallRustup,
                     InstallTemurin, DocumentEnvironment, InstallGh, GithubAuth>;
};

/// One fix that the setup can offer and run, with the few parameters it needs. Pure data: its identifier,
/// button label, caption and telemetry method are functions of the value alone. Equality is structural, so
/// two values may share an identifier and still differ (two projects with different destinations).
struct SetupRemediation : TaggedUnion<SetupRemediationCases> {
    using TaggedUnion::TaggedUnion;

    // One builder per case, named after it: `SetupRemediation::installMise()`.
    static SetupRemediation repairPath(std::string directory) { return RepairPath{std::move(directory)}; }
    static SetupRemediation createProject(ProjectTemplate template_,
                                          std::optional<std::string> destinationPath = std::nullopt) {
        return CreateProject{template_, std::move(destinationPath)};
    }
    static SetupRemediation installSkill(AgentSkill skill) { return InstallSkill{std::move(skill)}; }
    static SetupRemediation addMCPServer(MCPServer server, std::optional<std::string> apiKey = std::nullopt) {
        return AddMCPServer{std::move(server), std::move(apiKey)};
    }
    static SetupRemediation configureGit(std::string name, std::string email) {
        return ConfigureGit{std::move(name), std::move(email)};
    }
    // clang-format off
    static SetupRemediation installCommandLineTools() { return InstallCommandLineTools{}; }
    static SetupRemediation installHomebrew() { return InstallHomebrew{}; }
    static SetupRemediation installClaudeCLI() { return InstallClaudeCLI{}; }
    static SetupRemediation repairHomebrewPath() { return RepairHomebrewPath{}; }
    static SetupRemediation installWarp() { return InstallWarp{}; }
    static SetupRemediation installClaudeDesktop() { return InstallClaudeDesktop{}; }
    static SetupRemediation installZed() { return InstallZed{}; }
    static SetupRemediation installVSCode() { return InstallVSCode{}; }
    static SetupRemediation installZettlr() { return InstallZettlr{}; }
    static SetupRemediation installObsidian() { return InstallObsidian{}; }
    static SetupRemediation installCodexCLI() { return InstallCodexCLI{}; }
    static SetupRemediation installChatGPTDesktop() { return InstallChatGPTDesktop{}; }
    static SetupRemediation configureShell() { return ConfigureShell{}; }
    static SetupRemediation installUv() { return InstallUv{}; }
    static SetupRemediation installMise() { return InstallMise{}; }
    static SetupRemediation installNodeViaMise() { return InstallNodeViaMise{}; }
    static SetupRemediation installRubyViaMise() { return InstallRubyViaMise{}; }
    static SetupRemediation installRustViaMise() { return InstallRustViaMise{}; }
    static SetupRemediation installRustup() { return InstallRustup{}; }
    static SetupRemediation installTemurin() { return InstallTemurin{}; }
    static SetupRemediation documentEnvironment() { return DocumentEnvironment{}; }
    static SetupRemediation installGh() { return InstallGh{}; }
    static SetupRemediation githubAuth() { return GithubAuth{}; }
    // clang-format on

    /// The stable identifier other parts match fixes by ("brew:mise", "path-repair:/opt/homebrew/bin").
    [[nodiscard]] std::string id() const;
    /// The identifier with the user's home folder replaced by "~" wherever a path in it starts with that
    /// folder: the form to send in telemetry.
    [[nodiscard]] std::string maskedID(const std::filesystem::path& homeDirectory) const;
    /// The label of the fix's button or row.
    [[nodiscard]] std::string displayLabel() const;
    /// The explanatory sentence under the label; empty for two fixes.
    [[nodiscard]] std::string caption() const;
    /// The short method name reported with the fix in telemetry.
    [[nodiscard]] std::string telemetryAction() const;
};

}  // namespace quill
