#include "engine/java/remediation.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill {
namespace {

using R = Remediation;

const std::filesystem::path kTemurin17Home = "/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home";

TEST(RemediationTest, IdentifiersComposePrefixAndPayload) {
    const std::vector<std::pair<Remediation, std::string>> expected = {
        {R::InstallTemurinViaBrew{"temurin@25"}, "brew:temurin@25"},
        {R::InstallViaSDKMAN{"25-tem"}, "sdkman:25-tem"},
        {R::InstallViaMise{"temurin-25"}, "mise:temurin-25"},
        {R::InstallViaPKG{25}, "pkg:25"},
        {R::InstallViaPKGThenJEnv{25}, "pkg-jenv:25"},
        {R::WriteJavaHomeToZprofile{kTemurin17Home}, "zprofile:" + kTemurin17Home.string()},
        {R::SetJavaHomeViaSDKMAN{"21-tem"}, "sdkman-home:21-tem"},
        {R::SetJavaHomeViaMise{"temurin-21"}, "mise-home:temurin-21"},
        {R::SetJavaHomeViaJenv{kTemurin17Home, 17},
         "jenv-home:17:/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home"},
        {R::KeepCurrentLegacyJava{"/Users/ana/jdk 8/Home"}, "keep-legacy:/Users/ana/jdk 8/Home"},
        {R::InstallHomebrewThenTemurin{"temurin@25"}, "homebrew+brew:temurin@25"},
        {R::InstallWarpViaBrew{"warp"}, "brew:warp"},
        {R::InstallHomebrewThenWarp{"warp"}, "homebrew+warp:warp"},
        {R::InstallHomebrew{}, "homebrew"},
    };
    ASSERT_EQ(expected.size(), std::variant_size_v<Remediation::Case>);
    for (const auto& [remediation, id] : expected)
        EXPECT_EQ(remediation.id(), id);
}

TEST(RemediationTest, TitlesDependOnTheCaseOnly) {
    EXPECT_EQ(Remediation(R::SetJavaHomeViaJenv{"/j", 17}).title(), "Set JAVA_HOME via jEnv (recommended)");
    EXPECT_EQ(Remediation(R::InstallHomebrewThenTemurin{"x"}).title(),
              "Install Homebrew + Java (recommended for developers)");
    // The two Warp fixes share one title.
    EXPECT_EQ(Remediation(R::InstallWarpViaBrew{"warp"}).title(), "Install Warp (recommended)");
    EXPECT_EQ(Remediation(R::InstallHomebrewThenWarp{"warp"}).title(), "Install Warp (recommended)");
    EXPECT_EQ(Remediation(R::InstallViaPKG{21}).title(), Remediation(R::InstallViaPKG{25}).title());
}

TEST(RemediationTest, OnlySDKMANAndMiseInstallsPutTheirPayloadIntoTheExplanation) {
    EXPECT_EQ(Remediation(R::InstallViaSDKMAN{"21-tem"}).explanation(),
              "We detected SDKMAN. We'll run `sdk install java 21-tem` and set it as your default Java.");
    EXPECT_EQ(Remediation(R::InstallViaMise{"temurin-25"}).explanation(),
              "We detected Mise. We'll run `mise install java@temurin-25` and set it as your global Java.");

    // The placeholders in these two are literal text, never the payload.
    EXPECT_EQ(Remediation(R::SetJavaHomeViaSDKMAN{"21-tem"}).explanation(),
              "Sets your default Java via `sdk default java <X>-tem` so JAVA_HOME points to the right Java "
              "installation in every new shell.");
    EXPECT_EQ(Remediation(R::SetJavaHomeViaMise{"temurin-21"}).explanation(),
              "Runs `mise use -g java@<version>` and ensures Mise's activate hook is in your `~/.zshrc` so "
              "JAVA_HOME "
              "gets set.");

    EXPECT_EQ(Remediation(R::InstallViaPKG{21}).explanation(),
              Remediation(R::InstallViaPKG{25}).explanation());
    EXPECT_EQ(Remediation(R::KeepCurrentLegacyJava{"/a"}).explanation(),
              Remediation(R::KeepCurrentLegacyJava{"/b"}).explanation());
}

TEST(RemediationTest, ExplanationsKeepTheirTypographicDashes) {
    EXPECT_EQ(
        Remediation(R::InstallTemurinViaBrew{"temurin@25"}).explanation(),
        "Easiest path \xE2\x80\x94 one command, handles updates and uninstalls cleanly. Native Apple Silicon "
        "builds.");
    EXPECT_EQ(Remediation(R::InstallWarpViaBrew{"warp"}).explanation(),
              "We'll install Warp via Homebrew \xE2\x80\x94 one command, native Apple Silicon build.");
    EXPECT_EQ(Remediation(R::InstallHomebrewThenTemurin{"temurin@25"}).explanation(),
              "Easiest long-term \xE2\x80\x94 Homebrew manages updates and uninstalls cleanly. We'll install "
              "Homebrew "
              "first (which also installs Xcode Command Line Tools), then Temurin via Homebrew.");
    EXPECT_EQ(
        Remediation(R::InstallHomebrew{}).explanation(),
        "We'll run the official Homebrew install script. macOS will prompt you for your password. Homebrew "
        "will also install Xcode Command Line Tools as part of its setup if they aren't already installed.");
}

TEST(RemediationTest, SameIdentifierIsNotEnoughForEquality) {
    const Remediation temurin = R::InstallTemurinViaBrew{"warp"};
    const Remediation warp = R::InstallWarpViaBrew{"warp"};
    EXPECT_EQ(temurin.id(), warp.id());
    EXPECT_NE(temurin, warp);
    EXPECT_NE(Remediation(R::SetJavaHomeViaJenv{kTemurin17Home, 17}),
              Remediation(R::SetJavaHomeViaJenv{kTemurin17Home, 21}));
    EXPECT_EQ(Remediation(R::SetJavaHomeViaJenv{kTemurin17Home, 17}),
              Remediation(R::SetJavaHomeViaJenv{kTemurin17Home, 17}));
}

}  // namespace
}  // namespace quill
