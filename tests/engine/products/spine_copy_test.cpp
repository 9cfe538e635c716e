#include <gtest/gtest.h>

#include <memory>

#include "engine/products/brew/brew_spine_copy.h"
#include "engine/products/brew/homebrew_location.h"
#include "engine/products/claude/agent_skill_catalog.h"
#include "engine/products/claude/claude_spine_copy.h"
#include "engine/products/cli/cli_spine_copy.h"
#include "engine/products/code/code_spine_copy.h"

namespace quill {
namespace {

using enum SetupDiagnosisClassification;

// The fixed texts, by requirement, in the order the screens' interface declares them.
std::vector<std::string> fixedTexts(const SpineCopyProviding& copy) {
    return {copy.diagnosisWindowTitle(),     copy.diagnosisHeadline(),
            copy.consentReassurance(),       copy.primaryArticlePath(),
            copy.verifyingTitle(),           copy.continueWindowTitle(),
            copy.continueHeadline(),         copy.continueBody(),
            copy.doneButtonLabel(),          copy.completionHeadline(),
            copy.allVerifiedText(),          copy.someUnverifiedText(),
            copy.completionNote(),           copy.feedbackQuestion(),
            copy.updateArticlePath(),        copy.troubleshootingArticlePath(),
            copy.finalQuestionWindowTitle(), copy.projectFolderPrompt()};
}

// Which of the eighteen fixed texts each product words differently from the command-line product.
TEST(SpineCopyTest, ProductsDifferFromTheCommandLineTextsExactlyWhereTheyShould) {
    const auto cli = fixedTexts(CliSpineCopy());
    const auto differing = [&](const SpineCopyProviding& copy) {
        std::vector<std::size_t> slots;
        const auto texts = fixedTexts(copy);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i] != cli[i])
                slots.push_back(i);
        }
        return slots;
    };
    EXPECT_EQ(differing(CodeSpineCopy()), (std::vector<std::size_t>{3, 4, 6, 9, 14, 15}));
    EXPECT_EQ(differing(BrewSpineCopy()), (std::vector<std::size_t>{3, 4, 5, 6, 9, 14, 15}));
    EXPECT_EQ(differing(ClaudeSpineCopyProvider()),
              (std::vector<std::size_t>{3, 4, 5, 6, 7, 9, 14, 15, 16, 17}));

    EXPECT_EQ(CliSpineCopy().verifyingTitle(), "Verifying the command line…");
    EXPECT_EQ(cli[12], "");  // the completion note is empty, not absent
    EXPECT_EQ(ClaudeSpineCopyProvider().projectFolderPrompt(), "Choose a folder for Claude to work in");
    EXPECT_EQ(CodeSpineCopy().projectFolderPrompt(), "Choose a folder to work in");
}

TEST(SpineCopyTest, HomebrewScreenAndStatusFollowTheTwoAttentionFindings) {
    const SetupDiagnosis notOnPath{std::string(kHomebrewNotOnPathHeadline), "not on path detail", fixable};
    const SetupDiagnosis wrongChip{std::string(kHomebrewWrongChipHeadline), "wrong chip detail", fixable};
    const SetupDiagnosis twoPlaces{"Homebrew is installed", "two places detail", ready};
    const std::shared_ptr<const SpineCopyProviding> copies[] = {std::make_shared<const CliSpineCopy>(),
                                                                std::make_shared<const CodeSpineCopy>(),
                                                                std::make_shared<const BrewSpineCopy>()};
    for (const auto& copy : copies) {
        const auto own = copy->screenCopy("homebrew", notOnPath);
        ASSERT_TRUE(own);
        EXPECT_EQ(*own, (SpineScreenCopy{"Homebrew package manager", notOnPath.headline, notOnPath.detail,
                                         std::nullopt}));
        EXPECT_EQ(copy->screenCopy("homebrew", wrongChip)->headline, wrongChip.headline);
        EXPECT_EQ(copy->screenCopy("homebrew", twoPlaces)->headline, "Install Homebrew");
        EXPECT_EQ(copy->screenCopy("homebrew", std::nullopt)->headline, "Install Homebrew");

        EXPECT_EQ(copy->statusLine("homebrew", notOnPath), "Homebrew: installed, not on PATH");
        EXPECT_EQ(copy->statusLine("homebrew", wrongChip), "Homebrew: installed for the wrong chip");
        EXPECT_EQ(copy->statusLine("homebrew", twoPlaces), "Homebrew: installed");
        for (const char* domain : {"ai-claude", "languages", "notes"})
            EXPECT_EQ(copy->screenCopy(domain, std::nullopt), std::nullopt) << domain;
    }
    EXPECT_NE(CliSpineCopy().screenCopy("clt", std::nullopt)->body,
              BrewSpineCopy().screenCopy("clt", std::nullopt)->body);
    EXPECT_EQ(CodeSpineCopy().screenCopy("clt", std::nullopt),
              CliSpineCopy().screenCopy("clt", std::nullopt));
}

TEST(SpineCopyTest, StatusLinesNameTheDomainsEachProductKnows) {
    struct Row {
        const char* domain;
        SetupDiagnosisClassification classification;
        const char* cli;
        const char* brew;
        const char* claude;
    };
    const Row rows[] = {
        {"clt", ready, "Command Line Tools: installed", "Command Line Tools: installed",
         "Command Line Tools: installed"},
        {"shell-config", ready, "Shell configuration: installed", "shell-config: installed",
         "shell-config: installed"},
        {"git", fixable, "Git and GitHub: not installed", "git: not installed", "git: not installed"},
        {"warp", fixable, "Warp: not installed", "Warp: not installed", "Warp: not installed"},
        {"claude-cli", blocked, "claude-cli: needs attention", "claude-cli: needs attention",
         "Claude Code: needs attention"},
        {"claude-desktop", ready, "claude-desktop: installed", "claude-desktop: installed",
         "Claude Desktop: installed"},
        {"editor", unknown, "editor: unknown", "editor: unknown", "editor: unknown"},
    };
    for (const auto& row : rows) {
        const SetupDiagnosis diagnosis{"headline", "detail", row.classification};
        EXPECT_EQ(CliSpineCopy().statusLine(row.domain, diagnosis), row.cli);
        EXPECT_EQ(CodeSpineCopy().statusLine(row.domain, diagnosis), row.cli);
        EXPECT_EQ(BrewSpineCopy().statusLine(row.domain, diagnosis), row.brew);
        EXPECT_EQ(ClaudeSpineCopyProvider().statusLine(row.domain, diagnosis), row.claude);
    }
}

TEST(SpineCopyTest, ClaudeScreensCoverItsWorkflowAndNothingElse) {
    for (const char* domain :
         {"clt", "homebrew", "claude-cli", "warp", "claude-desktop", "codex", "editor", "shell-config",
          "languages", "agent-docs", "project", "skills", "mcp", "git"}) {
        const auto screen = ClaudeSpineCopy::screenCopy(domain);
        ASSERT_TRUE(screen) << domain;
        const auto provided = ClaudeSpineCopyProvider().screenCopy(domain, std::nullopt);
        EXPECT_EQ(provided,
                  (SpineScreenCopy{screen->windowTitle, screen->headline, screen->body, screen->footer}));
    }
    for (const char* domain : {"notes", "ai-claude", ""})
        EXPECT_EQ(ClaudeSpineCopyProvider().screenCopy(domain, std::nullopt), std::nullopt) << domain;
    EXPECT_EQ(ClaudeSpineCopy::screenCopy("codex")->footer,
              "We're not affiliated with OpenAI. We just like using both.");
}

TEST(AgentSkillCatalogTest, DeveloperRowsOnlyOnRequest) {
    const auto slugs = [](bool developer) {
        std::vector<std::string> result;
        for (const auto& skill : agentSkillCatalog(developer))
            result.push_back(skill.slug);
        return result;
    };
    EXPECT_EQ(slugs(false), (std::vector<std::string>{"avoid-ai-writing", "downloads-cleanup"}));
    EXPECT_EQ(slugs(true),
              (std::vector<std::string>{"avoid-ai-writing", "downloads-cleanup", "skill-creator"}));

    const auto all = agentSkillCatalog(true);
    EXPECT_EQ(all[0].source, AgentSkill::bundle("avoid-ai-writing"));
    EXPECT_TRUE(all[0].preselected);
    EXPECT_EQ(all[1].badge, "Moves files \u00B7 Preview first");
    const auto* fetch = std::get_if<AgentSkill::Fetch>(&all[2].source);
    ASSERT_NE(fetch, nullptr);
    EXPECT_EQ(fetch->pin.size(), 40U);
    EXPECT_EQ(fetch->pin.find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
}  // namespace quill
