#include "engine/installers/shell_configurator.h"

#include <string>

#include "engine/installers/file_append_writer.h"

namespace quill {

bool ShellConfigurator::isConfigured() const {
    const auto home = m_fs.homeDirectory();
    const auto fileHasActiveLine = [&](const char* name, std::string_view needle) {
        const auto text = m_fs.readString(home / name);
        return text.has_value() && FileAppendWriter::containsActiveLine(*text, needle);
    };
    return fileHasActiveLine(".zprofile", kZprofileNeedle) && fileHasActiveLine(".zshrc", kZshrcNeedle) &&
           m_fs.fileExists(home / ".env");
}

}  // namespace quill
