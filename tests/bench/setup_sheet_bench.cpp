// Runs one install through the install sheet and reports what a user would see: the time to the paint that
// shows the last line, the longest single dispatch of the GUI thread with the longest gap of a 5 ms timer
// beside it, and the resident memory. One run a process, so that memory figures compare; run offscreen with
// one malloc arena:
//   MALLOC_ARENA_MAX=1 QT_QPA_PLATFORM=offscreen quill_setup_sheet_bench <what> [<option>...]
// where <what> is one of
//   --lines <n>            a fake install of n short lines made in-process; the bare engine stream of the
//                          same lines is timed 5 times before and 5 times after the sheet, and the sheet is
//                          judged against the lower median (targets: 2x, and a dispatch under 50 ms)
//   --tool <command>       a tool run by a login shell through the runner; reports when the tool ended and
//                          when the run did
// and the options are
//   --cancel-after <s>     with --tool: presses Cancel after s seconds and reports how long the tool lived on
//   --font <family|file>   the log's font family, or a font file to load and use; the log keeps its size
//   --hold <s>             holds the GUI thread for s seconds once the first lines have reached the log, as a
//                          window busy elsewhere would; the hold is left out of the dispatch and gap figures
//   --time-limit <s>       fails the bench when it runs longer (default 300)
// The sheet is stopped when its memory passes 3 GB.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "engine/core/stream.h"
#include "engine/core/task.h"
#include "engine/products/code/code_config.h"
#include "engine/runner/fix_sequence.h"
#include "engine/services/app_services.h"
#include "engine/setup/product_config.h"
#include "tests/support/resident_memory.h"
#include "ui/common/app_navigation.h"
#include "ui/common/clipboard.h"
#include "ui/common/profile_holder.h"
#include "ui/common/screen_context.h"
#include "ui/common/url_opener.h"
#include "ui/setupflow/install_log.h"
#include "ui/setupflow/setup_action_progress_view.h"

namespace {

using Event = quill::SetupRemediationRunner::Event;
using Clock = std::chrono::steady_clock;
constexpr double kStopAtMegabytes = 3000;
constexpr int kFloorRuns = 5;

class NoUrls final : public quill::ui::UrlOpener {
  public:
    void open(const QUrl&) override {}
};
class NoClipboard final : public quill::ui::Clipboard {
  public:
    void setText(const QString&) override {}
};

std::string fakeLine(long line) {
    return "==> Pouring package " + std::to_string(line) + " of the fake install";
}

/// A fix whose output is `lines` lines, produced on a task of its own as a process would, and held back as
/// a process is when its reader falls behind.
quill::Stream<Event> fakeInstall(long lines) {
    return quill::streamFromTask<Event>(
        [lines](const quill::StreamSink<Event>& sink, const std::stop_token& stop) {
            for (long line = 1; line <= lines && !stop.stop_requested(); ++line) {
                sink.yield(Event::Output{fakeLine(line)});
                if (line % 4096 == 0)
                    sink.waitUntilTaken(stop);
            }
            sink.yield(Event::Completed{0});
        });
}

double residentMegabytes() {
    return static_cast<double>(quill::test::residentBytes()) / (1024.0 * 1024.0);
}

/// Watches the run from a thread of its own, so that a held or stuck GUI thread is watched too: samples the
/// resident memory every 10 ms for its peak, and ends the process with a failure once the time limit has
/// passed.
class Watch {
  public:
    explicit Watch(std::chrono::seconds limit)
        : m_thread([this, limit](const std::stop_token& stop) { watch(stop, limit); }) {}

    [[nodiscard]] double peak() const { return m_peak.load(); }
    /// Whether the memory passed the stopping point; the GUI thread then ends the run.
    [[nodiscard]] bool overMemory() const { return m_peak.load() > kStopAtMegabytes; }

  private:
    void watch(const std::stop_token& stop, std::chrono::seconds limit) {
        const auto deadline = Clock::now() + limit;
        while (!stop.stop_requested()) {
            if (Clock::now() >= deadline) {
                std::fprintf(stderr,
                             "FAILED: the bench ran over its time limit of %lld s (peak memory %.1f MB)\n",
                             static_cast<long long>(limit.count()), peak());
                std::fflush(stderr);
                std::_Exit(3);
            }
            m_peak.store(std::max(m_peak.load(), residentMegabytes()));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::atomic<double> m_peak = 0;
    std::jthread m_thread;  // last: it reads the members above
};

/// The font of the log under `--font`: a font file's first family when `what` names a file, else the family
/// `what`, at the log's own size.
QFont benchFont(QFont font, const std::string& what) {
    QString family = QString::fromStdString(what);
    if (QFileInfo(family).isFile()) {
        const QStringList families =
            QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(family));
        if (families.isEmpty()) {
            std::fprintf(stderr, "cannot load the font file %s\n", what.c_str());
            std::exit(2);
        }
        family = families.first();
    }
    font.setFamilies({family});
    return font;
}

/// Milliseconds from the start of the bare engine stream to its last line.
double engineMilliseconds(long lines) {
    const auto start = Clock::now();
    auto stream = fakeInstall(lines);
    long seen = 0;
    while (const auto event = stream.next()) {
        if (std::holds_alternative<Event::Output>(event->value) && ++seen == lines)
            break;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<double> engineFloor(long lines) {
    std::vector<double> times;
    times.reserve(kFloorRuns);
    for (int run = 0; run < kFloorRuns; ++run)
        times.push_back(engineMilliseconds(lines));
    return times;
}

/// Times every outermost dispatch of the GUI thread, and calls `afterPaint` after each paint.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        const bool outermost = m_depth == 0 && measuring;
        if (outermost)
            heldInDispatch = 0;
        const bool paint = event->type() == QEvent::Paint;
        const int type = event->type();
        // The receiver may be gone after the dispatch (a single-shot timer's).
        const char* className = outermost ? receiver->metaObject()->className() : "";
        const auto start = Clock::now();
        const bool handled = dispatch(receiver, event);
        if (outermost) {
            const double took =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count() - heldInDispatch;
            if (took > longestDispatch) {
                longestDispatch = took;
                longestWhat = std::to_string(type) + " to " + className;
            }
        }
        // Widgets are painted inside the dispatch of their window's update request.
        if (paint && measuring && afterPaint)
            afterPaint(receiver);
        return handled;
    }

    bool measuring = false;
    double longestDispatch = 0;
    double heldInDispatch = 0;  // milliseconds of `--hold` inside the current outermost dispatch
    std::string longestWhat;    // the event type and receiver of the longest dispatch
    std::function<void(QObject*)> afterPaint;

  private:
    bool dispatch(QObject* receiver, QEvent* event) {
        ++m_depth;
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        return handled;
    }
    int m_depth = 0;
};

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::string text;
    std::getline(file, text);
    return text;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    long lines = 0;
    std::string tool;
    std::string family;
    double cancelAfter = -1;
    double hold = 0;
    long timeLimit = 300;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string flag = argv[index];
        if (flag == "--lines")
            lines = std::atol(argv[index + 1]);
        else if (flag == "--tool")
            tool = argv[index + 1];
        else if (flag == "--font")
            family = argv[index + 1];
        else if (flag == "--cancel-after")
            cancelAfter = std::atof(argv[index + 1]);
        else if (flag == "--hold")
            hold = std::atof(argv[index + 1]);
        else if (flag == "--time-limit")
            timeLimit = std::atol(argv[index + 1]);
    }
    if ((lines <= 0) == tool.empty() || timeLimit <= 0) {
        std::fprintf(stderr,
                     "usage: %s --lines <n> | --tool <command> [--cancel-after <s>] [--font <family|file>] "
                     "[--hold <s>] [--time-limit <s>]\n",
                     argv[0]);
        return 2;
    }
    const Watch watch{std::chrono::seconds(timeLimit)};

    TimedApplication app(argc, argv);
    const quill::ScopedProductConfig config(quill::products::code());
    quill::ui::AppNavigation navigation;
    quill::ui::ProfileHolder profile;
    NoUrls urls;
    NoClipboard clipboard;
    quill::ui::ScreenContext context{navigation,           profile,  quill::AppServices{}, urls,
                                     quill::ui::Timings{}, clipboard};

    const std::vector<double> floorBefore = lines > 0 ? engineFloor(lines) : std::vector<double>{};

    const std::string scratch = "/tmp/quill-sheet-bench-" + std::to_string(getpid());
    quill::ui::InstallRun::RunFix runFix;
    if (lines > 0) {
        runFix = [lines](const quill::SetupRemediation&, const std::string&) { return fakeInstall(lines); };
    } else {
        const auto runner = quill::makeRemediationRunner(quill::AppServices::live());
        const std::string command =
            "echo $$ > " + scratch + ".pid; " + tool + "; date +%s.%N > " + scratch + ".end";
        runFix = [runner, command](const quill::SetupRemediation&, const std::string&) {
            return quill::streamFromTask<Event>(
                [runner, command](const quill::StreamSink<Event>& sink, const std::stop_token& stop) {
                    const int status = runner.loginShellStep(command, sink, stop);
                    sink.yield(Event::Completed{status});
                });
        };
    }

    quill::ui::SetupActionProgressView sheet(context, "Install uv", {quill::SetupRemediation::installUv()},
                                             runFix, true, nullptr);
    if (!family.empty())
        sheet.log()->setFont(benchFont(sheet.log()->font(), family));
    sheet.resize(720, 720);

    const QString lastLine = QString::fromStdString(fakeLine(lines));
    const double residentIdle = residentMegabytes();
    double residentAtEnd = -1;
    double sheetMilliseconds = -1;
    double runEndedAt = -1;  // wall clock seconds
    bool stoppedForMemory = false;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        if (watch.overMemory() && !stoppedForMemory) {
            stoppedForMemory = true;
            QCoreApplication::exit(0);
        }
    });
    if (hold > 0) {
        auto held = std::make_shared<bool>(false);
        QObject::connect(&sheet.run(), &quill::ui::InstallRun::linesAppended, [&, held] {
            if (std::exchange(*held, true))
                return;
            const auto start = Clock::now();
            std::this_thread::sleep_for(std::chrono::duration<double>(hold));
            app.heldInDispatch += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            lastTick = clock.elapsed();
        });
    }

    const auto finish = [&] {
        if (sheetMilliseconds >= 0)
            return;
        sheetMilliseconds = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        residentAtEnd = residentMegabytes();
        // exit, not quit: quitting first closes the windows, and an ended sheet refuses its close box.
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    };
    auto* log = sheet.log();
    app.afterPaint = [&](QObject* receiver) {
        if (receiver != log->viewport() || sheet.run().isRunning() || cancelAfter >= 0)
            return;
        const auto* model = log->model();
        const int rows = model->rowCount();
        const bool atEnd = log->verticalScrollBar()->value() == log->verticalScrollBar()->maximum();
        if (lines > 0 && (rows == 0 || model->index(rows - 1, 0).data().toString() != lastLine || !atEnd))
            return;
        finish();
    };
    QObject::connect(&sheet.run(), &quill::ui::InstallRun::runEnded, [&] { runEndedAt = wallSeconds(); });

    double cancelMilliseconds = -1;
    if (cancelAfter >= 0) {
        QTimer::singleShot(static_cast<int>(cancelAfter * 1000), &sheet, [&] {
            const pid_t pid = std::atoi(readFile(scratch + ".pid").c_str());
            const auto start = Clock::now();
            sheet.reject();
            while (pid > 0 && kill(pid, 0) == 0 && Clock::now() - start < std::chrono::seconds(20))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            cancelMilliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            finish();
        });
    }

    clock.start();
    ticker.start();
    sheet.show();
    app.measuring = true;
    app.exec();
    app.measuring = false;
    ticker.stop();
    const double residentPeak = std::max({watch.peak(), residentIdle, residentAtEnd});

    const QFontInfo font(log->font());
    std::printf("font:                       %s, %.1f pt (fixedPitch %s)\n",
                font.family().toStdString().c_str(), font.pointSizeF(), font.fixedPitch() ? "true" : "false");
    std::printf("longest GUI dispatch:       %.1f ms (target < 50 ms; event %s)\n", app.longestDispatch,
                app.longestWhat.c_str());
    std::printf("longest GUI timer gap:      %lld ms\n", static_cast<long long>(longestGap));
    if (hold > 0)
        std::printf("GUI thread held:            %.1f s, once the first lines had come\n", hold);
    std::printf("resident memory, idle:      %.1f MB\n", residentIdle);
    std::printf("resident memory, end:       %.1f MB (+%.1f MB)\n", residentAtEnd,
                residentAtEnd - residentIdle);
    std::printf("resident memory, peak:      %.1f MB (+%.1f MB)\n", residentPeak,
                residentPeak - residentIdle);
    if (stoppedForMemory)
        std::printf("stopped:                    memory passed %.0f MB after %.1f s\n", kStopAtMegabytes,
                    static_cast<double>(clock.elapsed()) / 1000);
    if (lines > 0) {
        const auto floorAfter = engineFloor(lines);
        const double before = median(floorBefore);
        const double after = median(floorAfter);
        const double floor = std::min(before, after);
        std::printf("lines:                      %ld\n", lines);
        std::printf("last line painted, sheet:   %.1f ms\n", sheetMilliseconds);
        std::printf("engine floor, before/after: %.1f / %.1f ms (median of %d each)\n", before, after,
                    kFloorRuns);
        std::printf("sheet / lower floor:        %.2f (target < 2)\n", sheetMilliseconds / floor);
    } else {
        const std::string toolEnd = readFile(scratch + ".end");
        if (cancelAfter >= 0)
            std::printf("tool ended after Cancel:    %.1f ms\n", cancelMilliseconds);
        else if (!toolEnd.empty() && runEndedAt > 0)
            std::printf("run ended after the tool:   %.1f ms (%.1f s in all)\n",
                        (runEndedAt - std::atof(toolEnd.c_str())) * 1000, sheetMilliseconds / 1000);
        std::remove((scratch + ".pid").c_str());
        std::remove((scratch + ".end").c_str());
    }
    return sheetMilliseconds < 0 && !stoppedForMemory ? 1 : 0;
}
