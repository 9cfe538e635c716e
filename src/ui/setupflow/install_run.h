#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/stream.h"
#include "engine/runner/fix_sequence.h"
#include "engine/runner/setup_remediation_runner.h"
#include "engine/setup/setup_remediation.h"
#include "ui/common/stream_pump.h"
#include "ui/setupflow/install_log.h"

namespace quill::ui {

class UrlOpener;
class Clipboard;

/// One install of the setup flow: runs its fixes in order through the fix runner, off the GUI thread,
/// and keeps the log, the telemetry and the GitHub sign-in hand-off on the GUI thread. It starts with
/// `start()` and ends only through `cancel()` or `continueAfterEnd()`, which emit `finished` once. Cancel
/// stops the fix that runs and starts no other. Destroying it stops the run and emits nothing.
class InstallRun : public QObject {
    Q_OBJECT

  public:
    /// How an install ended, as the flow reacts to it.
    enum class Outcome { success, failure, canceled };
    Q_ENUM(Outcome)

    /// Runs one fix with the sentence of its password dialog. Called on a worker thread.
    using RunFix = std::function<Stream<SetupRemediationRunner::Event>(const SetupRemediation& fix,
                                                                       const std::string& prompt)>;

    /// The most events the run hands to the GUI thread in one batch, and about the most text.
    static constexpr std::size_t kEventsPerHandOver = 4096;
    static constexpr std::size_t kBytesPerHandOver = std::size_t{1} << 20;

    /// The seam over a real runner.
    static RunFix runnerSeam(SetupRemediationRunner runner);

    InstallRun(std::vector<SetupRemediation> remediations, bool continuesPastFailure, RunFix runFix,
               UrlOpener& urls, Clipboard& clipboard, QObject* parent = nullptr);
    ~InstallRun() override;

    /// Reads the password-dialog sentences of the current configuration and starts the run; later calls do
    /// nothing.
    void start();
    /// Stops the run and ends the install as canceled; nothing once it has ended.
    void cancel();
    /// Ends an install whose run is over: canceled when a fix reported it, success when every fix passed,
    /// failure otherwise. Nothing while the run still goes on, or once the install has ended.
    void continueAfterEnd();

    /// The log as the sheet shows it: the last lines of the fixes' output and the run's own lines, through
    /// the output filter, the own lines without the backticks of their code spans.
    [[nodiscard]] const KeptLines& lines() const { return m_lines; }
    /// The latest of the run's own lines that has text, as written (code spans in backticks); empty before
    /// the first.
    [[nodiscard]] const QString& latestOwnLine() const { return m_latestOwnLine; }
    /// The line above the log. While the run goes, `latestOwnLine()`, except that from a fix's start until
    /// that fix writes an own line with text it is nothing. Once it has ended: after a failure, the failed
    /// fix's own sentence when that came last and announces nothing to come (an announcement ends in "…"),
    /// else "The install did not complete."; after a success, such a sentence of the last fix, else nothing;
    /// after a cancel, nothing. Never part of `lines()`.
    [[nodiscard]] QString headline() const;
    /// Set when the run has ended on its own: the run's first non-zero exit code, 0 when nothing failed.
    [[nodiscard]] std::optional<int> exitCode() const { return m_exitCode; }
    [[nodiscard]] bool canceled() const { return m_canceled; }
    /// Whether the run still goes on: neither ended nor canceled.
    [[nodiscard]] bool isRunning() const { return !m_exitCode && !m_canceled; }

  signals:
    /// `count` lines were added at the end of `lines()`, and earlier ones may have gone; sent once per
    /// batch that carried lines.
    void linesAppended(qsizetype count);
    /// `latestOwnLine()` changed; sent once per batch that carried own lines.
    void ownLineChanged(const QString& line);
    /// A fix started: `headline()` says nothing until the fix writes an own line.
    void fixStarted();
    /// The run stopped going on: it ended, or a fix reported cancellation.
    void runEnded();
    void finished(quill::ui::InstallRun::Outcome outcome);

  private:
    /// What the run's task reports, in order.
    struct RunEvent {
        using FixStarted = FixSequenceEvent::FixStarted;
        using FixEnded = FixSequenceEvent::FixEnded;
        using RunFinished = FixSequenceEvent::Finished;
        /// A line for the log, already through the output filter and made a QString off the GUI thread.
        struct Line {
            QString text;
            bool own = false;
            /// An own line as a fix or the sequence wrote it, not the filter's note or the browser line. The
            /// sequence's line for a skipped fix is one too: it comes between fixes, so it closes none.
            bool fixSentence = false;
        };
        /// The sign-in asks for a browser; its line has already been sent. Held apart, so that the events
        /// the log is made of stay small.
        struct BrowserOpened {
            std::unique_ptr<SetupRemediationRunner::Event::OpenBrowser> request;
        };
        std::variant<FixStarted, Line, BrowserOpened, FixEnded, RunFinished> value;
    };

    void apply(std::vector<RunEvent> batch);
    void apply(const RunEvent& event);
    void openBrowser(const SetupRemediationRunner::Event::OpenBrowser& request);
    void fixEnded(const RunEvent::FixEnded& ended);
    void end(Outcome outcome);

    std::vector<SetupRemediation> m_remediations;
    bool m_continuesPastFailure;
    RunFix m_runFix;
    UrlOpener& m_urls;
    Clipboard& m_clipboard;

    KeptLines m_lines;
    QString m_latestOwnLine;
    /// A fix started and has written no own line with text yet.
    bool m_fixSaidNothing = false;
    /// While a fix runs or once it has ended, its own sentence when nothing with text followed it and it
    /// announces nothing to come.
    std::optional<QString> m_closingSentence;
    bool m_inFix = false;
    bool m_lastFixFailed = false;
    std::optional<int> m_exitCode;
    bool m_canceled = false;
    bool m_ended = false;
    std::unique_ptr<StreamPump<RunEvent>> m_pump;
};

}  // namespace quill::ui
