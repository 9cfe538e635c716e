#include "engine/installers/git_config_script.h"

#include <vector>

#include "engine/core/shell_quote.h"
#include "engine/core/text.h"

namespace quill {

namespace {

constexpr const char* kIgnoreText =
    "# Created by Quillstart. Files you never want to commit, in any repo.\n"
    "# macOS\n"
    ".DS_Store\n"
    "._*\n"
    ".Spotlight-V100\n"
    ".Trashes\n"
    "# Editor swap / backup\n"
    "*.swp\n"
    "*.swo\n"
    "*~";

}  // namespace

std::string GitConfigScript::build(const std::string& name, const std::string& email) {
    // The keep-or-set commands are grouped: left bare, `a && b || c && d` would run d after a failing a.
    const std::vector<std::string> commands{
        "git config --global user.name " + shellSingleQuoted(name),
        "git config --global user.email " + shellSingleQuoted(email),
        "git config --global init.defaultBranch main",
        "git config --global push.autoSetupRemote true",
        "{ git config --global --get pull.rebase >/dev/null 2>&1 || git config --global pull.rebase false; }",
        "{ git config --global --get fetch.prune >/dev/null 2>&1 || git config --global fetch.prune true; }",
        R"(if [ ! -f "$HOME/.config/git/ignore" ]; then mkdir -p "$HOME/.config/git" && )"
        R"(printf '%s\n' )" +
            shellSingleQuoted(kIgnoreText) + R"( > "$HOME/.config/git/ignore"; )" + "fi",
    };
    return join(commands, " && ");
}

}  // namespace quill
