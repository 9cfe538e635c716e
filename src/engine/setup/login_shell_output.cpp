#include "engine/setup/login_shell_output.h"

#include "engine/core/text.h"
#include "engine/services/login_shell.h"

namespace quill {

LoginShellOutput loginShellOutput(const ProcessRunning& process, const std::string& commandLine,
                                  std::chrono::milliseconds timeLimit, std::stop_token stop) {
    const auto result = runInLoginShell(process, commandLine, timeLimit, std::move(stop));
    if (!result)
        return {};
    std::string output = trimWhitespaceAndNewlines(result->stdout_);
    const bool ok = result->exitCode == 0 && !output.empty();
    return {ok, std::move(output)};
}

}  // namespace quill
