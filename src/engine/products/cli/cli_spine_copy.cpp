#include "engine/products/cli/cli_spine_copy.h"

#include "engine/products/brew/homebrew_location.h"

namespace quill {

// Each text stays one whole literal, as people read it.
// clang-format off

std::string CommandLineSpineCopy::cltBody() const {
    return "Apple's Command Line Tools are the basics needed for all software development. This can take many minutes; we'll continue automatically when it finishes.";
}

std::optional<std::string> CommandLineSpineCopy::displayName(std::string_view domainID) const {
    if (domainID == "clt")
        return "Command Line Tools";
    if (domainID == "shell-config")
        return "Shell configuration";
    if (domainID == "homebrew")
        return "Homebrew";
    if (domainID == "warp")
        return "Warp";
    if (domainID == "git")
        return "Git and GitHub";
    return std::nullopt;
}

std::optional<SpineScreenCopy> CommandLineSpineCopy::screenCopy(
    const std::string& domainID, const std::optional<SetupDiagnosis>& diagnosis) const {
    if (domainID == "clt")
        return SpineScreenCopy{"Command Line Tools", "Install the Command Line Tools", cltBody(), std::nullopt};
    if (domainID == "homebrew") {
        if (diagnosis && (diagnosis->headline == kHomebrewNotOnPathHeadline ||
                          diagnosis->headline == kHomebrewWrongChipHeadline))
            return SpineScreenCopy{"Homebrew package manager", diagnosis->headline, diagnosis->detail,
                                   std::nullopt};
        return SpineScreenCopy{"Homebrew package manager", "Install Homebrew",
                               "This installs Homebrew, the macOS package manager, and makes sure it can be found on your command PATH.",
                               std::nullopt};
    }
    if (domainID == "warp")
        return SpineScreenCopy{"The terminal", "Install Warp, a better terminal",
                               "Warp is a fast terminal with AI to help learn and remember commands. Fernwick recommends it.",
                               std::nullopt};
    return std::nullopt;
}

// clang-format on

std::string CommandLineSpineCopy::statusLine(const std::string& domainID,
                                             const SetupDiagnosis& diagnosis) const {
    if (domainID == "homebrew") {
        if (diagnosis.headline == kHomebrewNotOnPathHeadline)
            return "Homebrew: installed, not on PATH";
        if (diagnosis.headline == kHomebrewWrongChipHeadline)
            return "Homebrew: installed for the wrong chip";
    }
    return displayName(domainID).value_or(domainID) + ": " +
           std::string(statusWord(diagnosis.classification));
}

}  // namespace quill
