#include "engine/products/brew/homebrew_location.h"

#include <gtest/gtest.h>

#include "engine/products/brew/homebrew_stage_provider.h"
#include "engine/products/cli/cli_config.h"

namespace quill {
namespace {

using enum HomebrewLocationStatus;
constexpr auto kNative = kAppleSiliconBrewPath;
constexpr auto kIntel = kIntelBrewPath;

SetupProbeBundle brewProbe(std::vector<std::string_view> installed, std::optional<int> versionExit,
                           bool onPath) {
    SetupProbeBundle probes;
    for (auto path : installed)
        probes.installedPrimaryToolLocations.emplace_back(path);
    probes.versionExitCode = versionExit;
    if (onPath)
        probes.pathVisiblePrimaryTools = {probes.installedPrimaryToolLocations.empty()
                                              ? std::string("/somewhere/brew")
                                              : probes.installedPrimaryToolLocations.front()};
    return probes;
}

SystemProfile on(Architecture architecture) {
    SystemProfile profile;
    profile.architecture = architecture;
    return profile;
}

TEST(HomebrewLocationTest, StatusMatrix) {
    struct Row {
        Architecture architecture;
        std::vector<std::string_view> installed;
        std::optional<int> versionExit;
        bool onPath;
        HomebrewLocationStatus expected;
    };
    const Architecture silicon = Architecture::appleSilicon;
    const Architecture intel = Architecture::intel;
    const Architecture unknown = Architecture::unknown;
    const Row rows[] = {
        {silicon, {}, std::nullopt, false, notInstalled},
        {silicon, {}, 0, true, notInstalled},  // some other brew on PATH: not a place we manage
        {intel, {}, 0, true, notInstalled},
        {silicon, {kNative}, 0, true, ready},
        {silicon, {kNative}, 0, false, notOnPath},  // odd PATH: runs, but which finds nothing
        {silicon, {kNative}, 1, true, notOnPath},   // which is not consulted when the version run failed
        {silicon, {kNative}, -1, true, notOnPath},
        {silicon, {kNative}, std::nullopt, true, notOnPath},
        {silicon, {kIntel}, 0, true, intelLocationOnAppleSilicon},
        {silicon, {kIntel}, 127, false, intelLocationOnAppleSilicon},
        {silicon, {kNative, kIntel}, 0, true, twoPlaces},
        {silicon, {kNative, kIntel}, 1, true, notOnPath},
        {silicon, {kNative, kIntel}, 0, false, notOnPath},
        {intel, {kIntel}, 0, true, ready},
        {intel, {kIntel}, 127, false, notOnPath},
        {intel, {kNative, kIntel}, 0, true, twoPlaces},
        {intel, {kNative, kIntel}, 0, false, notOnPath},
        {unknown, {kIntel}, 0, true, ready},
        {unknown, {kNative, kIntel}, 0, true, twoPlaces},
    };
    for (const auto& row : rows) {
        const auto probes = brewProbe(row.installed, row.versionExit, row.onPath);
        EXPECT_EQ(homebrewLocationStatus(on(row.architecture), probes), row.expected)
            << "installed " << probes.installedPrimaryToolLocations.size() << ", exit "
            << row.versionExit.value_or(99) << ", on PATH " << row.onPath << ", arch "
            << static_cast<int>(row.architecture);
    }
}

TEST(HomebrewLocationTest, FindingsTakeTheProductsWordingForReadyAndMissing) {
    SharedDomainCopy copy;
    copy.homebrewReady = {"ready headline", "ready detail"};
    copy.homebrewFixable = {"missing headline", "missing detail"};
    EXPECT_EQ(homebrewLocationFinding(copy, ready),
              (HomebrewLocationFinding{"ready headline", "ready detail", false}));
    EXPECT_EQ(homebrewLocationFinding(copy, notInstalled),
              (HomebrewLocationFinding{"missing headline", "missing detail", true}));

    const auto twoPlacesFinding = homebrewLocationFinding(copy, twoPlaces);
    EXPECT_FALSE(twoPlacesFinding.needsFix);
    EXPECT_NE(twoPlacesFinding.detail.find("(/opt/homebrew and /usr/local)"), std::string::npos);
    const auto notOnPathFinding = homebrewLocationFinding(copy, notOnPath);
    EXPECT_TRUE(notOnPathFinding.needsFix);
    EXPECT_EQ(notOnPathFinding.headline, kHomebrewNotOnPathHeadline);
    EXPECT_EQ(
        notOnPathFinding.detail,
        "brew is on your Mac but not on your PATH, so your terminal reports \"command not found\". We'll add "
        "it to ~/.zprofile (backed up first) and re-check in a fresh shell.");
    EXPECT_EQ(homebrewLocationFinding(copy, intelLocationOnAppleSilicon).headline,
              kHomebrewWrongChipHeadline);
}

TEST(HomebrewLocationTest, DomainFindingsReadTheCurrentConfigurationAtCallTime) {
    ProductConfig config = products::cli();
    config.sharedDomainCopy.cltFixable = {"current clt headline", "current clt detail"};
    config.sharedDomainCopy.warpReady = {"current warp headline", "current warp detail"};
    ScopedProductConfig scope(config);

    SystemProfile profile = on(Architecture::appleSilicon);
    EXPECT_EQ(HomebrewStageProvider::finding("clt", profile, {}).headline, "current clt headline");
    profile.terminals.warp = true;
    EXPECT_EQ(HomebrewStageProvider::finding("warp", profile, {}),
              (SetupDiagnosis{"current warp headline", "current warp detail",
                              SetupDiagnosisClassification::ready}));
    profile.terminals.warp = false;
    profile.aiTooling.warpApp = true;
    EXPECT_EQ(HomebrewStageProvider::finding("warp", profile, {}).classification,
              SetupDiagnosisClassification::ready);

    EXPECT_EQ(HomebrewStageProvider::finding("no-such-domain", profile, {}),
              (SetupDiagnosis{"no-such-domain", "", SetupDiagnosisClassification::unknown}));
    EXPECT_TRUE(HomebrewStageProvider::fixes("no-such-domain", profile, {}).empty());
}

TEST(HomebrewLocationTest, EachStatusOffersItsOneFix) {
    struct Row {
        std::vector<std::string_view> installed;
        std::optional<int> versionExit;
        bool onPath;
        std::vector<std::string> ids;
        VerifyPolicy policy;
    };
    const Row rows[] = {
        {{kNative}, 0, true, {}, VerifyPolicy::installCompletion},
        {{kNative, kIntel}, 0, true, {}, VerifyPolicy::installCompletion},
        {{kNative}, 0, false, {"path-repair:homebrew"}, VerifyPolicy::localVerification},
        {{kIntel}, 0, true, {"homebrew"}, VerifyPolicy::installCompletion},
        {{}, std::nullopt, false, {"homebrew"}, VerifyPolicy::installCompletion},
    };
    const auto provider = HomebrewStageProvider::brew();
    for (const auto& row : rows) {
        const auto profile = on(Architecture::appleSilicon);
        const auto probes = brewProbe(row.installed, row.versionExit, row.onPath);
        const auto workflow =
            provider->workflow(std::nullopt, profile, probes, SpineWorkflowSelection::standard());
        ASSERT_TRUE(workflow);
        const auto& stage = *workflow->steps.at(1).stage;
        ASSERT_EQ(stage.domainID(), "homebrew");
        std::vector<std::string> ids;
        for (const auto& action : stage.actions()) {
            ids.push_back(action.id);
            EXPECT_EQ(action.verifyPolicy, row.policy);
        }
        EXPECT_EQ(ids, row.ids) << row.installed.size();
    }
}

}  // namespace
}  // namespace quill
