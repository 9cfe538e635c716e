#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/products/brew/brew_config.h"
#include "engine/products/claude/claude_config.h"
#include "engine/products/cli/cli_config.h"
#include "engine/products/code/code_config.h"
#include "engine/products/load_setup.h"
#include "engine/products/product_strategies.h"
#include "engine/services/homebrew_paths.h"
#include "tests/engine/products/mac_scene.h"

namespace quill {
namespace {

using test::MacScene;

enum class Stage { bare, half, full };

// A Mac at one stage of set-up. Half: the Command Line Tools and a reachable Homebrew in the architecture's
// own place. Full: also Warp, Claude Code (CLI and desktop), configured shell files and a working git.
SystemProfile setUp(MacScene& mac, Architecture architecture, Stage stage) {
    SystemProfile profile;
    profile.architecture = architecture;
    if (stage == Stage::bare)
        return profile;
    const auto bin = architecture == Architecture::intel ? kIntelHomebrewBin : kAppleSiliconHomebrewBin;
    const std::string brew = homebrewBinPath(bin, "brew");
    profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
    profile.homebrewPrefix = brew;
    mac.folder("/Library/Developer/CommandLineTools");
    mac.file(brew);
    mac.answer("which -a brew", 0, brew + "\n");
    mac.answer("brew --version", 0, "Homebrew 4.3.1\n");
    mac.answer("xcode-select -p", 0, "/Library/Developer/CommandLineTools\n");
    mac.answer("git --version", 0, "git version 2.39.3\n");
    if (stage == Stage::half)
        return profile;
    profile.terminals.warp = true;
    profile.aiTooling.claudeCodeDesktop = profile.aiTooling.claudeCodeCLI = true;
    mac.folder("/Applications/Claude.app");
    const std::string claude = homebrewBinPath(bin, "claude");
    mac.file(claude);
    mac.answer("which -a claude", 0, claude + "\n");
    mac.answer("claude --version", 0, "2.1.0 (Claude Code)\n");
    mac.file("/Users/tester/.zprofile", "typeset -U path PATH\n");
    mac.file("/Users/tester/.zshrc", "source \"$HOME/.env\"\n");
    mac.file("/Users/tester/.env");
    return profile;
}

// "domain:classification[action ids]" for each primary stage, then whether verification passed.
std::string walk(const ProductConfig& config, Architecture architecture, Stage stage, bool& sawGit) {
    ScopedProductConfig scope(config);
    MacScene mac;
    const auto profile = setUp(mac, architecture, stage);
    const auto strategies = products::productStrategies(config);
    // The load the setup flow runs, with the scene's profile standing in for the survey.
    AppServices services;
    services.processRunner = mac.runner;
    services.fs = std::shared_ptr<const FileSystemOperating>(std::shared_ptr<void>{}, &mac.fs);
    services.isFixtureMode = true;
    const auto loaded = products::loadSetup(strategies, services, profile);
    if (!loaded) {
        ADD_FAILURE() << "nothing loaded";
        return {};
    }
    const auto& probes = loaded->probes;
    std::ostringstream out;
    for (const auto& step : loaded->workflow.steps) {
        if (step.placement != DomainPlacement::primary)
            continue;
        out << step.stage->domainID() << ':' << toRaw(step.stage->diagnosis().classification) << '[';
        for (const auto& action : step.stage->actions())
            out << action.id << (&action == &step.stage->actions().back() ? "" : ",");
        out << "] ";
        // Each action is what the provider offers for the domain.
        const auto fixes = strategies.spineProvider->remediations(step.stage->domainID(), profile, probes);
        EXPECT_EQ(fixes.size(), step.stage->actions().size()) << step.stage->domainID();
    }
    out << "verified=" << strategies.verifier->verify(profile, mac.shell(), mac.fs, {}).passed;
    sawGit = false;
    for (const auto& script : mac.scripts())
        sawGit = sawGit || script.starts_with("git ");
    return out.str();
}

TEST(VariantWalkthroughTest, EachProductOnABareAHalfAndAFullySetUpMac) {
    using enum Stage;
    const auto silicon = Architecture::appleSilicon;
    const auto intel = Architecture::intel;
    struct Row {
        const ProductConfig& config;
        Architecture architecture;
        Stage stage;
        std::string expected;
    };
    // clang-format off
    const Row rows[] = {
        {products::cli(), silicon, bare, "clt:fixable[clt] shell-config:fixable[shell-config] homebrew:fixable[homebrew] warp:fixable[brew:warp] verified=0"},
        {products::cli(), silicon, half, "clt:ready[] shell-config:fixable[shell-config] homebrew:ready[] warp:fixable[brew:warp] verified=1"},
        {products::cli(), silicon, full, "clt:ready[] shell-config:ready[] homebrew:ready[] warp:ready[] verified=1"},
        {products::cli(), intel, half, "clt:ready[] shell-config:fixable[shell-config] homebrew:ready[] warp:fixable[brew:warp] verified=1"},
        {products::code(), silicon, bare, "clt:fixable[clt] shell-config:fixable[shell-config] homebrew:fixable[homebrew] warp:fixable[brew:warp] verified=0"},
        {products::code(), intel, full, "clt:ready[] shell-config:ready[] homebrew:ready[] warp:ready[] verified=1"},
        {products::brew(), silicon, bare, "clt:fixable[clt] homebrew:fixable[homebrew] warp:fixable[brew:warp] verified=0"},
        {products::brew(), silicon, half, "clt:ready[] homebrew:ready[] warp:fixable[brew:warp] verified=1"},
        {products::brew(), intel, bare, "clt:fixable[clt] homebrew:fixable[homebrew] warp:fixable[brew:warp] verified=0"},
        {products::brew(), intel, full, "clt:ready[] homebrew:ready[] warp:ready[] verified=1"},
        {products::claude(), silicon, bare, "clt:fixable[clt] homebrew:fixable[homebrew] claude-cli:fixable[brew:claude-code@latest] warp:fixable[brew:warp] claude-desktop:fixable[brew:claude] codex:fixable[brew:codex,brew:chatgpt] verified=0"},
        {products::claude(), silicon, half, "clt:ready[] homebrew:ready[] claude-cli:fixable[brew:claude-code@latest] warp:fixable[brew:warp] claude-desktop:fixable[brew:claude] codex:fixable[brew:codex,brew:chatgpt] verified=0"},
        {products::claude(), silicon, full, "clt:ready[] homebrew:ready[] claude-cli:ready[] warp:ready[] claude-desktop:ready[] codex:fixable[brew:codex,brew:chatgpt] verified=1"},
        {products::claude(), intel, bare, "clt:fixable[clt] homebrew:fixable[homebrew] claude-cli:fixable[brew:claude-code@latest] warp:fixable[brew:warp] claude-desktop:fixable[brew:claude] verified=0"},
        {products::claude(), intel, full, "clt:ready[] homebrew:ready[] claude-cli:ready[] warp:ready[] claude-desktop:ready[] verified=1"},
    };
    // clang-format on
    for (const auto& row : rows) {
        bool sawGit = false;
        EXPECT_EQ(walk(row.config, row.architecture, row.stage, sawGit), row.expected)
            << row.config.appID << " " << static_cast<int>(row.architecture) << " "
            << static_cast<int>(row.stage);
        if (row.stage == bare) {
            EXPECT_FALSE(sawGit) << row.config.appID;
        }
    }
}

// The coding product looks at Git, the project and the agent note instead of offering them blindly.
TEST(VariantWalkthroughTest, CodeJudgesGitTheProjectAndTheAgentNoteOnASetUpMac) {
    ScopedProductConfig scope(products::code());
    MacScene mac;
    const auto profile = setUp(mac, Architecture::appleSilicon, Stage::full);
    mac.file("/opt/homebrew/bin/gh");
    mac.answer("gh auth status", 0);
    mac.answer("git config --global", 0);
    mac.folder("/Users/tester/Documents/AI-Simple-Project");
    const auto strategies = products::productStrategies(products::code());
    const auto probes = strategies.prober->probe(mac.shell(), mac.fs, {});
    const auto workflow =
        strategies.spineProvider->workflow(std::nullopt, profile, probes, SpineWorkflowSelection::standard());
    std::map<std::string, std::string> found;
    for (const auto& step : workflow->steps) {
        std::string actions;
        for (const auto& action : step.stage->actions())
            actions += action.id + " ";
        found[step.stage->domainID()] =
            std::string(toRaw(step.stage->diagnosis().classification)) + " " + actions;
    }
    EXPECT_EQ(found["git"], "ready ");
    EXPECT_EQ(found["project"], "ready ");
    // Claude is there without a note: the note is offered.
    EXPECT_EQ(found["agent-docs"], "fixable " + SetupRemediation::documentEnvironment().id() + " ");
}

TEST(VariantWalkthroughTest, StepCountsAndPlacements) {
    struct Row {
        const ProductConfig& config;
        std::size_t silicon;
        std::size_t intel;
    };
    const Row rows[] = {{products::cli(), 14, 13},
                        {products::code(), 14, 13},
                        {products::brew(), 13, 12},
                        {products::claude(), 14, 13}};
    for (const auto& row : rows) {
        ScopedProductConfig scope(row.config);
        for (const auto architecture :
             {Architecture::appleSilicon, Architecture::intel, Architecture::unknown}) {
            SystemProfile profile;
            profile.architecture = architecture;
            const auto workflow = row.config.spineProvider->workflow(std::nullopt, profile, {},
                                                                     SpineWorkflowSelection::standard());
            ASSERT_TRUE(workflow);
            EXPECT_EQ(workflow->steps.size(), architecture == Architecture::intel ? row.intel : row.silicon)
                << row.config.appID;
            EXPECT_EQ(
                row.config.spineProvider->workflow("x", profile, {}, SpineWorkflowSelection::standard()),
                std::nullopt);
        }
    }
    SystemProfile intelMac;
    intelMac.architecture = Architecture::intel;
    const auto brewOptional =
        products::brew()
            .spineProvider->workflow(std::nullopt, intelMac, {}, SpineWorkflowSelection::standard())
            ->optionalDomainIDs();
    EXPECT_EQ(brewOptional, (std::vector<std::string>{"ai-claude", "project", "skills", "mcp", "editor",
                                                      "shell-config", "languages", "agent-docs", "git"}));
    const auto cliOptional =
        products::cli()
            .spineProvider->workflow(std::nullopt, SystemProfile{}, {}, SpineWorkflowSelection::standard())
            ->optionalDomainIDs();
    EXPECT_EQ(cliOptional, (std::vector<std::string>{"ai-claude", "codex", "project", "skills", "mcp",
                                                     "editor", "notes", "languages", "agent-docs", "git"}));
}

}  // namespace
}  // namespace quill
