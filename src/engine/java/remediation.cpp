#include "engine/java/remediation.h"

#include <array>
#include <string_view>

#include "engine/core/overloaded.h"

namespace quill {

namespace {

using R = Remediation;

}  // namespace

std::string Remediation::id() const {
    return std::visit(
        Overloaded{
            [](const R::InstallTemurinViaBrew& r) { return "brew:" + r.cask; },
            [](const R::InstallViaSDKMAN& r) { return "sdkman:" + r.candidate; },
            [](const R::InstallViaMise& r) { return "mise:" + r.version; },
            [](const R::InstallViaPKG& r) { return "pkg:" + std::to_string(r.version); },
            [](const R::InstallViaPKGThenJEnv& r) { return "pkg-jenv:" + std::to_string(r.version); },
            [](const R::WriteJavaHomeToZprofile& r) { return "zprofile:" + r.jdkPath.string(); },
            [](const R::SetJavaHomeViaSDKMAN& r) { return "sdkman-home:" + r.candidate; },
            [](const R::SetJavaHomeViaMise& r) { return "mise-home:" + r.version; },
            [](const R::SetJavaHomeViaJenv& r) {
                return "jenv-home:" + std::to_string(r.majorVersion) + ":" + r.jdkPath.string();
            },
            [](const R::KeepCurrentLegacyJava& r) { return "keep-legacy:" + r.jdkPath.string(); },
            [](const R::InstallHomebrewThenTemurin& r) { return "homebrew+brew:" + r.temurinCask; },
            [](const R::InstallWarpViaBrew& r) { return "brew:" + r.cask; },
            [](const R::InstallHomebrewThenWarp& r) { return "homebrew+warp:" + r.warpCask; },
            [](const R::InstallHomebrew&) -> std::string { return "homebrew"; },
        },
        value);
}

// Each text stays on one line so that it can be found as users see it.
// clang-format off

/// Titles in the order of the cases.
constexpr std::array<std::string_view, 14> kTitles = {
    "Install Temurin via Homebrew (recommended)",
    "Install Temurin via SDKMAN (recommended)",
    "Install Temurin via Mise (recommended)",
    "Install Temurin (recommended)",
    "Install Temurin and register with jEnv (recommended)",
    "Set JAVA_HOME in ~/.zprofile (recommended)",
    "Set JAVA_HOME via SDKMAN (recommended)",
    "Set JAVA_HOME via Mise (recommended)",
    "Set JAVA_HOME via jEnv (recommended)",
    "Keep my current Java (set JAVA_HOME)",
    "Install Homebrew + Java (recommended for developers)",
    "Install Warp (recommended)",
    "Install Warp (recommended)",
    "Install Homebrew (recommended)",
};

/// Explanations in the order of the cases; the SDKMAN and Mise installs insert their payload between the two
/// halves given here. `<X>-tem` and `<version>` in the two JAVA_HOME texts are literal.
constexpr std::array<std::string_view, 14> kExplanations = {
    "Easiest path — one command, handles updates and uninstalls cleanly. Native Apple Silicon builds.",
    "We detected SDKMAN. We'll run `sdk install java ",
    "We detected Mise. We'll run `mise install java@",
    "No Homebrew or other developer tooling detected. We'll download the Temurin installer directly from Adoptium and run it for you.",
    "We detected jEnv. We'll install Temurin from Adoptium, then register it with jEnv (`jenv add` + `jenv global`).",
    "We'll append two `export` lines to your `~/.zprofile`, after showing you a diff and backing up the existing file to `~/.zprofile.bak`.",
    "Sets your default Java via `sdk default java <X>-tem` so JAVA_HOME points to the right Java installation in every new shell.",
    "Runs `mise use -g java@<version>` and ensures Mise's activate hook is in your `~/.zshrc` so JAVA_HOME gets set.",
    "Enables jEnv's export plugin and ensures your `~/.zshrc` sources jEnv so JAVA_HOME gets set in every new shell.",
    "We'll point JAVA_HOME at your existing Java by appending two `export` lines to `~/.zprofile`, after showing you a diff and backing up the existing file. Note: software requiring a newer Java will still not run.",
    "Easiest long-term — Homebrew manages updates and uninstalls cleanly. We'll install Homebrew first (which also installs Xcode Command Line Tools), then Temurin via Homebrew.",
    "We'll install Warp via Homebrew — one command, native Apple Silicon build.",
    "No Homebrew detected. We'll install Homebrew first (macOS will ask for your password), then install Warp via Homebrew.",
    "We'll run the official Homebrew install script. macOS will prompt you for your password. Homebrew will also install Xcode Command Line Tools as part of its setup if they aren't already installed.",
};

static_assert(kTitles.size() == std::variant_size_v<Remediation::Case>);
static_assert(kExplanations.size() == std::variant_size_v<Remediation::Case>);

std::string Remediation::title() const { return std::string(kTitles[value.index()]); }

std::string Remediation::explanation() const {
    const std::string_view text = kExplanations[value.index()];
    if (const auto* sdkman = std::get_if<InstallViaSDKMAN>(&value)) {
        return std::string(text) + sdkman->candidate + "` and set it as your default Java.";
    }
    if (const auto* mise = std::get_if<InstallViaMise>(&value)) {
        return std::string(text) + mise->version + "` and set it as your global Java.";
    }
    return std::string(text);
}

// clang-format on

}  // namespace quill
