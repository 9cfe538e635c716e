#include "engine/setup/setup_probe_bundle.h"

#include <algorithm>

namespace quill {

std::vector<std::string> SetupProbeBundle::allPrimaryToolLocations() const {
    std::vector<std::string> all = pathVisiblePrimaryTools;
    all.insert(all.end(), installedPrimaryToolLocations.begin(), installedPrimaryToolLocations.end());
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

}  // namespace quill
