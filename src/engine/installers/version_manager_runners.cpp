#include "engine/installers/version_manager_runners.h"

#include "engine/core/shell_quote.h"
#include "engine/installers/file_append_writer.h"
#include "engine/services/login_shell.h"

namespace quill {

namespace {

constexpr std::string_view kJEnvPathLine = "export PATH=\"$HOME/.jenv/bin:$PATH\"";
constexpr std::string_view kJEnvInitLine = "eval \"$(jenv init -)\"";
constexpr std::string_view kMiseActivateLine = "eval \"$(mise activate zsh)\"";

Stream<StreamEvent> loginShell(const ShellRunner& shell, const std::string& script) {
    return shell.stream(kLoginShell, loginShellArguments(script));
}

/// ~/.zshrc, or "" when it is missing or cannot be read as text: every needle then counts as absent.
std::string zshrcText(const FileSystemOperating& fs) {
    auto text = fs.readString(fs.homeDirectory() / ".zshrc");
    return text ? std::move(*text) : std::string();
}

}  // namespace

std::string versionManagerQuoted(std::string_view value) {
    return "\"" + shellEscapedForDoubleQuotes(value) + "\"";
}

Stream<StreamEvent> JEnvRunner::addAndSetGlobal(const std::filesystem::path& jdkHome, int major) const {
    return loginShell(shell,
                      "set -e\n"
                      "jenv enable-plugin export || true\n"
                      "jenv add " +
                          versionManagerQuoted(jdkHome.string()) +
                          " || true\n"
                          "jenv rehash\n"
                          "jenv global " +
                          std::to_string(major));
}

std::vector<std::string> JEnvRunner::missingZshrcLines() const {
    const std::string text = zshrcText(*fs);
    std::vector<std::string> missing;
    if (!FileAppendWriter::containsActiveLine(text, ".jenv/bin"))
        missing.emplace_back(kJEnvPathLine);
    if (!FileAppendWriter::containsActiveLine(text, "jenv init"))
        missing.emplace_back(kJEnvInitLine);
    return missing;
}

Stream<StreamEvent> MiseRunner::installJava(const std::string& version) const {
    const std::string quoted = versionManagerQuoted(version);
    return loginShell(shell, "mise install java@" + quoted + " && mise use -g java@" + quoted);
}

Stream<StreamEvent> MiseRunner::useGlobalJava(const std::string& version) const {
    return loginShell(shell, "mise use -g java@" + versionManagerQuoted(version));
}

std::vector<std::string> MiseRunner::missingZshrcLines() const {
    if (FileAppendWriter::containsActiveLine(zshrcText(*fs), "mise activate"))
        return {};
    return {std::string(kMiseActivateLine)};
}

Stream<StreamEvent> SDKMANRunner::run(const std::string& arguments) const {
    const auto initScript = sdkmanRoot / "bin" / "sdkman-init.sh";
    return loginShell(shell, "source " + versionManagerQuoted(initScript.string()) + " && sdk " + arguments);
}

}  // namespace quill
