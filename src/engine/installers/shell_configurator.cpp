#include "engine/installers/shell_configurator.h"

#include <string>

#include "engine/core/text.h"
#include "engine/core/unicode_text.h"

namespace quill {

namespace {

// A setting counts only on an active line: comments ("# ...", after any indentation) do not.
bool hasActiveLine(std::string_view text, std::string_view needle) {
    for (const auto& line : nonEmptyLines(text)) {
        const std::string trimmed = trimWhitespaceAndNewlines(line);
        if (!trimmed.empty() && !startsWith(trimmed, "#") && contains(trimmed, needle))
            return true;
    }
    return false;
}

}  // namespace

bool ShellConfigurator::isConfigured() const {
    const auto home = m_fs.homeDirectory();
    const auto fileHasActiveLine = [&](const char* name, std::string_view needle) {
        const auto text = m_fs.readString(home / name);
        return text.has_value() && hasActiveLine(*text, needle);
    };
    return fileHasActiveLine(".zprofile", kZprofileNeedle) && fileHasActiveLine(".zshrc", kZshrcNeedle) &&
           m_fs.fileExists(home / ".env");
}

}  // namespace quill
