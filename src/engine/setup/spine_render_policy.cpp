#include "engine/setup/spine_render_policy.h"

namespace quill {

const std::string& SpineRenderPolicy::articlePath(const std::string& domainID) const {
    auto found = stageArticlePaths.find(domainID);
    return found != stageArticlePaths.end() ? found->second : fallbackArticlePath;
}

std::string SpineRenderPolicy::privilegedReason(const std::string& remediationID,
                                                const std::string& displayName) const {
    if (auto found = privilegedReasons.find(remediationID); found != privilegedReasons.end())
        return found->second;
    return privilegedActionReason.value_or(displayName);
}

std::string SpineRenderPolicy::caption(const std::string& remediationID,
                                       const std::string& ownCaption) const {
    if (auto found = remediationCaptions.find(remediationID); found != remediationCaptions.end())
        return found->second;
    return ownCaption;
}

}  // namespace quill
