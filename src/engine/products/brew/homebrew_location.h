#pragma once

#include <string>
#include <string_view>

#include "engine/services/homebrew_paths.h"
#include "engine/services/system_profile.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/shared_domain_copy.h"

namespace quill {

/// The headlines of the two Homebrew findings that the stage screen and the status line word differently.
/// The screen texts match them exactly, so both sides use these constants.
inline constexpr std::string_view kHomebrewNotOnPathHeadline =
    "Homebrew is installed, but your shell can't find it";
inline constexpr std::string_view kHomebrewWrongChipHeadline = "Homebrew is installed for the wrong chip";

/// Where Homebrew is and whether the login shell reaches it.
enum class HomebrewLocationStatus { ready, twoPlaces, notOnPath, intelLocationOnAppleSilicon, notInstalled };

/// What the Homebrew stage shows for a status, and whether it offers a fix.
struct HomebrewLocationFinding {
    std::string headline;
    std::string detail;
    bool needsFix = false;

    bool operator==(const HomebrewLocationFinding&) const = default;
};

/// The status from the profile's architecture and a Homebrew probe: installed locations, `brew --version`
/// and `which -a brew`. Pure.
HomebrewLocationStatus homebrewLocationStatus(const SystemProfile& profile, const SetupProbeBundle& probes);

/// The finding of `status` in the product's wording (`copy` gives the ready and not-installed texts). Pure.
HomebrewLocationFinding homebrewLocationFinding(const SharedDomainCopy& copy, HomebrewLocationStatus status);

}  // namespace quill
