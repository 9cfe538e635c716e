#include "ui/setupflow/install_run.h"

#include <QPointer>
#include <QUrl>
#include <utility>

#include "engine/core/overloaded.h"
#include "engine/installers/install_output_filter.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/event_privacy.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/clipboard.h"
#include "ui/common/labels.h"
#include "ui/common/url_opener.h"

namespace quill::ui {

namespace {

using Event = SetupRemediationRunner::Event;

/// The event some fixes send once they have succeeded, after "remediation_completed".
void sendSuccessEvent(const SetupRemediation& fix) {
    if (const auto* repair = fix.as<SetupRemediation::RepairPath>()) {
        TelemetryEvents::send("claude_path_repaired", {{"directory", maskHomeFolder(repair->directory)}});
    } else if (fix.is<SetupRemediation::InstallClaudeCLI>()) {
        TelemetryEvents::send("claude_cli_installed", {{"method", "brew"}});
    } else if (fix.is<SetupRemediation::InstallClaudeDesktop>()) {
        TelemetryEvents::send("claude_desktop_installed", {{"method", "brew"}});
    }
}

/// The log's line for a browser the sign-in opened.
std::string browserLine(const Event::OpenBrowser& request) {
    if (request.code)
        return "Opened your browser. Your one-time code is " + *request.code +
               " (copied to the clipboard) — paste it and authorize.";
    return "Opened your browser — follow the GitHub sign-in there.";
}

}  // namespace

InstallRun::RunFix InstallRun::runnerSeam(SetupRemediationRunner runner) {
    return [runner = std::move(runner)](const SetupRemediation& fix, const std::string& prompt) {
        return runner.run(fix, prompt);
    };
}

InstallRun::InstallRun(std::vector<SetupRemediation> remediations, bool continuesPastFailure, RunFix runFix,
                       UrlOpener& urls, Clipboard& clipboard, QObject* parent)
    : QObject(parent),
      m_remediations(std::move(remediations)),
      m_continuesPastFailure(continuesPastFailure),
      m_runFix(std::move(runFix)),
      m_urls(urls),
      m_clipboard(clipboard) {}

InstallRun::~InstallRun() = default;

void InstallRun::start() {
    if (m_pump || m_ended)
        return;
    // One snapshot for the whole run: the dialog sentences do not change under a running install.
    const auto config = ProductConfig::current();
    std::vector<std::string> prompts;
    prompts.reserve(m_remediations.size());
    for (const auto& fix : m_remediations)
        prompts.push_back(config->spinePolicy.privilegedReason(fix.id(), config->displayName));

    auto produce = [fixes = m_remediations, prompts = std::move(prompts),
                    continuesPastFailure = m_continuesPastFailure,
                    runFix = m_runFix](std::stop_token stop, const StreamPump<RunEvent>::Deliver& deliver) {
        // Every line of the log passes one filter, whose state runs across the fixes: the runner's events
        // stay raw, and what is stored is what the sheet shows.
        // A line of the filter's own (its note on what it hid) counts as the app's.
        InstallOutputFilter::Streaming filter;
        std::vector<std::string> shown;
        const auto show = [&](const std::string& line, OutputKind kind, bool sentence) {
            filter.feed(line, shown);
            for (auto& text : shown) {
                const bool note = text != line;
                const bool own = kind == OutputKind::own || note;
                deliver(RunEvent{RunEvent::Line{QString::fromStdString(text), own, sentence && !note}});
            }
            shown.clear();
        };
        // The sequence runs on a task of its own, which may outlast this one for a moment: it owns copies.
        auto events = runFixes(
            fixes,
            [fixes, prompts, runFix](std::size_t index) { return runFix(fixes[index], prompts[index]); },
            continuesPastFailure);
        using E = FixSequenceEvent;
        while (auto event = events.next(stop)) {
            std::visit(Overloaded{
                           [&](const E::Output& output) {
                               show(output.text, output.kind, output.kind == OutputKind::own);
                           },
                           [&](E::OpenBrowser& browser) {
                               show(browserLine(browser.request), OutputKind::own, false);
                               deliver(RunEvent{RunEvent::BrowserOpened{
                                   std::make_unique<Event::OpenBrowser>(std::move(browser.request))}});
                           },
                           // A fix's start and end and the run's end pass through as they are.
                           [&](const E::FixStarted& mark) { deliver(RunEvent{mark}); },
                           [&](const E::FixEnded& mark) { deliver(RunEvent{mark}); },
                           [&](const E::Finished& mark) { deliver(RunEvent{mark}); },
                       },
                       event->value);
        }
    };
    m_pump = std::make_unique<StreamPump<RunEvent>>(
        std::move(produce), [this](std::vector<RunEvent> batch) { apply(std::move(batch)); },
        std::function<void()>{}, kEventsPerHandOver,
        [](const RunEvent& event) {
            const auto* line = std::get_if<RunEvent::Line>(&event.value);
            return line ? static_cast<std::size_t>(line->text.size()) * sizeof(QChar) : std::size_t{0};
        },
        kBytesPerHandOver);
}

void InstallRun::cancel() {
    if (m_ended)
        return;
    m_pump.reset();
    m_canceled = true;
    end(Outcome::canceled);
}

void InstallRun::continueAfterEnd() {
    if (m_ended || isRunning())
        return;
    if (m_canceled)
        end(Outcome::canceled);
    else
        end(*m_exitCode == 0 ? Outcome::success : Outcome::failure);
}

void InstallRun::apply(std::vector<RunEvent> batch) {
    // Lines are stored as they come and announced together, before whatever follows them in the batch.
    const QPointer<InstallRun> alive(this);
    qsizetype unannounced = 0;
    bool ownLine = false;
    const auto announce = [&] {
        if (std::exchange(ownLine, false))
            emit ownLineChanged(m_latestOwnLine);
        if (unannounced > 0 && !alive.isNull())
            emit linesAppended(std::exchange(unannounced, 0));
    };
    for (auto& event : batch) {
        if (auto* line = std::get_if<RunEvent::Line>(&event.value)) {
            const QString trimmed = line->text.trimmed();
            if (line->own && !trimmed.isEmpty()) {
                m_latestOwnLine = line->text;
                m_fixSaidNothing = false;
                ownLine = true;
            }
            // A blank line says nothing, so a sentence before it still came last.
            if (m_inFix && line->fixSentence && !trimmed.isEmpty() && !trimmed.endsWith(QChar(u'…')))
                m_closingSentence = line->text;
            else if (!trimmed.isEmpty())
                m_closingSentence.reset();
            m_lines.append(line->own ? withoutBackticks(line->text) : std::move(line->text));
            ++unannounced;
            continue;
        }
        announce();
        // Whoever hears of the run may end it, and with it this batch.
        if (alive.isNull())
            return;
        apply(event);
        if (alive.isNull())
            return;
    }
    announce();
}

void InstallRun::apply(const RunEvent& event) {
    std::visit(Overloaded{
                   [this](const RunEvent::FixStarted& started) {
                       m_inFix = true;
                       m_fixSaidNothing = true;
                       m_closingSentence.reset();
                       TelemetryEvents::remediationApplied(m_remediations[started.index]);
                       emit fixStarted();
                   },
                   [](const RunEvent::Line&) {},
                   [this](const RunEvent::BrowserOpened& opened) { openBrowser(*opened.request); },
                   [this](const RunEvent::FixEnded& ended) { fixEnded(ended); },
                   [this](const RunEvent::RunFinished& finished) {
                       m_exitCode = finished.exitCode;
                       emit runEnded();
                   },
               },
               event.value);
}

void InstallRun::openBrowser(const Event::OpenBrowser& request) {
    if (request.code)
        m_clipboard.setText(QString::fromStdString(*request.code));
    // The address comes from a child's output: only a secure web page is opened.
    const QUrl url(QString::fromStdString(request.url), QUrl::StrictMode);
    if (url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty())
        m_urls.open(url);
}

QString InstallRun::headline() const {
    // An earlier fix's line would speak for the one that runs.
    if (isRunning())
        return m_fixSaidNothing ? QString() : m_latestOwnLine;
    if (m_canceled)
        return {};
    // The sentence speaks for the run only when it is the last fix's and that fix ended as the run did.
    const bool failed = *m_exitCode != 0;
    if (m_closingSentence && m_lastFixFailed == failed)
        return *m_closingSentence;
    return failed ? QStringLiteral("The install did not complete.") : QString();
}

void InstallRun::fixEnded(const RunEvent::FixEnded& ended) {
    const auto& fix = m_remediations[ended.index];
    m_inFix = false;
    m_lastFixFailed = ended.exitCode != 0;
    if (ended.canceled) {
        m_canceled = true;
        emit runEnded();
        return;
    }
    if (ended.exitCode == 0) {
        TelemetryEvents::remediationCompleted(fix, 0);
        sendSuccessEvent(fix);
    } else {
        TelemetryEvents::send(TelemetryEvents::remediationFailed(fix, ended.exitCode, "nonzero_exit"));
    }
}

void InstallRun::end(Outcome outcome) {
    m_ended = true;
    emit finished(outcome);
}

}  // namespace quill::ui
