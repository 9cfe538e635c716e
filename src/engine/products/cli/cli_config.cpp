#include "engine/products/cli/cli_config.h"

#include <memory>

#include "engine/core/endpoints.h"
#include "engine/java/inert_diagnosis_profile.h"
#include "engine/products/brew/brew_prober.h"
#include "engine/products/brew/homebrew_stage_provider.h"
#include "engine/products/claude/claude_stage_catalog.h"
#include "engine/products/cli/cli_spine_copy.h"
#include "engine/products/cli/cli_verifier.h"
#include "engine/products/product_links.h"
#include "engine/telemetry/telemetry_events.h"

namespace quill::products {

namespace {

using Policy = SpineRenderPolicy;

Policy buildCommandLinePolicy() {
    Policy policy;
    policy.summaryExcludedDomains = {"warp"};
    policy.offers = {{"warp", Policy::SpineOffer{"warp", "post_homebrew", "warp_not_installed"}}};
    policy.homebrewIndependentDomains = {"clt",     "homebrew", "shell-config", "git",
                                         "project", "skills",   "mcp"};
    policy.advanceOnPartialFailureDomains = {"languages", "project", "skills", "mcp"};
    policy.stageArticlePaths = {
        {"clt", "commandlinetools"},
        {"shell-config", "terminal/configuration"},
        {"homebrew", "homebrew"},
        {"warp", "download/warp"},
        {"git", "git"},
        {"ai-claude", "claude-code/install"},
        {"editor", "download/zed"},
        {"languages", "mise"},
    };
    policy.fallbackArticlePath = "quillstart/coming-soon";
    policy.privilegedActionReason = "Set up the command line";
    policy.privilegedReasons = {{"brew:temurin", "Enter a password to install Java"}};
    policy.networkReadiness = NetworkReadinessConfig{
        {std::string(endpoints::kHomebrewFormulaIndex), std::string(endpoints::kAppleSoftwareUpdateCatalog),
         std::string(endpoints::kGitHubHome)},
        1'500'000'000,
        600,
        800'000,
        std::chrono::seconds(3),
    };
    policy.diskReadiness = DiskReadinessConfig{15'000'000'000, 10'000'000'000, 3'000'000'000};
    policy.remediationCaptions = {
        {"brew:warp", "We'll install Warp via Homebrew, the fast terminal Fernwick recommends."}};
    policy.onOutcomeReported = [](const std::optional<std::string>& engineOutcome,
                                  const std::string& answer) {
        TelemetryEvents::outcomeReported(engineOutcome, answer);
    };
    policy.outcomeOpenableApps = commandLineOpenableApps;
    policy.specialStages = {
        {"ai-claude",
         Policy::CaskMultiselect{
             "Install Claude",
             "ai-claude",
             {{"Claude Desktop", std::nullopt, "brew:claude", "install-claude-desktop"},
              {"Claude Code CLI", std::nullopt, "brew:claude-code@latest", "install-claude-cli"}}}},
        {"codex", Policy::CaskMultiselect{"Install ChatGPT",
                                          "codex",
                                          {{"ChatGPT Desktop", std::nullopt, "brew:chatgpt",
                                            "install-chatgpt-desktop"},
                                           {"Codex CLI", std::nullopt, "brew:codex", "install-codex-cli"}}}},
        {"notes", Policy::CaskMultiselect{"Install Markdown editor",
                                          "notes",
                                          {{"Zettlr", "free WYSIWYG editor", "brew:zettlr", "install-zettlr"},
                                           {"Obsidian", "PKM free for personal use", "brew:obsidian",
                                            "install-obsidian"}}}},
        {"project", Policy::ProjectActions{}},
        {"skills", Policy::SkillsMultiselect{}},
        {"mcp", Policy::MCPMultiselect{}},
        {"languages", Policy::LanguagesMultiselect{}},
        {"git", Policy::GitActions{}},
    };
    return policy;
}

ProductConfig buildCli() {
    return ProductConfig{
        .appID = "quill-cli",
        .displayName = "Quillstart for the Command Line",
        .appSupportDirName = "Quillstart for the Command Line",
        .userDefaultsPrefix = std::string(kOrganizationPrefix) + ".quill.cli",
        .shellConfigMarker = "Quillstart",
        .datedShellMarker = false,
        .cacheDirName = "QuillstartCli",
        .copy = ProductCopy{"Software developers need command-line tools running in a terminal. The app will "
                            "run a check to see what's needed, then offer to install and configure the "
                            "essentials: the Command Line Tools, your shell, Homebrew package manager, an "
                            "upgraded terminal, and Git. Nothing changes without your okay.",
                            "Check my setup", "Quillstart to build software"},
        .urls = productLinks("/commandlinetools", "/terminal/configuration", "/terminal/configuration",
                             "quill_cli"),
        .consent =
            ConsentCopy{"What this app does",
                        {"Checks whether the command-line tools you need are set up.",
                         "Installs and configures them if you wish.",
                         "Asks for your permission before installing or changing anything."},
                        "Your privacy and Mac integrity are respected",
                        {"The app never identifies you and never records your IP address.",
                         "No passwords or file contents are ever recorded.", "Usage events are anonymous.",
                         "A random session ID is created for anonymous usage counts."}},
        .diagnosisProfile = std::make_shared<const InertDiagnosisProfile>(),
        .flow = SetupFlow::setupWorkflow,
        .spineProvider = HomebrewStageProvider::cli(),
        .verifier = std::make_shared<const CliVerifier>(),
        .sharedDomainCopy = SharedDomainCopy{},
        .spinePolicy = commandLineSpinePolicy(),
        .prober = std::make_shared<const BrewProber>(),
        .spineCopy = std::make_shared<const CliSpineCopy>(),
        .stageCatalog = std::make_shared<const ClaudeStageCatalog>(),
    };
}

}  // namespace

std::vector<SpineRenderPolicy::OpenableApp> commandLineOpenableApps(
    const std::optional<SystemProfile>& profile,
    const std::optional<SetupVerificationResult>& /*verification*/) {
    if (!profile)
        return {};
    const auto& ai = profile->aiTooling;
    const auto& notes = profile->markdownEditors;
    const std::pair<bool, SpineRenderPolicy::OpenableApp> candidates[] = {
        {ai.claudeCodeDesktop, {"Open Claude Desktop", "Claude.app"}},
        {ai.chatgptDesktop, {"Open ChatGPT", "ChatGPT.app"}},
        {ai.zed, {"Open Zed", "Zed.app"}},
        {ai.vsCode, {"Open VS Code", "Visual Studio Code.app"}},
        {ai.warpApp, {"Open Warp", "Warp.app"}},
        {notes.zettlr, {"Open Zettlr", "Zettlr.app"}},
        {notes.obsidian, {"Open Obsidian", "Obsidian.app"}},
    };
    std::vector<SpineRenderPolicy::OpenableApp> apps;
    for (const auto& [installed, app] : candidates) {
        if (installed)
            apps.push_back(app);
    }
    return apps;
}

const SpineRenderPolicy& commandLineSpinePolicy() {
    static const SpineRenderPolicy policy = buildCommandLinePolicy();
    return policy;
}

const ProductConfig& cli() {
    static const ProductConfig config = buildCli();
    return config;
}

}  // namespace quill::products
