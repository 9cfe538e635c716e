#include "engine/setup/shared_domains.h"

#include <algorithm>
#include <array>

#include "engine/setup/shared_domain_copy.h"

namespace quill {

namespace {

using Fix = SetupRemediation;

// Each shared domain's rule: when it is ready, and its texts for either case. Domains that are never ready
// have no ready texts.
struct DomainRule {
    std::string_view id;
    bool (*isReady)(const SystemProfile&, const SetupProbeBundle&);
    SharedDomainCopy::State ready;
    SharedDomainCopy::State fixable;
};

bool never(const SystemProfile&, const SetupProbeBundle&) {
    return false;
}

// Each text stays one whole literal, as people read it.
// clang-format off
const std::array<DomainRule, 11>& domainRules() {
    static const std::array<DomainRule, 11> rules{{
        {"ai-claude",
         [](const SystemProfile& profile, const SetupProbeBundle&) {
             return profile.aiTooling.claudeCodeCLI && profile.aiTooling.claudeCodeDesktop;
         },
         {"Claude is installed", "You have Claude Desktop and the Claude Code CLI."},
         {"Install Claude",
          "Claude Code is Anthropic's AI coding assistant — a desktop app and a terminal CLI. Both are recommended; already-installed ones are grayed out."}},
        {"codex",
         [](const SystemProfile& profile, const SetupProbeBundle& probes) {
             return profile.aiTooling.codexCLI || profile.aiTooling.chatgptDesktop ||
                    probes.companionToolPresent;
         },
         {"You have OpenAI's coding tools", "ChatGPT or the Codex CLI is already installed."},
         {"Also install ChatGPT?",
          "ChatGPT is OpenAI's desktop app, with the Codex coding agent built in. Codex also runs in your terminal as a CLI."}},
        {"editor",
         [](const SystemProfile& profile, const SetupProbeBundle&) {
             return profile.aiTooling.zed || profile.aiTooling.vsCode;
         },
         {"You have a code editor", "A recommended editor is already installed."},
         {"Code Editor",
          "Based on what you have, we recommend Zed, a native and fast editor. VS Code is a slower alternative if you prefer it."}},
        {"notes",
         [](const SystemProfile& profile, const SetupProbeBundle&) {
             return profile.markdownEditors.zettlr && profile.markdownEditors.obsidian;
         },
         {"You have Markdown editors", "You have Zettlr and Obsidian."},
         {"Markdown Editor",
          "Markdown is the AI-friendly text format for documents. You can use a code editor but a dedicated Markdown editor is easier. Choose a simple Markdown editor or an advanced \"second brain\" tool for linked documents (a PKM or personal knowledge manager). Install either or both; already-installed ones are grayed out."}},
        {"shell-config",
         [](const SystemProfile&, const SetupProbeBundle& probes) { return probes.shellConfigured; },
         {"Your shell is configured",
          "Your shell files already have the PATH, mise, and ~/.env setup we add."},
         {"Shell configuration",
          "We'll configure your shell files so a new terminal finds your tools, and create ~/.env for your API keys."}},
        {"languages",
         never,
         {},
         {"Install programming languages",
          "Pick the languages you want. This app also installs a version manager where it's advisable (uv for Python, mise for Node and Ruby and Rust)."}},
        {"agent-docs",
         [](const SystemProfile&, const SetupProbeBundle& probes) { return !probes.agentDocNeeded; },
         {"Your AI agent is set up",
          "Your agent's instructions already describe how your tools are configured."},
         {"Tell your AI agent how your Mac is set up",
          "We'll add a short note to your agent's instructions (CLAUDE.md / AGENTS.md) describing how your tools are set up."}},
        {"project",
         [](const SystemProfile&, const SetupProbeBundle& probes) { return probes.projectExists; },
         {"Your project is set up", "You already have an example project in ~/Documents."},
         {"Set up a project", "Set up an example project, with CLAUDE.md and AGENTS.md files for guidance."}},
        {"skills",
         never,
         {},
         {"Add SKILLS",
          "Skills add new capabilities to AI agents. Some skills are just instructions; some run code. Type '/' (slash) in AI chat to see available skills."}},
        {"mcp",
         never,
         {},
         {"Add MCP servers",
          "MCP servers connect AI agents to services they can't reach on their own, such as web searches and macOS apps (some services need a sign-in or subscription). We set up the configuration so you don't get annoying errors."}},
        {"git",
         [](const SystemProfile&, const SetupProbeBundle& probes) {
             return probes.ghPresent && probes.gitIdentitySet && probes.ghAuthed;
         },
         {"Git and GitHub are set up", "Your name and email are configured and you're signed in to GitHub."},
         {"Set up Git with GitHub",
          "Git is already on your Mac. We'll set your name and email for commits, then you can sign in to set up GitHub for use without password re-typing."}},
    }};
    return rules;
}

// clang-format on

const DomainRule* ruleFor(std::string_view domainID) {
    const auto& rules = domainRules();
    auto found =
        std::find_if(rules.begin(), rules.end(), [&](const DomainRule& rule) { return rule.id == domainID; });
    return found == rules.end() ? nullptr : &*found;
}

SetupDiagnosis diagnosisOf(const SharedDomainCopy::State& texts,
                           SetupDiagnosisClassification classification) {
    return SetupDiagnosis{texts.headline, texts.detail, classification};
}

}  // namespace

bool isSharedDomain(std::string_view domainID) {
    return ruleFor(domainID) != nullptr;
}

std::optional<SetupDiagnosis> sharedDomainDiagnosis(std::string_view domainID, const SystemProfile& profile,
                                                    const SetupProbeBundle& probes) {
    const DomainRule* rule = ruleFor(domainID);
    if (!rule)
        return std::nullopt;
    if (rule->isReady(profile, probes))
        return diagnosisOf(rule->ready, SetupDiagnosisClassification::ready);
    return diagnosisOf(rule->fixable, SetupDiagnosisClassification::fixable);
}

std::vector<SetupRemediation> sharedDomainRemediations(std::string_view domainID,
                                                       const SystemProfile& profile,
                                                       const SetupProbeBundle& probes) {
    const auto& ai = profile.aiTooling;
    const auto& editors = profile.markdownEditors;
    std::vector<SetupRemediation> fixes;
    if (domainID == "ai-claude") {
        if (!ai.claudeCodeDesktop)
            fixes.emplace_back(Fix::InstallClaudeDesktop{});
        if (!ai.claudeCodeCLI)
            fixes.emplace_back(Fix::InstallClaudeCLI{});
    } else if (domainID == "codex") {
        if (!(ai.codexCLI || ai.chatgptDesktop || probes.companionToolPresent)) {
            fixes.emplace_back(Fix::InstallCodexCLI{});
            fixes.emplace_back(Fix::InstallChatGPTDesktop{});
        }
    } else if (domainID == "editor") {
        if (!(ai.zed || ai.vsCode)) {
            fixes.emplace_back(Fix::InstallZed{});
            fixes.emplace_back(Fix::InstallVSCode{});
        }
    } else if (domainID == "notes") {
        if (!editors.zettlr)
            fixes.emplace_back(Fix::InstallZettlr{});
        if (!editors.obsidian)
            fixes.emplace_back(Fix::InstallObsidian{});
    } else if (domainID == "shell-config") {
        if (!probes.shellConfigured)
            fixes.emplace_back(Fix::ConfigureShell{});
    } else if (domainID == "agent-docs") {
        if (probes.agentDocNeeded)
            fixes.emplace_back(Fix::DocumentEnvironment{});
    } else if (domainID == "project") {
        if (!probes.projectExists) {
            fixes.emplace_back(Fix::CreateProject{ProjectTemplate::simple, std::nullopt});
            if (profile.isLikelyDeveloper())
                fixes.emplace_back(Fix::CreateProject{ProjectTemplate::coding, std::nullopt});
        }
    }
    return fixes;
}

}  // namespace quill
