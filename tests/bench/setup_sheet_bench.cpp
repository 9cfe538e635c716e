// Streams a fake install of 100,000 output lines into the install sheet while a 5 ms timer on the GUI thread
// records its longest gap between ticks, then sends the same lines through the bare engine stream. Prints the
// longest gap (target: under 50 ms in a release build) and both times to the last line (target: the sheet
// under twice the engine), and the resident memory the sheet holds once the last line is in. Run offscreen,
// with one malloc arena so memory figures compare: MALLOC_ARENA_MAX=1 QT_QPA_PLATFORM=offscreen
// quill_setup_sheet_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#if defined(__APPLE__)
#include <mach/mach.h>
#elif defined(__linux__)
#include <unistd.h>
#include <fstream>
#endif

#include "engine/core/stream.h"
#include "engine/core/task.h"
#include "engine/products/code/code_config.h"
#include "engine/setup/product_config.h"
#include "ui/common/app_navigation.h"
#include "ui/common/clipboard.h"
#include "ui/common/profile_holder.h"
#include "ui/common/screen_context.h"
#include "ui/common/url_opener.h"
#include "ui/setupflow/install_log.h"
#include "ui/setupflow/setup_action_progress_view.h"

namespace {

using Event = quill::SetupRemediationRunner::Event;
constexpr int kLines = 100'000;

class NoUrls final : public quill::ui::UrlOpener {
  public:
    void open(const QUrl&) override {}
};
class NoClipboard final : public quill::ui::Clipboard {
  public:
    void setText(const QString&) override {}
};

/// A fix whose output is `kLines` lines, produced on a task of its own as a process would.
quill::Stream<Event> fakeInstall() {
    return quill::streamFromTask<Event>([](const quill::StreamSink<Event>& sink,
                                           const std::stop_token& stop) {
        for (int line = 1; line <= kLines && !stop.stop_requested(); ++line)
            sink.yield(Event::Output{"==> Pouring package " + std::to_string(line) + " of the fake install"});
        sink.yield(Event::Completed{0});
    });
}

/// The process's resident memory in megabytes, or -1 where it cannot be read.
double residentMegabytes() {
#if defined(__APPLE__)
    mach_task_basic_info info{};
    mach_msg_type_number_t count = MACH_TASK_BASIC_INFO_COUNT;
    if (task_info(mach_task_self(), MACH_TASK_BASIC_INFO, reinterpret_cast<task_info_t>(&info), &count) !=
        KERN_SUCCESS)
        return -1;
    return static_cast<double>(info.resident_size) / (1024.0 * 1024.0);
#elif defined(__linux__)
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = -1;
    if (!(statm >> pages >> resident))
        return -1;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
#else
    return -1;
#endif
}

/// Milliseconds from the start of the bare engine stream to its last line, read on a worker thread.
double engineMilliseconds() {
    const auto start = std::chrono::steady_clock::now();
    auto stream = fakeInstall();
    int lines = 0;
    while (const auto event = stream.next()) {
        if (std::holds_alternative<Event::Output>(event->value) && ++lines == kLines)
            break;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const quill::ScopedProductConfig config(quill::products::code());
    quill::ui::AppNavigation navigation;
    quill::ui::ProfileHolder profile;
    NoUrls urls;
    NoClipboard clipboard;
    quill::ui::ScreenContext context{navigation,           profile,  quill::AppServices{}, urls,
                                     quill::ui::Timings{}, clipboard};

    double residentAtStart = -1;
    double residentAtEnd = -1;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    double sheetMilliseconds = -1;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });

    quill::ui::SetupActionProgressView sheet(
        context, "Install uv", {quill::SetupRemediation::installUv()},
        [](const quill::SetupRemediation&, const std::string&) { return fakeInstall(); }, true, nullptr);
    QObject::connect(sheet.log()->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (sheetMilliseconds < 0 && sheet.log()->model()->rowCount() >= kLines) {
            sheetMilliseconds = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            residentAtEnd = residentMegabytes();
            // exit, not quit: quitting first closes the windows, and an ended sheet refuses its close box.
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        }
    });
    sheet.resize(720, 720);
    residentAtStart = residentMegabytes();
    clock.start();
    ticker.start();
    sheet.show();
    app.exec();
    ticker.stop();

    const double engine = engineMilliseconds();
    std::printf("lines:                      %d\n", kLines);
    std::printf("longest GUI timer gap:      %lld ms (target < 50 ms)\n", static_cast<long long>(longestGap));
    std::printf("time to last line, sheet:   %.1f ms\n", sheetMilliseconds);
    std::printf("time to last line, engine:  %.1f ms\n", engine);
    std::printf("sheet / engine:             %.2f (target < 2)\n", sheetMilliseconds / engine);
    std::printf("resident memory, start:     %.1f MB\n", residentAtStart);
    std::printf("resident memory, last line: %.1f MB (+%.1f MB)\n", residentAtEnd,
                residentAtEnd - residentAtStart);
    return sheetMilliseconds < 0 ? 1 : 0;
}
