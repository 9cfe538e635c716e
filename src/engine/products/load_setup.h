#pragma once

#include <functional>
#include <optional>
#include <stop_token>

#include "engine/products/product_strategies.h"
#include "engine/services/app_services.h"
#include "engine/services/system_profile.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/setup_workflow.h"

namespace quill::products {

/// What one load of the setup flow yields: the profile, the probes and the workflow built from them.
struct LoadedSetup {
    SystemProfile profile;
    SetupProbeBundle probes;
    SetupWorkflow workflow;
};

/// Surveys the Mac. Blocking; a stop ends the probes early.
using SystemProfiling = std::function<SystemProfile(const AppServices&, std::stop_token)>;

/// The live survey, through the services' process runner and file system.
SystemProfile liveSystemProfile(const AppServices& services, std::stop_token stop);

/// Surveys the Mac with `profiler` (in fixture mode `knownProfile` stands in), runs the product's prober and
/// builds its standard workflow; a provider that builds none falls back to the built-in product's. Nothing
/// when there is no profile, or when `stop` was requested during the survey: a stopped profile is
/// incomplete, and the probes would only start more children. Blocking.
[[nodiscard]] std::optional<LoadedSetup> loadSetup(const ProductStrategies& strategies,
                                                   const AppServices& services,
                                                   std::optional<SystemProfile> knownProfile,
                                                   std::stop_token stop = {},
                                                   const SystemProfiling& profiler = liveSystemProfile);

}  // namespace quill::products
