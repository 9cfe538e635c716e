#pragma once

#include "engine/setup/spine_provider.h"

namespace quill {

/// The Claude Code product's workflow and fixes; also the engine's default when a product sets no
/// provider. Pure apart from reading the current configuration's wording; thread-safe.
class ClaudeSpineProvider final : public SpineProvider {
  public:
    /// Nothing when a preset is named; otherwise `ClaudeProbes::workflow`.
    [[nodiscard]] std::optional<SetupWorkflow> workflow(
        const std::optional<std::string>& preset, const SystemProfile& profile,
        const SetupProbeBundle& probes, const SpineWorkflowSelection& selection) const override;
    [[nodiscard]] std::vector<SetupRemediation> remediations(const std::string& domainID,
                                                             const SystemProfile& profile,
                                                             const SetupProbeBundle& probes) const override;

    /// The fixes of one domain: the shared-domain fixes for shared domains, one fix for each of the five
    /// primary stages that is fixable (a blocked Claude CLI gets none), nothing otherwise.
    static std::vector<SetupRemediation> fixes(const std::string& domainID, const SystemProfile& profile,
                                               const SetupProbeBundle& probes);
};

}  // namespace quill
