// The fixes that install system components and packages: the Command Line Tools, Homebrew, casks, Claude
// Code, uv, mise and its languages, rustup, and the Homebrew half of Temurin.

#include <utility>

#include "engine/core/endpoints.h"
#include "engine/core/environment.h"
#include "engine/core/overloaded.h"
#include "engine/core/shell_quote.h"
#include "engine/installers/file_append_writer.h"
#include "engine/installers/homebrew_installer.h"
#include "engine/installers/shell_configurator.h"
#include "engine/runner/fixes.h"
#include "engine/services/child_reader.h"

namespace quill::fixes {

namespace {

constexpr std::string_view kCommandLineToolsCompiler = "/Library/Developer/CommandLineTools/usr/bin/clang";
constexpr std::string_view kCommandLineToolsFolder = "/Library/Developer/CommandLineTools";
// clang-format off
constexpr std::string_view kInstallingCommandLineTools = "Installing Apple's Command Line Tools… macOS will ask for your password once. The download can take several minutes — please keep this window open.";
constexpr std::string_view kLabelLine = "LABEL=$(/usr/sbin/softwareupdate -l 2>/dev/null | /usr/bin/grep 'Label:.*Command Line Tools' | /usr/bin/sed -E 's/^.*Label: //' | /usr/bin/sort -V | /usr/bin/tail -n1)";
// clang-format on

}  // namespace

std::string commandLineToolsScript() {
    return "/usr/bin/touch /tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress\n" +
           std::string(kLabelLine) + "\n" +
           "if [ -n \"$LABEL\" ]; then /usr/sbin/softwareupdate -i \"$LABEL\" --verbose; fi\n"
           "/bin/rm -f /tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress\n"
           "/usr/bin/xcode-select --switch /Library/Developer/CommandLineTools 2>/dev/null || true\n"
           "if [ -d /Library/Developer/CommandLineTools ]; then exit 0; else exit 1; fi";
}

void installCommandLineTools(const Runner& runner, CancellableProcess& holder, const EventSink& sink,
                             const std::stop_token& stop) {
    if (runner.fs->fileExists(kCommandLineToolsCompiler) || runner.fs->fileExists(kCommandLineToolsFolder)) {
        complete(sink, 0);
        return;
    }
    if (stop.stop_requested())
        return;
    auto prepared = PrivilegedExecutor{runner.fs}.prepareEnvironment(
        "Enter your Mac password to install Apple's Command Line Tools.");
    if (!prepared) {
        say(sink, "Couldn't start the install: " + prepared.error().message);
        complete(sink, -1);
        return;
    }
    // The askpass folder goes on every road out, a stop included, and once the child has ended.
    struct CleanUp {
        std::function<void()> action;
        ~CleanUp() { action(); }
    } cleanUp{prepared->cleanup};

    say(sink, std::string(kInstallingCommandLineTools));
    if (stop.stop_requested())
        return;
    // Registered before the start: a stop that came first terminates the child as it starts.
    auto handle = std::make_shared<LiveProcessCancellation>();
    holder.register_(handle);
    const ChildEnd end =
        readChild(runner.process->stream("/usr/bin/sudo", {"-A", "/bin/bash", "-c", commandLineToolsScript()},
                                         processEnvironment(prepared->variables), handle),
                  *handle, stop, [&](std::string line) { relayLine(sink, std::move(line), stop); });
    if (end.startFailure) {
        say(sink, "Couldn't start the install: " + *end.startFailure);
        complete(sink, -1);
        return;
    }
    const int status = end.exitCode.value_or(-1);
    say(sink, status == 0 ? "Command Line Tools installed."
                          : "The Command Line Tools install did not complete. You can retry.");
    complete(sink, status);
}

void installHomebrew(const Runner& runner, const EventSink& sink, const std::stop_token& stop) {
    if (stop.stop_requested())
        return;
    const HomebrewInstaller installer{runner.process, runner.fs, PrivilegedExecutor{runner.fs}};
    relayInstaller(installer.install(), sink, stop);
}

void installCask(const BrewRunner& brew, const std::string& cask, const std::string& prompt,
                 const EventSink& sink, const std::stop_token& stop) {
    if (stop.stop_requested())
        return;
    relayInstaller(brew.installCask(cask, prompt, BrewRunner::CaskRecoveryPolicy::none()), sink, stop);
}

void installClaudeCLI(const Runner& runner, const BrewRunner& brew, const std::string& prompt,
                      const EventSink& sink, const std::stop_token& stop) {
    if (stop.stop_requested())
        return;
    const auto status = forwardInstaller(brew.installCask(std::string(packages::kClaudeCodeCask), prompt,
                                                          BrewRunner::CaskRecoveryPolicy::none()),
                                         sink, stop);
    if (!status) {
        sink.yield(Event::Canceled{});
        return;
    }
    if (*status == 0 && !stop.stop_requested()) {
        const FileAppendWriter writer{runner.fs->homeDirectory() / ".zprofile", runner.fs};
        const auto appended =
            writer.append("export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1", "Claude Code auto-update",
                          "CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE", FileAppendWriter::NeedleScope::anywhere);
        if (!appended)
            say(sink, "Couldn't enable Claude Code auto-update: " + appended.error().message);
        else if (appended->preview.alreadySet)
            say(sink, "Claude Code auto-update is already enabled in ~/.zprofile.");
        else
            say(sink, "Enabled Claude Code auto-update in ~/.zprofile" + backupNote(*appended) + ".");
    }
    complete(sink, *status);
}

std::string uvInstallCommand() {
    return "set -o pipefail; curl -LsSf " + shellSingleQuoted(endpoints::kUvInstallScript) +
           " | sh -s -- --no-modify-path";
}

std::string rustupInstallCommand() {
    return "set -o pipefail; curl --proto '=https' --tlsv1.2 -sSf " +
           shellSingleQuoted(endpoints::kRustupInstaller) + " | sh -s -- -y --no-modify-path";
}

void installUv(const Runner& runner, const EventSink& sink, const std::stop_token& stop) {
    say(sink, "Installing uv (Astral's installer)…");
    const int installed = runner.loginShellStep(uvInstallCommand(), sink, stop);
    if (installed != 0) {
        complete(sink, installed);
        return;
    }
    if (stop.stop_requested())
        return;
    sayAll(sink, ShellConfigurator(runner.fs).configureUvPath());
    say(sink, "Installing the latest Python with uv…");
    complete(sink, runner.loginShellStep("uv python install --default", sink, stop));
}

void installMise(const Runner& runner, const EventSink& sink, const std::stop_token& stop) {
    const auto status = runner.installFormula(std::string(packages::kMiseFormula), sink, stop);
    if (!status) {
        sink.yield(Event::Canceled{});
        return;
    }
    if (*status == 0 && !stop.stop_requested())
        sayAll(sink, ShellConfigurator(runner.fs).configureMise());
    complete(sink, *status);
}

std::string miseUseCommand(std::string_view tool, std::optional<std::string_view> preCommand) {
    std::string command = "mise use -g " + std::string(tool);
    return preCommand ? std::string(*preCommand) + " && " + command : command;
}

void installViaMise(const Runner& runner, std::string_view tool, std::optional<std::string_view> preCommand,
                    const EventSink& sink, const std::stop_token& stop) {
    say(sink, "Running mise use -g " + std::string(tool) + "…");
    complete(sink, runner.loginShellStep(miseUseCommand(tool, preCommand), sink, stop));
}

void installRustup(const Runner& runner, const EventSink& sink, const std::stop_token& stop) {
    say(sink, "Installing rustup and the stable Rust toolchain…");
    const int status = runner.loginShellStep(rustupInstallCommand(), sink, stop);
    if (status == 0 && !stop.stop_requested())
        sayAll(sink, ShellConfigurator(runner.fs).configureCargoPath());
    complete(sink, status);
}

void installTemurin(const Runner& runner, const BrewRunner& brew, const std::string& prompt,
                    const EventSink& sink, const std::stop_token& stop) {
    if (stop.stop_requested())
        return;
    temurinTail(runner,
                brew.installCask(std::string(packages::kTemurinCask), prompt, temurinRecoveryPolicy(brew)),
                sink, stop);
}

}  // namespace quill::fixes
