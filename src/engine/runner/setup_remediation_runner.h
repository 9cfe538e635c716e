#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "engine/core/output_kind.h"
#include "engine/core/stream.h"
#include "engine/core/tagged_union.h"
#include "engine/installers/brew_runner.h"
#include "engine/services/file_system_operating.h"
#include "engine/services/http_fetching.h"
#include "engine/services/process_running.h"
#include "engine/setup/setup_remediation.h"

namespace quill {

/// Runs one fix of the catalogue and reports what happens as a stream of events. A plain value: it holds the
/// services and where Homebrew is, keeps no state, and every `run` is independent. Ending a run's stream
/// from the consumer side stops its work: no process starts and no file is written after the stop.
struct SetupRemediationRunner {
    /// The cases of `Event`.
    struct EventCases {
        /// One line for the progress log: a child's line unchanged, or the runner's own text.
        struct Output {
            std::string text;
            OutputKind kind = OutputKind::tool;
            bool operator==(const Output&) const = default;
        };
        /// The fix is over: 0 success, -1 no result, 1 the fix judged its work failed, else the child's own
        /// status.
        struct Completed {
            int exitCode = 0;
            bool operator==(const Completed&) const = default;
        };
        /// The consumer should open `url` in the browser and show `code` when there is one.
        struct OpenBrowser {
            std::string url;
            std::optional<std::string> code;
            bool operator==(const OpenBrowser&) const = default;
        };
        /// The work stopped before it had an exit code (the user refused a password dialog, for one).
        struct Canceled {
            bool operator==(const Canceled&) const = default;
        };

        using Case = std::variant<Output, Completed, OpenBrowser, Canceled>;
    };

    /// One event of a run: any number of `Output` (and `OpenBrowser`), then at most one `Completed` or
    /// `Canceled`, then the end of the stream.
    struct Event : TaggedUnion<EventCases> {
        using TaggedUnion::TaggedUnion;
    };

    /// The Homebrew executable found on this Mac; absent when Homebrew is not installed.
    std::optional<std::filesystem::path> brewPath;
    std::shared_ptr<const ProcessRunning> process;
    std::shared_ptr<const FileSystemOperating> fs;
    std::shared_ptr<const HTTPFetching> http;

    /// Runs `fix`. `prompt` is the sentence of the administrator password dialog, used only by the fixes that
    /// install a cask. Fixes that only edit files do all their work inside this call, on the caller's thread,
    /// and return a stream whose events are all buffered; the others return at once and work in a task of
    /// their own. Call it off the GUI thread.
    [[nodiscard]] Stream<Event> run(const SetupRemediation& fix, const std::string& prompt) const;

    /// Whether `name` is found: under a Homebrew prefix, or by `command -v` in a fresh login shell. Blocking;
    /// false as soon as `stop` is requested.
    [[nodiscard]] bool isCommandAvailable(const std::string& name, std::stop_token stop) const;

    /// Runs `commandLine` in a fresh login shell, yields its output lines into `sink` (each as `shown` makes
    /// it, when given: a secret masked), and returns its exit status: -1 when it could not start, never
    /// reported one, or `stop` was requested before the start. Yields no `Completed`. Blocking.
    int loginShellStep(const std::string& commandLine, const StreamSink<Event>& sink, std::stop_token stop,
                       const std::function<std::string(std::string)>& shown = {}) const;

    /// Installs a Homebrew formula, forwarding its lines into `sink`; its exit status (-1 when Homebrew is
    /// missing), or nothing when the install was canceled. Blocking.
    [[nodiscard]] std::optional<int> installFormula(const std::string& formula, const StreamSink<Event>& sink,
                                                    std::stop_token stop) const;

    /// The Homebrew runner over this runner's services; its `brewPath` is empty when Homebrew is missing.
    [[nodiscard]] BrewRunner brewRunner() const;
};

}  // namespace quill
