#include "engine/services/system_profile.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quill {
namespace {

using Ids = std::vector<std::string>;

TEST(SystemProfileTest, DeveloperPredicateCountsOnlyItsSignals) {
    const SystemProfile bare;
    EXPECT_FALSE(bare.isLikelyDeveloper());
    EXPECT_TRUE(bare.aiTooling.installedToolIDs().empty());
    EXPECT_TRUE(bare.terminals.installedIDs().empty());

    const std::vector<std::pair<std::string, std::function<void(SystemProfile&)>>> signals = {
        {"homebrew", [](SystemProfile& p) { p.homebrewPrefix = "/opt/homebrew/bin/brew"; }},
        {"sdkman", [](SystemProfile& p) { p.sdkmanRoot = "/Users/a/.sdkman"; }},
        {"mise", [](SystemProfile& p) { p.miseExecutable = "/usr/local/bin/mise"; }},
        {"jenv", [](SystemProfile& p) { p.jenvRoot = "/Users/a/.jenv"; }},
        {"aider only", [](SystemProfile& p) { p.aiTooling.aider = true; }},
        {"intellij only", [](SystemProfile& p) { p.aiTooling.intellij = true; }},
        {"kitty only", [](SystemProfile& p) { p.terminals.kitty = true; }},
        {"command line tools",
         [](SystemProfile& p) { p.xcodeCommandLineToolsPath = "/Library/Developer/CLT"; }},
    };
    for (const auto& [name, apply] : signals) {
        SystemProfile profile;
        apply(profile);
        EXPECT_TRUE(profile.isLikelyDeveloper()) << name;
    }

    const std::vector<std::pair<std::string, std::function<void(SystemProfile&)>>> noise = {
        {"asdf", [](SystemProfile& p) { p.asdfRoot = "/Users/a/.asdf"; }},
        {"obsidian", [](SystemProfile& p) { p.markdownEditors.obsidian = true; }},
        {"zettlr", [](SystemProfile& p) { p.markdownEditors.zettlr = true; }},
        {"jdks",
         [](SystemProfile& p) {
             p.javaState.installedJDKs = {JDKInfo{"21.0.2", "Eclipse Adoptium", "arm64", "/a"},
                                          JDKInfo{"17.0.1", "", "", "/b"}};
             p.javaState.whichJava = "/usr/bin/java";
         }},
        {"apple silicon zsh",
         [](SystemProfile& p) {
             p.architecture = Architecture::appleSilicon;
             p.shell = Shell::Zsh{};
             p.macosVersion = {15, 1, 0};
         }},
    };
    for (const auto& [name, apply] : noise) {
        SystemProfile profile;
        apply(profile);
        EXPECT_FALSE(profile.isLikelyDeveloper()) << name;
    }
}

TEST(SystemProfileTest, IdentifierListsAreSortedAndFree) {
    AITooling some;
    some.claudeCodeDesktop = some.claudeCodeCLI = some.aider = true;
    EXPECT_EQ(some.installedToolIDs(), (Ids{"aider", "claude-code-cli", "claude-desktop"}));

    AITooling all{true, true, true, true, true, true, true, true, true, true, true, true, true, true};
    EXPECT_EQ(all.installedToolIDs(), (Ids{"aider", "antigravity", "chatgpt-desktop", "claude-code-cli",
                                           "claude-desktop", "codex-cli", "cursor", "intellij", "kiro",
                                           "replit", "vs-code", "warp", "windsurf", "zed"}));

    Terminals terminals{true, true, true, true, true, true, true};
    EXPECT_EQ(terminals.installedIDs(),
              (Ids{"alacritty", "ghostty", "hyper", "iterm2", "kitty", "warp", "wezterm"}));
}

TEST(SystemProfileTest, EqualityNoticesEveryDifference) {
    EXPECT_EQ(Shell(Shell::Zsh{}), Shell(Shell::Zsh{}));
    EXPECT_NE(Shell(Shell::Other{"unknown"}), Shell(Shell::Other{"tcsh"}));
    EXPECT_EQ(Shell(), Shell(Shell::Other{"unknown"}));
    EXPECT_NE(Shell(Shell::Bash{}), Shell(Shell::Fish{}));

    SystemProfile a;
    a.macosVersion = {14, 5, 0};
    SystemProfile b = a;
    EXPECT_EQ(a, b);
    b.macosVersion.patchVersion = 1;
    EXPECT_NE(a, b);

    b = a;
    b.javaState.jvmDirContents = {"temurin-21.jdk"};
    EXPECT_NE(a, b);
    b = a;
    b.markdownEditors.zettlr = true;
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace quill
