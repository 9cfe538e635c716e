#include <gtest/gtest.h>

#include "engine/products/brew/brew_verifier.h"
#include "engine/products/claude/claude_verifier.h"
#include "engine/products/cli/cli_verifier.h"
#include "tests/engine/products/mac_scene.h"

namespace quill {
namespace {

using test::MacScene;

SetupVerificationResult blocked(std::string output, int exitCode) {
    SetupVerificationResult result;
    result.rawOutput = std::move(output);
    result.exitCode = exitCode;
    result.engineOutcome = "blocked";
    return result;
}

TEST(CliVerifierTest, ToolsFirstThenGit) {
    struct Row {
        const char* name;
        std::optional<std::pair<int, std::string>> xcodeSelect;  // nothing: the shell cannot start
        std::optional<std::pair<int, std::string>> git;
        SetupVerificationResult expected;
        bool gitRuns;
    };
    SetupVerificationResult passed;
    passed.rawOutput = "\n  git version 2.39.3 (Apple Git-146)  \nmore\n";
    passed.passed = true;
    passed.exitCode = 0;
    passed.engineOutcome = "likely_resolved";
    passed.verifiedItems = {"Command Line Tools installed", "git version 2.39.3 (Apple Git-146)"};
    const std::string missing = "xcode-select: error: unable to get active developer directory\n";
    const Row rows[] = {
        {"no shell", std::nullopt, std::nullopt, blocked("", -1), false},
        {"no tools", std::pair{2, missing}, std::nullopt, blocked(missing, 2), false},
        {"tools print nothing", std::pair{0, std::string(" \n")}, std::nullopt, blocked(" \n", 0), false},
        {"git cannot start", std::pair{0, std::string("/Library/Developer/CommandLineTools\n")}, std::nullopt,
         blocked("", -1), true},
        {"git prints only space", std::pair{0, std::string("/x\n")}, std::pair{0, std::string("\t\n")},
         blocked("\t\n", 0), true},
        {"git fails", std::pair{0, std::string("/x\n")}, std::pair{1, std::string("boom\n")},
         blocked("boom\n", 1), true},
        {"works", std::pair{0, std::string("/x\n")}, std::pair{0, passed.rawOutput}, passed, true},
    };
    for (const auto& row : rows) {
        MacScene mac;
        if (row.xcodeSelect)
            mac.answer("xcode-select -p", row.xcodeSelect->first, row.xcodeSelect->second);
        if (row.git)
            mac.answer("git --version", row.git->first, row.git->second);
        EXPECT_EQ(CliVerifier().verify(std::nullopt, mac.shell(), mac.fs, {}), row.expected) << row.name;
        const auto scripts = mac.scripts();
        EXPECT_EQ(scripts.size(), row.gitRuns ? 2U : 1U) << row.name;
        EXPECT_EQ(scripts.front(), "xcode-select -p 2>&1") << row.name;
    }
}

TEST(BrewVerifierTest, PassesOnAnyOutputAndNamesTheVersionWhenItCan) {
    struct Row {
        std::optional<std::pair<int, std::string>> run;
        bool passed;
        std::vector<std::string> items;
    };
    const Row rows[] = {
        {std::nullopt, false, {}},
        {std::pair{127, std::string("zsh: command not found: brew\n")}, false, {}},
        {std::pair{0, std::string(" \n\n")}, false, {}},
        {std::pair{0, std::string("Homebrew 4.3.1\nHomebrew/homebrew-core\n")},
         true,
         {"Homebrew installed — version 4.3.1"}},
        {std::pair{0, std::string("Warning: stale\nHomebrew 4.3.1\n")}, true, {"Homebrew installed"}},
    };
    for (const auto& row : rows) {
        MacScene mac;
        if (row.run)
            mac.answer("brew --version", row.run->first, row.run->second);
        const auto result = BrewVerifier().verify(std::nullopt, mac.shell(), mac.fs, {});
        EXPECT_EQ(result.passed, row.passed);
        EXPECT_EQ(result.engineOutcome, row.passed ? "likely_resolved" : "blocked");
        EXPECT_EQ(result.exitCode, row.run ? row.run->first : -1);
        EXPECT_EQ(result.rawOutput, row.run ? row.run->second : "");
        EXPECT_EQ(result.verifiedItems, row.items);
        EXPECT_TRUE(result.details.empty());
    }
}

TEST(BrewVerifierTest, VersionIsTheWordAfterHomebrew) {
    EXPECT_EQ(brewVersion("Homebrew 4.3.1\n"), "4.3.1");
    EXPECT_EQ(brewVersion("Homebrew\n4.3.1"), "4.3.1");  // line ends separate words too
    EXPECT_EQ(brewVersion("  Homebrew   4.3.1-12-gabc"), "4.3.1-12-gabc");
    EXPECT_EQ(brewVersion("Homebrew"), std::nullopt);
    EXPECT_EQ(brewVersion("homebrew 4.3.1"), std::nullopt);
    EXPECT_EQ(brewVersion(""), std::nullopt);
}

TEST(ClaudeVerifierTest, ResultRule) {
    struct Row {
        std::string output;
        int exit;
        bool desktop;
        bool passed;
        std::vector<std::string> items;
    };
    const Row rows[] = {
        {"2.1.0 (Claude Code)\n",
         0,
         true,
         true,
         {"Claude Code CLI installed — version 2.1.0", "Claude Desktop installed"}},
        {"claude 2.1.0\n", 0, false, true, {"Claude Code CLI installed"}},
        {"\u0663.1 (Claude Code)", 0, false, true, {"Claude Code CLI installed — version \u0663.1"}},
        {"zsh: command not found: claude\n", 127, true, false, {}},
        {"\n \n", 0, true, false, {}},
        {"", -1, false, false, {}},
    };
    for (const auto& row : rows) {
        const auto result = ClaudeVerifier::result(row.output, row.exit, row.desktop);
        EXPECT_EQ(result.passed, row.passed) << row.output;
        EXPECT_EQ(result.verifiedItems, row.items) << row.output;
        EXPECT_EQ(result.engineOutcome, row.passed ? "likely_resolved" : "blocked");
        EXPECT_EQ(result.rawOutput, row.output);
        EXPECT_EQ(result.exitCode, row.exit);
        EXPECT_EQ(result.details,
                  (std::map<std::string, std::string>{{"desktop_present", row.desktop ? "true" : "false"}}));
    }
}

TEST(ClaudeVerifierTest, VersionTokenTakesTheFirstWordWhenItStartsWithANumber) {
    EXPECT_EQ(ClaudeVerifier::versionToken("  2.1.0 (Claude Code)\n"), "2.1.0");
    EXPECT_EQ(ClaudeVerifier::versionToken("2.1.0\tbuild"), "2.1.0");
    EXPECT_EQ(ClaudeVerifier::versionToken("\u0664\u0662"), "\u0664\u0662");  // Arabic-Indic digits
    EXPECT_EQ(ClaudeVerifier::versionToken("\u2167-beta"), "\u2167-beta");    // a Roman numeral is a number
    EXPECT_EQ(ClaudeVerifier::versionToken("v2.1.0"), std::nullopt);
    EXPECT_EQ(ClaudeVerifier::versionToken(" \n"), std::nullopt);
}

TEST(ClaudeVerifierTest, AsksForTheAppAndTheCliWithinTheLimit) {
    MacScene mac;
    mac.folder("/Users/tester/Applications/Claude.app");
    mac.everyShellTimesOut();
    const auto result = ClaudeSetupVerifier().verify(std::nullopt, mac.shell(), mac.fs, {});
    EXPECT_EQ(result, ClaudeVerifier::result("", -1, true));
}

// The three verifiers bound every login shell and read a time-out as not passed.
TEST(VerifierTimeLimitTest, EveryLoginShellIsBoundedAndATimeOutIsBlocked) {
    const std::shared_ptr<const SetupVerifier> verifiers[] = {std::make_shared<const CliVerifier>(),
                                                              std::make_shared<const BrewVerifier>(),
                                                              std::make_shared<const ClaudeSetupVerifier>()};
    for (const auto& verifier : verifiers) {
        for (const bool timesOut : {false, true}) {
            MacScene mac;
            if (timesOut)
                mac.everyShellTimesOut();
            else
                mac.runner->whenRun(test::FakeProcessRunner::anyCallTo("/bin/zsh"),
                                    test::processResult(0, "/x\n1.0\n"));
            const auto result = verifier->verify(std::nullopt, mac.shell(), mac.fs, {});
            EXPECT_EQ(result.passed, !timesOut);
            if (timesOut) {
                EXPECT_EQ(result.exitCode, -1);
                EXPECT_EQ(result.engineOutcome, "blocked");
            }
            ASSERT_FALSE(mac.runner->calls().empty());
            for (const auto& call : mac.runner->calls())
                EXPECT_EQ(call.timeLimit, kLoginShellProbeTimeLimit) << call.arguments.back();
        }
    }
}

}  // namespace
}  // namespace quill
