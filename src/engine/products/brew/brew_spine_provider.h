#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/setup/spine_provider.h"

namespace quill {

/// The Homebrew product's workflow: Command Line Tools, Homebrew and Warp first, the developer environment
/// as optional stages after them. Its findings and fixes are shared with the command-line products. Pure
/// apart from reading the current configuration's wording; thread-safe.
class BrewSpineProvider final : public SpineProvider {
  public:
    [[nodiscard]] std::optional<SetupWorkflow> workflow(
        const std::optional<std::string>& preset, const SystemProfile& profile,
        const SetupProbeBundle& probes, const SpineWorkflowSelection& selection) const override;
    [[nodiscard]] std::vector<SetupRemediation> remediations(const std::string& domainID,
                                                             const SystemProfile& profile,
                                                             const SetupProbeBundle& probes) const override;

    /// The finding of one domain: "clt", "homebrew" and "warp" by the Homebrew probe in the current
    /// configuration's wording (read at the call), the others by the shared-domain rules; a domain nobody
    /// knows is `unknown` under its own id.
    static SetupDiagnosis finding(const std::string& domainID, const SystemProfile& profile,
                                  const SetupProbeBundle& probes);
    /// The fixes of one domain, for every product with the Homebrew prober.
    static std::vector<SetupRemediation> fixes(const std::string& domainID, const SystemProfile& profile,
                                               const SetupProbeBundle& probes);
};

/// The workflow of the products with the Homebrew prober: `primary` domains, then the AI-assistant stages
/// ("ai-claude"; "codex" except on Intel Macs), then `laterOptional`, all optional.
SetupWorkflow homebrewProberWorkflow(std::span<const std::string_view> primary,
                                     std::span<const std::string_view> laterOptional,
                                     const SystemProfile& profile, const SetupProbeBundle& probes);

}  // namespace quill
