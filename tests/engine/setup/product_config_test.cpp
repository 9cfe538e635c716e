#include "engine/setup/product_config.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "engine/core/build_options.h"
#include "engine/java/inert_diagnosis_profile.h"
#include "engine/java/java_profile.h"

namespace quill {
namespace {

ProductURLs urlsAt(std::string base) {
    ProductURLs urls;
    urls.articleBase = std::move(base);
    return urls;
}

ProductConfig plainConfig(std::string appID) {
    return ProductConfig{
        .appID = std::move(appID),
        .displayName = "Plain",
        .appSupportDirName = "Plain",
        .userDefaultsPrefix = "com.example.plain",
        .shellConfigMarker = "Plain",
        .cacheDirName = "Plain",
        .copy = ProductCopy{"Explainer", "Start", std::nullopt},
        .urls = urlsAt("https://articles.test"),
        .consent = ConsentCopy::standard(),
        .diagnosisProfile = std::make_shared<const InertDiagnosisProfile>(),
        .flow = SetupFlow::setupWorkflow,
    };
}

TEST(ProductConfigTest, CurrentStartsAsTheJavaDiagnosticVariant) {
    const auto current = ProductConfig::current();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->appID, "tvn-java");
    EXPECT_EQ(current->flow, SetupFlow::diagnose);

    const auto& java = ProductConfig::javaDiagnostic();
    EXPECT_EQ(java.displayName, "Tolvane for Java");
    EXPECT_EQ(java.appSupportDirName, "Tolvane");
    EXPECT_EQ(java.userDefaultsPrefix, std::string(kOrganizationPrefix) + ".tolvane.java");
    EXPECT_EQ(java.shellConfigMarker, "Tolvane");
    EXPECT_TRUE(java.datedShellMarker);
    EXPECT_EQ(java.cacheDirName, "Tolvane");
    // It says what it does while it offers no Java fix: a check, no install.
    EXPECT_EQ(java.copy, (ProductCopy{"Diagnose common Java setup errors.", "Diagnose Java", std::nullopt}));
    auto checks = ConsentCopy::standard();
    checks.whatBullets.front() = "Checks your Java setup.";
    EXPECT_EQ(java.consent, checks);
    EXPECT_NE(dynamic_cast<const JavaProfile*>(java.diagnosisProfile.get()), nullptr);
    EXPECT_FALSE(java.goalPrompt);
    EXPECT_FALSE(java.nextStepPrompt);
    EXPECT_TRUE(java.offerCatalog.empty());
    EXPECT_FALSE(java.spineProvider || java.verifier || java.prober || java.spineCopy || java.stageCatalog);
    EXPECT_FALSE(java.experienceQuestion);
    EXPECT_EQ(java.sharedDomainCopy, SharedDomainCopy{});

    const std::string site(build::kArticleSite);
    EXPECT_EQ(java.urls.articleBase, site);
    EXPECT_EQ(java.urls.privacy, site + "/tolvane/privacy");
    EXPECT_EQ(java.urls.installMethods, site + "/java/download");
    EXPECT_EQ(java.urls.troubleshooting, site + "/java/unable-to-locate");
    EXPECT_EQ(java.urls.envConfig, site + "/java/java-home");
    EXPECT_EQ(java.urls.commandLineTools, site + "/commandlinetools");
    EXPECT_EQ(java.urls.macosUpgrade, site + "/macos/upgrade");
    EXPECT_EQ(
        java.urls.warpAffiliate,
        "https://www.warp.dev/mac-terminal?utm_source=fernwick&utm_medium=app&utm_campaign=fernwick_20260516"
        "&utm_content=tolvane_audit");
}

TEST(ProductConfigTest, InitialiserLeavesStrategiesAbsentAndTextsAtTheirDefaults) {
    const auto config = plainConfig("plain");
    EXPECT_FALSE(config.spineProvider || config.verifier || config.prober || config.spineCopy ||
                 config.stageCatalog);
    EXPECT_FALSE(config.experienceQuestion);

    const auto& copy = config.sharedDomainCopy;
    EXPECT_EQ(copy.cltReady, (SharedDomainCopy::State{"Command Line Tools are installed",
                                                      "Apple's Command Line Tools are present — required for "
                                                      "Homebrew and Git."}));
    EXPECT_EQ(
        copy.homebrewFixable.detail,
        "We'll install Homebrew first — it's how we install your tools as one coherent, updatable, removable "
        "setup.");
    EXPECT_EQ(copy.warpFixable.headline, "Try Warp — the AI-assisted terminal");

    const auto& policy = config.spinePolicy;
    EXPECT_EQ(policy.homebrewIndependentDomains, (std::set<std::string>{"clt", "homebrew"}));
    EXPECT_TRUE(policy.summaryExcludedDomains.empty() && policy.advanceOnPartialFailureDomains.empty());
    EXPECT_TRUE(policy.offers.empty() && policy.stageArticlePaths.empty() &&
                policy.privilegedReasons.empty());
    EXPECT_TRUE(policy.remediationCaptions.empty() && policy.specialStages.empty());
    EXPECT_EQ(policy.fallbackArticlePath, "");
    EXPECT_FALSE(policy.privilegedActionReason || policy.postPrimaryInterstitial || policy.networkReadiness ||
                 policy.diskReadiness);
    EXPECT_FALSE(policy.onStageBlocked || policy.onOutcomeReported || policy.outcomeOpenableApps);
}

TEST(ProductConfigTest, ScopedOverridesRestoreThePreviousConfiguration) {
    const auto original = ProductConfig::current();
    {
        ScopedProductConfig outer(plainConfig("outer"));
        EXPECT_EQ(ProductConfig::current()->appID, "outer");
        const auto held = ProductConfig::current();
        {
            ScopedProductConfig inner(plainConfig("inner"));
            EXPECT_EQ(ProductConfig::current()->appID, "inner");
            EXPECT_EQ(held->appID, "outer");  // a snapshot never changes under its holder
        }
        EXPECT_EQ(ProductConfig::current()->appID, "outer");

        ProductConfig::setCurrent(std::shared_ptr<const ProductConfig>());  // ignored: there is always one
        EXPECT_EQ(ProductConfig::current()->appID, "outer");
    }
    EXPECT_EQ(ProductConfig::current(), original);
}

TEST(ProductCopyTest, ConsentWordingIsExact) {
    const auto& consent = ConsentCopy::standard();
    EXPECT_EQ(consent.whatTitle, "What this app does");
    ASSERT_EQ(consent.whatBullets.size(), 3u);
    EXPECT_EQ(consent.whatBullets.front(), "Checks and installs Java, if you wish.");
    EXPECT_EQ(consent.privacyTitle, "Your privacy and Mac integrity are respected");
    ASSERT_EQ(consent.privacyBullets.size(), 5u);
    EXPECT_EQ(consent.privacyBullets[3], "The “How did we do?” score is reported anonymously.");
}

TEST(ProductCopyTest, OfferRoutesCompareAndHashThroughNestedAudits) {
    const OfferRoute a = OfferRoute::Content{"a"};
    const OfferRoute b = OfferRoute::Content{"b"};
    EXPECT_EQ(OfferRoute::audit(), OfferRoute::audit());  // absent equals absent
    EXPECT_EQ(OfferRoute::audit(a), OfferRoute::audit(OfferRoute::Content{"a"}));
    EXPECT_NE(OfferRoute::audit(a), OfferRoute::audit(b));
    EXPECT_NE(OfferRoute::audit(a), OfferRoute::audit());
    EXPECT_NE(OfferRoute::audit(OfferRoute::audit()), OfferRoute::audit());
    EXPECT_EQ(OfferRoute::audit(OfferRoute::audit(a)), OfferRoute::audit(OfferRoute::audit(a)));
    EXPECT_NE(OfferRoute(OfferRoute::GuidedHelpWTP{}), OfferRoute(OfferRoute::AICodingInterest{}));

    std::unordered_set<OfferRoute> routes{a,
                                          b,
                                          OfferRoute::audit(),
                                          OfferRoute::audit(a),
                                          OfferRoute::audit(OfferRoute::audit(a)),
                                          OfferRoute::GuidedHelpWTP{}};
    EXPECT_EQ(routes.size(), 6u);
    EXPECT_TRUE(routes.contains(OfferRoute::audit(OfferRoute::Content{"a"})));
    EXPECT_EQ(std::hash<OfferRoute>{}(OfferRoute::audit(a)), std::hash<OfferRoute>{}(OfferRoute::audit(a)));

    for (auto outcome : {Outcome::ready, Outcome::still_blocked, Outcome::unsure}) {
        EXPECT_EQ(fromRawOutcome(toRaw(outcome)), outcome);
    }
    EXPECT_EQ(toRaw(Outcome::still_blocked), "still_blocked");
    EXPECT_EQ(fromRawOutcome("stillBlocked"), std::nullopt);
}

TEST(SpineRenderPolicyTest, ArticleLinksJoinWithExactlyOneSlash) {
    const auto urls = urlsAt("https://articles.test");
    EXPECT_EQ(urls.articleURL(""), "https://articles.test");
    EXPECT_EQ(urls.articleURL("java/download"), "https://articles.test/java/download");
    EXPECT_EQ(urls.articleURL("/java/download"), "https://articles.test/java/download");
    EXPECT_EQ(urls.articleURL("//java"), "https://articles.test/java");

    const auto slashed = urlsAt("https://articles.test/");
    EXPECT_EQ(slashed.articleURL(""), "https://articles.test/");
    EXPECT_EQ(slashed.articleURL("/homebrew"), "https://articles.test/homebrew");

    SpineRenderPolicy policy;
    policy.fallbackArticlePath = "/fallback";
    policy.stageArticlePaths = {{"homebrew", "/homebrew"}, {"clt", ""}};
    EXPECT_EQ(urls.articleURL(policy.articlePath("homebrew")), "https://articles.test/homebrew");
    EXPECT_EQ(urls.articleURL(policy.articlePath("clt")),
              "https://articles.test");  // empty entry beats fallback
    EXPECT_EQ(urls.articleURL(policy.articlePath("warp")), "https://articles.test/fallback");
}

TEST(SpineRenderPolicyTest, ReasonsAndCaptionsArePerFix) {
    SpineRenderPolicy policy;
    EXPECT_EQ(policy.privilegedReason("homebrew", "Quillstart"), "Quillstart");

    policy.privilegedReasons["homebrew"] = "Homebrew needs your password.";
    EXPECT_EQ(policy.privilegedReason("homebrew", "Quillstart"), "Homebrew needs your password.");
    EXPECT_EQ(policy.privilegedReason("brew:zed", "Quillstart"), "Quillstart");
    policy.privilegedActionReason = "Installing needs your password.";
    EXPECT_EQ(policy.privilegedReason("brew:zed", "Quillstart"), "Installing needs your password.");
    EXPECT_EQ(policy.privilegedReason("homebrew", "Quillstart"), "Homebrew needs your password.");

    policy.remediationCaptions["clt"] = "";
    policy.remediationCaptions["brew:zed"] = "Fast.";
    EXPECT_EQ(policy.caption("clt", "own"), "");
    EXPECT_EQ(policy.caption("brew:zed", "own"), "Fast.");
    EXPECT_EQ(policy.caption("uv", "own"), "own");
}

TEST(SpineRenderPolicyTest, StageKindsCompareByPayload) {
    using Policy = SpineRenderPolicy;
    EXPECT_NE((Policy::CaskChoice{"Zed", std::nullopt, "brew:zed", "cask-zed"}),
              (Policy::CaskChoice{"Zed", "", "brew:zed", "cask-zed"}));
    const Policy::SpecialStageKind empty = Policy::CaskMultiselect{"Editors", "editors", {}};
    EXPECT_EQ(empty, (Policy::SpecialStageKind{Policy::CaskMultiselect{"Editors", "editors", {}}}));
    EXPECT_NE(empty, (Policy::SpecialStageKind{Policy::GroupedInstall{"Editors", "editors", "x"}}));
    EXPECT_EQ(Policy::SpecialStageKind{Policy::GitActions{}}, Policy::SpecialStageKind{Policy::GitActions{}});
}

}  // namespace
}  // namespace quill
