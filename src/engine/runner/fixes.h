#pragma once

// The fix runner's internals: the three producer kinds, the fix bodies they run, and the pure rules the
// bodies decide by. Only the runner and its tests include this.

#ifndef QUILL_RUNNER_INTERNALS
#error "engine/runner/fixes.h belongs to the fix runner and its tests"
#endif

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/result.h"
#include "engine/core/stream.h"
#include "engine/installers/brew_runner.h"
#include "engine/installers/file_append_writer.h"
#include "engine/installers/installer_event.h"
#include "engine/runner/setup_remediation_runner.h"
#include "engine/services/process_cancellation.h"
#include "engine/setup/agent_skill.h"
#include "engine/setup/mcp_server.h"
#include "engine/setup/setup_remediation.h"

namespace quill::fixes {

using Event = SetupRemediationRunner::Event;
using EventSink = StreamSink<Event>;
using Runner = SetupRemediationRunner;

inline constexpr std::string_view kHomebrewMissing = "Homebrew isn't available yet — install Homebrew first.";

/// Shows one of the app's own lines.
inline void say(const EventSink& sink, std::string text) {
    sink.yield(Event::Output{std::move(text), OutputKind::own});
}
/// Passes on one line of a tool's output; waits while the fix's reader is far behind, or until `stop`.
inline void relayLine(const EventSink& sink, std::string text, const std::stop_token& stop,
                      OutputKind kind = OutputKind::tool) {
    const std::size_t bytes = text.size();
    sink.yieldWithin(Event::Output{std::move(text), kind}, bytes, kPendingOutput, stop);
}
inline void complete(const EventSink& sink, int exitCode) {
    sink.yield(Event::Completed{exitCode});
}
inline void sayAll(const EventSink& sink, const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        say(sink, line);
}

/// " (backup at <path>)" when the append wrote its ".bak", else "": what a message of an edit says of it.
std::string backupNote(const FileAppendWriter::Appended& appended);

// Producers. A task producer's work runs in a task of its own and the stream's end (by either side) stops
// that task; a synchronous producer's work runs before the stream is returned.

using TaskWork = std::function<void(const EventSink&, std::stop_token)>;
using BrewWork = std::function<void(const BrewRunner&, const EventSink&, std::stop_token)>;

Stream<Event> taskProducer(TaskWork work);
/// Homebrew missing: its line and `Completed` -1, with nothing started; else a task producer with the
/// runner's `BrewRunner`.
Stream<Event> guardedTaskProducer(const Runner& runner, BrewWork work);
Stream<Event> synchronousProducer(const std::function<void(const EventSink&)>& work);
/// A task producer for the Command Line Tools: the stream's end first cancels `holder`, so that a child
/// registered with it later is terminated at once, then the task.
Stream<Event> holderTaskProducer(
    std::function<void(CancellableProcess&, const EventSink&, std::stop_token)> work);

/// Forwards an installer's lines; its exit status (-1 when it reported none), or nothing when it reported
/// `Canceled`.
std::optional<int> forwardInstaller(Stream<InstallerEvent> installer, const EventSink& sink,
                                    const std::stop_token& stop);
/// Relays an installer as the whole fix: its lines, then `Completed` with its status or `Canceled`.
void relayInstaller(Stream<InstallerEvent> installer, const EventSink& sink, const std::stop_token& stop);

// System and package fixes.
void installCommandLineTools(const Runner& runner, CancellableProcess& holder, const EventSink& sink,
                             const std::stop_token& stop);
void installHomebrew(const Runner& runner, const EventSink& sink, const std::stop_token& stop);
void installCask(const BrewRunner& brew, const std::string& cask, const std::string& prompt,
                 const EventSink& sink, const std::stop_token& stop);
void installClaudeCLI(const Runner& runner, const BrewRunner& brew, const std::string& prompt,
                      const EventSink& sink, const std::stop_token& stop);
void installUv(const Runner& runner, const EventSink& sink, const std::stop_token& stop);
void installMise(const Runner& runner, const EventSink& sink, const std::stop_token& stop);
void installViaMise(const Runner& runner, std::string_view tool, std::optional<std::string_view> preCommand,
                    const EventSink& sink, const std::stop_token& stop);
void installRustup(const Runner& runner, const EventSink& sink, const std::stop_token& stop);
void installTemurin(const Runner& runner, const BrewRunner& brew, const std::string& prompt,
                    const EventSink& sink, const std::stop_token& stop);

/// The Command Line Tools install script, run as root by bash.
std::string commandLineToolsScript();
/// The login-shell command lines of the uv and rustup installers. A failed download fails the pipeline.
std::string uvInstallCommand();
std::string rustupInstallCommand();
/// "mise use -g <tool>", after `preCommand` and " && " when there is one.
std::string miseUseCommand(std::string_view tool, std::optional<std::string_view> preCommand);

// Java and shell-file fixes.
/// Relays the Temurin cask install and, after a successful one, sets JAVA_HOME in ~/.zprofile.
void temurinTail(const Runner& runner, Stream<InstallerEvent> install, const EventSink& sink,
                 const std::stop_token& stop);
/// The recovery policy of the Temurin cask; its package lookups go through `adoptium`.
BrewRunner::CaskRecoveryPolicy temurinRecoveryPolicy(const BrewRunner& brew);
std::string temurinLookupMessage(const std::string& version, const std::string& architecture);
/// The text after the first "@" when there is any, else "25".
std::string temurinVersionFromCaskName(const std::string& cask);
/// A decimal major version with an optional sign; nothing for anything else, overflow included.
std::optional<int> parseMajorVersion(std::string_view text);
Result<BrewRunner::CaskRecoveryPolicy::PKGFallback::Asset> resolveTemurinAsset(
    const AdoptiumAPI& adoptium, const std::string& version, const std::string& architecture,
    std::stop_token stop);
void repairPath(const Runner& runner, const std::string& directory, const EventSink& sink);
void repairHomebrewPath(const Runner& runner, const EventSink& sink);
/// Shows a writer's lines, then `Completed` 0 on success and 1 otherwise.
void reportWriter(const std::vector<std::string>& lines, bool succeeded, const EventSink& sink);

// Project, skill, MCP and Git fixes.
void createProject(const Runner& runner, ProjectTemplate template_,
                   const std::optional<std::string>& destinationPath, const EventSink& sink);
void installBundledSkill(const Runner& runner, const AgentSkill& skill, const std::string& name,
                         const EventSink& sink);
void installFetchedSkill(const Runner& runner, const AgentSkill& skill, const AgentSkill::Fetch& source,
                         const EventSink& sink, const std::stop_token& stop);
void addMCPServer(const Runner& runner, const MCPServer& server, const std::optional<std::string>& apiKey,
                  const EventSink& sink, const std::stop_token& stop);
void configureGit(const Runner& runner, const std::string& name, const std::string& email,
                  const EventSink& sink, const std::stop_token& stop);
void installGh(const Runner& runner, const EventSink& sink, const std::stop_token& stop);
void githubAuth(const Runner& runner, const EventSink& sink, const std::stop_token& stop);

/// Clones `repo` into `scratch` without checking out, then checks out `pin`; every value single-quoted.
std::string skillFetchCommand(const std::string& repo, const std::string& scratch, const std::string& pin);
/// The server's address with the user's key in it: the key template with every "{key}" replaced by the
/// trimmed, percent-encoded key; the plain `url` without a template or a key.
std::string mcpEndpoint(const MCPServer& server, const std::optional<std::string>& apiKey);
/// `line` with the user's key (trimmed, as it goes into the address) in its plain and its percent-encoded
/// form each shown as its first four characters and "…"; a key of four characters or fewer shows as "…".
std::string maskingMCPKey(std::string_view line, const std::optional<std::string>& apiKey);

/// How an MCP registration ends: its closing lines and exit code.
struct MCPClosing {
    std::vector<std::string> lines;
    int exitCode = 0;
    bool operator==(const MCPClosing&) const = default;
};
/// What Claude Code and Codex did, and whether the desktop app is there.
struct MCPRegistration {
    bool claudeAvailable = false;  ///< `claude` was found and the registration ran
    bool claudeFailed = false;     ///< its registration exited non-zero
    bool desktopPresent = false;
    bool codexHandled = false;  ///< Codex was found and its configuration handled
    bool codexSucceeded = true;
};
MCPClosing mcpClosing(const MCPServer& server, const MCPRegistration& registration);

/// GitHub's one-time device code in a line that mentions a code.
std::optional<std::string> deviceCodeIn(const std::string& line);
/// GitHub's device page in a line, as an https address.
std::optional<std::string> devicePageIn(const std::string& line);

}  // namespace quill::fixes
