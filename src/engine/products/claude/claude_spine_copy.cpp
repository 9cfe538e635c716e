#include "engine/products/claude/claude_spine_copy.h"

#include <map>

namespace quill {

namespace ClaudeSpineCopy {

namespace {

// Each text stays one whole literal, as people read it.
// clang-format off
const std::map<std::string, DomainScreen, std::less<>>& screens() {
    static const std::map<std::string, DomainScreen, std::less<>> table{
        {"clt", {"Apple's Command Line Tools", "Install the Command Line Tools",
                 "Homebrew and Git need Apple's Command Line Tools. We'll download and install them for you — it can take several minutes, and macOS will ask for your password once.",
                 std::nullopt}},
        {"homebrew", {"The Homebrew package manager", "Install Homebrew?",
                      "Homebrew provides important developer tools and we use it to install Claude.", std::nullopt}},
        {"claude-cli", {"AI coding tools", "Install Claude Code CLI",
                        "Claude Code CLI runs in your terminal for AI-assisted coding. This app installs it with Homebrew and checks that it runs.",
                        std::nullopt}},
        {"warp", {"The terminal for the command line", "Install Warp, a better terminal",
                  "You'll need a terminal to run Claude Code CLI. We suggest Warp, a fast terminal with AI to help learn and remember commands. Fernwick recommends it.",
                  std::nullopt}},
        {"claude-desktop", {"AI desktop", "Add Claude Desktop",
                            "The GUI app is a useful companion for the Claude Code CLI. Try both. This app installs it with Homebrew.",
                            std::nullopt}},
        {"codex", {"AI coding tools (continued)", "Also install ChatGPT?",
                   "ChatGPT is OpenAI's desktop app, with the Codex coding agent built in. Codex also runs in your terminal as a CLI. It's helpful to have both.",
                   "We're not affiliated with OpenAI. We just like using both."}},
        {"editor", {"File editor", "Code Editor",
                    "Based on what you have, we recommend Zed, a native and fast editor. VS Code is a slower alternative if you prefer it.",
                    std::nullopt}},
        {"shell-config", {"Configure the shell for terminal use", "Shell configuration",
                          "The shell is a terminal program that controls the command line interface (CLI). We'll correctly configure your shell files.",
                          std::nullopt}},
        {"languages", {"Programming languages", "Install programming languages",
                       "Pick from Python, JavaScript (Node), Java, Ruby, or Rust. Choose more than one and this app sets up mise to manage versions.",
                       std::nullopt}},
        {"agent-docs", {"AI agent setup notes", "Document your setup for your AI agent",
                        "We'll add a short note to your AI agent's instructions (CLAUDE.md / AGENTS.md) describing how your tools are set up. Your existing instructions are kept and backed up.",
                        std::nullopt}},
        {"project", {"A project for Claude", "Set up a project",
                     "Give Claude a folder to work in, with CLAUDE.md and AGENTS.md files for guidance. Start with our sample project or choose your own.",
                     "This app never overwrites an existing CLAUDE.md or AGENTS.md."}},
        {"skills", {"Skills", "Add SKILLS",
                    "Skills add new capabilities to AI agents. Some skills are just instructions; some run code. Type '/' (slash) in AI chat to see available skills.",
                    std::nullopt}},
        {"mcp", {"MCP servers", "Add MCP servers",
                 "MCP servers connect AI agents to services they can't reach on their own, such as web searches and macOS apps (some services need a sign-in or subscription). We set up the configuration so you don't get annoying errors.",
                 "Connection keys are saved to your agent config file. Restart Claude or Codex to load new servers."}},
        {"git", {"Version control with Git and GitHub", "Set up Git with GitHub",
                 "Git is already on your Mac. We'll set your name and email for commits, then sign you in to GitHub so you can save and back up your work — no password re-typing.",
                 "We never see your GitHub password — sign-in happens in your browser. Your name and email are saved to ~/.gitconfig; your login is stored securely by the GitHub CLI."}},
    };
    return table;
}
// clang-format on

}  // namespace

std::optional<DomainScreen> screenCopy(const std::string& domainID) {
    const auto& table = screens();
    const auto found = table.find(domainID);
    if (found == table.end())
        return std::nullopt;
    return found->second;
}

std::string statusLine(const std::string& domainID, SetupDiagnosisClassification classification) {
    static const std::map<std::string, std::string, std::less<>> names{
        {"clt", "Command Line Tools"},        {"homebrew", "Homebrew"},
        {"claude-cli", "Claude Code"},        {"warp", "Warp"},
        {"claude-desktop", "Claude Desktop"},
    };
    const auto name = names.find(domainID);
    return (name == names.end() ? domainID : name->second) + ": " + std::string(statusWord(classification));
}

}  // namespace ClaudeSpineCopy

std::optional<SpineScreenCopy> ClaudeSpineCopyProvider::screenCopy(
    const std::string& domainID, const std::optional<SetupDiagnosis>& /*diagnosis*/) const {
    auto screen = ClaudeSpineCopy::screenCopy(domainID);
    if (!screen)
        return std::nullopt;
    return SpineScreenCopy{std::move(screen->windowTitle), std::move(screen->headline),
                           std::move(screen->body), std::move(screen->footer)};
}

std::string ClaudeSpineCopyProvider::statusLine(const std::string& domainID,
                                                const SetupDiagnosis& diagnosis) const {
    return ClaudeSpineCopy::statusLine(domainID, diagnosis.classification);
}

}  // namespace quill
