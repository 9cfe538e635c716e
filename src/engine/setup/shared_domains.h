#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "engine/services/system_profile.h"
#include "engine/setup/setup_diagnosis.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/setup_remediation.h"

// The stages every product's workflow shares (AI assistants, editors, notes, shell configuration, languages,
// agent notes, example project, skills, MCP servers, Git): their findings and the fixes they offer, as pure
// functions of the system profile and the probe results. Domain ids compare by exact string equality.
namespace quill {

/// Whether `domainID` is one of the eleven shared domains. The Command Line Tools and Homebrew stages are
/// not: their findings come from the product's `SharedDomainCopy`.
bool isSharedDomain(std::string_view domainID);

/// The finding of a shared domain: `ready` or `fixable`. Nothing for any other id.
std::optional<SetupDiagnosis> sharedDomainDiagnosis(std::string_view domainID, const SystemProfile& profile,
                                                    const SetupProbeBundle& probes);

/// The fixes a shared domain offers, in order; empty when nothing is to be done, when the stage builds its
/// fixes from the user's choices, or when the id is not shared.
std::vector<SetupRemediation> sharedDomainRemediations(std::string_view domainID,
                                                       const SystemProfile& profile,
                                                       const SetupProbeBundle& probes);

}  // namespace quill
