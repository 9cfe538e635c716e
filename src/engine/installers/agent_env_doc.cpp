#include "engine/installers/agent_env_doc.h"

#include "engine/core/text.h"

namespace quill {

bool AgentEnvDoc::inHomebrewPrefix(std::string_view tool) const {
    return m_fs.fileExists("/opt/homebrew/bin/" + std::string(tool)) ||
           m_fs.fileExists("/usr/local/bin/" + std::string(tool));
}

bool AgentEnvDoc::existsInHome(std::string_view relativePath) const {
    return m_fs.fileExists(m_fs.homeDirectory() / relativePath);
}

bool AgentEnvDoc::zprofileContains(std::string_view text) const {
    const auto zprofile = m_fs.readString(m_fs.homeDirectory() / ".zprofile");
    return zprofile.has_value() && contains(*zprofile, text);
}

bool AgentEnvDoc::lacksNote(std::string_view relativePath) const {
    const auto text = m_fs.readString(m_fs.homeDirectory() / relativePath);
    return !text.has_value() || !contains(*text, kMarker);
}

AgentEnvDoc::Tools AgentEnvDoc::detectTools() const {
    Tools tools;
    tools.brew = inHomebrewPrefix("brew");
    tools.uv = inHomebrewPrefix("uv") || existsInHome(".local/bin/uv");
    tools.mise = inHomebrewPrefix("mise") || existsInHome(".local/bin/mise");
    tools.rust = existsInHome(".cargo/bin/cargo") || zprofileContains(".cargo/bin");
    tools.java = zprofileContains("JAVA_HOME");
    tools.claude = inHomebrewPrefix("claude") || existsInHome(".local/bin/claude") ||
                   existsInHome(".claude") || m_fs.fileExists("/Applications/Claude.app");
    tools.codex = inHomebrewPrefix("codex") || existsInHome(".codex") ||
                  m_fs.fileExists("/Applications/ChatGPT.app") || m_fs.fileExists("/Applications/Codex.app");
    return tools;
}

bool AgentEnvDoc::isNeeded() const {
    const Tools tools = detectTools();
    if (tools.claude && lacksNote(kClaudeFile))
        return true;
    return tools.codex && lacksNote(kCodexFile);
}

}  // namespace quill
