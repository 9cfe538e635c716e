#include "ui/setupflow/install_run.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/text.h"
#include "engine/installers/install_output_filter.h"
#include "engine/products/code/code_config.h"
#include "tests/engine/runner/runner_test_kit.h"
#include "tests/support/process_watch.h"
#include "tests/support/scripted_fix_run.h"
#include "tests/ui/forking_install.h"
#include "tests/ui/ui_test_support.h"
#include "ui/setupflow/install_log.h"
#include "ui/setupflow/setup_action_progress_view.h"

namespace quill::ui::test {
namespace {

using Event = SetupRemediationRunner::Event;
using Outcome = InstallRun::Outcome;
using Fix = SetupRemediation;

/// Stands in for the runner: each fix answers the events scripted for its identifier (none: success), and
/// every request is recorded with its password sentence. Thread-safe.
struct ScriptedRunner {
    quill::test::FixScripts scripts;
    struct Asked {
        std::string id;
        std::string prompt;
    };
    std::mutex mutex;
    std::vector<Asked> asked;

    InstallRun::RunFix seam() {
        return [this](const Fix& fix, const std::string& prompt) {
            std::lock_guard lock(mutex);
            asked.push_back({fix.id(), prompt});
            return quill::test::scriptedFixRun(scripts, fix);
        };
    }
    std::vector<std::string> askedIDs() {
        std::lock_guard lock(mutex);
        std::vector<std::string> ids;
        ids.reserve(asked.size());
        for (const auto& request : asked)
            ids.push_back(request.id);
        return ids;
    }
};

/// The lines a run keeps, in order.
QStringList texts(const KeptLines& lines) {
    QStringList all;
    for (qsizetype index = 0; index < lines.size(); ++index)
        all.push_back(lines.at(index));
    return all;
}

class InstallRunTest : public UiTest {
  protected:
    InstallRunTest() {
        config.reset();
        config = std::make_unique<ScopedProductConfig>(products::code());
    }

    /// The install's events in short: "applied <n>", "completed <n> <code>", "failed <n> <code>", or the
    /// event's name, where <n> is the fix's place in `fixes`.
    static std::vector<std::string> summary(const ScopedTelemetryCapture& capture,
                                            const std::vector<Fix>& fixes) {
        std::vector<std::string> lines;
        for (const auto& event : capture.events()) {
            const auto id = event.data.find("remediation_id");
            if (id == event.data.end()) {
                lines.push_back(event.name);
                continue;
            }
            std::size_t place = 0;
            while (place < fixes.size() && fixes[place].id() != *id->second.string())
                ++place;
            auto line = event.name.substr(std::string("remediation_").size()) + " " + std::to_string(place);
            if (const auto code = event.data.find("exit_code"); code != event.data.end())
                line += " " + std::to_string(*code->second.int_());
            lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(InstallRunTest, RunsFixesInOrderAndEndsAsTheirExitCodesSay) {
    const auto uv = Fix::installUv();
    const auto mise = Fix::installMise();
    const auto node = Fix::installNodeViaMise();
    const auto ruby = Fix::installRubyViaMise();
    const auto gh = Fix::installGh();
    struct Case {
        const char* name;
        std::vector<Fix> fixes;
        bool continuesPastFailure;
        quill::test::FixScripts scripts;
        std::vector<std::string> asked;
        std::vector<std::string> events;
        std::optional<int> exitCode;
        Outcome outcome;
        std::string lastLine;
    };
    const std::vector<Case> cases = {
        {"mise fails: its languages are skipped",
         {uv, mise, node, ruby},
         true,
         {{mise.id(), {Event::Output{"boom"}, Event::Completed{7}}}},
         {uv.id(), mise.id()},
         {"applied 0", "completed 0 0", "applied 1", "failed 1 7"},
         7,
         Outcome::failure,
         "Skipping " + ruby.displayLabel() + " — it needs a step that didn't finish."},
        {"an end without completion fails with -1",
         {uv},
         true,
         {{uv.id(), {Event::Output{"half way"}}}},
         {uv.id()},
         {"applied 0", "failed 0 -1"},
         -1,
         Outcome::failure},
        {"a fix that reports cancellation ends the run",
         {uv, gh},
         true,
         {{uv.id(), {Event::Output{"asked"}, Event::Canceled{}}}},
         {uv.id()},
         {"applied 0"},
         std::nullopt,
         Outcome::canceled},
        {"an empty list succeeds at once", {}, false, {}, {}, {}, 0, Outcome::success},
        {"a success event follows its completion",
         {Fix::installClaudeDesktop(), Fix::installClaudeCLI()},
         true,
         {{Fix::installClaudeCLI().id(), {Event::Completed{1}}}},
         {Fix::installClaudeDesktop().id(), Fix::installClaudeCLI().id()},
         {"applied 0", "completed 0 0", "claude_desktop_installed", "applied 1", "failed 1 1"},
         1,
         Outcome::failure},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ScopedTelemetryCapture capture;
        ScriptedRunner runner;
        runner.scripts = row.scripts;
        InstallRun run(row.fixes, row.continuesPastFailure, runner.seam(), *urls, *clipboard);
        QSignalSpy finished(&run, &InstallRun::finished);
        run.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !run.isRunning(); }, 5000));
        EXPECT_EQ(run.exitCode(), row.exitCode);
        if (!row.lastLine.empty()) {
            ASSERT_GT(run.lines().size(), 0);
            EXPECT_EQ(run.lines().at(run.lines().size() - 1).toStdString(), row.lastLine);
        }
        EXPECT_EQ(runner.askedIDs(), row.asked);
        EXPECT_EQ(summary(capture, row.fixes), row.events);
        EXPECT_TRUE(finished.isEmpty()) << "the run never ends the install by itself";
        run.continueAfterEnd();
        run.continueAfterEnd();
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished.front().front().value<Outcome>(), row.outcome);
    }
}

TEST_F(InstallRunTest, SignInCopiesTheCodeAndOpensOnlySecurePages) {
    ScriptedRunner runner;
    runner.scripts[Fix::githubAuth().id()] = {
        Event::OpenBrowser{"https://github.com/login/device", "AB12-CD34"},
        Event::OpenBrowser{"http://github.com/login/device", std::nullopt},
        Event::OpenBrowser{"javascript:alert(1)", std::nullopt},
        Event::Completed{0},
    };
    InstallRun run({Fix::githubAuth()}, false, runner.seam(), *urls, *clipboard);
    run.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !run.isRunning(); }, 5000));

    const QStringList expected = {
        "Opened your browser. Your one-time code is AB12-CD34 (copied to the clipboard) — paste it and "
        "authorize.",
        "Opened your browser — follow the GitHub sign-in there.",
        "Opened your browser — follow the GitHub sign-in there.",
    };
    EXPECT_EQ(texts(run.lines()), expected);
    EXPECT_EQ(clipboard->copied, std::vector<QString>{"AB12-CD34"});
    EXPECT_EQ(urls->opened, std::vector<QUrl>{QUrl("https://github.com/login/device")});
}

TEST_F(InstallRunTest, ReadsEachFixsPasswordSentenceOnceAtStart) {
    // The first fix holds until the configuration has changed: the second fix still gets the sentence read
    // at start.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    ScriptedRunner scripted;
    auto inner = scripted.seam();
    InstallRun::RunFix holding = [&](const Fix& fix, const std::string& prompt) {
        if (fix.is<Fix::InstallTemurin>()) {
            std::unique_lock lock(mutex);
            released.wait(lock, [&] { return release; });
        }
        return inner(fix, prompt);
    };
    InstallRun run({Fix::installTemurin(), Fix::installUv()}, true, holding, *urls, *clipboard);
    run.start();
    {
        ScopedProductConfig other(testConfig());
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !run.isRunning(); }, 5000));
    }
    std::lock_guard lock(scripted.mutex);
    ASSERT_EQ(scripted.asked.size(), 2U);
    EXPECT_EQ(scripted.asked[0].prompt, "Enter a password to install Java");
    EXPECT_EQ(scripted.asked[1].prompt, *products::code().spinePolicy.privilegedActionReason);
}

TEST_F(InstallRunTest, TheSheetShowsHomebrewsTranscriptsFilteredAndOtherOutputAsItCame) {
    const std::vector<std::string> uvOutput = {"downloading uv 0.5.11 aarch64-apple-darwin",
                                               "no checksums to verify",
                                               "installing to /Users/alex/.local/bin",
                                               "  uv",
                                               "  uvx",
                                               "everything's installed!"};
    // Homebrew's warning on an older macOS gets the filter's note, which is the app's own line: the latest
    // one, since every other line here is a tool's.
    const std::vector<std::pair<const char*, std::string>> transcripts = {
        {"install-apple-silicon.txt", ""},
        {"install-old-macos.txt",
         "Note: that Homebrew message is about macOS 13 being an older version. It is not an error — the "
         "install continues normally."},
    };
    for (const auto& [file, latestOwnLine] : transcripts) {
        SCOPED_TRACE(file);
        const auto transcript =
            splitLines(quill::test::readFile(std::filesystem::path(QUILL_TEST_DATA_DIR) / "homebrew" / file));
        ScriptedRunner runner;
        for (const auto& [fix, lines] :
             {std::pair{Fix::installHomebrew(), transcript}, {Fix::installUv(), uvOutput}}) {
            auto& script = runner.scripts[fix.id()];
            for (const auto& line : lines)
                script.emplace_back(Event::Output{line});
            script.emplace_back(Event::Completed{0});
        }
        SetupActionProgressView sheet(context, "Install Homebrew", {Fix::installHomebrew(), Fix::installUv()},
                                      runner.seam(), true, [](Outcome) {});
        showWindow(&sheet);
        auto expected = InstallOutputFilter::filter(transcript);
        expected.insert(expected.end(), uvOutput.begin(), uvOutput.end());
        const auto* log = sheet.log()->model();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !sheet.run().isRunning() && log->rowCount() == static_cast<int>(expected.size()); },
            5000));

        std::vector<std::string> shown;
        for (int row = 0; row < log->rowCount(); ++row)
            shown.push_back(log->index(row, 0).data().toString().toStdString());
        EXPECT_EQ(shown, expected);
        QStringList stored;
        for (const auto& line : expected)
            stored.push_back(QString::fromStdString(line));
        EXPECT_EQ(texts(sheet.run().lines()), stored) << "the run keeps what the sheet shows";
        EXPECT_FALSE(texts(sheet.run().lines()).join('\n').contains(QStringLiteral("brew shellenv")));
        EXPECT_EQ(sheet.run().latestOwnLine().toStdString(), latestOwnLine);
        sheet.resize(720, 720);
        saveGrab(&sheet, QStringLiteral("sheet-") + QString::fromLatin1(file).section('.', 0, 0));
    }
}

TEST_F(InstallRunTest, TheSheetShowsEveryLineOfSeveralHandOversInOrder) {
    const auto count = 3 * InstallRun::kEventsPerHandOver + 1;
    ScriptedRunner runner;
    auto& script = runner.scripts[Fix::installUv().id()];
    for (std::size_t line = 0; line < count; ++line)
        script.emplace_back(Event::Output{"line " + std::to_string(line)});
    script.emplace_back(Event::Completed{0});
    SetupActionProgressView sheet(context, "Install uv", {Fix::installUv()}, runner.seam(), true,
                                  [](Outcome) {});
    showWindow(&sheet);
    const auto* log = sheet.log()->model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.run().isRunning(); }, 5000));
    ASSERT_EQ(log->rowCount(), static_cast<int>(count)) << "the end comes with every line before it";
    for (int row = 0; row < log->rowCount(); ++row)
        ASSERT_EQ(log->index(row, 0).data().toString(), QStringLiteral("line %1").arg(row));
}

TEST_F(InstallRunTest, TheAppsOwnLineIsReadWholeAboveTheLogAndItsRowHasNoBackticks) {
    const std::string own =
        "Added `~/.local/bin` to your PATH in ~/.zprofile — open a new terminal window to use it, or run "
        "`source ~/.zprofile` in the ones already open.";
    const QString ownAsRead = QString::fromStdString(own).remove('`');
    ScriptedRunner runner;
    runner.scripts[Fix::installUv().id()] = {
        Event::Output{"run `uv --version` to check", OutputKind::tool},
        Event::Output{own, OutputKind::own},
        Event::Output{"", OutputKind::own},
        Event::Completed{0},
    };
    SetupActionProgressView sheet(context, "Install uv", {Fix::installUv()}, runner.seam(), true,
                                  [](Outcome) {});
    EXPECT_TRUE(visibleWithId(&sheet, QStringLiteral("setup-action-own-line")).isEmpty()) << "none yet";
    showWindow(&sheet);
    const auto* log = sheet.log()->model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.run().isRunning() && log->rowCount() == 3; }, 5000));

    EXPECT_EQ(log->index(1, 0).data().toString(), ownAsRead);
    EXPECT_EQ(log->index(0, 0).data().toString(), QStringLiteral("run `uv --version` to check"))
        << "a tool's line is shown as it came";
    auto* header = visibleById<QLabel>(&sheet, QStringLiteral("setup-action-own-line"));
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->wordWrap());
    EXPECT_TRUE(shownLabelTexts(&sheet).contains(ownAsRead)) << "a blank line of our own leaves it there";
    sheet.resize(560, 420);
    saveGrab(&sheet, QStringLiteral("sheet-own-line"));
}

TEST_F(InstallRunTest, OnceTheRunHasEndedTheLineAboveTheLogSaysWhatHappened) {
    using quill::test::done;
    using quill::test::line;
    using quill::test::said;
    const std::string notCompleted = "The install did not complete.";
    const auto cask = Fix::installClaudeDesktop();
    const auto tools = Fix::installCommandLineTools();
    const auto uv = Fix::installUv();
    const auto node = Fix::installNodeViaMise();
    const auto downloadFailed = line("Error: Download failed on Cask 'claude' with message: timed out");
    const auto retrying = said("That didn’t work — retrying once in a moment…");
    const auto toolsStarting =
        said("Installing Apple's Command Line Tools… macOS will ask for your password once.");
    const std::string toolsFailed = "The Command Line Tools install did not complete. You can retry.";
    const std::string toolsInstalled = "Command Line Tools installed.";
    const auto uvStarting = said("Installing uv (Astral's installer)…");
    struct Case {
        const char* name;
        std::vector<Fix> fixes;
        quill::test::FixScripts scripts;
        std::string headline;  // empty: hidden
    };
    const std::vector<Case> cases = {
        {"a cask failing twice",
         {cask},
         {{cask.id(), {downloadFailed, said(""), retrying, downloadFailed, done(1)}}},
         notCompleted},
        {"a cask whose retry succeeds",
         {cask},
         {{cask.id(), {downloadFailed, said(""), retrying, line("==> Installing Cask claude"), done(0)}}},
         ""},
        {"the Command Line Tools failure",
         {tools},
         {{tools.id(), {toolsStarting, line("Downloading Command Line Tools"), said(toolsFailed), done(1)}}},
         toolsFailed},
        {"the Command Line Tools installed",
         {tools},
         {{tools.id(),
           {toolsStarting, line("Downloading Command Line Tools"), said(toolsInstalled), done(0)}}},
         toolsInstalled},
        {"uv failing silently after its announcement",
         {uv},
         {{uv.id(), {uvStarting, said("Installing the latest Python with uv…"), done(1)}}},
         notCompleted},
        {"a later fix's success does not speak for the run",
         {uv, tools},
         {{uv.id(), {uvStarting, done(1)}}, {tools.id(), {said(toolsInstalled), done(0)}}},
         notCompleted},
        {"an earlier fix's success does not speak for a silent failure",
         {tools, uv},
         {{tools.id(), {said(toolsInstalled), done(0)}}, {uv.id(), {done(1)}}},
         notCompleted},
        // Node is never run: its entry is the line the sequence writes in its place.
        {"a skipped fix's line came last",
         {Fix::installMise(), node},
         {{Fix::installMise().id(),
           {said("Homebrew isn't available yet — install Homebrew first."), done(1)}},
          {node.id(), {said("Skipping " + node.displayLabel() + " — it needs a step that didn't finish.")}}},
         notCompleted},
        {"the package road refused at the password",
         {Fix::installTemurin()},
         {{Fix::installTemurin().id(),
           {said("Homebrew bypassed our sudo wrapper. Falling back to direct .pkg install…"),
            said("Verifying download checksum…"),
            said("Running /usr/sbin/installer (macOS will ask for your password)…"),
            quill::test::stopped()}}},
         ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ScriptedRunner runner;
        runner.scripts = row.scripts;
        QStringList written;
        for (const auto& fix : row.fixes) {
            for (const auto& text : quill::test::linesOf(row.scripts.at(fix.id())))
                written.push_back(QString::fromStdString(text));
        }
        SetupActionProgressView sheet(context, "Install", row.fixes, runner.seam(), true, [](Outcome) {});
        showWindow(&sheet);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.run().isRunning(); }, 5000));

        EXPECT_EQ(texts(sheet.run().lines()), written) << "the log holds the run's lines alone";
        const auto headline = QString::fromStdString(row.headline);
        EXPECT_EQ(visibleWithId(&sheet, QStringLiteral("setup-action-own-line")).isEmpty(),
                  headline.isEmpty());
        EXPECT_TRUE(headline.isEmpty() || shownLabelTexts(&sheet).contains(headline))
            << "shows " << sheet.run().headline().toStdString();
        sheet.resize(720, 720);
        saveGrab(&sheet, QStringLiteral("sheet-ended-") + QString::fromLatin1(row.name).replace(' ', '-'));
    }
}

TEST_F(InstallRunTest, WhileAFixRunsTheLineAboveTheLogSaysNothingOfTheFixBefore) {
    using quill::test::line;
    using quill::test::said;
    const auto cask = Fix::installClaudeDesktop();
    const auto cli = Fix::installClaudeCLI();
    const quill::test::FixScripts scripts = {
        {cask.id(), {line("Error: Download failed"), said("That didn’t work — retrying once in a moment…")}}};
    // The second fix stays open: the test writes its lines.
    auto held = makeStream<Event>();
    held.first.yield(line("==> Downloading Claude Code"));
    const InstallRun::RunFix seam = [&](const Fix& fix, const std::string&) {
        return fix.id() == cli.id() ? std::move(held.second) : quill::test::scriptedFixRun(scripts, fix);
    };
    SetupActionProgressView sheet(context, "Install", {cask, cli}, seam, true, [](Outcome) {});
    showWindow(&sheet);
    // The log's top edge as laid out now.
    const auto logTop = [&] {
        sheet.layout()->activate();
        return sheet.log()->mapTo(&sheet, QPoint()).y();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.log()->model()->rowCount() == 3; }, 5000));
    EXPECT_TRUE(sheet.run().headline().isEmpty()) << "a line of the fix's tool is not its own";
    EXPECT_TRUE(visibleWithId(&sheet, QStringLiteral("setup-action-own-line")).isEmpty());
    const int silentTop = logTop();
    saveGrab(&sheet, QStringLiteral("sheet-next-fix-started"));
    held.first.yield(said("Installing Claude Code…"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return shownLabelTexts(&sheet).contains("Installing Claude Code…"); }, 5000));
    EXPECT_EQ(logTop(), silentTop) << "the log stays put as the line above it comes and goes";
    saveGrab(&sheet, QStringLiteral("sheet-next-fix-said"));
}

/// The real runner over stand-in tools, whose uv installer starts a grandchild and waits for it.
class InstallRunProcessTest : public InstallRunTest {
  protected:
    /// The seam over the real runner, recording which fixes it was asked for.
    InstallRun::RunFix recordingSeam() {
        return [this, real = InstallRun::runnerSeam(forking.scene.runner())](const Fix& fix,
                                                                             const std::string& prompt) {
            {
                std::lock_guard lock(mutex);
                asked.push_back(fix.id());
            }
            return real(fix, prompt);
        };
    }

    ForkingInstall forking;
    std::mutex mutex;
    std::vector<std::string> asked;
};

TEST_F(InstallRunProcessTest, CancelStopsTheFixAndItsChildrenAndStartsNoOther) {
    InstallRun run({Fix::installUv(), Fix::installGh()}, true, recordingSeam(), *urls, *clipboard);
    QSignalSpy finished(&run, &InstallRun::finished);
    run.start();
    const auto pids = forking.processes();
    ASSERT_EQ(pids.size(), 2U);

    run.cancel();
    run.cancel();
    run.continueAfterEnd();
    for (const pid_t pid : pids)
        EXPECT_TRUE(quill::test::waitUntilEnded(pid, std::chrono::seconds(6))) << pid;
    ASSERT_TRUE(settle());
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.front().front().value<Outcome>(), Outcome::canceled);
    EXPECT_TRUE(run.canceled());
    std::lock_guard lock(mutex);
    EXPECT_EQ(asked, std::vector<std::string>{Fix::installUv().id()});
    EXPECT_TRUE(telemetry.events("remediation_failed").empty());
}

TEST_F(InstallRunProcessTest, DestroyedMidFixStopsItsProcessesAndEmitsNothing) {
    auto run = std::make_unique<InstallRun>(std::vector<Fix>{Fix::installUv()}, true, recordingSeam(), *urls,
                                            *clipboard);
    QSignalSpy finished(run.get(), &InstallRun::finished);
    run->start();
    const auto pids = forking.processes();
    ASSERT_EQ(pids.size(), 2U);

    run.reset();
    for (const pid_t pid : pids)
        EXPECT_TRUE(quill::test::waitUntilEnded(pid, std::chrono::seconds(6))) << pid;
    ASSERT_TRUE(settle());
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(telemetry.events("remediation_failed").empty());
}

}  // namespace
}  // namespace quill::ui::test
