#include "engine/runner/setup_remediation_runner.h"

#include <utility>

#include "engine/core/overloaded.h"
#include "engine/core/shell_quote.h"
#include "engine/core/task.h"
#include "engine/installers/agent_env_doc.h"
#include "engine/installers/shell_configurator.h"
#include "engine/runner/fixes.h"
#include "engine/services/child_reader.h"
#include "engine/services/homebrew_paths.h"
#include "engine/services/login_shell.h"
#include "engine/services/process_cancellation.h"

namespace quill {

namespace fixes {

Stream<Event> taskProducer(TaskWork work) {
    return streamFromTask<Event>(std::move(work));
}

Stream<Event> guardedTaskProducer(const Runner& runner, BrewWork work) {
    if (!runner.brewPath) {
        return synchronousProducer([](const EventSink& sink) {
            say(sink, std::string(kHomebrewMissing));
            complete(sink, -1);
        });
    }
    return taskProducer([brew = runner.brewRunner(), work = std::move(work)](
                            const EventSink& sink, std::stop_token stop) { work(brew, sink, stop); });
}

Stream<Event> synchronousProducer(const std::function<void(const EventSink&)>& work) {
    return finishedStream<Event>(work);
}

Stream<Event> holderTaskProducer(
    std::function<void(CancellableProcess&, const EventSink&, std::stop_token)> work) {
    auto holder = std::make_shared<CancellableProcess>();
    return streamFromTask<Event>(
        [work = std::move(work), holder](const EventSink& sink, std::stop_token stop) {
            work(*holder, sink, std::move(stop));
        },
        [holder] { holder->cancel(); });
}

std::optional<int> forwardInstaller(Stream<InstallerEvent> installer, const EventSink& sink,
                                    const std::stop_token& stop) {
    std::optional<int> status = -1;
    // Read to the end, even after `Canceled`: an installer removes its askpass folder before it ends.
    while (auto event = installer.next(stop)) {
        if (auto* output = std::get_if<InstallerEvent::Output>(&event->value))
            relayLine(sink, std::move(output->text), stop, output->kind);
        else if (auto* completed = std::get_if<InstallerEvent::Completed>(&event->value))
            status = completed->exitCode;
        else
            status = std::nullopt;
    }
    return status;
}

void relayInstaller(Stream<InstallerEvent> installer, const EventSink& sink, const std::stop_token& stop) {
    if (const auto status = forwardInstaller(std::move(installer), sink, stop))
        complete(sink, *status);
    else
        sink.yield(Event::Canceled{});
}

}  // namespace fixes

int SetupRemediationRunner::loginShellStep(const std::string& commandLine, const StreamSink<Event>& sink,
                                           std::stop_token stop,
                                           const std::function<std::string(std::string)>& shown) const {
    if (stop.stop_requested())
        return -1;
    const auto yieldLine = [&](std::string text, OutputKind kind = OutputKind::tool) {
        if (shown)
            text = shown(std::move(text));
        fixes::relayLine(sink, std::move(text), stop, kind);
    };
    auto handle = std::make_shared<LiveProcessCancellation>();
    const ChildEnd end =
        readChild(streamInLoginShell(*process, commandLine, handle), *handle, stop, yieldLine);
    if (end.startFailure)
        yieldLine("Failed to start: " + *end.startFailure, OutputKind::own);
    return stop.stop_requested() ? -1 : end.exitCode.value_or(-1);
}

std::optional<int> SetupRemediationRunner::installFormula(const std::string& formula,
                                                          const StreamSink<Event>& sink,
                                                          std::stop_token stop) const {
    if (!brewPath) {
        fixes::say(sink, std::string(fixes::kHomebrewMissing));
        return -1;
    }
    if (stop.stop_requested())
        return std::nullopt;
    return fixes::forwardInstaller(brewRunner().install(formula), sink, stop);
}

BrewRunner SetupRemediationRunner::brewRunner() const {
    return BrewRunner{brewPath.value_or(std::filesystem::path()),
                      process,
                      http,
                      fs,
                      PrivilegedExecutor{fs},
                      AdoptiumAPI{http}};
}

bool SetupRemediationRunner::isCommandAvailable(const std::string& name, std::stop_token stop) const {
    if (homebrewTool(*fs, name, HomebrewToolCheck::exists))
        return true;
    if (stop.stop_requested())
        return false;
    auto handle = std::make_shared<LiveProcessCancellation>();
    const ChildEnd end = readChild(
        streamInLoginShell(*process, "command -v " + shellSingleQuoted(name), handle), *handle, stop, {});
    return end.exitCode == 0 && !stop.stop_requested();
}

Stream<SetupRemediationRunner::Event> SetupRemediationRunner::run(const SetupRemediation& fix,
                                                                  const std::string& prompt) const {
    using namespace fixes;
    using R = SetupRemediation;
    const Runner& runner = *this;
    auto task = [runner](auto body) {
        return taskProducer([runner, body = std::move(body)](const EventSink& sink, std::stop_token stop) {
            body(runner, sink, stop);
        });
    };
    auto cask = [runner, prompt](std::string_view name) {
        return guardedTaskProducer(
            runner, [cask = std::string(name), prompt](const BrewRunner& brew, const EventSink& sink,
                                                       std::stop_token stop) {
                installCask(brew, cask, prompt, sink, stop);
            });
    };
    auto mise = [&task](std::string_view tool, std::optional<std::string_view> preCommand) {
        return task([tool, preCommand](const Runner& r, const EventSink& sink, const std::stop_token& stop) {
            installViaMise(r, tool, preCommand, sink, stop);
        });
    };

    return std::visit(
        Overloaded{
            [&](const R::InstallCommandLineTools&) {
                return holderTaskProducer(
                    [runner](CancellableProcess& holder, const EventSink& sink, std::stop_token stop) {
                        installCommandLineTools(runner, holder, sink, stop);
                    });
            },
            [&](const R::InstallHomebrew&) { return task(installHomebrew); },
            [&](const R::InstallClaudeCLI&) {
                return guardedTaskProducer(
                    runner,
                    [runner, prompt](const BrewRunner& brew, const EventSink& sink, std::stop_token stop) {
                        installClaudeCLI(runner, brew, prompt, sink, stop);
                    });
            },
            [&](const R::InstallWarp&) { return cask(packages::kWarpCask); },
            [&](const R::InstallClaudeDesktop&) { return cask(packages::kClaudeDesktopCask); },
            [&](const R::InstallZed&) { return cask(packages::kZedCask); },
            [&](const R::InstallVSCode&) { return cask(packages::kVSCodeCask); },
            [&](const R::InstallZettlr&) { return cask(packages::kZettlrCask); },
            [&](const R::InstallObsidian&) { return cask(packages::kObsidianCask); },
            [&](const R::InstallCodexCLI&) { return cask(packages::kCodexCask); },
            [&](const R::InstallChatGPTDesktop&) { return cask(packages::kChatGPTCask); },
            [&](const R::InstallUv&) { return task(installUv); },
            [&](const R::InstallMise&) { return task(installMise); },
            [&](const R::InstallNodeViaMise&) { return mise(packages::kMiseNode, std::nullopt); },
            [&](const R::InstallRubyViaMise&) {
                return mise(packages::kMiseRuby, std::string_view("mise settings ruby.compile=false"));
            },
            [&](const R::InstallRustViaMise&) { return mise(packages::kMiseRust, std::nullopt); },
            [&](const R::InstallRustup&) { return task(installRustup); },
            [&](const R::InstallTemurin&) {
                return guardedTaskProducer(
                    runner,
                    [runner, prompt](const BrewRunner& brew, const EventSink& sink, std::stop_token stop) {
                        installTemurin(runner, brew, prompt, sink, stop);
                    });
            },
            [&](const R::RepairPath& repair) {
                return synchronousProducer(
                    [&](const EventSink& sink) { repairPath(runner, repair.directory, sink); });
            },
            [&](const R::RepairHomebrewPath&) {
                return synchronousProducer([&](const EventSink& sink) { repairHomebrewPath(runner, sink); });
            },
            [&](const R::ConfigureShell&) {
                return synchronousProducer([&](const EventSink& sink) {
                    const auto report = ShellConfigurator(fs).configure();
                    reportWriter(report.lines, report.success, sink);
                });
            },
            [&](const R::DocumentEnvironment&) {
                return synchronousProducer([&](const EventSink& sink) {
                    const auto outcome = AgentEnvDoc(*fs).writeNotes();
                    reportWriter(outcome.messages, outcome.succeeded, sink);
                });
            },
            [&](const R::CreateProject& project) {
                return synchronousProducer([&](const EventSink& sink) {
                    createProject(runner, project.template_, project.destinationPath, sink);
                });
            },
            [&](const R::InstallSkill& install) {
                return std::visit(
                    Overloaded{
                        [&](const AgentSkill::Bundle& bundle) {
                            return synchronousProducer([&](const EventSink& sink) {
                                installBundledSkill(runner, install.skill, bundle.name, sink);
                            });
                        },
                        [&](const AgentSkill::Fetch& fetch) {
                            return task([skill = install.skill, fetch](const Runner& r, const EventSink& sink,
                                                                       const std::stop_token& stop) {
                                installFetchedSkill(r, skill, fetch, sink, stop);
                            });
                        },
                    },
                    install.skill.source);
            },
            [&](const R::AddMCPServer& add) {
                return task([add](const Runner& r, const EventSink& sink, const std::stop_token& stop) {
                    addMCPServer(r, add.server, add.apiKey, sink, stop);
                });
            },
            [&](const R::ConfigureGit& git) {
                return task([git](const Runner& r, const EventSink& sink, const std::stop_token& stop) {
                    configureGit(r, git.name, git.email, sink, stop);
                });
            },
            [&](const R::InstallGh&) { return task(installGh); },
            [&](const R::GithubAuth&) { return task(githubAuth); },
        },
        fix.value);
}

}  // namespace quill
