#include "engine/products/claude/agent_skill_catalog.h"

#include <algorithm>
#include <iterator>

namespace quill {

namespace {

const std::vector<AgentSkill>& allSkills() {
    static const std::vector<AgentSkill> skills{
        {"avoid-ai-writing", "Avoid AI writing", "Make your agent write like a human, not a robot",
         AgentSkill::bundle("avoid-ai-writing"), true, false},
        {"downloads-cleanup", "Downloads cleanup", "Moves files · Preview first",
         AgentSkill::bundle("downloads-cleanup"), false, false},
        {"skill-creator", "Skill creator", "Anthropic · Experimental",
         AgentSkill::fetch("anthropics/skills", "skills/skill-creator",
                           "57546260929473d4e0d1c1bb75297be2fdfa1949"),
         false, true},
    };
    return skills;
}

}  // namespace

std::vector<AgentSkill> agentSkillCatalog(bool includeDeveloperOnly) {
    std::vector<AgentSkill> skills;
    std::copy_if(allSkills().begin(), allSkills().end(), std::back_inserter(skills),
                 [&](const AgentSkill& skill) { return includeDeveloperOnly || !skill.developerOnly; });
    return skills;
}

}  // namespace quill
