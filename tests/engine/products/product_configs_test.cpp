#include <gtest/gtest.h>

#include <typeinfo>

#include "engine/core/web_address.h"
#include "engine/products/brew/brew_config.h"
#include "engine/products/claude/claude_config.h"
#include "engine/products/claude/claude_setup_prober.h"
#include "engine/products/claude/claude_spine_copy.h"
#include "engine/products/claude/claude_spine_provider.h"
#include "engine/products/claude/claude_verifier.h"
#include "engine/products/cli/cli_config.h"
#include "engine/products/code/code_config.h"
#include "engine/products/product_strategies.h"
#include "engine/telemetry/telemetry_events.h"

namespace quill {
namespace {

using products::brew;
using products::claude;
using products::cli;
using products::code;
using App = SpineRenderPolicy::OpenableApp;

template <class T>
bool sameType(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b) {
    return (a == nullptr) == (b == nullptr) && (!a || typeid(*a) == typeid(*b));
}

SystemProfile everyApp() {
    SystemProfile profile;
    auto& ai = profile.aiTooling;
    ai.claudeCodeDesktop = ai.chatgptDesktop = ai.zed = ai.vsCode = ai.warpApp = true;
    profile.markdownEditors.zettlr = profile.markdownEditors.obsidian = true;
    return profile;
}

std::vector<std::string> differingPolicyFields(const SpineRenderPolicy& a, const SpineRenderPolicy& b) {
    std::vector<std::string> fields;
    const auto check = [&](const char* name, bool same) {
        if (!same)
            fields.emplace_back(name);
    };
    check("summaryExcludedDomains", a.summaryExcludedDomains == b.summaryExcludedDomains);
    check("offers", a.offers == b.offers);
    check("homebrewIndependentDomains", a.homebrewIndependentDomains == b.homebrewIndependentDomains);
    check("advanceOnPartialFailureDomains",
          a.advanceOnPartialFailureDomains == b.advanceOnPartialFailureDomains);
    check("stageArticlePaths", a.stageArticlePaths == b.stageArticlePaths);
    check("fallbackArticlePath", a.fallbackArticlePath == b.fallbackArticlePath);
    check("privilegedActionReason", a.privilegedActionReason == b.privilegedActionReason);
    check("privilegedReasons", a.privilegedReasons == b.privilegedReasons);
    check("onStageBlocked", static_cast<bool>(a.onStageBlocked) == static_cast<bool>(b.onStageBlocked));
    check("postPrimaryInterstitial", a.postPrimaryInterstitial == b.postPrimaryInterstitial);
    check("networkReadiness", a.networkReadiness == b.networkReadiness);
    check("diskReadiness", a.diskReadiness == b.diskReadiness);
    check("remediationCaptions", a.remediationCaptions == b.remediationCaptions);
    check("outcomeOpenableApps",
          a.outcomeOpenableApps(everyApp(), std::nullopt) == b.outcomeOpenableApps(everyApp(), std::nullopt));
    check("specialStages", a.specialStages == b.specialStages);
    return fields;
}

std::vector<std::string> differingFields(const ProductConfig& a, const ProductConfig& b) {
    std::vector<std::string> fields;
    const auto check = [&](const char* name, bool same) {
        if (!same)
            fields.emplace_back(name);
    };
    check("appID", a.appID == b.appID);
    check("displayName", a.displayName == b.displayName);
    check("appSupportDirName", a.appSupportDirName == b.appSupportDirName);
    check("userDefaultsPrefix", a.userDefaultsPrefix == b.userDefaultsPrefix);
    check("shellConfigMarker", a.shellConfigMarker == b.shellConfigMarker);
    check("datedShellMarker", a.datedShellMarker == b.datedShellMarker);
    check("cacheDirName", a.cacheDirName == b.cacheDirName);
    check("copy", a.copy == b.copy);
    check("urls", a.urls == b.urls);
    check("consent", a.consent == b.consent);
    check("diagnosisProfile", sameType(a.diagnosisProfile, b.diagnosisProfile));
    check("goalPrompt", a.goalPrompt == b.goalPrompt);
    check("nextStepPrompt", a.nextStepPrompt == b.nextStepPrompt);
    check("offerCatalog", a.offerCatalog == b.offerCatalog);
    check("flow", a.flow == b.flow);
    // One provider type serves several products, each with its own stages.
    const auto stages = [](const ProductConfig& config) {
        return config.spineProvider->workflow(std::nullopt, everyApp(), {},
                                              SpineWorkflowSelection::standard());
    };
    check("spineProvider",
          sameType(a.spineProvider, b.spineProvider) && (!a.spineProvider || stages(a) == stages(b)));
    check("verifier", sameType(a.verifier, b.verifier));
    check("sharedDomainCopy", a.sharedDomainCopy == b.sharedDomainCopy);
    check("spinePolicy", differingPolicyFields(a.spinePolicy, b.spinePolicy).empty());
    check("prober", sameType(a.prober, b.prober));
    check("spineCopy", sameType(a.spineCopy, b.spineCopy));
    check("stageCatalog", sameType(a.stageCatalog, b.stageCatalog));
    check("experienceQuestion", a.experienceQuestion == b.experienceQuestion);
    return fields;
}

TEST(ProductConfigsTest, CodeAndBrewDifferFromCliExactlyInTheirOwnFields) {
    const std::vector<std::string> identity{
        "appID", "displayName", "appSupportDirName", "userDefaultsPrefix", "cacheDirName", "copy",
        "urls",  "consent"};
    auto codeFields = identity;
    codeFields.insert(codeFields.end(), {"spinePolicy", "spineCopy", "experienceQuestion"});
    EXPECT_EQ(differingFields(code(), cli()), codeFields);
    auto brewFields = identity;
    brewFields.insert(brewFields.end(), {"spineProvider", "verifier", "spinePolicy", "spineCopy"});
    EXPECT_EQ(differingFields(brew(), cli()), brewFields);

    EXPECT_EQ(differingPolicyFields(code().spinePolicy, cli().spinePolicy),
              (std::vector<std::string>{"privilegedActionReason", "networkReadiness", "diskReadiness"}));
    EXPECT_EQ(differingPolicyFields(brew().spinePolicy, cli().spinePolicy),
              (std::vector<std::string>{"homebrewIndependentDomains", "privilegedActionReason",
                                        "outcomeOpenableApps", "specialStages"}));
    // The Homebrew product drops only the Markdown editors and their stage.
    auto cliApps = cli().spinePolicy.outcomeOpenableApps(everyApp(), std::nullopt);
    cliApps.resize(5);
    EXPECT_EQ(brew().spinePolicy.outcomeOpenableApps(everyApp(), std::nullopt), cliApps);
    auto cliStages = cli().spinePolicy.specialStages;
    cliStages.erase("notes");
    EXPECT_EQ(brew().spinePolicy.specialStages, cliStages);
    // Only the consent bullets about what the app does change for Homebrew; the privacy ones stay.
    EXPECT_EQ(brew().consent.privacyBullets, cli().consent.privacyBullets);
    EXPECT_EQ(code().experienceQuestion->skipValue, code().experienceQuestion->buckets.at(2).value);
}

TEST(ProductConfigsTest, EveryLinkParsesAndNamesItsProduct) {
    for (const ProductConfig* config : {&code(), &cli(), &brew(), &claude()}) {
        const auto& urls = config->urls;
        for (const auto& link :
             {urls.articleBase, urls.privacy, urls.installMethods, urls.troubleshooting, urls.envConfig,
              urls.commandLineTools, urls.macosUpgrade, urls.warpAffiliate})
            EXPECT_TRUE(isAbsoluteWebAddress(link)) << config->appID << ": " << link;
        for (const auto& [domain, path] : config->spinePolicy.stageArticlePaths)
            EXPECT_TRUE(isAbsoluteWebAddress(urls.articleURL(path))) << config->appID << ": " << domain;
        const std::string product = config->appID.substr(config->appID.find('-') + 1);
        EXPECT_TRUE(urls.warpAffiliate.ends_with("&utm_content=quill_" + product)) << urls.warpAffiliate;
        EXPECT_EQ(config->userDefaultsPrefix, std::string(kOrganizationPrefix) + ".quill." + product);
        EXPECT_EQ(config->flow, SetupFlow::setupWorkflow);
        EXPECT_TRUE(config->prober && config->spineProvider && config->verifier && config->spineCopy &&
                    config->stageCatalog);
    }
    EXPECT_EQ(cli().urls.privacy, cli().urls.articleURL("quillstart/privacy"));
}

TEST(ProductConfigsTest, OutcomeHooksSendTheirEventsWithBlockedAsDefault) {
    ScopedTelemetryCapture capture;
    cli().spinePolicy.onOutcomeReported(std::nullopt, "resolved");
    brew().spinePolicy.onOutcomeReported("likely_resolved", "not_resolved");
    claude().spinePolicy.onOutcomeReported(std::nullopt, "resolved");
    EXPECT_EQ(
        capture.events(),
        (std::vector<NamedEvent>{
            {"outcome_reported", {{"engine_outcome", "blocked"}, {"self_report", "resolved"}}},
            {"outcome_reported", {{"engine_outcome", "likely_resolved"}, {"self_report", "not_resolved"}}},
            {"claude_outcome_reported", {{"engine_outcome", "blocked"}, {"self_report", "resolved"}}},
        }));
}

TEST(ProductConfigsTest, OnlyABlockedClaudeCliReportsItsInstallCount) {
    ScopedTelemetryCapture capture;
    SetupProbeBundle probes;
    probes.pathVisiblePrimaryTools = {"/opt/homebrew/bin/claude", "/Users/tester/.local/bin/claude",
                                      "/opt/homebrew/bin/claude"};
    probes.installedPrimaryToolLocations = {"/usr/local/bin/claude"};
    claude().spinePolicy.onStageBlocked("warp", probes);
    claude().spinePolicy.onStageBlocked("claude-cli", probes);
    EXPECT_EQ(capture.events(),
              (std::vector<NamedEvent>{{"claude_conflict_surfaced", {{"install_count", std::int64_t{3}}}}}));
    EXPECT_FALSE(cli().spinePolicy.onStageBlocked);
}

TEST(ProductConfigsTest, OpenableApps) {
    SystemProfile some;
    some.aiTooling.claudeCodeDesktop = some.aiTooling.zed = some.markdownEditors.obsidian = true;
    EXPECT_EQ(cli().spinePolicy.outcomeOpenableApps(some, std::nullopt),
              (std::vector<App>{{"Open Claude Desktop", "Claude.app"},
                                {"Open Zed", "Zed.app"},
                                {"Open Obsidian", "Obsidian.app"}}));
    EXPECT_TRUE(cli().spinePolicy.outcomeOpenableApps(std::nullopt, std::nullopt).empty());

    SetupVerificationResult sawDesktop;
    sawDesktop.details["desktop_present"] = "true";
    SetupVerificationResult noDesktop;
    noDesktop.details["desktop_present"] = "false";
    SystemProfile desktopZedWarp;
    desktopZedWarp.aiTooling.claudeCodeDesktop = desktopZedWarp.aiTooling.zed =
        desktopZedWarp.aiTooling.warpApp = true;
    const auto& apps = claude().spinePolicy.outcomeOpenableApps;
    EXPECT_EQ(apps(std::nullopt, sawDesktop), (std::vector<App>{{"Open Claude Desktop", "Claude.app"}}));
    EXPECT_TRUE(apps(std::nullopt, std::nullopt).empty());
    EXPECT_TRUE(apps(std::nullopt, noDesktop).empty());
    EXPECT_EQ(apps(desktopZedWarp, noDesktop), (std::vector<App>{{"Open Claude Desktop", "Claude.app"},
                                                                 {"Open Zed", "Zed.app"},
                                                                 {"Open Warp", "Warp.app"}}));
    EXPECT_EQ(apps(everyApp(), std::nullopt).size(), 5U);  // no Markdown editors in this product
}

TEST(ProductStrategiesTest, UnsetStrategiesFallBackToClaudeCode) {
    const auto defaults = products::productStrategies(ProductConfig::javaDiagnostic());
    EXPECT_TRUE(dynamic_cast<const ClaudeSetupProber*>(defaults.prober.get()));
    EXPECT_TRUE(dynamic_cast<const ClaudeSpineProvider*>(defaults.spineProvider.get()));
    EXPECT_TRUE(dynamic_cast<const ClaudeSpineCopyProvider*>(defaults.spineCopy.get()));
    EXPECT_TRUE(dynamic_cast<const ClaudeSetupVerifier*>(defaults.verifier.get()));

    const auto own = products::productStrategies(cli());
    EXPECT_EQ(own.prober, cli().prober);
    EXPECT_EQ(own.spineProvider, cli().spineProvider);
    EXPECT_EQ(own.spineCopy, cli().spineCopy);
    EXPECT_EQ(own.verifier, cli().verifier);
}

}  // namespace
}  // namespace quill
