#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/setup/spine_provider.h"

namespace quill {

/// The workflow, findings and fixes of the products with the Homebrew prober: their `primary` stages, then
/// the AI-assistant stages ("ai-claude"; "codex" except on Intel Macs), then their later stages, all
/// optional. The products differ only in those two lists. Pure apart from reading the current
/// configuration's wording; thread-safe.
class HomebrewStageProvider final : public SpineProvider {
  public:
    /// The Homebrew product: Command Line Tools, Homebrew and Warp first, the developer environment after.
    static std::shared_ptr<const HomebrewStageProvider> brew();
    /// The command-line and coding products: Command Line Tools, shell configuration, Homebrew and Warp
    /// first, the developer environment after.
    static std::shared_ptr<const HomebrewStageProvider> cli();

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
    /// The fixes of one domain.
    static std::vector<SetupRemediation> fixes(const std::string& domainID, const SystemProfile& profile,
                                               const SetupProbeBundle& probes);

  private:
    HomebrewStageProvider(std::span<const std::string_view> primary,
                          std::span<const std::string_view> laterOptional)
        : m_primary(primary), m_laterOptional(laterOptional) {}

    std::span<const std::string_view> m_primary;
    std::span<const std::string_view> m_laterOptional;
};

}  // namespace quill
