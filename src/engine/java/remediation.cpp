#include "engine/java/remediation.h"

#include "engine/core/overloaded.h"

namespace quill {

namespace {

/// Everything the Java screens and telemetry show of one fix.
struct Description {
    std::string id;
    std::string title;
    std::string explanation;
};

// The catalogue: one entry per case, texts on one line each so that they can be found as users see them.
// `<X>-tem` and `<version>` in the two JAVA_HOME texts are literal.
// clang-format off
Description describe(const Remediation::Case& remediation) {
    using R = Remediation;
    return std::visit(Overloaded{
        [](const R::InstallTemurinViaBrew& r) -> Description {
            return {"brew:" + r.cask, "Install Temurin via Homebrew (recommended)",
                    "Easiest path — one command, handles updates and uninstalls cleanly. Native Apple Silicon builds."};
        },
        [](const R::InstallViaSDKMAN& r) -> Description {
            return {"sdkman:" + r.candidate, "Install Temurin via SDKMAN (recommended)",
                    "We detected SDKMAN. We'll run `sdk install java " + r.candidate + "` and set it as your default Java."};
        },
        [](const R::InstallViaMise& r) -> Description {
            return {"mise:" + r.version, "Install Temurin via Mise (recommended)",
                    "We detected Mise. We'll run `mise install java@" + r.version + "` and set it as your global Java."};
        },
        [](const R::InstallViaPKG& r) -> Description {
            return {"pkg:" + std::to_string(r.version), "Install Temurin (recommended)",
                    "No Homebrew or other developer tooling detected. We'll download the Temurin installer directly from Adoptium and run it for you."};
        },
        [](const R::InstallViaPKGThenJEnv& r) -> Description {
            return {"pkg-jenv:" + std::to_string(r.version), "Install Temurin and register with jEnv (recommended)",
                    "We detected jEnv. We'll install Temurin from Adoptium, then register it with jEnv (`jenv add` + `jenv global`)."};
        },
        [](const R::WriteJavaHomeToZprofile& r) -> Description {
            return {"zprofile:" + r.jdkPath.string(), "Set JAVA_HOME in ~/.zprofile (recommended)",
                    "We'll append two `export` lines to your `~/.zprofile`, after showing you a diff and backing up the existing file to `~/.zprofile.bak`."};
        },
        [](const R::SetJavaHomeViaSDKMAN& r) -> Description {
            return {"sdkman-home:" + r.candidate, "Set JAVA_HOME via SDKMAN (recommended)",
                    "Sets your default Java via `sdk default java <X>-tem` so JAVA_HOME points to the right Java installation in every new shell."};
        },
        [](const R::SetJavaHomeViaMise& r) -> Description {
            return {"mise-home:" + r.version, "Set JAVA_HOME via Mise (recommended)",
                    "Runs `mise use -g java@<version>` and ensures Mise's activate hook is in your `~/.zshrc` so JAVA_HOME gets set."};
        },
        [](const R::SetJavaHomeViaJenv& r) -> Description {
            return {"jenv-home:" + std::to_string(r.majorVersion) + ":" + r.jdkPath.string(), "Set JAVA_HOME via jEnv (recommended)",
                    "Enables jEnv's export plugin and ensures your `~/.zshrc` sources jEnv so JAVA_HOME gets set in every new shell."};
        },
        [](const R::KeepCurrentLegacyJava& r) -> Description {
            return {"keep-legacy:" + r.jdkPath.string(), "Keep my current Java (set JAVA_HOME)",
                    "We'll point JAVA_HOME at your existing Java by appending two `export` lines to `~/.zprofile`, after showing you a diff and backing up the existing file. Note: software requiring a newer Java will still not run."};
        },
        [](const R::InstallHomebrewThenTemurin& r) -> Description {
            return {"homebrew+brew:" + r.temurinCask, "Install Homebrew + Java (recommended for developers)",
                    "Easiest long-term — Homebrew manages updates and uninstalls cleanly. We'll install Homebrew first (which also installs Xcode Command Line Tools), then Temurin via Homebrew."};
        },
        [](const R::InstallWarpViaBrew& r) -> Description {
            return {"brew:" + r.cask, "Install Warp (recommended)",
                    "We'll install Warp via Homebrew — one command, native Apple Silicon build."};
        },
        [](const R::InstallHomebrewThenWarp& r) -> Description {
            return {"homebrew+warp:" + r.warpCask, "Install Warp (recommended)",
                    "No Homebrew detected. We'll install Homebrew first (macOS will ask for your password), then install Warp via Homebrew."};
        },
        [](const R::InstallHomebrew&) -> Description {
            return {"homebrew", "Install Homebrew (recommended)",
                    "We'll run the official Homebrew install script. macOS will prompt you for your password. Homebrew will also install Xcode Command Line Tools as part of its setup if they aren't already installed."};
        },
    }, remediation);
}
// clang-format on

}  // namespace

std::string Remediation::id() const {
    return describe(value).id;
}

std::string Remediation::title() const {
    return describe(value).title;
}

std::string Remediation::explanation() const {
    return describe(value).explanation;
}

}  // namespace quill
