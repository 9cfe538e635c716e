#include "engine/products/load_setup.h"

#include <utility>

#include "engine/services/shell_runner.h"
#include "engine/services/system_profiler.h"

namespace quill::products {

SystemProfile liveSystemProfile(const AppServices& services, std::stop_token stop) {
    return SystemProfiler{ShellRunner{services.processRunner}, services.fs}.profile(std::move(stop));
}

std::optional<LoadedSetup> loadSetup(const ProductStrategies& strategies, const AppServices& services,
                                     std::optional<SystemProfile> knownProfile, std::stop_token stop,
                                     const SystemProfiling& profiler) {
    auto profile = services.isFixtureMode ? std::move(knownProfile) : profiler(services, stop);
    if (!profile || stop.stop_requested())
        return std::nullopt;
    auto probes = strategies.prober->probe(ShellRunner{services.processRunner}, *services.fs, stop);
    auto workflow = strategies.spineProvider->workflow(std::nullopt, *profile, probes,
                                                       SpineWorkflowSelection::standard());
    if (!workflow) {
        const auto builtIn = productStrategies(ProductConfig{});
        workflow = builtIn.spineProvider->workflow(std::nullopt, *profile, probes,
                                                   SpineWorkflowSelection::standard());
    }
    return LoadedSetup{std::move(*profile), std::move(probes), workflow.value_or(SetupWorkflow{})};
}

}  // namespace quill::products
