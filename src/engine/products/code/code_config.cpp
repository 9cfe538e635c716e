#include "engine/products/code/code_config.h"

#include <memory>

#include "engine/products/cli/cli_config.h"
#include "engine/products/code/code_spine_copy.h"
#include "engine/products/product_links.h"

namespace quill::products {

namespace {

SpineRenderPolicy buildCodePolicy() {
    SpineRenderPolicy policy = commandLineSpinePolicy();
    policy.privilegedActionReason = "Quillstart for coding";
    policy.networkReadiness->estimatedPayloadBytes = 2'500'000'000;
    policy.diskReadiness->worstCaseInstallBytes = 20'000'000'000;
    return policy;
}

// clang-format off
ProductConfig buildCode() {
    ProductConfig config = cli();
    config.appID = "quill-code";
    config.displayName = "Quillstart for Coding";
    config.appSupportDirName = config.displayName;
    config.userDefaultsPrefix = std::string(kOrganizationPrefix) + ".quill.code";
    config.cacheDirName = "QuillstartCode";
    config.copy = ProductCopy{"We'll check your Mac for a coding setup, then offer to install and configure what's needed: the Command Line Tools, your shell, the Homebrew package manager, an upgraded terminal, AI coding tools, an editor, and programming languages. Nothing changes without your okay.",
                              "Check my setup", "Quillstart to build software with AI"};
    config.urls = productLinks("/macos", "/quillstart", "/terminal/configuration", "quill_code");
    config.consent.whatBullets = {"Checks whether your Mac is set up for coding.",
                                  "Installs and configures what's needed if you wish.",
                                  "Asks for your permission before installing or changing anything."};
    config.consent.privacyBullets = {"The app never identifies you and never records your IP address.",
                                     "No passwords or file contents are ever recorded.",
                                     "Usage events are anonymous.",
                                     "Answers to questions are anonymous.",
                                     "A random session ID is created for anonymous usage counts."};
    config.spinePolicy = codeSpinePolicy();
    config.spineCopy = std::make_shared<const CodeSpineCopy>();
    config.experienceQuestion = ExperienceQuestionCopy{
        "Your experience",
        "What's your experience level?",
        "This helps us guide the installation.",
        {{"Never coded", "never-coded"},
         {"Learning to code", "learning"},
         {"Some experience", "some-experience"},
         {"Experienced", "very-experienced"}},
        "Skip",
        "some-experience",
    };
    return config;
}
// clang-format on

}  // namespace

const SpineRenderPolicy& codeSpinePolicy() {
    static const SpineRenderPolicy policy = buildCodePolicy();
    return policy;
}

const ProductConfig& code() {
    static const ProductConfig config = buildCode();
    return config;
}

}  // namespace quill::products
