#include "engine/products/brew/brew_config.h"

#include <memory>

#include "engine/products/brew/brew_spine_copy.h"
#include "engine/products/brew/brew_verifier.h"
#include "engine/products/brew/homebrew_stage_provider.h"
#include "engine/products/cli/cli_config.h"
#include "engine/products/product_links.h"

namespace quill::products {

namespace {

using Policy = SpineRenderPolicy;

Policy buildHomebrewPolicy() {
    Policy policy = commandLineSpinePolicy();
    policy.homebrewIndependentDomains = {"clt", "homebrew", "project", "skills", "mcp"};
    policy.privilegedActionReason = "Set up Homebrew";
    // The command-line list without the Markdown editors, which this product does not offer.
    policy.outcomeOpenableApps = [](const std::optional<SystemProfile>& profile,
                                    const std::optional<SetupVerificationResult>& verification) {
        auto apps = commandLineOpenableApps(profile, verification);
        std::erase_if(apps, [](const Policy::OpenableApp& app) {
            return app.appName == "Zettlr.app" || app.appName == "Obsidian.app";
        });
        return apps;
    };
    policy.specialStages.erase("notes");
    return policy;
}

// clang-format off
ProductConfig buildBrew() {
    ProductConfig config = cli();
    config.appID = "quill-brew";
    config.displayName = "Quillstart with Homebrew";
    config.appSupportDirName = config.displayName;
    config.userDefaultsPrefix = std::string(kOrganizationPrefix) + ".quill.brew";
    config.cacheDirName = "QuillstartBrew";
    config.copy = ProductCopy{"Homebrew is the package manager developers use to install tools on a Mac. The app will run a check to see what's needed. Nothing changes without your okay.",
                              "Check my setup", "Set up Homebrew on your Mac"};
    config.consent.whatBullets = {"Checks whether Homebrew and the tools it needs are set up.",
                                  "Installs Homebrew and Apple's Command Line Tools, if you wish.",
                                  "Asks for your permission before installing or changing anything."};
    config.urls = productLinks("/homebrew", "/homebrew", "/homebrew", "quill_brew");
    config.spineProvider = HomebrewStageProvider::brew();
    config.verifier = std::make_shared<const BrewVerifier>();
    config.spineCopy = std::make_shared<const BrewSpineCopy>();
    config.spinePolicy = homebrewSpinePolicy();
    return config;
}
// clang-format on

}  // namespace

const SpineRenderPolicy& homebrewSpinePolicy() {
    static const SpineRenderPolicy policy = buildHomebrewPolicy();
    return policy;
}

const ProductConfig& brew() {
    static const ProductConfig config = buildBrew();
    return config;
}

}  // namespace quill::products
