#include "engine/java/remediation.h"

namespace quill {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

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

std::string Remediation::title() const {
    return std::visit(
        Overloaded{
            [](const R::InstallTemurinViaBrew&) -> std::string {
                return "Install Temurin via Homebrew (recommended)";
            },
            [](const R::InstallViaSDKMAN&) -> std::string {
                return "Install Temurin via SDKMAN (recommended)";
            },
            [](const R::InstallViaMise&) -> std::string { return "Install Temurin via Mise (recommended)"; },
            [](const R::InstallViaPKG&) -> std::string { return "Install Temurin (recommended)"; },
            [](const R::InstallViaPKGThenJEnv&) -> std::string {
                return "Install Temurin and register with jEnv (recommended)";
            },
            [](const R::WriteJavaHomeToZprofile&) -> std::string {
                return "Set JAVA_HOME in ~/.zprofile (recommended)";
            },
            [](const R::SetJavaHomeViaSDKMAN&) -> std::string {
                return "Set JAVA_HOME via SDKMAN (recommended)";
            },
            [](const R::SetJavaHomeViaMise&) -> std::string {
                return "Set JAVA_HOME via Mise (recommended)";
            },
            [](const R::SetJavaHomeViaJenv&) -> std::string {
                return "Set JAVA_HOME via jEnv (recommended)";
            },
            [](const R::KeepCurrentLegacyJava&) -> std::string {
                return "Keep my current Java (set JAVA_HOME)";
            },
            [](const R::InstallHomebrewThenTemurin&) -> std::string {
                return "Install Homebrew + Java (recommended for developers)";
            },
            [](const R::InstallWarpViaBrew&) -> std::string { return "Install Warp (recommended)"; },
            [](const R::InstallHomebrewThenWarp&) -> std::string { return "Install Warp (recommended)"; },
            [](const R::InstallHomebrew&) -> std::string { return "Install Homebrew (recommended)"; },
        },
        value);
}

std::string Remediation::explanation() const {
    return std::visit(
        Overloaded{
            [](const R::InstallTemurinViaBrew&) -> std::string {
                return "Easiest path — one command, handles updates and uninstalls cleanly. Native Apple "
                       "Silicon "
                       "builds.";
            },
            [](const R::InstallViaSDKMAN& r) {
                return "We detected SDKMAN. We'll run `sdk install java " + r.candidate +
                       "` and set it as your default Java.";
            },
            [](const R::InstallViaMise& r) {
                return "We detected Mise. We'll run `mise install java@" + r.version +
                       "` and set it as your global Java.";
            },
            [](const R::InstallViaPKG&) -> std::string {
                return "No Homebrew or other developer tooling detected. We'll download the Temurin "
                       "installer "
                       "directly from Adoptium and run it for you.";
            },
            [](const R::InstallViaPKGThenJEnv&) -> std::string {
                return "We detected jEnv. We'll install Temurin from Adoptium, then register it with jEnv "
                       "(`jenv add` "
                       "+ `jenv global`).";
            },
            [](const R::WriteJavaHomeToZprofile&) -> std::string {
                return "We'll append two `export` lines to your `~/.zprofile`, after showing you a diff and "
                       "backing "
                       "up the existing file to `~/.zprofile.bak`.";
            },
            [](const R::SetJavaHomeViaSDKMAN&) -> std::string {
                return "Sets your default Java via `sdk default java <X>-tem` so JAVA_HOME points to the "
                       "right Java "
                       "installation in every new shell.";
            },
            [](const R::SetJavaHomeViaMise&) -> std::string {
                return "Runs `mise use -g java@<version>` and ensures Mise's activate hook is in your "
                       "`~/.zshrc` so "
                       "JAVA_HOME gets set.";
            },
            [](const R::SetJavaHomeViaJenv&) -> std::string {
                return "Enables jEnv's export plugin and ensures your `~/.zshrc` sources jEnv so JAVA_HOME "
                       "gets set "
                       "in every new shell.";
            },
            [](const R::KeepCurrentLegacyJava&) -> std::string {
                return "We'll point JAVA_HOME at your existing Java by appending two `export` lines to "
                       "`~/.zprofile`, "
                       "after showing you a diff and backing up the existing file. Note: software requiring "
                       "a newer "
                       "Java will still not run.";
            },
            [](const R::InstallHomebrewThenTemurin&) -> std::string {
                return "Easiest long-term — Homebrew manages updates and uninstalls cleanly. We'll install "
                       "Homebrew "
                       "first (which also installs Xcode Command Line Tools), then Temurin via Homebrew.";
            },
            [](const R::InstallWarpViaBrew&) -> std::string {
                return "We'll install Warp via Homebrew — one command, native Apple Silicon build.";
            },
            [](const R::InstallHomebrewThenWarp&) -> std::string {
                return "No Homebrew detected. We'll install Homebrew first (macOS will ask for your "
                       "password), then "
                       "install Warp via Homebrew.";
            },
            [](const R::InstallHomebrew&) -> std::string {
                return "We'll run the official Homebrew install script. macOS will prompt you for your "
                       "password. "
                       "Homebrew will also install Xcode Command Line Tools as part of its setup if they "
                       "aren't "
                       "already installed.";
            },
        },
        value);
}

}  // namespace quill
