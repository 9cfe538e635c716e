#pragma once

#include <string>

#include "engine/services/system_profile.h"
#include "engine/setup/setup_diagnosis.h"

namespace quill {

/// A product's wording of the findings of the Command Line Tools, Homebrew and Warp stages. A default value
/// holds the texts the products share.
struct SharedDomainCopy {
    struct State {
        std::string headline;
        std::string detail;
        bool operator==(const State&) const = default;
    };

    // Each text stays one whole literal, as people read it.
    // clang-format off
    State cltReady{"Command Line Tools are installed",
                   "Apple's Command Line Tools are present — required for Homebrew and Git."};
    State cltFixable{"Install Apple's Command Line Tools",
                     "Homebrew and Git need Apple's Command Line Tools. We'll open Apple's installer; it takes a few minutes."};
    State homebrewReady{
        "Homebrew is installed",
        "Homebrew is present — we'll use it to install your tools coherently and keep them updatable."};
    State homebrewFixable{"Homebrew isn't installed",
                          "We'll install Homebrew first — it's how we install your tools as one coherent, updatable, removable setup."};
    State warpReady{"Warp is installed", "You already have Warp."};
    State warpFixable{"Try Warp — the AI-assisted terminal", "Warp is a modern macOS terminal we recommend."};

    // clang-format on

    /// The "clt" stage's finding: ready when the profile has a Command Line Tools folder, else fixable.
    static SetupDiagnosis cltDiagnosis(const SystemProfile& profile, const SharedDomainCopy& copy);
    /// The "homebrew" stage's finding: ready when the profile has a Homebrew executable, else fixable.
    static SetupDiagnosis homebrewDiagnosis(const SystemProfile& profile, const SharedDomainCopy& copy);

    bool operator==(const SharedDomainCopy&) const = default;
};

}  // namespace quill
