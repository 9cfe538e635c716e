#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/services/system_profile.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/setup_remediation.h"
#include "engine/setup/setup_workflow.h"

namespace quill {

/// The selection the setup flow hands to `SpineProvider::workflow`: the same value for every call, made once.
struct SpineWorkflowSelection {
    std::set<std::string> domainIDs;
    int revision = 2;

    /// The one value every caller passes: no domains, revision 2.
    static const SpineWorkflowSelection& standard();

    bool operator==(const SpineWorkflowSelection&) const = default;
};

/// A product's source of stages: its workflow, and the fixes each of its domains offers. Pure functions of
/// their arguments; thread-safe.
class SpineProvider {
  public:
    virtual ~SpineProvider() = default;

    /// The product's workflow for this Mac. `preset` names a prepared workflow; providers answer nothing when
    /// it is given, and the caller then uses the built-in workflow. The setup flow passes no preset and
    /// `SpineWorkflowSelection::standard()`.
    [[nodiscard]] virtual std::optional<SetupWorkflow> workflow(
        const std::optional<std::string>& preset, const SystemProfile& profile,
        const SetupProbeBundle& probes, const SpineWorkflowSelection& selection) const = 0;

    /// The fixes offered for `domainID`, in order; empty when nothing is to be done.
    [[nodiscard]] virtual std::vector<SetupRemediation> remediations(
        const std::string& domainID, const SystemProfile& profile, const SetupProbeBundle& probes) const = 0;
};

}  // namespace quill
