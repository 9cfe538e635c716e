#include "engine/runner/fix_sequence.h"

#include <set>
#include <utility>

#include "engine/core/task.h"
#include "engine/services/homebrew_paths.h"

namespace quill {

namespace {

using Event = SetupRemediationRunner::Event;

/// Language installs that need mise: when mise failed in this run they are skipped, not run.
bool needsMise(const SetupRemediation& fix) {
    return fix.is<SetupRemediation::InstallNodeViaMise>() || fix.is<SetupRemediation::InstallRubyViaMise>() ||
           fix.is<SetupRemediation::InstallRustViaMise>();
}

void runSequence(const std::vector<SetupRemediation>& fixes, const RunFixAt& run, bool continuesPastFailure,
                 const StreamSink<FixSequenceEvent>& sink, const std::stop_token& stop) {
    using E = FixSequenceEvent;
    const auto miseID = SetupRemediation::installMise().id();
    std::set<std::string> failed;
    int firstFailure = 0;
    for (std::size_t index = 0; index < fixes.size(); ++index) {
        if (stop.stop_requested())
            return;
        const auto& fix = fixes[index];
        if (needsMise(fix) && failed.contains(miseID)) {
            sink.yield(
                E{E::Output{"Skipping " + fix.displayLabel() + " — it needs a step that didn't finish.",
                            OutputKind::own}});
            continue;
        }
        sink.yield(E{E::FixStarted{index}});
        auto stream = run(index);
        int exitCode = -1;
        bool canceled = false;
        while (auto event = stream.next(stop)) {
            if (const auto* completed = std::get_if<Event::Completed>(&event->value))
                exitCode = completed->exitCode;
            else if (std::holds_alternative<Event::Canceled>(event->value))
                canceled = true;
            else if (auto* output = std::get_if<Event::Output>(&event->value)) {
                const std::size_t bytes = output->text.size();
                sink.yieldWithin(E{E::Output{std::move(output->text), output->kind}}, bytes, kPendingOutput,
                                 stop);
            } else if (auto* browser = std::get_if<Event::OpenBrowser>(&event->value))
                sink.yield(E{E::OpenBrowser{std::move(*browser)}});
        }
        if (stop.stop_requested())
            return;
        sink.yield(E{E::FixEnded{index, exitCode, canceled}});
        if (canceled)
            return;
        if (exitCode != 0) {
            failed.insert(fix.id());
            if (firstFailure == 0)
                firstFailure = exitCode;
            if (!continuesPastFailure)
                break;
        }
    }
    sink.yield(E{E::Finished{firstFailure}});
}

}  // namespace

Stream<FixSequenceEvent> runFixes(std::vector<SetupRemediation> fixes, RunFixAt run,
                                  bool continuesPastFailure) {
    return streamFromTask<FixSequenceEvent>(
        [fixes = std::move(fixes), run = std::move(run), continuesPastFailure](
            const StreamSink<FixSequenceEvent>& sink, const std::stop_token& stop) {
            runSequence(fixes, run, continuesPastFailure, sink, stop);
        });
}

SetupRemediationRunner makeRemediationRunner(const AppServices& services) {
    SetupRemediationRunner runner;
    // The runner starts this brew, so it must be an executable file, not merely exist.
    runner.brewPath = homebrewExecutable(*services.fs, HomebrewToolCheck::executable);
    runner.process = services.processRunner;
    runner.fs = services.fs;
    runner.http = services.http;
    return runner;
}

}  // namespace quill
