// Runs one install through the install sheet and reports what a user would see: the time to the paint that
// shows the last line, the longest single dispatch of the GUI thread (in its CPU time and on the clock) with
// the longest gap of a 5 ms timer beside it, and the resident memory; what the log's idle-time work costs
// once the last line is painted (the process's CPU time, all threads, over the time on the clock); and on
// request the GUI thread's CPU time per page scrolled down or sideways once the last line is shown.
// Dispatches are timed until the log has measured its lines in idle time after the last line was painted,
// or with `--pages`, `--sideways` or `--skip-idle` until the last line is painted. One run a process, so
// that memory figures compare; run offscreen with one malloc arena:
//   MALLOC_ARENA_MAX=1 QT_QPA_PLATFORM=offscreen quill_setup_sheet_bench <what> [<option>...]
// (under Callgrind, `--toggle-collect='(anonymous namespace)::Pager::page()'` counts the instructions of the
// pages alone)
// where <what> is one of
//   --lines <n>            a fake install of n lines made in-process; with the install's own short lines the
//                          bare engine stream of the same lines is timed 5 times before and 5 times after the
//                          sheet, and the sheet is judged against the lower median (targets: 2x, and a
//                          dispatch under 50 ms)
//   --tool <command>       a tool run by a login shell through the runner; reports when the tool ended and
//                          when the run did
// and the options are
//   --text <kind>          with --lines, what the lines hold: install (the default: "==> Pouring package
//                          ..."), ascii, cjk, emoji (single code points), marks (letters under combining
//                          marks), mixed (all of these, box drawing and accented letters among them), arabic
//                          (words of Latin, Arabic and digits), hebrew (Hebrew words and numbers),
//                          arabic-marks (Arabic letters under harakat), hebrew-points (pointed Hebrew
//                          letters), symbol-marks (letters under the combining marks for symbols, U+20D0
//                          on), ascii-arabic (the lines of ascii, each with one Arabic letter added at its
//                          middle: with --length 4090, 4,090 ASCII characters and the letter) or tabs
//                          (columns of "colNNN", a space and ASCII, each ended by a tab, a tab every 8-20
//                          characters)
//   --length <chars>       with --text: short (20-120 characters, the default), long (200-2,000) or a number
//   --runner               with --lines: the lines come through the runner as the output of `cat`, from a
//                          file the bench writes first; the runner cuts a very long line into rows
//   --pages <n>            once the last line is painted (and with --check-range the log has measured its
//                          lines): scrolls the log to its top, then pages down n times and reports the GUI
//                          thread's CPU time per page, each page painted at once, and how many paints of
//                          the log a page took; the log's idle-time work between the pages is not counted
//   --sideways <n>         as --pages, after them: scrolls the log to its left edge at the rows in view, then
//                          pages right n times and reports the GUI thread's CPU time per page
//   --skip-idle            ends once the last line is painted, without waiting for the idle-time work
//   --hide-idle <s>        once the last line is painted: hides the sheet for s seconds, then shows it again
//                          until the idle-time work has ended; reports the CPU time of each part apart
//   --font-change <n>      once the log holds n rows: makes its font a point larger, in a dispatch of its
//                          own; reports whether the log stayed at its end and the longest dispatch in the
//                          second after the change
//   --check-range          once the log has measured its lines in idle time: compares its range with its
//                          widest row shaped whole
//   --cancel-after <s>     with --tool: presses Cancel after s seconds and reports how long the tool lived on
//   --font <family|file>   the log's font family, or a font file to load and use (tests/data/fonts has
//                          NotoSansMono-Regular.ttf and DejaVuSans.ttf); the log keeps its size
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
#include <QTextLayout>
#include <QTextOption>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
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

/// What the lines of `--text` hold.
enum class Text {
    Install,
    Ascii,
    Cjk,
    Emoji,
    Marks,
    Mixed,
    Arabic,
    Hebrew,
    ArabicMarks,
    HebrewPoints,
    SymbolMarks,
    AsciiArabic,
    Tabs
};

constexpr std::array<std::pair<const char*, Text>, 13> kTextNames{{{"install", Text::Install},
                                                                   {"ascii", Text::Ascii},
                                                                   {"cjk", Text::Cjk},
                                                                   {"emoji", Text::Emoji},
                                                                   {"marks", Text::Marks},
                                                                   {"mixed", Text::Mixed},
                                                                   {"arabic", Text::Arabic},
                                                                   {"hebrew", Text::Hebrew},
                                                                   {"arabic-marks", Text::ArabicMarks},
                                                                   {"hebrew-points", Text::HebrewPoints},
                                                                   {"symbol-marks", Text::SymbolMarks},
                                                                   {"ascii-arabic", Text::AsciiArabic},
                                                                   {"tabs", Text::Tabs}}};

std::optional<Text> textNamed(const std::string& name) {
    for (const auto& [known, text] : kTextNames) {
        if (known == name)
            return text;
    }
    return std::nullopt;
}

const char* textName(Text text) {
    for (const auto& [name, known] : kTextNames) {
        if (known == text)
            return name;
    }
    return "";
}

/// How many characters (code points) a line has: drawn evenly from [shortest, longest].
struct Length {
    long shortest = 20;
    long longest = 120;
};

std::optional<Length> lengthNamed(const std::string& name) {
    if (name == "short")
        return Length{20, 120};
    if (name == "long")
        return Length{200, 2000};
    const long exact = std::atol(name.c_str());
    return exact > 0 ? std::optional(Length{exact, exact}) : std::nullopt;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

/// Makes the lines of one kind of text, each from its own number, so that any line can be made again.
class LineMaker {
  public:
    LineMaker(Text text, Length length) : m_text(text), m_length(length) {}

    [[nodiscard]] std::string operator()(long line) const {
        if (m_text == Text::Install)
            return fakeLine(line);
        std::mt19937 random(static_cast<std::uint32_t>(line));
        const auto pick = [&random](std::size_t count) {
            return random() % static_cast<std::uint32_t>(count);
        };
        const long length =
            m_length.shortest +
            static_cast<long>(pick(static_cast<std::size_t>(m_length.longest - m_length.shortest + 1)));
        std::string out;
        long count = 0;
        const auto put = [&](char32_t c) {
            appendUtf8(out, c);
            ++count;
        };
        if (m_text == Text::Tabs) {
            // Columns of 8 to 20 characters, each "col", its number, a space and ASCII, ended by a tab; the
            // last one is cut where the line ends.
            for (long column = 0; count < length; ++column) {
                const long tab = count + 7 + static_cast<long>(pick(13));
                std::array<char, 8> number{};
                std::snprintf(number.data(), number.size(), "col%03ld ", column % 1000);
                for (const char* c = number.data(); *c != 0 && count < length; ++c)
                    put(static_cast<char32_t>(*c));
                while (count < std::min(tab, length))
                    put(static_cast<char32_t>(kAscii[pick(kAscii.size())]));
                if (count < length)
                    put(U'\t');
            }
            return out;
        }
        // Words of 2 to 10 characters between single spaces, as a tool's output has. Right-to-left text
        // changes script by the word.
        const bool byWord = m_text == Text::Arabic || m_text == Text::Hebrew;
        long wordLeft = 2 + static_cast<long>(pick(9));
        Piece word = byWord ? wordOf(pick(20)) : Piece::Ascii;
        while (count < length) {
            if (wordLeft-- == 0) {
                put(U' ');
                wordLeft = 2 + static_cast<long>(pick(9));
                if (byWord)
                    word = wordOf(pick(20));
                continue;
            }
            switch (byWord ? word : pieceOf(pick(90))) {
                case Piece::Ascii:
                    put(static_cast<char32_t>(kAscii[pick(kAscii.size())]));
                    break;
                case Piece::Latin:
                    put(U'a' + pick(26));
                    break;
                case Piece::Digit:
                    put(U'0' + pick(10));
                    break;
                case Piece::Arabic:
                    put(kFirstArabic + pick(kArabicLetters));
                    break;
                case Piece::Hebrew:
                    put(kFirstHebrew + pick(kHebrewLetters));
                    break;
                case Piece::ArabicMarked:
                    // Harakat: fathatan to sukun.
                    put(kFirstArabic + pick(kArabicLetters));
                    for (auto marks = 1 + pick(2); marks > 0; --marks)
                        put(0x64B + pick(8));
                    break;
                case Piece::HebrewPointed:
                    // Points: sheva to dagesh.
                    put(kFirstHebrew + pick(kHebrewLetters));
                    for (auto marks = 1 + pick(2); marks > 0; --marks)
                        put(0x5B0 + pick(13));
                    break;
                case Piece::SymbolMarked:
                    // The combining marks for symbols.
                    put(U'a' + pick(26));
                    for (auto marks = 1 + pick(3); marks > 0; --marks)
                        put(0x20D0 + pick(0x21));
                    break;
                case Piece::Accented:
                    put(0xC0 + pick(0x180 - 0xC0));  // Latin-1 and Latin Extended-A
                    break;
                case Piece::Marked:
                    put(U'a' + pick(26));
                    for (auto marks = m_text == Text::Marks ? 1 + pick(3) : 1; marks > 0; --marks)
                        put(0x300 + pick(0x70));
                    break;
                case Piece::Cjk:
                    put(0x4E00 + pick(0x9FFF - 0x4E00 + 1));
                    break;
                case Piece::Box:
                    put(0x2500 + pick(0x80));
                    break;
                case Piece::Emoji:
                    put(kEmoji[pick(kEmoji.size())]);
                    break;
            }
        }
        if (m_text == Text::AsciiArabic) {
            // All ASCII so far: a byte is a character.
            std::string letter;
            appendUtf8(letter, kFirstArabic + pick(kArabicLetters));
            out.insert(out.size() / 2, letter);
        }
        return out;
    }

  private:
    enum class Piece {
        Ascii,
        Accented,
        Marked,
        Cjk,
        Box,
        Emoji,
        Latin,
        Digit,
        Arabic,
        Hebrew,
        ArabicMarked,
        HebrewPointed,
        SymbolMarked
    };
    static constexpr char32_t kFirstArabic = 0x621;  // hamza to yeh
    static constexpr std::size_t kArabicLetters = 0x64A - 0x621 + 1;
    static constexpr char32_t kFirstHebrew = 0x5D0;  // alef to tav
    static constexpr std::size_t kHebrewLetters = 0x5EA - 0x5D0 + 1;

    /// What the next word of right-to-left text is, for `roll` drawn from [0, 20): 3 in 10 Latin, 4 in 10
    /// Arabic and the rest numbers; or Hebrew, with a number one word in five.
    [[nodiscard]] Piece wordOf(std::uint32_t roll) const {
        if (m_text == Text::Hebrew)
            return roll < 16 ? Piece::Hebrew : Piece::Digit;
        return roll < 6 ? Piece::Latin : roll < 14 ? Piece::Arabic : Piece::Digit;
    }

    /// What comes next in a line of the text, for `roll` drawn from [0, 90).
    [[nodiscard]] Piece pieceOf(std::uint32_t roll) const {
        switch (m_text) {
            case Text::Install:
            case Text::Ascii:
            case Text::AsciiArabic:
            case Text::Tabs:
                return Piece::Ascii;
            case Text::Cjk:
                return Piece::Cjk;
            case Text::Emoji:
                return Piece::Emoji;
            case Text::Marks:
                return Piece::Marked;
            case Text::Arabic:
            case Text::Hebrew:
                return Piece::Latin;  // chosen by the word instead
            case Text::ArabicMarks:
                return Piece::ArabicMarked;
            case Text::HebrewPoints:
                return Piece::HebrewPointed;
            case Text::SymbolMarks:
                return Piece::SymbolMarked;
            case Text::Mixed:
                break;
        }
        // By weight out of 90: ASCII 21, accented letters 10, a letter and a mark 5, CJK 20, box drawing 10,
        // emoji 24. A million characters of it come to 36 rows of the runner's.
        constexpr std::array<std::pair<std::uint32_t, Piece>, 6> kMix{{{21, Piece::Ascii},
                                                                       {31, Piece::Accented},
                                                                       {36, Piece::Marked},
                                                                       {56, Piece::Cjk},
                                                                       {66, Piece::Box},
                                                                       {90, Piece::Emoji}}};
        for (const auto& [below, piece] : kMix) {
            if (roll < below)
                return piece;
        }
        return Piece::Emoji;
    }

    static constexpr std::string_view kAscii = "abcdefghijklmnopqrstuvwxyz0123456789-_./:=";
    /// Single code points drawn as emoji by default: faces, and transport and map symbols.
    static constexpr auto kEmoji = [] {
        std::array<char32_t, 80 + 70> emoji{};
        for (std::size_t index = 0; index < 80; ++index)
            emoji[index] = 0x1F600 + static_cast<char32_t>(index);
        for (std::size_t index = 0; index < 70; ++index)
            emoji[80 + index] = 0x1F680 + static_cast<char32_t>(index);
        return emoji;
    }();

    Text m_text;
    Length m_length;
};

/// A fix whose output is `lines` lines made by `make`, produced on a task of its own as a process would, and
/// held back as a process is when its reader falls behind.
quill::Stream<Event> fakeInstall(long lines, const LineMaker& make) {
    return quill::streamFromTask<Event>(
        [lines, make](const quill::StreamSink<Event>& sink, const std::stop_token& stop) {
            for (long line = 1; line <= lines && !stop.stop_requested(); ++line) {
                sink.yield(Event::Output{make(line)});
                if (line % 4096 == 0)
                    sink.waitUntilTaken(stop);
            }
            sink.yield(Event::Completed{0});
        });
}

/// The CPU time the calling thread has used, in milliseconds.
double threadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
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
double engineMilliseconds(long lines, const LineMaker& make) {
    const auto start = Clock::now();
    auto stream = fakeInstall(lines, make);
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

std::vector<double> engineFloor(long lines, const LineMaker& make) {
    std::vector<double> times;
    times.reserve(kFloorRuns);
    for (int run = 0; run < kFloorRuns; ++run)
        times.push_back(engineMilliseconds(lines, make));
    return times;
}

/// Times every outermost dispatch of the GUI thread, timers' and posted events' among them, on the clock and
/// in the thread's CPU time, and calls `afterPaint` after each paint.
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
        const double cpuStart = outermost ? threadCpuMilliseconds() : 0;
        const bool handled = dispatch(receiver, event);
        if (outermost) {
            const double cpu = threadCpuMilliseconds() - cpuStart;
            const double took =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count() - heldInDispatch;
            const std::string what = std::to_string(type) + " to " + className;
            if (took > longestDispatch) {
                longestDispatch = took;
                longestWhat = what;
            }
            if (cpu > longestCpuDispatch) {
                longestCpuDispatch = cpu;
                longestCpuWhat = what;
            }
            if (Clock::now() <= aroundUntil) {
                aroundDispatch = std::max(aroundDispatch, took);
                if (cpu > aroundCpuDispatch) {
                    aroundCpuDispatch = cpu;
                    aroundCpuWhat = what;
                }
            }
        }
        if (paint && receiver == counted)
            ++countedPaints;
        // Widgets are painted inside the dispatch of their window's update request.
        if (paint && measuring && afterPaint)
            afterPaint(receiver);
        return handled;
    }

    bool measuring = false;
    double longestDispatch = 0;     // on the clock, less `--hold`
    double longestCpuDispatch = 0;  // in the GUI thread's CPU time
    double heldInDispatch = 0;      // milliseconds of `--hold` inside the current outermost dispatch
    std::string longestWhat;        // the event type and receiver of the longest dispatch
    std::string longestCpuWhat;
    /// The longest dispatches that end by `aroundUntil`, once it is set.
    Clock::time_point aroundUntil;
    double aroundDispatch = 0;
    double aroundCpuDispatch = 0;
    std::string aroundCpuWhat;
    std::function<void(QObject*)> afterPaint;
    /// How many times `counted` was painted, timed or not.
    const QObject* counted = nullptr;
    long countedPaints = 0;

  private:
    bool dispatch(QObject* receiver, QEvent* event) {
        ++m_depth;
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        return handled;
    }
    int m_depth = 0;
};

/// Pages the log down from its top, or right from its left edge at the rows in view, one page per turn of the
/// event loop, each painted at once, and keeps the GUI thread's CPU time of each page: the scroll, the paint
/// and the events they posted, and how many times the viewport was painted in them (`paints` counts them).
class Pager {
  public:
    Pager(QAbstractScrollArea& view, Qt::Orientation direction, int pages, const long& paints,
          std::function<void()> done)
        : m_view(view), m_direction(direction), m_pages(pages), m_paints(paints), m_done(std::move(done)) {}

    void start() {
        bar()->setValue(0);
        m_view.viewport()->repaint();
        QTimer::singleShot(0, &m_view, [this] { page(); });
    }

    [[nodiscard]] const std::vector<double>& milliseconds() const { return m_milliseconds; }
    [[nodiscard]] long paints() const { return m_paged; }

  private:
    [[nodiscard]] QScrollBar* bar() const {
        return m_direction == Qt::Vertical ? m_view.verticalScrollBar() : m_view.horizontalScrollBar();
    }

    /// Out of line, so that Callgrind counts the pages alone with
    /// `--toggle-collect='(anonymous namespace)::Pager::page()'`.
    [[gnu::noinline]] void page() {
        auto* bar = this->bar();
        if (static_cast<int>(m_milliseconds.size()) == m_pages || bar->value() == bar->maximum()) {
            m_done();
            return;
        }
        const double start = threadCpuMilliseconds();
        const long paintsBefore = m_paints;
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        m_view.viewport()->repaint();
        QCoreApplication::sendPostedEvents();
        m_milliseconds.push_back(threadCpuMilliseconds() - start);
        m_paged += m_paints - paintsBefore;
        QTimer::singleShot(0, &m_view, [this] { page(); });
    }

    QAbstractScrollArea& m_view;
    Qt::Orientation m_direction;
    int m_pages;
    const long& m_paints;
    long m_paged = 0;
    std::function<void()> m_done;
    std::vector<double> m_milliseconds;
};

/// Prints what each page of `pager` took, if it paged.
void printPages(const Pager& pager, const char* label) {
    const auto& perPage = pager.milliseconds();
    if (perPage.empty())
        return;
    double total = 0;
    for (const double page : perPage)
        total += page;
    std::printf("%-28s%.2f ms (median %.2f, longest %.2f; %zu pages, %.2f paints a page)\n", label,
                total / static_cast<double>(perPage.size()), median(perPage),
                *std::max_element(perPage.begin(), perPage.end()), perPage.size(),
                static_cast<double>(pager.paints()) / static_cast<double>(perPage.size()));
}

/// The CPU time of the process, all its threads, in milliseconds.
double processCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto milliseconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

/// The process's and the GUI thread's CPU time over a stretch of the run, and the time on the clock.
class Stretch {
  public:
    void start() {
        m_process = -processCpuMilliseconds();
        m_thread = -threadCpuMilliseconds();
        m_wall = -nowMilliseconds();
    }
    void stop() {
        m_process += processCpuMilliseconds();
        m_thread += threadCpuMilliseconds();
        m_wall += nowMilliseconds();
        m_stopped = true;
    }
    /// `this` less `part`, a stretch within it.
    [[nodiscard]] Stretch less(const Stretch& part) const {
        Stretch rest = *this;
        if (part.m_stopped) {
            rest.m_process -= part.m_process;
            rest.m_thread -= part.m_thread;
            rest.m_wall -= part.m_wall;
        }
        return rest;
    }
    [[nodiscard]] bool stopped() const { return m_stopped; }
    void print(const char* label, const char* goal) const {
        std::printf("%-28s%.1f ms CPU in %.1f ms, %.1f %% of a core (goal %s); GUI thread %.1f ms\n", label,
                    m_process, m_wall, m_wall > 0 ? 100 * m_process / m_wall : 0.0, goal, m_thread);
    }

  private:
    static double nowMilliseconds() {
        return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
    }
    double m_process = 0;
    double m_thread = 0;
    double m_wall = 0;
    bool m_stopped = false;
};

/// The width of the widest row of `log` shaped whole, in the log's font on its viewport: each laid out as
/// one left-to-right paragraph on one line, tab stops counted from its start.
qreal widestShapedRow(const quill::ui::InstallLogView& log) {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    qreal widest = 0;
    for (int row = 0; row < log.model()->rowCount(); ++row) {
        QTextLayout layout(log.model()->index(row, 0).data().toString(), log.font(), log.viewport());
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(std::numeric_limits<int>::max());
        layout.endLayout();
        widest = std::max(widest, line.horizontalAdvance());
    }
    return widest;
}

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
    std::optional<Text> text = Text::Install;
    std::optional<Length> length = Length{};
    bool throughRunner = false;
    int pages = 0;
    int sideways = 0;
    int fontChangeAt = 0;
    double hideIdle = 0;
    bool skipIdle = false;
    bool checkRange = false;
    bool understood = true;
    for (int index = 1; index < argc && understood; ++index) {
        const std::string flag = argv[index];
        if (flag == "--runner") {
            throughRunner = true;
            continue;
        }
        if (flag == "--check-range") {
            checkRange = true;
            continue;
        }
        if (flag == "--skip-idle") {
            skipIdle = true;
            continue;
        }
        understood = index + 1 < argc;
        const char* value = understood ? argv[++index] : "";
        if (flag == "--lines")
            lines = std::atol(value);
        else if (flag == "--tool")
            tool = value;
        else if (flag == "--text")
            text = textNamed(value);
        else if (flag == "--length")
            length = lengthNamed(value);
        else if (flag == "--pages")
            pages = std::atoi(value);
        else if (flag == "--sideways")
            sideways = std::atoi(value);
        else if (flag == "--font-change")
            fontChangeAt = std::atoi(value);
        else if (flag == "--hide-idle")
            hideIdle = std::atof(value);
        else if (flag == "--font")
            family = value;
        else if (flag == "--cancel-after")
            cancelAfter = std::atof(value);
        else if (flag == "--hold")
            hold = std::atof(value);
        else if (flag == "--time-limit")
            timeLimit = std::atol(value);
        else
            understood = false;
    }
    if (!understood || (lines <= 0) == tool.empty() || timeLimit <= 0 || !text || !length ||
        (throughRunner && lines <= 0) || pages < 0 || sideways < 0 || fontChangeAt < 0 || hideIdle < 0 ||
        (skipIdle && (checkRange || hideIdle > 0))) {
        std::fprintf(
            stderr,
            "usage: %s --lines <n> [--text install|ascii|cjk|emoji|marks|mixed|arabic|hebrew|"
            "arabic-marks|hebrew-points|symbol-marks|ascii-arabic|tabs]\n"
            "       [--length short|long|<chars>] [--runner] | --tool <command> [--cancel-after <s>]\n"
            "       [--pages <n>] [--sideways <n>] [--check-range | --skip-idle] [--hide-idle <s>] "
            "[--font-change <n>]\n"
            "       [--font <family|file>] [--hold <s>] [--time-limit <s>]\n",
            argv[0]);
        return 2;
    }
    const LineMaker make(*text, *length);
    const bool inProcess = lines > 0 && !throughRunner;
    const Watch watch{std::chrono::seconds(timeLimit)};

    TimedApplication app(argc, argv);
    const quill::ScopedProductConfig config(quill::products::code());
    quill::ui::AppNavigation navigation;
    quill::ui::ProfileHolder profile;
    NoUrls urls;
    NoClipboard clipboard;
    quill::ui::ScreenContext context{navigation,           profile,  quill::AppServices{}, urls,
                                     quill::ui::Timings{}, clipboard};

    // The bare stream is the floor of the install's own lines; other text takes longer to make than to show.
    const bool timeFloor = inProcess && *text == Text::Install;
    const std::vector<double> floorBefore = timeFloor ? engineFloor(lines, make) : std::vector<double>{};

    const std::string scratch = "/tmp/quill-sheet-bench-" + std::to_string(getpid());
    if (throughRunner) {
        std::ofstream file(scratch + ".txt", std::ios::binary);
        for (long line = 1; line <= lines; ++line)
            file << make(line) << '\n';
        tool = "cat " + scratch + ".txt";
    }
    quill::ui::InstallRun::RunFix runFix;
    if (inProcess) {
        runFix = [lines, make](const quill::SetupRemediation&, const std::string&) {
            return fakeInstall(lines, make);
        };
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

    const QString lastLine = QString::fromStdString(make(lines));
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

    auto* log = sheet.log();
    // The font grows by a point in a dispatch of its own once enough lines have come, as when the user
    // changes the text size while the output arrives.
    int fontChangedAtRow = -1;
    bool endBeforeChange = false;
    bool endAfterChange = false;
    if (fontChangeAt > 0) {
        QObject::connect(&sheet.run(), &quill::ui::InstallRun::linesAppended, [&] {
            if (fontChangedAtRow >= 0 || log->model()->rowCount() < fontChangeAt)
                return;
            fontChangedAtRow = log->model()->rowCount();
            QTimer::singleShot(0, log, [&] {
                endBeforeChange = log->isAtEnd();
                app.aroundUntil = Clock::now() + std::chrono::seconds(1);
                QFont bigger = log->font();
                bigger.setPointSizeF(bigger.pointSizeF() + 1);
                log->setFont(bigger);
                endAfterChange = log->isAtEnd();
            });
        });
    }

    // exit, not quit: quitting first closes the windows, and an ended sheet refuses its close box.
    app.counted = log->viewport();
    Pager across(*log, Qt::Horizontal, sideways, app.countedPaints, [] { QCoreApplication::exit(0); });
    Pager down(*log, Qt::Vertical, pages, app.countedPaints, [&] {
        if (sideways > 0)
            across.start();
        else
            QCoreApplication::exit(0);
    });
    const auto pagesOrExit = [&] {
        app.measuring = false;
        if (pages > 0)
            down.start();
        else if (sideways > 0)
            across.start();
        else
            QCoreApplication::exit(0);
    };
    // Once the last line is painted the log measures its lines in idle time; the dispatches go on being
    // timed until it has ended.
    double measuredMilliseconds = -1;
    qreal range = -1;
    Stretch idle;    // from the last line painted until the idle work has ended
    Stretch hidden;  // within it, while the sheet is hidden
    bool measuringWhenShown = false;
    QTimer settle;
    settle.setInterval(10);
    QObject::connect(&settle, &QTimer::timeout, [&] {
        if (log->isMeasuring())
            return;
        idle.stop();
        settle.stop();
        measuredMilliseconds = static_cast<double>(clock.nsecsElapsed()) / 1e6 - sheetMilliseconds;
        range = log->widestLine();
        pagesOrExit();
    });
    // Hidden, the sheet is out of the gap figure: its timer stops.
    const auto hideThenSettle = [&] {
        app.setQuitOnLastWindowClosed(false);
        ticker.stop();
        hidden.start();
        sheet.hide();
        QTimer::singleShot(static_cast<int>(hideIdle * 1000), &app, [&] {
            hidden.stop();
            measuringWhenShown = log->isMeasuring();
            sheet.show();
            lastTick = clock.elapsed();
            ticker.start();
            settle.start();
        });
    };
    bool endAtLastLine = false;
    const auto finish = [&](bool atEnd) {
        if (sheetMilliseconds >= 0)
            return;
        sheetMilliseconds = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        residentAtEnd = residentMegabytes();
        endAtLastLine = atEnd;
        idle.start();
        if (cancelAfter >= 0)
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        else if (skipIdle || ((pages > 0 || sideways > 0) && !checkRange))
            QTimer::singleShot(0, &app, pagesOrExit);
        else if (hideIdle > 0)
            QTimer::singleShot(0, &app, hideThenSettle);
        else
            settle.start();
    };
    app.afterPaint = [&](QObject* receiver) {
        if (receiver != log->viewport() || sheet.run().isRunning() || cancelAfter >= 0)
            return;
        const auto* model = log->model();
        const int rows = model->rowCount();
        const bool atEnd = log->isAtEnd();
        // After a font change the end may be out of view; that is a figure, not a reason to wait.
        if (inProcess && (rows == 0 || model->index(rows - 1, 0).data().toString() != lastLine ||
                          (!atEnd && fontChangedAtRow < 0)))
            return;
        finish(atEnd);
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
            finish(false);
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
    if (*text != Text::Install)
        std::printf("text:                       %s, %ld-%ld characters a line\n", textName(*text),
                    length->shortest, length->longest);
    std::printf("rows in the log:            %d\n", log->model()->rowCount());
    std::printf("longest GUI dispatch, CPU:  %.1f ms (target < 50 ms; event %s)\n", app.longestCpuDispatch,
                app.longestCpuWhat.c_str());
    std::printf("longest GUI dispatch:       %.1f ms on the clock (event %s)\n", app.longestDispatch,
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
    printPages(down, "CPU per page-down:");
    printPages(across, "CPU per sideways page:");
    if (fontChangedAtRow >= 0) {
        const auto yesNo = [](bool yes) { return yes ? "yes" : "no"; };
        std::printf(
            "font change:                1 pt larger at %d rows; at the end before it %s, right after it "
            "%s, at the last line %s\n",
            fontChangedAtRow, yesNo(endBeforeChange), yesNo(endAfterChange), yesNo(endAtLastLine));
        std::printf("longest dispatch, 1 s from the change: %.1f ms CPU (event %s), %.1f ms on the clock\n",
                    app.aroundCpuDispatch, app.aroundCpuWhat.c_str(), app.aroundDispatch);
    }
    if (measuredMilliseconds >= 0)
        std::printf("width work ended:           %.1f ms after the last line was painted\n",
                    measuredMilliseconds);
    if (idle.stopped() && hidden.stopped()) {
        hidden.print("idle work, hidden:", "none");
        idle.less(hidden).print("idle work, shown:", "at most 30 %");
        std::printf("still measuring when shown: %s\n", measuringWhenShown ? "yes" : "no");
    } else if (idle.stopped()) {
        idle.print("idle work:", "at most 30 %");
    }
    if (checkRange && range >= 0) {
        const qreal widest = widestShapedRow(*log);
        std::printf(
            "range once measured:        %.1f px; the widest row shaped whole %.1f px (%+.1f px; goal "
            "within 1 px)\n",
            range, widest, range - widest);
    }
    if (timeFloor) {
        const auto floorAfter = engineFloor(lines, make);
        const double before = median(floorBefore);
        const double after = median(floorAfter);
        const double floor = std::min(before, after);
        std::printf("lines:                      %ld\n", lines);
        std::printf("last line painted, sheet:   %.1f ms\n", sheetMilliseconds);
        std::printf("engine floor, before/after: %.1f / %.1f ms (median of %d each)\n", before, after,
                    kFloorRuns);
        std::printf("sheet / lower floor:        %.2f (target < 2)\n", sheetMilliseconds / floor);
    } else if (inProcess) {
        std::printf("lines:                      %ld\n", lines);
        std::printf("last line painted, sheet:   %.1f ms\n", sheetMilliseconds);
    } else {
        const std::string toolEnd = readFile(scratch + ".end");
        if (cancelAfter >= 0)
            std::printf("tool ended after Cancel:    %.1f ms\n", cancelMilliseconds);
        else if (!toolEnd.empty() && runEndedAt > 0)
            std::printf("run ended after the tool:   %.1f ms (the last line painted at %.1f ms)\n",
                        (runEndedAt - std::atof(toolEnd.c_str())) * 1000, sheetMilliseconds);
        std::remove((scratch + ".pid").c_str());
        std::remove((scratch + ".end").c_str());
        std::remove((scratch + ".txt").c_str());
    }
    return sheetMilliseconds < 0 && !stoppedForMemory ? 1 : 0;
}
