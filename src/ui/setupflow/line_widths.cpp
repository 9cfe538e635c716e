#include "ui/setupflow/line_widths.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "ui/setupflow/bidi_levels.h"

namespace quill::ui {

namespace {

constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kLastPrintable = 0x7e;
/// Code units looked at either side of a cut for a boundary between clusters.
constexpr qsizetype kWindow = 32;
/// Regional indicators counted back from a cut to pair them as a flag does.
constexpr qsizetype kMostIndicators = 64;

/// How a code point takes part in a line's width: it advances; or it joins the cluster before it and
/// advances nothing, as a mark where the font has it, or always, as a joiner, a variation selector or a tag;
/// or it advances nothing on its own.
enum class Kind { spacing, mark, joining, alone };

Kind kindOf(char32_t c) {
    if (c < 0x300)
        return c == 0xAD ? Kind::alone : Kind::spacing;  // the soft hyphen shows only where a line wraps
    if (c == 0x200B || c == 0x2060 || c == 0xFEFF)
        return Kind::alone;
    if (c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0020 && c <= 0xE007F) ||
        (c >= 0xE0100 && c <= 0xE01EF))
        return Kind::joining;
    const auto category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ? Kind::mark
                                                                                   : Kind::spacing;
}

/// The code point that starts at `at`, and its code units.
std::pair<char32_t, qsizetype> codePointAt(QStringView text, qsizetype at) {
    const QChar c = text[at];
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text[at + 1]), 2};
    return {c.unicode(), 1};
}

/// The code point that ends at `at`, and its code units.
std::pair<char32_t, qsizetype> codePointBefore(QStringView text, qsizetype at) {
    const QChar c = text[at - 1];
    if (c.isLowSurrogate() && at >= 2 && text[at - 2].isHighSurrogate())
        return {QChar::surrogateToUcs4(text[at - 2], c), 2};
    return {c.unicode(), 1};
}

bool isPrintableAscii(QStringView line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) {
        return c.unicode() >= kFirstPrintable && c.unicode() <= kLastPrintable;
    });
}

/// `at`, or where the code point it falls inside of ends (`forward`) or starts.
qsizetype outsideSurrogatePair(QStringView text, qsizetype at, bool forward) {
    if (at > 0 && at < text.size() && text[at].isLowSurrogate() && text[at - 1].isHighSurrogate())
        return forward ? at + 1 : at - 1;
    return at;
}

/// Whether a colour emoji font may draw `c`: the symbols, pictographs and emoji it covers.
bool mayBeColour(char32_t c) {
    return c == 0xA9 || c == 0xAE || (c >= 0x2000 && c < 0x2C00) || (c >= 0x3030 && c < 0x32A0) ||
           (c >= 0x1F000 && c < 0x1FB00);
}

/// Lays `layout` out on one line with its text option, and gives its advance.
qreal layOutLine(QTextLayout& layout) {
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(std::numeric_limits<int>::max());
    layout.endLayout();
    return line.isValid() ? line.horizontalAdvance() : 0;
}

/// `layout`, laid out with its tab stops, `every` pixels apart, counted from its own start and `advance`
/// wide, laid out again with those of a line it starts at `x` in, where they differ and it holds a tab; gives
/// its advance.
qreal fromTabStops(QTextLayout& layout, qreal every, qreal x, qreal advance) {
    // Qt counts tab stops from a layout's own start, and past the stops it is given, every tab stop distance
    // from there on. Text that starts off a stop of its line is given the line's stops from its start to past
    // its advance (on either stops, it advances within a distance of the other). Laid out again, it keeps its
    // glyphs. Qt looks through the stops for each tab, and for a left tab adds up the advances of all the
    // text after it: a tab aligned on a character the text does not hold is placed as a left tab without
    // that. A slice draws a few thousand code units at most, and no character but a tab advances as much as a
    // stop distance: a few thousand stops at most; a piece of idle work that starts off a stop holds one tab.
    constexpr qreal kOnStop = 1.0 / 128;  // half of Qt's unit of advance
    constexpr QChar kAbsent(0xFFFF);      // a noncharacter
    const qreal past = x - std::floor(x / every) * every;
    const QString& text = layout.text();
    if (past < kOnStop || every - past < kOnStop || !text.contains(u'\t'))
        return advance;
    const auto type = text.contains(kAbsent) ? QTextOption::LeftTab : QTextOption::DelimiterTab;
    QTextOption option = layout.textOption();
    QList<QTextOption::Tab> stops;
    for (qreal stop = every - past; stop < advance + 2 * every; stop += every)
        stops.append(QTextOption::Tab(stop, type, kAbsent));
    option.setTabs(stops);
    layout.setTextOption(option);
    advance = layOutLine(layout);
    // Qt counts its own stops in the line's x rounded to a 64th of the stop distance: a tab that starts less
    // than half of that before a stop reaches the one after. Given stops, a tab reaches the first past it; so
    // each tab is given where it lands in the line, and the text after such a tab moves a whole stop on.
    const qreal early = every / 128;
    const QTextLine line = layout.lineAt(0);
    QList<QTextOption::Tab> landings;
    qreal shift = 0;
    for (qsizetype at = text.indexOf(u'\t'); at >= 0; at = text.indexOf(u'\t', at + 1)) {
        const qreal start = line.cursorToX(static_cast<int>(at)) + past;
        const qreal stop = (std::floor(start / every) + 1) * every;
        if (stop - start < early)
            shift += every;
        landings.append(QTextOption::Tab(stop + shift - past, type, kAbsent));
    }
    if (shift == 0)
        return advance;
    for (qreal stop = landings.back().position + every; stop < advance + shift + 2 * every; stop += every)
        landings.append(QTextOption::Tab(stop, type, kAbsent));
    option.setTabs(landings);
    layout.setTextOption(option);
    return layOutLine(layout);
}

/// Where the first run of `runs` longer than `LineWidths::kRunPiece` that starts after `unit` starts, or
/// `end`.
qsizetype longRunAfter(std::span<const LineWidths::Run> runs, qsizetype unit, qsizetype end) {
    for (auto run =
             std::upper_bound(runs.begin(), runs.end(), unit,
                              [](qsizetype at, const LineWidths::Run&each) { return at < each.start; });
         run != runs.end(); ++run) {
        if (run->end - run->start > LineWidths::kRunPiece)
            return run->start;
    }
    return end;
}

bool isRegionalIndicatorBefore(QStringView text, qsizetype at) {
    if (at < 2)
        return false;
    const auto [c, units] = codePointBefore(text, at);
    return units == 2 && c >= 0x1F1E6 && c <= 0x1F1FF;
}

/// Where a line may be given levels other than the paragraph's: Qt's layout gives it any only for a code
/// unit at or above U+0590 of a class that reads right to left or embeds, and then only from the first such
/// unit, to the end of the line where it has an embedding or isolate code, else to the last such unit.
struct Relevant {
    qsizetype first = -1;
    qsizetype last = -1;
    bool embeds = false;
};

Relevant relevantUnits(QStringView line) {
    constexpr char16_t kFirstRightToLeft = 0x590;  // Hebrew's first
    Relevant relevant;
    const auto* begin = line.begin();
    for (const auto* at = std::find_if(begin, line.end(), [](QChar c) { return c >= kFirstRightToLeft; });
         at != line.end(); ++at) {
        if (at->unicode() < kFirstRightToLeft)
            continue;
        switch (at->direction()) {
            case QChar::DirLRE:
            case QChar::DirLRO:
            case QChar::DirRLE:
            case QChar::DirRLO:
            case QChar::DirPDF:
            case QChar::DirLRI:
            case QChar::DirRLI:
            case QChar::DirFSI:
            case QChar::DirPDI:
                relevant.embeds = true;
                [[fallthrough]];
            case QChar::DirR:
            case QChar::DirAN:
            case QChar::DirAL:
                if (relevant.first < 0)
                    relevant.first = at - begin;
                relevant.last = at - begin;
                break;
            default:
                break;
        }
    }
    return relevant;
}

/// The brackets that pair under the bidirectional algorithm, as it pairs them: an opening one waits for its
/// closing one, which closes it and any opened since; at most 63 wait at once, past which none pairs.
class Brackets {
  public:
    /// Takes the code unit `c` in; false once too many are open.
    bool take(char16_t c) {
        const char32_t paired = pairedBracket(c);
        if (paired != 0 && paired != c) {
            if (m_open.size() == kMostOpenBrackets)
                return false;
            m_open.push_back(paired);
        } else if (paired != 0) {
            for (auto at = m_open.size(); at-- > 0;) {
                if (closesBracket(c, m_open[at])) {
                    m_open.resize(at);
                    break;
                }
            }
        }
        return true;
    }
    [[nodiscard]] bool empty() const { return m_open.empty(); }

  private:
    std::vector<char32_t> m_open;
};

/// The part of `line` whose levels are resolved: around its relevant code units, from where no bracket
/// is open before the first (the text before reads left to right, at the paragraph's level) to a code point
/// that reads left to right after the last where none is (the text after it too).
std::pair<qsizetype, qsizetype> resolvedPart(QStringView line, const Relevant& relevant) {
    Brackets brackets;
    qsizetype from = 0;
    for (qsizetype at = 0; at < relevant.first; ++at) {
        if (!brackets.take(line[at].unicode()))
            return {0, line.size()};
        if (brackets.empty())
            from = at + 1;
    }
    if (relevant.embeds)
        return {from, line.size()};
    brackets = Brackets();
    for (qsizetype at = from; at < line.size(); ++at) {
        if (at > relevant.last && brackets.empty() &&
            QChar::direction(codePointAt(line, at).first) == QChar::DirL)
            return {from, at};
        if (!brackets.take(line[at].unicode()))
            return {from, line.size()};
    }
    return {from, line.size()};
}

/// Adds to `runs` the stretches of [`from`, `to`) drawn right to left in a line laid out at the even level
/// `base`: those above it whose lowest level is odd, each reversed as a whole; where the lowest is even, the
/// stretches inside it drawn so.
void collectRuns(const std::vector<unsigned char>& levels, qsizetype from, qsizetype to, int base,
                 std::vector<LineWidths::Run>& runs) {
    const auto levelAt = [&](qsizetype at) { return static_cast<int>(levels[static_cast<std::size_t>(at)]); };
    for (qsizetype at = from; at < to;) {
        if (levelAt(at) <= base) {
            ++at;
            continue;
        }
        qsizetype end = at;
        int lowest = std::numeric_limits<int>::max();
        for (; end < to && levelAt(end) > base; ++end)
            lowest = std::min(lowest, levelAt(end));
        if ((lowest & 1) != 0)
            runs.push_back({at, end});
        else
            collectRuns(levels, at, end, lowest, runs);
        at = end;
    }
}

/// Whether the bidirectional algorithm leaves the code unit at `at` out of the text it resolves.
bool isRemoved(QStringView line, qsizetype at) {
    return isRemovedByBidi(line[at].direction());
}

/// What a part of `line` from `start`, laid out on its own, starts with so that it reads as it does in the
/// line: where a tab lies between the last strong code point before it and its own first (it starts at the
/// tab, at white space before it or just past it), a mark of that code point's direction where it reads
/// right to left (the neutrals and numbers past the tab take it, across the tab), else nothing. Looked for a
/// row back at most.
QString markBefore(QStringView line, qsizetype start) {
    qsizetype first = start;
    while (first < line.size() && line[first] != u'\t' && line[first].isSpace())
        ++first;
    bool tab = first < line.size() && line[first] == u'\t';
    for (qsizetype at = start; at > 0 && start - at < LineWidths::kMostPainted;) {
        const auto [c, units] = codePointBefore(line, at);
        switch (QChar::direction(c)) {
            case QChar::DirR:
                return tab ? QStringLiteral("\u200F") : QString();
            case QChar::DirAL:
                return tab ? QStringLiteral("\u061C") : QString();
            case QChar::DirL:
                return {};
            default:
                tab = tab || c == U'\t';
                at -= units;
                break;
        }
    }
    return {};
}

/// The embedding, override and isolate codes of `run` before `at` still open there, in order.
QString openBefore(QStringView line, LineWidths::Run run, qsizetype at) {
    QString open;
    for (qsizetype unit = run.start; unit < at; ++unit) {
        const QChar c = line[unit];
        switch (c.direction()) {
            case QChar::DirLRE:
            case QChar::DirRLE:
            case QChar::DirLRO:
            case QChar::DirRLO:
            case QChar::DirLRI:
            case QChar::DirRLI:
            case QChar::DirFSI:
                open.append(c);
                break;
            case QChar::DirPDF:
                if (!open.isEmpty() && isEmbeddingCode(open.back().direction()))
                    open.chop(1);
                break;
            case QChar::DirPDI:
                while (!open.isEmpty() && isEmbeddingCode(open.back().direction()))
                    open.chop(1);
                if (!open.isEmpty())
                    open.chop(1);
                break;
            default:
                break;
        }
    }
    return open;
}

/// `text`, a part of `run` from `at`, as laid out on its own to read as in the line: in a left-to-right
/// paragraph between two right-to-left marks, in the codes of the run open where it starts.
QString inRun(QStringView line, LineWidths::Run run, qsizetype at, QStringView text) {
    return QStringLiteral("\u200F") + openBefore(line, run, at) + text.toString() + QStringLiteral("\u200F");
}

}  // namespace

LineWidths::LineWidths(const QFont& font) : m_font(font), m_metrics(font) {
    // Read once per font: whether its pitch flag says so or not, a font whose printable ASCII characters
    // all advance the same is measured by counting them.
    qreal narrowest = std::numeric_limits<qreal>::max();
    qreal widest = 0;
    for (char16_t c = kFirstPrintable; c <= kLastPrintable; ++c) {
        const qreal advance = m_metrics.horizontalAdvance(QChar(c));
        m_advance[c - kFirstPrintable] = advance;
        narrowest = std::min(narrowest, advance);
        widest = std::max(widest, advance);
    }
    m_equal = widest - narrowest < 1e-3;
    m_narrowest = std::max<qreal>(narrowest, 1);
    // Other text may fall back on other fonts: an ideograph or an emoji takes about two cells, a dash of
    // three ems three. None is taken to be wider than the widest of these as this font and its fallbacks draw
    // them, or than the font's own widest glyph, which comes in whole pixels (hence the pixel more).
    m_widest = std::max(m_metrics.maxWidth() + 1, 2 * widest);
    for (const char16_t* wide : {u"\u4E00", u"\uFF37", u"\u2E3B", u"\U0001F600"})
        m_widest = std::max(m_widest, m_metrics.horizontalAdvance(QString::fromUtf16(wide)));
    // A tab from the line's start reaches the first tab stop: the distance between stops.
    m_tabStop = std::max<qreal>(m_metrics.horizontalAdvance(QStringLiteral("\t")), 1);
}

bool LineWidths::hasMark(char32_t c) const {
    // Asking the font costs microseconds: a log of marks would hold the window on a font change.
    if (c >= kMarksEnd)
        return m_metrics.inFontUcs4(c);
    if (m_marks.empty())
        m_marks.resize(kMarksEnd, Known::unknown);
    auto& known = m_marks[c];
    if (known == Known::unknown)
        known = m_metrics.inFontUcs4(c) ? Known::yes : Known::no;
    return known == Known::yes;
}

qreal LineWidths::stepAfter(char32_t c, QChar before, qreal x) const {
    if (c >= kFirstPrintable && c <= kLastPrintable)
        return x + m_advance[c - kFirstPrintable];
    if (c == U'\t') {
        // Short of a stop by less than a 128th of the distance, it reaches the one after (`fromTabStops`).
        return (std::floor((x + m_tabStop / 128) / m_tabStop) + 1) * m_tabStop;
    }
    switch (kindOf(c)) {
        case Kind::spacing:
            return x + m_widest;
        case Kind::mark:
            // A mark with nothing before it, or one the font has not (drawn in a fallback font, apart from
            // its letter), is drawn on a dotted circle of its own.
            return before.isNull() || !hasMark(c) ? x + m_widest : x;
        case Kind::joining:
        case Kind::alone:
            break;
    }
    return x;
}

LineWidths::Bound LineWidths::bound(QStringView line) const {
    if (m_equal && isPrintableAscii(line))
        return {static_cast<qreal>(line.size()) * m_advance[0], true};
    // Added up from the advances of its characters alone, a line in a font whose advances differ may kern
    // narrower: its width is known once it is shaped.
    return {boundEnd(line, 0, line.size(), 0), false};
}

qreal LineWidths::boundEnd(QStringView line, qsizetype from, qsizetype to, qreal x) const {
    for (qsizetype at = from; at < to;) {
        const auto [c, units] = codePointAt(line, at);
        x = stepAfter(c, at > 0 ? line[at - 1] : QChar(), x);
        at += units;
    }
    return x;
}

qreal LineWidths::shapedWidth(QTextLayout& layout, const QString& text, qreal x) {
    layout.setText(text);
    return layOut(layout, x);
}

qreal LineWidths::layOut(QTextLayout& layout, qreal x) {
    ++m_shapingCalls;
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    // The log's direction, whatever text a slice starts with: right-to-left runs read so within it, as they
    // do in the whole line.
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);  // it is drawn next, from these glyphs
    return fromTabStops(layout, m_tabStop, x, layOutLine(layout));
}

qreal LineWidths::taken(char32_t c, qsizetype units) const {
    // Its own advance for printable ASCII, nothing for a mark or a default-ignorable code point, and the
    // narrowest advance for each code unit of any other: a little more is drawn than taken, not less, as a
    // rule.
    if (c >= kFirstPrintable && c <= kLastPrintable)
        return m_advance[c - kFirstPrintable];
    return kindOf(c) == Kind::spacing ? static_cast<qreal>(units) * m_narrowest : 0;
}

qreal LineWidths::taken(QStringView line, qsizetype from, qsizetype to) const {
    qreal x = 0;
    for (qsizetype at = from; at < to;) {
        const auto [c, units] = codePointAt(line, at);
        x += taken(c, units);
        at += units;
    }
    return x;
}

qsizetype LineWidths::unitsCovering(QStringView line, qsizetype from, qreal span, bool forward) const {
    // As much more as the slices before drew less than was taken for them.
    span *= m_drawnShort;
    qreal x = -4 * m_narrowest;  // a few characters more, for kerning and rounding
    qsizetype at = from;
    while (x < span && (forward ? at < line.size() : at > 0) && std::abs(at - from) < kMostPainted) {
        const auto [c, units] = forward ? codePointAt(line, at) : codePointBefore(line, at);
        x += taken(c, units);
        at += forward ? units : -units;
    }
    return std::abs(at - from);
}

qsizetype LineWidths::clusterBoundary(QStringView line, qsizetype at, bool forward) {
    const qsizetype length = line.size();
    if (at <= 0 || at >= length)
        return std::clamp<qsizetype>(at, 0, length);
    // Between two characters before the first combining mark no cluster goes on (but for CR LF).
    const char16_t before = line[at - 1].unicode();
    const char16_t after = line[at].unicode();
    if (before < 0x300 && after < 0x300 && !(before == u'\r' && after == u'\n'))
        return at;
    qsizetype begin = std::max<qsizetype>(at - kWindow, 0);
    const qsizetype end = std::min(at + kWindow, length);
    if (begin > 0 && line[begin].isLowSurrogate())
        --begin;
    // Regional indicators pair from the first of a run: the window starts there, or an even number back.
    for (qsizetype counted = 0; counted < kMostIndicators && isRegionalIndicatorBefore(line, begin);
         ++counted)
        begin -= 2;
    std::array<unsigned char, 2 * (kWindow + kMostIndicators) + 8> attributes{};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line.sliced(begin, end - begin),
                               attributes.data(), static_cast<qsizetype>(attributes.size()));
    finder.setPosition(at - begin);
    if (!finder.isAtBoundary()) {
        const qsizetype found = forward ? finder.toNextBoundary() : finder.toPreviousBoundary();
        // The window's own ends are boundaries only where they are the line's.
        if (found >= 0 && (found > 0 || begin == 0) && (begin + found < end || end == length))
            at = begin + found;
    }
    // Qt's finder can see a boundary inside an emoji that follows Devanagari or Thai.
    return outsideSurrogatePair(line, at, forward);
}

LineWidths::Traits LineWidths::traitsOf(QStringView line) {
    // The first code unit of the blocks where a right-to-left code point can be, which every run starts
    // with: most lines have none.
    const auto first = std::find_if(line.begin(), line.end(), [](QChar c) {
        const char16_t unit = c.unicode();
        return unit >= 0x590 &&
               (unit < 0x900 || unit == 0x200F || unit == 0x202B || unit == 0x202E || unit == 0x2067 ||
                unit == 0x2068 || (unit >= 0xFB1D && unit < 0xFE00) || (unit >= 0xFE70 && unit < 0xFF00) ||
                unit == 0xD802 || unit == 0xD803 || unit == 0xD83A || unit == 0xD83B);
    });
    Traits traits;
    if (first != line.end())
        traits.unfound = first - line.begin();
    return traits;
}

void LineWidths::findRuns(QStringView line, Traits& traits) {
    traits.runs = runsOf(line);
    traits.unfound = -1;
    const auto& runs = traits.runs;
    traits.pieceEnds.clear();
    if (std::any_of(runs.begin(), runs.end(),
                    [](const Run& run) { return run.end - run.start > kRunPiece; })) {
        traits.pieceEnds.reserve(runs.size());
        for (const auto& run : runs)
            traits.pieceEnds.push_back(run.end - run.start > kRunPiece ? runPieceEnds(line, run)
                                                                       : std::vector<qsizetype>());
    }
}

std::optional<std::size_t> LineWidths::Traits::longRunAt(qsizetype unit) const {
    if (pieceEnds.empty())
        return {};
    const auto run = std::upper_bound(runs.begin(), runs.end(), unit,
                                      [](qsizetype at, const Run& each) { return at < each.end; });
    if (run == runs.end() || run->start > unit)
        return {};
    const auto place = static_cast<std::size_t>(run - runs.begin());
    return pieceEnds[place].empty() ? std::nullopt : std::optional(place);
}

qsizetype LineWidths::Traits::nextLongRun(qsizetype unit, qsizetype end) const {
    return pieceEnds.empty() ? end : longRunAfter(runs, unit, end);
}

qsizetype LineWidths::outsideRun(std::span<const Run> runs, qsizetype at, bool forward) {
    // The first run that ends after `at`.
    const auto run = std::upper_bound(runs.begin(), runs.end(), at,
                                      [](qsizetype unit, const Run& each) { return unit < each.end; });
    if (run == runs.end() || run->start >= at || run->end - run->start > kRunPiece)
        return at;
    return forward ? run->end : run->start;
}

qsizetype LineWidths::cutOutside(std::span<const Run> runs, QStringView line, qsizetype at, bool forward) {
    return outsideRun(runs, clusterBoundary(line, at, forward), forward);
}

qsizetype LineWidths::endStart(QStringView line, std::span<const Run> runs, qreal span) const {
    return cutOutside(runs, line, line.size() - unitsCovering(line, line.size(), span, false), false);
}

qsizetype LineWidths::pieceEnd(QStringView line, qsizetype from, std::span<const Run> runs) {
    // Cut before a short run that the cut falls inside of, or after it where it starts the piece.
    const auto cut = [&](qsizetype at) {
        const qsizetype before = outsideRun(runs, at, false);
        return before > from ? before : outsideRun(runs, at, true);
    };
    // Never past the start of a long run, which is shaped in its own pieces.
    const qsizetype limit = longRunAfter(runs, from, line.size());
    qsizetype target = std::min(from + kPiece, limit);
    qsizetype colour = 0;
    for (qsizetype at = from; at < target;) {
        const auto [c, units] = codePointAt(line, at);
        if (mayBeColour(c) && ++colour > kMostColour)
            target = at;
        else
            at += units;
    }
    // One that may start off a tab stop of its line (neither at its start nor after a tab) ends after its
    // first tab, so that the next starts on a stop: laid out off a stop, a piece's tabs cost more (`layOut`).
    if (from > 0 && line[from - 1] != u'\t') {
        const qsizetype tab = line.sliced(from, target - from).indexOf(u'\t');
        if (tab >= 0)
            return cut(from + tab + 1);
    }
    if (target >= limit)
        return limit;
    for (qsizetype at = target; at > from && at > target - 2 * kWindow; --at) {
        if (line[at - 1].isSpace() && clusterBoundary(line, at, true) == at)
            return cut(at);
    }
    const qsizetype back = clusterBoundary(line, target, false);
    return cut(back > from ? back : clusterBoundary(line, target, true));
}

LineWidths::Slice LineWidths::visible(QStringView line, qreal width, qreal bound, qreal from, qreal span,
                                      std::optional<Start> start, std::span<const Run> runs) const {
    const qsizetype length = line.size();
    Slice slice{0, length, 0, 0, bound};
    if (start) {
        // Placed where the whole line puts its start, and going on to the view's end.
        slice.start = start->unit;
        slice.x = start->x;
        const qsizetype units = unitsCovering(line, slice.start, from + span - slice.x, true);
        slice.end = cutOutside(runs, line, slice.start + units, true);
        return slice;
    }
    if (from + span >= width) {
        // The view holds the line's end: the slice ends there, and is placed when drawn.
        slice.start = endStart(line, runs, span);
        return slice;
    }
    const qreal scale = bound > 0 ? width / bound : 1;
    const qreal target = from / scale;
    // Where the bound puts each of the last code units passed, to place the cluster or the run the view
    // starts in.
    constexpr qsizetype kPassed = kRunPiece + 4 * kWindow;
    std::array<qreal, kPassed> placed{};
    qsizetype at = 0;
    qreal x = 0;
    if (m_equal && target > 0 && isPrintableAscii(line)) {
        at = std::min(length, static_cast<qsizetype>(std::floor(target / m_advance[0])));
        x = static_cast<qreal>(at) * m_advance[0];
    } else {
        while (at < length) {
            const auto [c, units] = codePointAt(line, at);
            const qreal next = stepAfter(c, at > 0 ? line[at - 1] : QChar(), x);
            if (next > target)
                break;
            for (qsizetype unit = 0; unit < units; ++unit)
                placed[static_cast<std::size_t>((at + unit) % kPassed)] = x;
            x = next;
            at += units;
        }
    }
    slice.start = cutOutside(runs, line, at, false);
    if (slice.start < at && at - slice.start < kPassed)
        x = placed[static_cast<std::size_t>(slice.start % kPassed)];
    else if (slice.start < at)
        x = boundEnd(line, 0, slice.start, 0);
    slice.boundStart = x;
    slice.x = x * scale;
    const qsizetype units = unitsCovering(line, slice.start, from + span - slice.x, true);
    slice.end = cutOutside(runs, line, slice.start + units, true);
    slice.boundEnd = boundEnd(line, slice.start, slice.end, x);
    return slice;
}

LineWidths::Laid LineWidths::layOutVisible(QTextLayout& layout, const QString& line, qreal width, qreal bound,
                                           qreal from, qreal span, std::optional<Start> start,
                                           std::span<const Run> runs) {
    Laid laid{visible(line, width, bound, from, span, start, runs)};
    const auto text = [&] {
        const auto& slice = laid.slice;
        return slice.start == 0 && slice.end == line.size() ? line
                                                            : line.mid(slice.start, slice.end - slice.start);
    };
    // Its tabs reach the line's tab stops from where it starts. One placed by the bound that holds the line's
    // end is placed once laid out, to end at the line's width: laid out from its own start, past its first
    // tab it draws the line's end as the whole line does (on the line's stops where the line is held at its
    // width).
    laid.advance = shapedWidth(layout, text(), laid.slice.x);
    if (laid.slice.start > 0 || laid.slice.end < line.size()) {
        // The next row's slice is sized by how this one came out: text of one kind tends to go on.
        const qreal ratio = taken(line, laid.slice.start, laid.slice.end) / std::max<qreal>(laid.advance, 1);
        m_drawnShort = std::clamp<qreal>(ratio, 1, kMostStretch);
    }
    // A slice placed by the bound that holds the line's end ends at the line's width, and grows to the left;
    // any other grows to the right.
    const bool atEnd = !start && laid.slice.end == line.size();
    const qreal shortBy = atEnd ? width - laid.advance - from : from + span - (laid.slice.x + laid.advance);
    if (shortBy > 0 && (atEnd ? laid.slice.start > 0 : laid.slice.end < line.size())) {
        laid.slice = widened(line, laid.slice, laid.advance, shortBy, runs);
        laid.advance = shapedWidth(layout, text(), laid.slice.x);
    }
    // Unless it holds all of the line.
    if (atEnd)
        laid.x = laid.slice.start == 0 ? 0 : width - laid.advance;
    else
        laid.x = laid.slice.x;
    return laid;
}

LineWidths::Laid LineWidths::layOutWhole(QTextLayout& layout, const QString& line) {
    const qreal advance = shapedWidth(layout, line);
    return {{0, line.size(), 0, 0, advance}, advance, 0};
}

LineWidths::PieceLaid LineWidths::layOutPiece(QTextLayout& layout, QStringView line, Run run, qsizetype from,
                                              qsizetype to) {
    // Cut between clusters, the run joins them: the piece is shaped with the clusters either side, two of
    // them, so that the one next to it takes the form it takes in the line (it shares a pixel with the
    // piece).
    qsizetype before = from;
    qsizetype after = to;
    if (from > run.start && !line[from - 1].isSpace()) {
        for (int cluster = 0; cluster < 2 && before > run.start; ++cluster)
            before = clusterBoundary(line, before - 1, false);
    }
    if (to < run.end && !line[to - 1].isSpace()) {
        for (int cluster = 0; cluster < 2 && after < run.end; ++cluster)
            after = clusterBoundary(line, after + 1, true);
    }
    const QString text = inRun(line, run, before, line.sliced(before, after - before));
    const qsizetype lead = text.size() - (after - before) - 1;
    layout.setText(text);
    PieceLaid laid{0, layOut(layout, 0), before < from || after > to};
    if (laid.more) {
        // Its start is at its right end, its end at its left, where the clusters either side read right to
        // left from its ends outward: each boundary between them further out than the last, the outermost at
        // the layout's ends.
        const QTextLine shaped = layout.lineAt(0);
        const auto xAt = [&](qsizetype unit) {
            return shaped.cursorToX(static_cast<int>(unit - before + lead));
        };
        const qreal whole = laid.right;
        laid.right = xAt(from);
        laid.left = xAt(to);
        // And no more than the bound allows them each side.
        bool apart = laid.left <= laid.right && xAt(after) == 0 && xAt(before) == whole &&
                     laid.left <= boundEnd(line, to, after, 0) + 1 &&
                     whole - laid.right <= boundEnd(line, before, from, 0) + 1;
        for (qsizetype at = from; apart && at > before; at = clusterBoundary(line, at - 1, false))
            apart = xAt(clusterBoundary(line, at - 1, false)) >= xAt(at);
        for (qsizetype at = to; apart && at < after; at = clusterBoundary(line, at + 1, true))
            apart = xAt(clusterBoundary(line, at + 1, true)) <= xAt(at);
        if (!apart) {
            // A number or embedded text at a cut reads across it, its own text among theirs: it is laid out
            // alone, as wide as it draws in the line (its letters at the cut may take other forms).
            layout.setText(inRun(line, run, from, line.sliced(from, to - from)));
            return {0, layOut(layout, 0), false};
        }
    }
    return laid;
}

std::vector<LineWidths::Part> LineWidths::layOutAroundRuns(const QString& line, const Traits& traits,
                                                           qreal width, qreal bound, qreal from, qreal span,
                                                           std::optional<Placed> placed,
                                                           QPaintDevice* device) {
    const qsizetype length = line.size();
    const qreal to = from + span;
    const qreal scale = placed || bound <= 0 ? 1 : width / bound;
    // Where drawing begins: at the last start at or before the view, or where the bound puts the view's
    // start; at the start of a run it falls inside of, or of its cluster.
    Start cursor;
    if (placed) {
        const auto& starts = placed->starts;
        const auto after = std::upper_bound(starts.begin(), starts.end(), from,
                                            [](qreal at, const Start& start) { return at < start.x; });
        if (after != starts.begin())
            cursor = *std::prev(after);
    } else {
        const qreal target = from / scale;
        qsizetype at = 0;
        qreal x = 0;
        while (at < length) {
            const auto run = traits.longRunAt(at);
            if (run && traits.runs[*run].start == at) {
                // A long run is passed whole, or the view starts inside it.
                const qreal end = boundEnd(line, at, traits.runs[*run].end, x);
                if (end > target)
                    break;
                x = end;
                at = traits.runs[*run].end;
                continue;
            }
            const auto [c, units] = codePointAt(line, at);
            const qreal next = stepAfter(c, at > 0 ? line[at - 1] : QChar(), x);
            if (next > target)
                break;
            x = next;
            at += units;
        }
        const qsizetype start = cutOutside(traits.runs, line, at, false);
        cursor = {start, (start < at ? boundEnd(line, 0, start, 0) : x) * scale};
        if (to >= width) {
            // The view holds the line's end, drawn back from there to fill it (the text may draw narrower
            // than bounded): from past the last long run, or from that run where the view reaches into it.
            std::optional<Run> last;
            for (std::size_t run = 0; run < traits.pieceEnds.size(); ++run) {
                if (!traits.pieceEnds[run].empty())
                    last = traits.runs[run];
            }
            const qsizetype after = last ? last->end : 0;
            const qsizetype back = endStart(line, traits.runs, span);
            if (cursor.unit >= after)
                cursor.unit = last && back < after ? last->start : after;
        }
    }
    std::vector<Part> parts;
    const auto layoutPart = [&] {
        Part part;
        part.layout = std::make_unique<QTextLayout>(QString(), m_font, device);
        return part;
    };
    while (cursor.x < to && cursor.unit < length) {
        if (const auto place = traits.longRunAt(cursor.unit)) {
            // The run's pieces right to left: the first at its right end.
            const Run run = traits.runs[*place];
            const auto& ends = traits.pieceEnds[*place];
            const std::size_t count = ends.size();
            std::vector<Start> kept;
            if (placed) {
                const auto first =
                    std::lower_bound(placed->pieces.begin(), placed->pieces.end(), run.start,
                                     [](const Start& piece, qsizetype unit) { return piece.unit < unit; });
                for (auto piece = first; piece != placed->pieces.end() && piece->unit < run.end; ++piece)
                    kept.push_back(*piece);
            }
            const auto pieceStart = [&](std::size_t piece) {
                return piece > 0 ? ends[piece - 1] : run.start;
            };
            // Lays out the piece at `piece` and places its own right end at `edge` (`byRight`), else its left
            // end; gives what it advances.
            const auto add = [&](std::size_t piece, qreal edge, bool byRight) {
                Part part = layoutPart();
                const auto laid = layOutPiece(*part.layout, line, run, pieceStart(piece), ends[piece]);
                const qreal advance = laid.right - laid.left;
                const qreal left = byRight ? edge - advance : edge;
                part.laid = {{pieceStart(piece), ends[piece], left, 0, 0}, advance, left - laid.left};
                part.clipped = laid.more;
                part.clipLeft = left;
                part.clipRight = left + advance;
                parts.push_back(std::move(part));
                return advance;
            };
            if (kept.size() == count) {
                // Each piece whose ends the whole line puts in view, placed by its start, at its right end.
                for (std::size_t piece = 0; piece < count; ++piece) {
                    const qreal right = kept[piece].x;
                    const qreal left = piece + 1 < count ? kept[piece + 1].x : cursor.x;
                    if (left < to && right > from)
                        add(piece, right, true);
                }
                cursor = {run.end, kept.front().x};
                continue;
            }
            if (to >= width && traits.nextLongRun(run.start, length) == length) {
                // The view holds the line's end, after the last long run: as a slice that holds it, the line
                // ends at its width; the text after the run, then the run's pieces from its right end on to
                // the left, as far as the view.
                const qsizetype back = endStart(line, traits.runs, span);
                const qsizetype start = std::max(run.end, back);
                qreal right = width;
                if (start < length) {
                    Part part = layoutPart();
                    const qreal advance =
                        shapedWidth(*part.layout, markBefore(line, start) + line.mid(start, length - start));
                    right -= advance;
                    part.laid = {{start, length, right, 0, 0}, advance, right};
                    parts.push_back(std::move(part));
                }
                for (std::size_t piece = 0; start == run.end && piece < count && right > from; ++piece)
                    right -= add(piece, right, true);
                break;
            }
            // Placed by the bound, from the piece the view starts in: each abutting the one after it, so that
            // they fill the view.
            qreal left = cursor.x;
            std::size_t piece = count - 1;
            for (; piece > 0; --piece) {
                const qreal next = left + boundEnd(line, pieceStart(piece), ends[piece], 0) * scale;
                if (next > from)
                    break;
                left = next;
            }
            for (;; --piece) {
                left += add(piece, left, false);
                if (piece == 0 || left >= to)
                    break;
            }
            cursor = {run.end, left};
            continue;
        }
        // A slice up to the next long run; one that holds the line's end, placed by the bound, ends at the
        // line's width, from far enough back to fill the view.
        const qsizetype limit = traits.nextLongRun(cursor.unit, length);
        const bool atEnd = !placed && limit == length && to >= width;
        Slice slice{cursor.unit, length, cursor.x, 0, 0};
        if (atEnd) {
            const qsizetype back = endStart(line, traits.runs, span);
            slice.start = std::max(slice.start, back);
        } else {
            const qsizetype units = unitsCovering(line, slice.start, to - slice.x, true);
            slice.end = std::min(limit, cutOutside(traits.runs, line, slice.start + units, true));
        }
        if (slice.end <= slice.start)
            break;
        Part part = layoutPart();
        // On its line's tab stops from where it starts; as `layOutVisible` lays it out where it holds the
        // end.
        const qreal advance = shapedWidth(
            *part.layout, markBefore(line, slice.start) + line.mid(slice.start, slice.end - slice.start),
            atEnd ? 0 : slice.x);
        if (atEnd)
            slice.x = width - advance;
        part.laid = {slice, advance, slice.x};
        cursor = {slice.end, slice.x + advance};
        parts.push_back(std::move(part));
    }
    return parts;
}

LineWidths::Slice LineWidths::widened(QStringView line, Slice slice, qreal drawn, qreal more,
                                      std::span<const Run> runs) const {
    const qsizetype length = line.size();
    const qreal perUnit = std::max(
        drawn / static_cast<qreal>(std::max<qsizetype>(slice.end - slice.start, 1)), m_narrowest / 8);
    // A quarter more than the slice drew per code unit asks for, and a few units.
    const qsizetype extra =
        std::min(static_cast<qsizetype>(std::ceil(more / perUnit * 1.25)) + 8, kMostPainted);
    if (slice.end < length) {
        const qsizetype end = cutOutside(runs, line, std::min(length, slice.end + extra), true);
        slice.boundEnd = boundEnd(line, slice.end, end, slice.boundEnd);
        slice.end = end;
    } else {
        slice.start = cutOutside(runs, line, std::max<qsizetype>(0, slice.start - extra), false);
    }
    return slice;
}

std::vector<LineWidths::Run> LineWidths::runsOf(QStringView line) {
    std::vector<Run> runs;
    const Relevant relevant = relevantUnits(line);
    if (relevant.first < 0)
        return runs;
    const auto [from, to] = resolvedPart(line, relevant);
    const std::vector<unsigned char> levels = bidiLevels(line.sliced(from, to - from));
    collectRuns(levels, 0, to - from, 0, runs);
    const qsizetype size = line.size();
    for (auto& run : runs) {
        run.start += from;
        run.end += from;
        // With the codes that open the embeddings and overrides it is in where they touch it, and the ones
        // that close what it opened.
        for (qsizetype before = run.start; before > 0 && isRemoved(line, before - 1); --before) {
            const auto d = line[before - 1].direction();
            if (isEmbeddingCode(d) && d != QChar::DirPDF)
                run.start = before - 1;
        }
        qsizetype open = 0;
        for (qsizetype at = run.start; at < run.end; ++at) {
            const auto d = line[at].direction();
            if (d == QChar::DirPDF)
                open = std::max<qsizetype>(open - 1, 0);
            else if (isEmbeddingCode(d))
                ++open;
        }
        for (qsizetype after = run.end; open > 0 && after < size && isRemoved(line, after); ++after) {
            if (line[after].direction() == QChar::DirPDF) {
                run.end = after + 1;
                --open;
            }
        }
    }
    return runs;
}

bool LineWidths::numbersAfterArabic(QStringView line, Run run) {
    const auto strong = [](QChar::Direction d) {
        return d == QChar::DirL || d == QChar::DirR || d == QChar::DirAL;
    };
    if (run.start >= line.size() || strong(QChar::direction(codePointAt(line, run.start).first)))
        return false;
    // The letter the numbers follow, in the text at the run's level: an embedding or isolate code on the
    // way back means the run starts inside one or after one, where they follow none.
    for (qsizetype at = run.start; at > 0;) {
        const auto [c, units] = codePointBefore(line, at);
        at -= units;
        const auto d = QChar::direction(c);
        if (strong(d))
            return d == QChar::DirAL;
        if (isEmbeddingCode(d) || d == QChar::DirLRI || d == QChar::DirRLI || d == QChar::DirFSI ||
            d == QChar::DirPDI)
            return false;
    }
    return false;
}

std::vector<qsizetype> LineWidths::runPieceEnds(QStringView line, Run run) {
    std::vector<qsizetype> ends;
    // How deep each code unit is in the embeddings and isolates opened inside the run.
    std::vector<int> depth(static_cast<std::size_t>(run.end - run.start), 0);
    std::vector<bool> isolates;  // what is open, inner last
    for (qsizetype at = run.start; at < run.end; ++at) {
        depth[static_cast<std::size_t>(at - run.start)] = static_cast<int>(isolates.size());
        switch (line[at].direction()) {
            case QChar::DirLRE:
            case QChar::DirRLE:
            case QChar::DirLRO:
            case QChar::DirRLO:
                isolates.push_back(false);
                break;
            case QChar::DirLRI:
            case QChar::DirRLI:
            case QChar::DirFSI:
                isolates.push_back(true);
                break;
            case QChar::DirPDF:
                if (!isolates.empty() && !isolates.back())
                    isolates.pop_back();
                break;
            case QChar::DirPDI: {
                const auto isolate = std::find(isolates.rbegin(), isolates.rend(), true);
                if (isolate != isolates.rend())
                    isolates.erase(std::prev(isolate.base()), isolates.end());
                break;
            }
            default:
                break;
        }
    }
    const auto open = [&](qsizetype at) { return depth[static_cast<std::size_t>(at - run.start)] > 0; };
    for (qsizetype from = run.start; from < run.end;) {
        const qsizetype target = from + kRunPiece;
        if (target >= run.end) {
            ends.push_back(run.end);
            break;
        }
        const auto rightToLeftAt = [&](qsizetype at) {
            const auto d = QChar::direction(codePointAt(line, at).first);
            return d == QChar::DirR || d == QChar::DirAL;
        };
        qsizetype cut = -1;
        for (qsizetype at = target; at > from && cut < 0; --at) {
            if (line[at - 1].isSpace() && rightToLeftAt(at) && !open(at))
                cut = at;
        }
        // Else before a right-to-left letter, so that no number or embedded text that reads left to right is
        // cut (a piece would place each part of it in the other's place) and the numbers in a piece follow
        // the letter they follow in the line; failing that anywhere.
        for (qsizetype at = target; at > from && cut < 0; --at) {
            if (rightToLeftAt(at) && !open(at) && clusterBoundary(line, at, false) == at)
                cut = at;
        }
        if (cut < 0) {
            cut = clusterBoundary(line, target, false);
            if (cut <= from)
                cut = clusterBoundary(line, target, true);
        }
        ends.push_back(cut);
        from = cut;
    }
    return ends;
}

}  // namespace quill::ui
