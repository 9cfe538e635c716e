#include "engine/setup/shared_domains.h"

#include <gtest/gtest.h>

#include "engine/setup/shared_domain_copy.h"

namespace quill {
namespace {

using Fix = SetupRemediation;
using enum SetupDiagnosisClassification;

const std::vector<std::string> kShared{"ai-claude",    "codex",     "editor",     "notes",
                                       "shell-config", "languages", "agent-docs", "project",
                                       "skills",       "mcp",       "git"};

std::vector<std::string> idsOf(const std::vector<SetupRemediation>& fixes) {
    std::vector<std::string> ids;
    for (const auto& fix : fixes)
        ids.push_back(fix.id());
    return ids;
}

SystemProfile developerProfile() {
    SystemProfile profile;
    profile.homebrewPrefix = "/opt/homebrew/bin/brew";
    return profile;
}

TEST(SharedDomainsTest, ExactlyTheElevenSharedIdsAnswer) {
    for (const auto& id : kShared) {
        EXPECT_TRUE(isSharedDomain(id)) << id;
        EXPECT_TRUE(sharedDomainDiagnosis(id, SystemProfile{}, SetupProbeBundle{})) << id;
    }
    for (const char* id : {"clt", "homebrew", "warp", "Git", "", "ai-claude "}) {
        EXPECT_FALSE(isSharedDomain(id)) << id;
        EXPECT_EQ(sharedDomainDiagnosis(id, developerProfile(), SetupProbeBundle{}), std::nullopt) << id;
        EXPECT_TRUE(sharedDomainRemediations(id, SystemProfile{}, SetupProbeBundle{}).empty()) << id;
    }
}

TEST(SharedDomainsTest, FindingsOfAnEmptyMacAreAllFixableWithTheirTexts) {
    const SystemProfile nothing;
    const SetupProbeBundle probes;  // agentDocNeeded false: the agent note counts as in place
    auto diagnosis = [&](const char* id) { return *sharedDomainDiagnosis(id, nothing, probes); };

    EXPECT_EQ(diagnosis("ai-claude"),
              (SetupDiagnosis{
                  "Install Claude",
                  "Claude Code is Anthropic's AI coding assistant — a desktop app and a terminal CLI. Both "
                  "are recommended; already-installed ones are grayed out.",
                  fixable}));
    EXPECT_EQ(
        diagnosis("notes").detail,
        "Markdown is the AI-friendly text format for documents. You can use a code editor but a dedicated "
        "Markdown editor is easier. Choose a simple Markdown editor or an advanced \"second brain\" tool for "
        "linked documents (a PKM or personal knowledge manager). Install either or both; already-installed "
        "ones "
        "are grayed out.");
    EXPECT_EQ(diagnosis("skills").headline, "Add SKILLS");
    EXPECT_EQ(diagnosis("skills").detail,
              "Skills add new capabilities to AI agents. Some skills are just instructions; some run code. "
              "Type '/' "
              "(slash) in AI chat to see available skills.");
    EXPECT_EQ(diagnosis("mcp").headline, "Add MCP servers");
    EXPECT_EQ(
        diagnosis("languages").detail,
        "Pick the languages you want. This app also installs a version manager where it's advisable (uv for "
        "Python, mise for Node and Ruby and Rust).");
    EXPECT_EQ(diagnosis("git"),
              (SetupDiagnosis{"Set up Git with GitHub",
                              "Git is already on your Mac. We'll set your name and email for "
                              "commits, then you can sign in to set up GitHub for use without "
                              "password re-typing.",
                              fixable}));
    EXPECT_EQ(
        diagnosis("agent-docs"),
        (SetupDiagnosis{"Your AI agent is set up",
                        "Your agent's instructions already describe how your tools are configured.", ready}));
    for (const auto& id : kShared) {
        if (id == "agent-docs")
            continue;
        EXPECT_EQ(diagnosis(id.c_str()).classification, fixable) << id;
    }
}

TEST(SharedDomainsTest, EachDomainIsReadyOnItsOwnFacts) {
    SystemProfile profile = developerProfile();
    profile.aiTooling.claudeCodeCLI = true;
    profile.aiTooling.claudeCodeDesktop = true;
    profile.aiTooling.vsCode = true;
    profile.markdownEditors = {true, true};
    SetupProbeBundle probes;
    probes.companionToolPresent = true;
    probes.shellConfigured = true;
    probes.projectExists = true;
    probes.ghPresent = probes.gitIdentitySet = probes.ghAuthed = true;

    auto diagnosis = [&](const char* id) { return *sharedDomainDiagnosis(id, profile, probes); };
    EXPECT_EQ(
        diagnosis("ai-claude"),
        (SetupDiagnosis{"Claude is installed", "You have Claude Desktop and the Claude Code CLI.", ready}));
    EXPECT_EQ(diagnosis("codex"), (SetupDiagnosis{"You have OpenAI's coding tools",
                                                  "ChatGPT or the Codex CLI is already installed.", ready}));
    EXPECT_EQ(diagnosis("editor"), (SetupDiagnosis{"You have a code editor",
                                                   "A recommended editor is already installed.", ready}));
    EXPECT_EQ(diagnosis("notes"),
              (SetupDiagnosis{"You have Markdown editors", "You have Zettlr and Obsidian.", ready}));
    EXPECT_EQ(
        diagnosis("shell-config"),
        (SetupDiagnosis{"Your shell is configured",
                        "Your shell files already have the PATH, mise, and ~/.env setup we add.", ready}));
    EXPECT_EQ(diagnosis("project"),
              (SetupDiagnosis{"Your project is set up", "You already have an example project in ~/Documents.",
                              ready}));
    EXPECT_EQ(diagnosis("git"),
              (SetupDiagnosis{"Git and GitHub are set up",
                              "Your name and email are configured and you're signed in to GitHub.", ready}));
    // Choosing stages never count as ready.
    for (const char* id : {"languages", "skills", "mcp"})
        EXPECT_EQ(diagnosis(id).classification, fixable) << id;
    // Nothing to do anywhere once everything is in place.
    for (const auto& id : kShared)
        EXPECT_TRUE(sharedDomainRemediations(id, profile, probes).empty()) << id;

    // One missing fact is enough to need action.
    profile.markdownEditors.obsidian = false;
    EXPECT_EQ(diagnosis("notes").classification, fixable);
    probes.agentDocNeeded = true;
    EXPECT_EQ(diagnosis("agent-docs"),
              (SetupDiagnosis{
                  "Tell your AI agent how your Mac is set up",
                  "We'll add a short note to your agent's instructions (CLAUDE.md / AGENTS.md) describing "
                  "how your tools are set up.",
                  fixable}));
}

TEST(SharedDomainsTest, GitNeedsActionWhenAnyOneOfItsThreeFactsIsMissing) {
    const SystemProfile profile = developerProfile();
    const std::vector<std::pair<const char*, bool SetupProbeBundle::*>> facts = {
        {"gh present", &SetupProbeBundle::ghPresent},
        {"identity set", &SetupProbeBundle::gitIdentitySet},
        {"signed in", &SetupProbeBundle::ghAuthed},
    };
    for (const auto& [name, missing] : facts) {
        SetupProbeBundle probes;
        probes.ghPresent = probes.gitIdentitySet = probes.ghAuthed = true;
        probes.*missing = false;
        EXPECT_EQ(sharedDomainDiagnosis("git", profile, probes)->classification, fixable) << name;
        // The stage's own form does the work; it offers no fixes of its own.
        EXPECT_TRUE(sharedDomainRemediations("git", profile, probes).empty()) << name;
    }
}

TEST(SharedDomainsTest, FixesOfferOnlyWhatIsMissingInOrder) {
    SystemProfile profile;
    SetupProbeBundle probes;
    auto fixes = [&](const char* id) { return idsOf(sharedDomainRemediations(id, profile, probes)); };

    using Ids = std::vector<std::string>;
    EXPECT_EQ(fixes("ai-claude"), (Ids{"brew:claude", "brew:claude-code@latest"}));
    profile.aiTooling.claudeCodeCLI = true;
    EXPECT_EQ(fixes("ai-claude"), (Ids{"brew:claude"}));
    EXPECT_EQ(sharedDomainDiagnosis("ai-claude", profile, probes)->classification, fixable);
    profile.aiTooling.claudeCodeCLI = false;
    profile.aiTooling.claudeCodeDesktop = true;
    EXPECT_EQ(fixes("ai-claude"), (Ids{"brew:claude-code@latest"}));

    EXPECT_EQ(fixes("codex"), (Ids{"brew:codex", "brew:chatgpt"}));
    profile.aiTooling.chatgptDesktop = true;  // ChatGPT alone covers it
    EXPECT_TRUE(fixes("codex").empty());
    EXPECT_EQ(sharedDomainDiagnosis("codex", profile, probes)->classification, ready);

    EXPECT_EQ(fixes("editor"), (Ids{"brew:zed", "brew:visual-studio-code"}));
    profile.aiTooling.zed = true;
    EXPECT_TRUE(fixes("editor").empty());

    EXPECT_EQ(fixes("notes"), (Ids{"brew:zettlr", "brew:obsidian"}));
    profile.markdownEditors.zettlr = true;
    EXPECT_EQ(fixes("notes"), (Ids{"brew:obsidian"}));

    EXPECT_EQ(fixes("shell-config"), (Ids{"shell-config"}));
    EXPECT_TRUE(fixes("agent-docs").empty());
    probes.agentDocNeeded = true;
    EXPECT_EQ(fixes("agent-docs"), (Ids{"env-doc"}));

    for (const char* id : {"languages", "skills", "mcp", "git"})
        EXPECT_TRUE(fixes(id).empty()) << id;
}

TEST(SharedDomainsTest, ProjectOffersTheCodingProjectOnlyOnADevelopersMac) {
    const SetupProbeBundle probes;
    const auto plain = sharedDomainRemediations("project", SystemProfile{}, probes);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0], Fix(Fix::CreateProject{ProjectTemplate::simple, std::nullopt}));

    const auto developer = sharedDomainRemediations("project", developerProfile(), probes);
    EXPECT_EQ(developer,
              (std::vector<SetupRemediation>{Fix::CreateProject{ProjectTemplate::simple, std::nullopt},
                                             Fix::CreateProject{ProjectTemplate::coding, std::nullopt}}));

    SetupProbeBundle existing;
    existing.projectExists = true;
    EXPECT_TRUE(sharedDomainRemediations("project", developerProfile(), existing).empty());
}

TEST(SharedDomainCopyTest, CommandLineToolsAndHomebrewUseTheProductsTexts) {
    SharedDomainCopy copy;
    copy.cltFixable = {"Get the tools", "Custom."};
    SystemProfile profile;
    EXPECT_EQ(SharedDomainCopy::cltDiagnosis(profile, copy),
              (SetupDiagnosis{"Get the tools", "Custom.", fixable}));
    EXPECT_EQ(
        SharedDomainCopy::homebrewDiagnosis(profile, copy),
        (SetupDiagnosis{"Homebrew isn't installed",
                        "We'll install Homebrew first — it's how we install your tools as one coherent, "
                        "updatable, removable setup.",
                        fixable}));

    profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
    profile.homebrewPrefix = "/usr/local/bin/brew";
    EXPECT_EQ(
        SharedDomainCopy::cltDiagnosis(profile, copy),
        (SetupDiagnosis{"Command Line Tools are installed",
                        "Apple's Command Line Tools are present — required for Homebrew and Git.", ready}));
    EXPECT_EQ(
        SharedDomainCopy::homebrewDiagnosis(profile, copy),
        (SetupDiagnosis{"Homebrew is installed",
                        "Homebrew is present — we'll use it to install your tools coherently and keep them "
                        "updatable.",
                        ready}));
}

}  // namespace
}  // namespace quill
