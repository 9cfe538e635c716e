#pragma once

#include <vector>

#include "engine/setup/agent_skill.h"

namespace quill {

/// The agent skills the "skills" stage offers, in the order shown. Rows meant for developers come only with
/// `includeDeveloperOnly`. Built once; thread-safe.
std::vector<AgentSkill> agentSkillCatalog(bool includeDeveloperOnly);

}  // namespace quill
