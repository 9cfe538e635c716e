#include "engine/setup/setup_remediation.h"

#include <initializer_list>

#include "engine/core/home_abbreviation.h"
#include "engine/core/overloaded.h"
#include "engine/core/raw_value_table.h"

namespace quill {

namespace {

constexpr detail::RawValueTable<ProjectTemplate, 2> kProjectTemplateRaw = {{
    {ProjectTemplate::simple, "simple"},
    {ProjectTemplate::coding, "coding"},
}};

std::string concat(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const auto piece : pieces)
        text += piece;
    return text;
}

/// Everything a screen and telemetry know about one fix.
struct Description {
    std::string id;
    std::string displayLabel;
    std::string caption;
    std::string telemetryAction;
};

/// Whether `id` is `prefix` followed by exactly the package `name`: identifiers are written out in full so
/// they can be searched for, and this keeps each in step with the package its fix installs.
constexpr bool identifies(std::string_view id, std::string_view prefix, std::string_view name) {
    return id.size() == prefix.size() + name.size() && id.starts_with(prefix) && id.ends_with(name);
}

constexpr std::string_view kClaudeCLIID = "brew:claude-code@latest";
constexpr std::string_view kWarpID = "brew:warp";
constexpr std::string_view kClaudeDesktopID = "brew:claude";
constexpr std::string_view kZedID = "brew:zed";
constexpr std::string_view kVSCodeID = "brew:visual-studio-code";
constexpr std::string_view kZettlrID = "brew:zettlr";
constexpr std::string_view kObsidianID = "brew:obsidian";
constexpr std::string_view kCodexCLIID = "brew:codex";
constexpr std::string_view kChatGPTDesktopID = "brew:chatgpt";
constexpr std::string_view kMiseID = "brew:mise";
constexpr std::string_view kTemurinID = "brew:temurin";
constexpr std::string_view kGhID = "brew:gh";
constexpr std::string_view kNodeViaMiseID = "mise:node@lts";
constexpr std::string_view kRubyViaMiseID = "mise:ruby@latest";
constexpr std::string_view kRustViaMiseID = "mise:rust";

static_assert(identifies(kClaudeCLIID, "brew:", packages::kClaudeCodeCask));
static_assert(identifies(kWarpID, "brew:", packages::kWarpCask));
static_assert(identifies(kClaudeDesktopID, "brew:", packages::kClaudeDesktopCask));
static_assert(identifies(kZedID, "brew:", packages::kZedCask));
static_assert(identifies(kVSCodeID, "brew:", packages::kVSCodeCask));
static_assert(identifies(kZettlrID, "brew:", packages::kZettlrCask));
static_assert(identifies(kObsidianID, "brew:", packages::kObsidianCask));
static_assert(identifies(kCodexCLIID, "brew:", packages::kCodexCask));
static_assert(identifies(kChatGPTDesktopID, "brew:", packages::kChatGPTCask));
static_assert(identifies(kMiseID, "brew:", packages::kMiseFormula));
static_assert(identifies(kTemurinID, "brew:", packages::kTemurinCask));
static_assert(identifies(kGhID, "brew:", packages::kGhFormula));
static_assert(identifies(kNodeViaMiseID, "mise:", packages::kMiseNode));
static_assert(identifies(kRubyViaMiseID, "mise:", packages::kMiseRuby));
static_assert(identifies(kRustViaMiseID, "mise:", packages::kMiseRust));

// The catalogue: one entry per case, texts on one line each so that they can be searched for.
// clang-format off
Description describe(const SetupRemediation::Case& fix) {
    using R = SetupRemediation;
    namespace p = packages;
    const std::string_view cask = "We'll run `brew install --cask ";
    const std::string_view miseUse = "We'll run `mise use -g ";
    return std::visit(Overloaded{
        [](const R::RepairPath& c) -> Description {
            return {concat({"path-repair:", c.directory}), "Fix your PATH so `claude` is found",
                    concat({"We'll add `", c.directory, "` to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so your shell can find `claude`."}),
                    "zprofile_write"};
        },
        [](const R::CreateProject& c) -> Description {
            if (c.template_ == ProjectTemplate::coding) {
                return {"example:coding", "Create the coding project",
                        "We'll copy a spec-driven coding project into ~/Documents/AI-Coding-Project — a worked scaffold that teaches sustainable AI-assisted development.",
                        "template_copy"};
            }
            return {"example:simple", "Create the example project",
                    "We'll copy a ready-to-use sample project into ~/Documents/AI-Simple-Project — a folder to open with Claude, with notes to try and CLAUDE.md / AGENTS.md guidance.",
                    "template_copy"};
        },
        [](const R::InstallSkill& c) -> Description {
            return {concat({"skill:", c.skill.slug}), concat({"Add ", c.skill.displayName}),
                    concat({"We'll add the ", c.skill.displayName, " skill to your AI agents — ", c.skill.badge, "."}),
                    "skill_install"};
        },
        [](const R::AddMCPServer& c) -> Description {
            const bool oauth = std::holds_alternative<MCPServer::OAuth>(c.server.connection);
            return {concat({"mcp:", c.server.slug}), concat({"Add ", c.server.displayName}),
                    oauth ? concat({"We'll add the ", c.server.displayName, " MCP server to your AI agents, then you sign in inside Claude or Codex to finish."})
                          : concat({"We'll add the ", c.server.displayName, " MCP server to your AI agents."}),
                    "mcp_add"};
        },
        [](const R::ConfigureGit&) -> Description {
            return {"git:config", "Save your Git name and email",
                    "We'll set your name and email with `git config --global`, add a few sensible defaults, and create a global ignore file so junk like `.DS_Store` never gets committed.",
                    "git_config"};
        },
        [](const R::InstallCommandLineTools&) -> Description {
            return {"clt", "Install Command Line Tools", "", "softwareupdate"};
        },
        [](const R::InstallHomebrew&) -> Description {
            return {"homebrew", "Install Homebrew (recommended)",
                    "We'll run the official Homebrew install script. macOS will prompt for your password (three times, as needed).",
                    "homebrew"};
        },
        [&](const R::InstallClaudeCLI&) -> Description {
            return {std::string(kClaudeCLIID), "Install Claude Code CLI (recommended)",
                    concat({cask, p::kClaudeCodeCask, "` so Claude Code stays updatable under Homebrew, then verify `claude --version` runs."}),
                    "brew"};
        },
        [](const R::RepairHomebrewPath&) -> Description {
            return {"path-repair:homebrew", "Fix your PATH so `brew` is found",
                    "We'll add Homebrew to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so your shell can find `brew`, then re-check in a fresh shell.",
                    "zprofile_write"};
        },
        [](const R::InstallWarp&) -> Description {
            return {std::string(kWarpID), "Install Warp (recommended)",
                    "We'll install Warp via Homebrew — the modern, AI-assisted macOS terminal we recommend.", "brew"};
        },
        [&](const R::InstallClaudeDesktop&) -> Description {
            return {std::string(kClaudeDesktopID), "Install Claude Desktop (recommended)",
                    concat({cask, p::kClaudeDesktopCask, "` to install the Claude desktop app, then confirm it's present."}), "brew"};
        },
        [&](const R::InstallZed&) -> Description {
            return {std::string(kZedID), "Install Zed", concat({cask, p::kZedCask, "` to install Zed, a native and fast editor."}), "brew"};
        },
        [&](const R::InstallVSCode&) -> Description {
            return {std::string(kVSCodeID), "Install VS Code", concat({cask, p::kVSCodeCask, "` to install Visual Studio Code."}), "brew"};
        },
        [](const R::InstallZettlr&) -> Description {
            return {std::string(kZettlrID), "Install Zettlr", "free WYSIWYG editor", "brew"};
        },
        [](const R::InstallObsidian&) -> Description {
            return {std::string(kObsidianID), "Install Obsidian", "PKM free for personal use", "brew"};
        },
        [&](const R::InstallCodexCLI&) -> Description {
            return {std::string(kCodexCLIID), "Install Codex CLI", concat({cask, p::kCodexCask, "` to install the Codex CLI in your terminal."}), "brew"};
        },
        [&](const R::InstallChatGPTDesktop&) -> Description {
            return {std::string(kChatGPTDesktopID), "Install ChatGPT Desktop",
                    concat({cask, p::kChatGPTCask, "` to install the ChatGPT desktop app, which has OpenAI's Codex coding agent built in."}), "brew"};
        },
        [](const R::ConfigureShell&) -> Description {
            return {"shell-config", "Set up my shell",
                    "We'll set up `~/.zprofile` (PATH), `~/.zshrc` (aliases and completions), and `~/.env` (API keys). Each file is backed up first, and nothing is overwritten.",
                    "shell_config"};
        },
        [](const R::InstallUv&) -> Description {
            return {"uv", "Install Python (uv)",
                    "We'll install uv (Astral's installer), use it to install Python, and add uv's `~/.local/bin` to your PATH.", "uv"};
        },
        [](const R::InstallMise&) -> Description {
            return {std::string(kMiseID), "Install mise (version manager)",
                    "We'll install mise with Homebrew to manage Node and Ruby versions, and activate it in your shell.", "brew"};
        },
        [&](const R::InstallNodeViaMise&) -> Description {
            return {std::string(kNodeViaMiseID), "Install Node (via mise)", concat({miseUse, p::kMiseNode, "` to install the latest LTS Node."}), "mise"};
        },
        [&](const R::InstallRubyViaMise&) -> Description {
            return {std::string(kRubyViaMiseID), "Install Ruby (via mise)", concat({miseUse, p::kMiseRuby, "` to install the latest Ruby."}), "mise"};
        },
        [&](const R::InstallRustViaMise&) -> Description {
            return {std::string(kRustViaMiseID), "Install Rust (via mise)",
                    concat({miseUse, p::kMiseRust, "` to install Rust. mise uses rustup underneath, so cargo and rustc resolve through mise."}), "mise"};
        },
        [](const R::InstallRustup&) -> Description {
            return {"rustup", "Install Rust (rustup)",
                    "We'll install rustup (Rust's official installer) and the stable toolchain, and add `~/.cargo/bin` to your PATH.", "rustup"};
        },
        [](const R::InstallTemurin&) -> Description {
            return {std::string(kTemurinID), "Install Java (Temurin)",
                    concat({"We'll install the Temurin JDK with Homebrew (`", p::kTemurinCask, "` cask) and set JAVA_HOME."}), "brew"};
        },
        [](const R::DocumentEnvironment&) -> Description {
            return {"env-doc", "Document the setup for your AI agent", "", "env_doc"};
        },
        [](const R::InstallGh&) -> Description {
            return {std::string(kGhID), "Install the GitHub CLI", concat({"We'll run `brew install ", p::kGhFormula, "` to install the GitHub CLI."}), "brew"};
        },
        [](const R::GithubAuth&) -> Description {
            return {"git:gh-auth", "Sign in to GitHub",
                    "We'll open GitHub sign-in in your browser, then set up Git so pushes don't ask for a password. We never see your GitHub password.",
                    "gh_auth"};
        },
    }, fix);
}
// clang-format on

}  // namespace

std::string_view projectFolderName(ProjectTemplate template_) {
    return template_ == ProjectTemplate::coding ? "AI-Coding-Project" : "AI-Simple-Project";
}

std::string_view toRaw(ProjectTemplate value) {
    return detail::rawValueOf(kProjectTemplateRaw, value);
}

std::optional<ProjectTemplate> fromRawProjectTemplate(std::string_view raw) {
    return detail::valueOfRaw(kProjectTemplateRaw, raw);
}

std::string SetupRemediation::id() const {
    return describe(value).id;
}

std::string SetupRemediation::displayLabel() const {
    return describe(value).displayLabel;
}

std::string SetupRemediation::caption() const {
    return describe(value).caption;
}

std::string SetupRemediation::telemetryAction() const {
    return describe(value).telemetryAction;
}

std::string SetupRemediation::maskedID(const std::filesystem::path& homeDirectory) const {
    return abbreviatingHome(id(), homeDirectory);
}

}  // namespace quill
