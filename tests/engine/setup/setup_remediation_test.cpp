#include "engine/setup/setup_remediation.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quill {
namespace {

using R = SetupRemediation;

struct Entry {
    SetupRemediation fix;
    std::string id;
    std::string label;
    std::string caption;
    std::string action;
};

AgentSkill skill(std::string slug, std::string name, std::string badge) {
    return AgentSkill{
        std::move(slug), std::move(name), std::move(badge), AgentSkill::Bundle{"folder"}, true, false};
}

MCPServer server(std::string slug, std::string name, MCPServer::Connection connection) {
    return MCPServer{std::move(slug), std::move(name), "https://mcp.example/sse",
                     "Docs",          std::nullopt,    std::move(connection)};
}

TEST(SetupRemediationTest, EveryFixHasItsExactIdentifierLabelCaptionAndMethod) {
    const std::vector<Entry> catalogue = {
        {R::RepairPath{"/Users/ann/.local/bin"}, "path-repair:/Users/ann/.local/bin",
         "Fix your PATH so `claude` is found",
         "We'll add `/Users/ann/.local/bin` to your PATH in `~/.zprofile` (after backing it up to "
         "`~/.zprofile.bak`) so your shell can find `claude`.",
         "zprofile_write"},
        {R::CreateProject{ProjectTemplate::simple, std::nullopt}, "example:simple",
         "Create the example project",
         "We'll copy a ready-to-use sample project into ~/Documents/AI-Simple-Project — a folder to open "
         "with "
         "Claude, with notes to try and CLAUDE.md / AGENTS.md guidance.",
         "template_copy"},
        {R::CreateProject{ProjectTemplate::coding, "/tmp/x"}, "example:coding", "Create the coding project",
         "We'll copy a spec-driven coding project into ~/Documents/AI-Coding-Project — a worked scaffold "
         "that "
         "teaches sustainable AI-assisted development.",
         "template_copy"},
        {R::InstallSkill{skill("pdf", "PDF tools", "reads and fills PDFs")}, "skill:pdf", "Add PDF tools",
         "We'll add the PDF tools skill to your AI agents — reads and fills PDFs.", "skill_install"},
        {R::AddMCPServer{server("linear", "Linear", MCPServer::OAuth{}), std::nullopt}, "mcp:linear",
         "Add Linear",
         "We'll add the Linear MCP server to your AI agents, then you sign in inside Claude or Codex to "
         "finish.",
         "mcp_add"},
        {R::AddMCPServer{server("ctx", "Context", MCPServer::KeylessOptionalKey{"https://k/{key}"}),
                         "secret"},
         "mcp:ctx", "Add Context", "We'll add the Context MCP server to your AI agents.", "mcp_add"},
        {R::ConfigureGit{"Ann", "ann@example.com"}, "git:config", "Save your Git name and email",
         "We'll set your name and email with `git config --global`, add a few sensible defaults, and create "
         "a "
         "global ignore file so junk like `.DS_Store` never gets committed.",
         "git_config"},
        {R::InstallCommandLineTools{}, "clt", "Install Command Line Tools", "", "softwareupdate"},
        {R::InstallHomebrew{}, "homebrew", "Install Homebrew (recommended)",
         "We'll run the official Homebrew install script. macOS will prompt for your password (three times, "
         "as "
         "needed).",
         "homebrew"},
        {R::InstallClaudeCLI{}, "brew:claude-code@latest", "Install Claude Code CLI (recommended)",
         "We'll run `brew install --cask claude-code@latest` so Claude Code stays updatable under Homebrew, "
         "then "
         "verify `claude --version` runs.",
         "brew"},
        {R::RepairHomebrewPath{}, "path-repair:homebrew", "Fix your PATH so `brew` is found",
         "We'll add Homebrew to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so "
         "your "
         "shell can find `brew`, then re-check in a fresh shell.",
         "zprofile_write"},
        {R::InstallWarp{}, "brew:warp", "Install Warp (recommended)",
         "We'll install Warp via Homebrew — the modern, AI-assisted macOS terminal we recommend.", "brew"},
        {R::InstallClaudeDesktop{}, "brew:claude", "Install Claude Desktop (recommended)",
         "We'll run `brew install --cask claude` to install the Claude desktop app, then confirm it's "
         "present.",
         "brew"},
        {R::InstallZed{}, "brew:zed", "Install Zed",
         "We'll run `brew install --cask zed` to install Zed, a native and fast editor.", "brew"},
        {R::InstallVSCode{}, "brew:visual-studio-code", "Install VS Code",
         "We'll run `brew install --cask visual-studio-code` to install Visual Studio Code.", "brew"},
        {R::InstallZettlr{}, "brew:zettlr", "Install Zettlr", "free WYSIWYG editor", "brew"},
        {R::InstallObsidian{}, "brew:obsidian", "Install Obsidian", "PKM free for personal use", "brew"},
        {R::InstallCodexCLI{}, "brew:codex", "Install Codex CLI",
         "We'll run `brew install --cask codex` to install the Codex CLI in your terminal.", "brew"},
        {R::InstallChatGPTDesktop{}, "brew:chatgpt", "Install ChatGPT Desktop",
         "We'll run `brew install --cask chatgpt` to install the ChatGPT desktop app, which has OpenAI's "
         "Codex "
         "coding agent built in.",
         "brew"},
        {R::ConfigureShell{}, "shell-config", "Set up my shell",
         "We'll set up `~/.zprofile` (PATH), `~/.zshrc` (aliases and completions), and `~/.env` (API keys). "
         "Each "
         "file is backed up first, and nothing is overwritten.",
         "shell_config"},
        {R::InstallUv{}, "uv", "Install Python (uv)",
         "We'll install uv (Astral's installer), use it to install Python, and add uv's `~/.local/bin` to "
         "your "
         "PATH.",
         "uv"},
        {R::InstallMise{}, "brew:mise", "Install mise (version manager)",
         "We'll install mise with Homebrew to manage Node and Ruby versions, and activate it in your shell.",
         "brew"},
        {R::InstallNodeViaMise{}, "mise:node@lts", "Install Node (via mise)",
         "We'll run `mise use -g node@lts` to install the latest LTS Node.", "mise"},
        {R::InstallRubyViaMise{}, "mise:ruby@latest", "Install Ruby (via mise)",
         "We'll run `mise use -g ruby@latest` to install the latest Ruby.", "mise"},
        {R::InstallRustViaMise{}, "mise:rust", "Install Rust (via mise)",
         "We'll run `mise use -g rust` to install Rust. mise uses rustup underneath, so cargo and rustc "
         "resolve "
         "through mise.",
         "mise"},
        {R::InstallRustup{}, "rustup", "Install Rust (rustup)",
         "We'll install rustup (Rust's official installer) and the stable toolchain, and add `~/.cargo/bin` "
         "to "
         "your PATH.",
         "rustup"},
        {R::InstallTemurin{}, "brew:temurin", "Install Java (Temurin)",
         "We'll install the Temurin JDK with Homebrew (`temurin` cask) and set JAVA_HOME.", "brew"},
        {R::DocumentEnvironment{}, "env-doc", "Document the setup for your AI agent", "", "env_doc"},
        {R::InstallGh{}, "brew:gh", "Install the GitHub CLI",
         "We'll run `brew install gh` to install the GitHub CLI.", "brew"},
        {R::GithubAuth{}, "git:gh-auth", "Sign in to GitHub",
         "We'll open GitHub sign-in in your browser, then set up Git so pushes don't ask for a password. We "
         "never "
         "see your GitHub password.",
         "gh_auth"},
    };

    std::set<std::size_t> casesSeen;
    for (const auto& entry : catalogue) {
        SCOPED_TRACE(entry.id);
        casesSeen.insert(entry.fix.value.index());
        EXPECT_EQ(entry.fix.id(), entry.id);
        EXPECT_EQ(entry.fix.displayLabel(), entry.label);
        EXPECT_EQ(entry.fix.caption(), entry.caption);
        EXPECT_EQ(entry.fix.telemetryAction(), entry.action);
    }
    EXPECT_EQ(casesSeen.size(), std::variant_size_v<SetupRemediation::Case>);
    EXPECT_EQ(casesSeen.size(), 28U);
}

TEST(SetupRemediationTest, PayloadsShapeOnlyTheirOwnParts) {
    // The PATH fix names `claude` whatever the folder; the folder goes into the id exactly as given.
    const SetupRemediation odd = R::RepairPath{"dir with spaces/"};
    EXPECT_EQ(odd.id(), "path-repair:dir with spaces/");
    EXPECT_EQ(odd.displayLabel(), "Fix your PATH so `claude` is found");
    EXPECT_EQ(odd.telemetryAction(), SetupRemediation(R::RepairHomebrewPath{}).telemetryAction());

    // An empty display name is not quoted or filled in.
    EXPECT_EQ(SetupRemediation(R::InstallSkill{skill("s", "", "b")}).displayLabel(), "Add ");
    EXPECT_EQ(
        SetupRemediation(R::AddMCPServer{server("m", "", MCPServer::OAuth{}), std::nullopt}).displayLabel(),
        "Add ");

    // The server caption follows the connection, never the key.
    const auto keyless = server("k", "K", MCPServer::KeylessOptionalKey{});
    EXPECT_EQ(SetupRemediation(R::AddMCPServer{keyless, std::nullopt}).caption(),
              SetupRemediation(R::AddMCPServer{keyless, "key"}).caption());
}

TEST(SetupRemediationTest, EqualityLooksAtEveryPayloadFieldNotJustTheIdentifier) {
    const SetupRemediation here = R::CreateProject{ProjectTemplate::coding, "/a"};
    const SetupRemediation there = R::CreateProject{ProjectTemplate::coding, "/b"};
    EXPECT_EQ(here.id(), there.id());
    EXPECT_NE(here, there);
    EXPECT_NE(here, SetupRemediation(R::CreateProject{ProjectTemplate::coding, std::nullopt}));

    const auto linear = server("linear", "Linear", MCPServer::OAuth{});
    EXPECT_NE(SetupRemediation(R::AddMCPServer{linear, "k1"}),
              SetupRemediation(R::AddMCPServer{linear, "k2"}));
    EXPECT_NE(SetupRemediation(R::ConfigureGit{"a", "b"}), SetupRemediation(R::ConfigureGit{"a", "c"}));
    EXPECT_EQ(SetupRemediation(R::InstallUv{}), SetupRemediation(R::InstallUv{}));
    EXPECT_NE(SetupRemediation(R::InstallUv{}), SetupRemediation(R::InstallRustup{}));

    auto pinned = skill("s", "S", "b");
    pinned.source = AgentSkill::Fetch{"org/repo", "skills/s", "abc"};
    auto repinned = pinned;
    repinned.source = AgentSkill::Fetch{"org/repo", "skills/s", "abd"};
    EXPECT_NE(pinned, repinned);
    EXPECT_NE(SetupRemediation(R::InstallSkill{pinned}), SetupRemediation(R::InstallSkill{repinned}));

    // A missing template and an empty one are different connections.
    EXPECT_NE(MCPServer::Connection(MCPServer::KeylessOptionalKey{std::nullopt}),
              MCPServer::Connection(MCPServer::KeylessOptionalKey{""}));
}

TEST(SetupRemediationTest, MaskedIdentifierHidesTheHomeFolder) {
    const std::filesystem::path home = "/Users/ann";
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/Users/ann/.local/bin"}).maskedID(home),
              "path-repair:~/.local/bin");
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/Users/ann"}).maskedID(home), "path-repair:~");
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/Users/ann/.local/bin"}).maskedID("/Users/ann/"),
              "path-repair:~/.local/bin");
    // Another user whose name starts the same, or the home folder's name deeper in a path, stays as it is.
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/Users/anna/bin"}).maskedID(home),
              "path-repair:/Users/anna/bin");
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/opt/Users/ann/bin"}).maskedID(home),
              "path-repair:/opt/Users/ann/bin");
    // Every path of a PATH-like value is masked.
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/Users/ann/a:/Users/ann/b"}).maskedID(home),
              "path-repair:~/a:~/b");
    // Fixes without a path, and an unknown or root home, change nothing.
    EXPECT_EQ(SetupRemediation(R::InstallMise{}).maskedID(home), "brew:mise");
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/usr/bin"}).maskedID("/"), "path-repair:/usr/bin");
    EXPECT_EQ(SetupRemediation(R::RepairPath{"/usr/bin"}).maskedID(""), "path-repair:/usr/bin");
}

TEST(SetupRemediationTest, ProjectTemplateRawValuesRoundTripExactly) {
    for (const auto value : kProjectTemplates)
        EXPECT_EQ(fromRawProjectTemplate(toRaw(value)), value);
    EXPECT_EQ(toRaw(ProjectTemplate::simple), "simple");
    EXPECT_EQ(toRaw(ProjectTemplate::coding), "coding");
    EXPECT_EQ(fromRawProjectTemplate("Coding"), std::nullopt);
    EXPECT_EQ(fromRawProjectTemplate(" coding"), std::nullopt);
    EXPECT_EQ(fromRawProjectTemplate(""), std::nullopt);
}

}  // namespace
}  // namespace quill
