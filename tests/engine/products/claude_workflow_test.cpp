#include <gtest/gtest.h>

#include "engine/products/claude/claude_config.h"
#include "engine/products/claude/claude_probes.h"
#include "engine/products/claude/claude_spine_provider.h"

namespace quill {
namespace {

using enum SetupDiagnosisClassification;

std::vector<std::string> idsOf(const std::vector<SetupRemediation>& fixes) {
    std::vector<std::string> ids;
    for (const auto& fix : fixes)
        ids.push_back(fix.id());
    return ids;
}

TEST(ClaudeCLIFindingTest, EachInstallStateHasItsHeadlineAndFix) {
    struct Row {
        const char* name;
        std::vector<std::string> onPath;
        std::vector<std::string> installed;
        std::optional<int> versionExit;
        std::optional<std::string> versionOutput;
        SetupDiagnosisClassification classification;
        std::string headline;
        std::vector<std::string> fixes;
    };
    // clang-format off
    const Row rows[] = {
        {"two installs", {"/Users/tester/.local/bin/claude"}, {"/opt/homebrew/bin/claude"}, 0, "2.1.0", blocked, "More than one `claude` command found", {}},
        {"missing", {}, {}, std::nullopt, std::nullopt, fixable, "Claude Code CLI isn't installed", {"brew:claude-code@latest"}},
        {"ready", {"/opt/homebrew/bin/claude"}, {"/opt/homebrew/bin/claude"}, 0, "2.1.0", ready, "Claude Code CLI is ready", {}},
        {"fails to run", {"/opt/homebrew/bin/claude"}, {}, 1, "boom", fixable, "Claude Code CLI needs attention", {"brew:claude-code@latest"}},
        {"no output", {"/opt/homebrew/bin/claude"}, {}, 0, std::nullopt, fixable, "Claude Code CLI needs attention", {"brew:claude-code@latest"}},
        {"off the PATH", {}, {"/Users/tester/.claude/local/claude"}, -1, std::nullopt, fixable, "Claude Code is installed but not on your PATH", {"path-repair:/Users/tester/.claude/local"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SetupProbeBundle probes;
        probes.pathVisiblePrimaryTools = row.onPath;
        probes.installedPrimaryToolLocations = row.installed;
        probes.versionExitCode = row.versionExit;
        probes.versionOutput = row.versionOutput;
        const auto finding = ClaudeProbes::claudeCLIFinding(probes);
        EXPECT_EQ(finding.classification, row.classification) << row.name;
        EXPECT_EQ(finding.headline, row.headline) << row.name;
        EXPECT_EQ(idsOf(ClaudeSpineProvider::fixes("claude-cli", SystemProfile{}, probes)), row.fixes)
            << row.name;
    }

    SetupProbeBundle two;
    two.pathVisiblePrimaryTools = {"/Users/tester/.local/bin/claude", "/opt/homebrew/bin/claude"};
    two.installedPrimaryToolLocations = {"/opt/homebrew/bin/claude"};
    EXPECT_EQ(
        ClaudeProbes::claudeCLIFinding(two).detail,
        "We found multiple `claude` installs (/Users/tester/.local/bin/claude, /opt/homebrew/bin/claude). To "
        "avoid breaking a setup you rely on, we won't remove anything automatically. Recommended: keep the "
        "Homebrew-managed one and remove the others, then make sure Homebrew's bin directory comes first on "
        "your PATH.");
    SetupProbeBundle ready;
    ready.pathVisiblePrimaryTools = {"/opt/homebrew/bin/claude"};
    ready.versionExitCode = 0;
    ready.versionOutput = "2.1.0 (Claude Code)";
    EXPECT_EQ(ClaudeProbes::claudeCLIFinding(ready).detail, "`claude` runs: 2.1.0 (Claude Code)");
}

// The primary stages per architecture, and step counts, are walked in the variant walkthrough.
TEST(ClaudeWorkflowTest, OffersAndOptionalStagesAreTheSameOnEveryArchitecture) {
    ScopedProductConfig scope(products::claude());
    for (const auto architecture : {Architecture::appleSilicon, Architecture::unknown, Architecture::intel}) {
        SystemProfile profile;
        profile.architecture = architecture;
        const auto workflow = ClaudeProbes::workflow(profile, SetupProbeBundle{});
        EXPECT_EQ(workflow.offerDomainIDs(), (std::vector<std::string>{"project", "skills", "mcp"}));
        EXPECT_EQ(workflow.optionalDomainIDs(),
                  (std::vector<std::string>{"editor", "shell-config", "languages", "agent-docs", "git"}));
        EXPECT_EQ(
            ClaudeSpineProvider().workflow(std::nullopt, profile, {}, SpineWorkflowSelection::standard()),
            workflow);
    }
}

TEST(ClaudeWorkflowTest, FindingsUseTheCurrentWordingAndUnknownDomainsStayUnknown) {
    ProductConfig config = products::claude();
    config.sharedDomainCopy.homebrewFixable = {"current headline", "current detail"};
    ScopedProductConfig scope(config);
    EXPECT_EQ(ClaudeProbes::diagnosis("homebrew", SystemProfile{}, {}),
              (SetupDiagnosis{"current headline", "current detail", fixable}));
    for (const char* domain : {"notes", "ai-claude", "nonsense"})
        EXPECT_EQ(ClaudeProbes::diagnosis(domain, SystemProfile{}, {}), std::nullopt) << domain;

    const auto step = ClaudeProbes::step("nonsense", DomainPlacement::optional, SystemProfile{}, {});
    EXPECT_EQ(step.stage->diagnosis(), (SetupDiagnosis{"nonsense", "", unknown}));
    EXPECT_TRUE(step.stage->actions().empty());

    for (const char* domain : {"skills", "mcp", "languages"}) {
        SetupProbeBundle everything;
        everything.shellConfigured = everything.projectExists = everything.ghAuthed = true;
        EXPECT_EQ(ClaudeProbes::diagnosis(domain, SystemProfile{}, everything)->classification, fixable)
            << domain;
    }
}

TEST(ClaudeWorkflowTest, PrimaryStagesOfferTheirFixesWithTheirPolicies) {
    ScopedProductConfig scope(products::claude());
    const auto workflow = ClaudeProbes::workflow(SystemProfile{}, SetupProbeBundle{});
    std::vector<std::pair<std::string, VerifyPolicy>> actions;
    for (const auto& step : workflow.steps) {
        if (step.placement != DomainPlacement::primary)
            continue;
        for (const auto& action : step.stage->actions())
            actions.emplace_back(action.id, action.verifyPolicy);
    }
    using enum VerifyPolicy;
    EXPECT_EQ(actions, (std::vector<std::pair<std::string, VerifyPolicy>>{
                           {"clt", installCompletion},
                           {"homebrew", installCompletion},
                           {"brew:claude-code@latest", localVerification},
                           {"brew:warp", installCompletion},
                           {"brew:claude", localVerification},
                           {"brew:codex", installCompletion},
                           {"brew:chatgpt", installCompletion},
                       }));
}

}  // namespace
}  // namespace quill
