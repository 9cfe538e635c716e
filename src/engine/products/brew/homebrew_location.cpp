#include "engine/products/brew/homebrew_location.h"

#include <algorithm>

namespace quill {

HomebrewLocationStatus homebrewLocationStatus(const SystemProfile& profile, const SetupProbeBundle& probes) {
    const auto& installed = probes.installedPrimaryToolLocations;
    const auto has = [&](std::string_view path) {
        return std::find(installed.begin(), installed.end(), path) != installed.end();
    };
    const bool native = has(kAppleSiliconBrewPath);
    const bool intel = has(kIntelBrewPath);
    // A failed version run says the shell cannot run brew, whatever `which` printed.
    const bool reachable = probes.versionExitCode == 0 && !probes.pathVisiblePrimaryTools.empty();

    using enum HomebrewLocationStatus;
    if (!native && !intel)
        return notInstalled;
    if (profile.architecture == Architecture::appleSilicon && intel) {
        if (reachable || !native)
            return native ? twoPlaces : intelLocationOnAppleSilicon;
        return notOnPath;
    }
    if (reachable)
        return native && intel ? twoPlaces : ready;
    return notOnPath;
}

// Each text stays one whole literal, as people read it.
// clang-format off
HomebrewLocationFinding homebrewLocationFinding(const SharedDomainCopy& copy, HomebrewLocationStatus status) {
    switch (status) {
    case HomebrewLocationStatus::ready:
        return {copy.homebrewReady.headline, copy.homebrewReady.detail, false};
    case HomebrewLocationStatus::twoPlaces:
        return {"Homebrew is installed",
                "You have Homebrew in two places (/opt/homebrew and /usr/local). We'll use the native /opt/homebrew and leave the other one untouched.",
                false};
    case HomebrewLocationStatus::notOnPath:
        return {std::string(kHomebrewNotOnPathHeadline),
                "brew is on your Mac but not on your PATH, so your terminal reports \"command not found\". We'll add it to ~/.zprofile (backed up first) and re-check in a fresh shell.",
                true};
    case HomebrewLocationStatus::intelLocationOnAppleSilicon:
        return {std::string(kHomebrewWrongChipHeadline),
                "Your Mac is Apple Silicon, but Homebrew is in the Intel location (/usr/local). We'll install the native Homebrew in /opt/homebrew and leave the existing one untouched.",
                true};
    case HomebrewLocationStatus::notInstalled:
        break;
    }
    return {copy.homebrewFixable.headline, copy.homebrewFixable.detail, true};
}
// clang-format on

}  // namespace quill
