#pragma once

#include "engine/setup/spine_provider.h"

namespace quill {

/// The workflow of the command-line and coding products: Command Line Tools, shell configuration, Homebrew
/// and Warp first, then the developer environment as optional stages. Findings and fixes as for the Homebrew
/// product. Pure apart from reading the current configuration's wording; thread-safe.
class CliSpineProvider final : public SpineProvider {
  public:
    [[nodiscard]] std::optional<SetupWorkflow> workflow(
        const std::optional<std::string>& preset, const SystemProfile& profile,
        const SetupProbeBundle& probes, const SpineWorkflowSelection& selection) const override;
    [[nodiscard]] std::vector<SetupRemediation> remediations(const std::string& domainID,
                                                             const SystemProfile& profile,
                                                             const SetupProbeBundle& probes) const override;
};

}  // namespace quill
