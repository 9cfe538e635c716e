#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/setup/product_config.h"

namespace quill::products {

/// The Claude Code product: Command Line Tools, Homebrew, the Claude Code CLI, Warp and Claude Desktop, then
/// the developer environment. Built once, on first use, from any thread; never changes afterwards.
const ProductConfig& claude();

/// The Claude Code product's render policy, with its three hooks.
const SpineRenderPolicy& claudeSpinePolicy();

/// The hooks of the Claude Code policy. `reportConflict` sends "claude_conflict_surfaced" with the number of
/// `claude` installs when the Claude CLI stage is blocked, and nothing for other stages; it returns at once.
void reportClaudeConflict(const std::string& domainID, const SetupProbeBundle& probes);
/// Claude Desktop when the verification saw it (or, without that detail, when the profile has it); then,
/// with a profile, its installed ChatGPT, Zed, VS Code and Warp.
std::vector<SpineRenderPolicy::OpenableApp> claudeOpenableApps(
    const std::optional<SystemProfile>& profile, const std::optional<SetupVerificationResult>& verification);

}  // namespace quill::products
