#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/output_kind.h"
#include "engine/core/stream.h"
#include "engine/runner/setup_remediation_runner.h"
#include "engine/services/app_services.h"
#include "engine/setup/setup_remediation.h"

namespace quill {

/// What a grouped install reports, in order: for each fix its start, its output and browser requests, and
/// its end; then, unless a fix was canceled or the install was stopped, the end of the whole run.
struct FixSequenceEvent {
    struct FixStarted {
        std::size_t index = 0;
    };
    /// A line for the log: a fix's output, or the sequence's own line for a fix it skips.
    struct Output {
        std::string text;
        OutputKind kind = OutputKind::tool;
    };
    struct OpenBrowser {
        SetupRemediationRunner::Event::OpenBrowser request;
    };
    struct FixEnded {
        std::size_t index = 0;
        int exitCode = -1;
        bool canceled = false;
    };
    /// The run's first non-zero exit code, 0 when nothing failed.
    struct Finished {
        int exitCode = 0;
    };
    std::variant<FixStarted, Output, OpenBrowser, FixEnded, Finished> value;
};

/// Runs the fix at `index` of the sequence. Called on the sequence's task.
using RunFixAt = std::function<Stream<SetupRemediationRunner::Event>(std::size_t index)>;

/// Runs `fixes` one after another in a task of its own. A fix that needs mise is skipped once mise failed
/// in this run; the first failure ends the run unless `continuesPastFailure`; a fix that reports cancellation
/// ends it. Ending the stream stops the fix that runs and starts no other, and a fix cut short so is not
/// reported: the user withdrew, the fix did not fail.
[[nodiscard]] Stream<FixSequenceEvent> runFixes(std::vector<SetupRemediation> fixes, RunFixAt run,
                                                bool continuesPastFailure);

/// A fix runner over `services` for one install, with the Homebrew found on the machine at this moment: a
/// Homebrew installed by an earlier install serves the next one.
[[nodiscard]] SetupRemediationRunner makeRemediationRunner(const AppServices& services);

}  // namespace quill
