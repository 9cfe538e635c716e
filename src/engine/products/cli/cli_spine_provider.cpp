#include "engine/products/cli/cli_spine_provider.h"

#include <array>
#include <string_view>

#include "engine/products/brew/brew_spine_provider.h"

namespace quill {

namespace {

constexpr std::array<std::string_view, 4> kPrimary{"clt", "shell-config", "homebrew", "warp"};
constexpr std::array<std::string_view, 8> kLaterOptional{"project", "skills",    "mcp",        "editor",
                                                         "notes",   "languages", "agent-docs", "git"};

}  // namespace

std::optional<SetupWorkflow> CliSpineProvider::workflow(const std::optional<std::string>& preset,
                                                        const SystemProfile& profile,
                                                        const SetupProbeBundle& probes,
                                                        const SpineWorkflowSelection& /*selection*/) const {
    if (preset)
        return std::nullopt;
    return homebrewProberWorkflow(kPrimary, kLaterOptional, profile, probes);
}

std::vector<SetupRemediation> CliSpineProvider::remediations(const std::string& domainID,
                                                             const SystemProfile& profile,
                                                             const SetupProbeBundle& probes) const {
    return BrewSpineProvider::fixes(domainID, profile, probes);
}

}  // namespace quill
