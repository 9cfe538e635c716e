#include "engine/products/claude/claude_config.h"

#include <cstdint>
#include <memory>

#include "engine/java/inert_diagnosis_profile.h"
#include "engine/products/claude/claude_setup_prober.h"
#include "engine/products/claude/claude_spine_copy.h"
#include "engine/products/claude/claude_spine_provider.h"
#include "engine/products/claude/claude_stage_catalog.h"
#include "engine/products/claude/claude_verifier.h"
#include "engine/products/product_links.h"
#include "engine/telemetry/telemetry_events.h"

namespace quill::products {

namespace {

using Policy = SpineRenderPolicy;

// Each text stays one whole literal, as people read it.
// clang-format off
SharedDomainCopy claudeDomainCopy() {
    SharedDomainCopy copy;
    copy.homebrewReady.detail = "Homebrew is present — we'll use it to install Claude Code coherently and keep it updatable.";
    copy.homebrewFixable.detail = "We'll install Homebrew first — it's how we install the Claude Code CLI and Desktop as one coherent, updatable, removable setup.";
    copy.warpFixable.detail = "Warp is the modern macOS terminal we recommend for working with Claude Code.";
    return copy;
}

Policy buildClaudePolicy() {
    Policy policy;
    policy.summaryExcludedDomains = {"warp", "codex"};
    policy.offers = {{"warp", Policy::SpineOffer{"warp", "post_cli", "warp_not_installed"}}};
    policy.homebrewIndependentDomains = {"clt", "homebrew", "project", "skills", "mcp"};
    policy.advanceOnPartialFailureDomains = {"languages", "project", "skills", "mcp"};
    policy.stageArticlePaths = {
        {"clt", "commandlinetools"},
        {"homebrew", "homebrew/3"},
        {"claude-cli", "claude-code/install"},
        {"warp", "download/warp"},
        {"claude-desktop", "claude-code/vs-claude-desktop"},
        {"editor", "download/zed"},
        {"shell-config", "terminal/configuration"},
        {"languages", "mise"},
        {"git", "git/config"},
        {"codex", "quillstart/coming-soon"},
        {"agent-docs", "quillstart/coming-soon"},
        {"project", "quillstart/coming-soon"},
        {"skills", "quillstart/coming-soon"},
        {"mcp", "quillstart/coming-soon"},
    };
    policy.fallbackArticlePath = "claude-code";
    policy.privilegedActionReason = "Set up Claude Code";
    policy.privilegedReasons = {{"brew:temurin", "Enter a password to install Java"}};
    policy.onStageBlocked = reportClaudeConflict;
    policy.remediationCaptions = {
        {"brew:warp", "We'll install Warp via Homebrew — the modern, AI-assisted macOS terminal we recommend for working with Claude Code."}};
    policy.onOutcomeReported = [](const std::optional<std::string>& engineOutcome, const std::string& answer) {
        TelemetryEvents::claudeOutcomeReported(engineOutcome, answer);
    };
    policy.outcomeOpenableApps = claudeOpenableApps;
    policy.specialStages = {
        {"languages", Policy::LanguagesMultiselect{}},
        {"project", Policy::ProjectActions{}},
        {"skills", Policy::SkillsMultiselect{}},
        {"mcp", Policy::MCPMultiselect{}},
        {"git", Policy::GitActions{}},
        {"codex", Policy::CaskMultiselect{"Install ChatGPT", "codex",
                                          {{"ChatGPT Desktop", std::nullopt, "brew:chatgpt", "install-chatgpt-desktop"},
                                           {"Codex CLI", std::nullopt, "brew:codex", "install-codex-cli"}}}},
    };
    return policy;
}

ProductConfig buildClaude() {
    return ProductConfig{
        .appID = "quill-claude",
        .displayName = "Quillstart for Claude Code",
        .appSupportDirName = "Quillstart for Claude Code",
        .userDefaultsPrefix = std::string(kOrganizationPrefix) + ".quill.claude",
        .shellConfigMarker = "Quillstart",
        .datedShellMarker = false,
        .cacheDirName = "QuillstartClaude",
        .copy = ProductCopy{"Run a check to find if anything is missing. Nothing changes on your Mac without your okay.",
                    "Check my setup", "Is your Mac ready for Claude Code?"},
        .urls = productLinks("/claude-code/install", "/claude-code", "/claude-code", "quill_claude"),
        .consent = ConsentCopy{"What this app does",
                    {"Checks what is needed to run Claude Code.",
                     "Installs the Claude Code CLI and Claude Desktop with Homebrew, if you wish.",
                     "Asks for your permission before installing or changing anything."},
                    "Your privacy and Mac integrity are respected",
                    {"The app never identifies you and never records your IP address.",
                     "No passwords or file contents are ever recorded.",
                     "Usage events are anonymous.",
                     "A random session ID is created for anonymous usage counts.",
                     "Not affiliated with Anthropic."}},
        .diagnosisProfile = std::make_shared<const InertDiagnosisProfile>(),
        .flow = SetupFlow::setupWorkflow,
        .spineProvider = std::make_shared<const ClaudeSpineProvider>(),
        .verifier = std::make_shared<const ClaudeSetupVerifier>(),
        .sharedDomainCopy = claudeDomainCopy(),
        .spinePolicy = claudeSpinePolicy(),
        .prober = std::make_shared<const ClaudeSetupProber>(),
        .spineCopy = std::make_shared<const ClaudeSpineCopyProvider>(),
        .stageCatalog = std::make_shared<const ClaudeStageCatalog>(),
    };
}
// clang-format on

}  // namespace

void reportClaudeConflict(const std::string& domainID, const SetupProbeBundle& probes) {
    if (domainID != "claude-cli")
        return;
    const auto count = static_cast<std::int64_t>(probes.allPrimaryToolLocations().size());
    TelemetryEvents::send("claude_conflict_surfaced", {{"install_count", count}});
}

std::vector<SpineRenderPolicy::OpenableApp> claudeOpenableApps(
    const std::optional<SystemProfile>& profile, const std::optional<SetupVerificationResult>& verification) {
    std::vector<SpineRenderPolicy::OpenableApp> apps;
    bool desktop = false;
    if (verification) {
        const auto found = verification->details.find("desktop_present");
        desktop = found != verification->details.end() && found->second == "true";
    }
    if (!desktop && profile)
        desktop = profile->aiTooling.claudeCodeDesktop;
    if (desktop)
        apps.push_back({"Open Claude Desktop", "Claude.app"});
    if (!profile)
        return apps;
    const auto& ai = profile->aiTooling;
    const std::pair<bool, SpineRenderPolicy::OpenableApp> candidates[] = {
        {ai.chatgptDesktop, {"Open ChatGPT", "ChatGPT.app"}},
        {ai.zed, {"Open Zed", "Zed.app"}},
        {ai.vsCode, {"Open VS Code", "Visual Studio Code.app"}},
        {ai.warpApp, {"Open Warp", "Warp.app"}},
    };
    for (const auto& [installed, app] : candidates) {
        if (installed)
            apps.push_back(app);
    }
    return apps;
}

const SpineRenderPolicy& claudeSpinePolicy() {
    static const SpineRenderPolicy policy = buildClaudePolicy();
    return policy;
}

const ProductConfig& claude() {
    static const ProductConfig config = buildClaude();
    return config;
}

}  // namespace quill::products
