#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringView>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace quill::ui {

/// Widths of log lines in one font, at a cost bounded per character. A line's bound is what shaping gives it
/// at most, as a rule: printable ASCII counts its own advance (read once per font, so that a line of it in a
/// font whose printable ASCII characters all advance the same is never shaped, whatever the font says of its
/// pitch), the default-ignorable code points and the non-spacing and enclosing marks the font has count
/// nothing, a tab reaches the next tab stop, and any other code point counts as much as the widest character
/// the font or its fallbacks were seen to draw. It can fall short: where a character no font has is drawn as
/// a box wider than that, where marks follow a character no font draws (each then drawn apart from it), and
/// for printable ASCII in a font whose advances differ, which can shape about 0.5 % wider than they add up
/// to. Drawing such a line widens the range to what was drawn, and shaping it whole to its width. Every
/// shaping of log text goes through here and is counted.
class LineWidths {
  public:
    /// The most code units drawn of one row: more than any screen is wide.
    static constexpr qsizetype kMostPainted = 4096;

    /// A right-to-left run of a line: the code units [`start`, `end`), drawn in the whole line as one block
    /// whose left end is where the text before it ends.
    struct Run {
        qsizetype start = 0;
        qsizetype end = 0;
        bool operator==(const Run&) const = default;
    };
    /// The most code units of a run laid out as one piece: a longer run is cut into pieces of at most this.
    static constexpr qsizetype kRunPiece = 256;
    /// The right-to-left runs of `line`, in order; none for a line without right-to-left text, found without
    /// looking past its first code unit at or above U+0590 where there is none. A run is a stretch that the
    /// bidirectional algorithm, the line being a left-to-right paragraph, puts above the line's level, the
    /// lowest of its levels odd (inside one whose lowest is even, as in an isolate that reads left to right,
    /// the runs are the stretches so placed within it), with the embedding and override codes that touch it
    /// and open or close it. Laid out on its own as a right-to-left paragraph it draws what the whole line
    /// draws there (after an Arabic letter mark where `numbersAfterArabic`); but text past a tab in an
    /// override opened before the tab draws as it reads. A tab, and white space before a tab or at the line's
    /// end, is at the line's level, so no run holds one.
    [[nodiscard]] static std::vector<Run> runsOf(QStringView line);
    /// Whether `run` starts with numbers (or their signs) that an Arabic letter before it, across a tab or a
    /// bracket that reads left to right, makes Arabic ones: laid out on its own, it then draws what the line
    /// draws only after U+061C ARABIC LETTER MARK, which draws nothing.
    [[nodiscard]] static bool numbersAfterArabic(QStringView line, Run run);
    /// Where the pieces of `run` (longer than `kRunPiece`) end, in order, the last at `run.end`: the same
    /// whatever the view. Each is cut just after white space that a right-to-left letter follows where no
    /// embedding or isolate opened inside the run is open, else between clusters.
    [[nodiscard]] static std::vector<qsizetype> runPieceEnds(QStringView line, Run run);
    /// What of a line changes where its parts may be cut and how they are laid out: its right-to-left runs.
    /// Found once per line (a line of printable ASCII has none); a slice finds its own tabs, at most a row's.
    struct Traits {
        std::vector<Run> runs;
        /// Where the pieces of each run longer than `kRunPiece` end (`runPieceEnds`), by the run's place in
        /// `runs`; none for a shorter run.
        std::vector<std::vector<qsizetype>> pieceEnds;
        /// Where the first code unit that could start a run is, while the runs are not looked for (they are
        /// looked for once a part reaches there); else -1.
        qsizetype unfound = -1;
        [[nodiscard]] bool any() const { return !runs.empty() || unfound >= 0; }
        /// Whether `runs` holds every run that starts before the code unit `end`.
        [[nodiscard]] bool runsKnownTo(qsizetype end) const { return unfound < 0 || end <= unfound; }
        [[nodiscard]] bool longRuns() const {
            return std::any_of(pieceEnds.begin(), pieceEnds.end(),
                               [](const auto& ends) { return !ends.empty(); });
        }
        /// The place in `runs` of the run longer than `kRunPiece` that holds the code unit `unit`, if any.
        [[nodiscard]] std::optional<std::size_t> longRunAt(qsizetype unit) const;
        /// Where the first run longer than `kRunPiece` that starts after `unit` starts, or `end`.
        [[nodiscard]] qsizetype nextLongRun(qsizetype unit, qsizetype end) const;
    };
    /// Where a run could first start in `line`: a look at each code unit up to there.
    [[nodiscard]] static Traits traitsOf(QStringView line);
    /// Finds the runs of `line`, of `traits`, and where the long ones' pieces end.
    static void findRuns(QStringView line, Traits& traits);
    /// `at`, or, where it falls inside a run of at most `kRunPiece` code units, the run's start (or its end,
    /// `forward`): such a run is laid out whole, in one part.
    [[nodiscard]] static qsizetype outsideRun(std::span<const Run> runs, qsizetype at, bool forward);

    explicit LineWidths(const QFont& font);

    /// Whether every printable ASCII character advances the same.
    [[nodiscard]] bool equalAdvances() const { return m_equal; }
    /// An upper bound of the width of `line`, and whether it is its width (printable ASCII added up, in a
    /// font whose printable ASCII characters all advance the same).
    struct Bound {
        qreal width = 0;
        bool exact = false;
    };
    [[nodiscard]] Bound bound(QStringView line) const;
    /// The width `text`, starting at `x` in its line, is drawn to: laid out in `layout` as a row of the log
    /// is (`layOut`), so that a width read here is what the paint draws (a font's metrics would stop at a
    /// U+009C, which a layout draws past).
    [[nodiscard]] qreal shapedWidth(QTextLayout& layout, const QString& text, qreal x = 0);
    /// Where a piece of `line` from `from` to shape on its own ends: at most `kPiece` code units on and past
    /// at most `kMostColour` code points that a colour emoji font may draw (each takes such a font about
    /// 0.1 ms), so that a piece takes a few milliseconds at most; after white space where there is some near
    /// there, else between clusters; and after its first tab where it starts neither at the line's start nor
    /// after a tab; never inside a run of `runs` of at most `kRunPiece` code units.
    static constexpr qsizetype kPiece = 1024;
    static constexpr qsizetype kMostColour = 32;
    [[nodiscard]] static qsizetype pieceEnd(QStringView line, qsizetype from, std::span<const Run> runs = {});
    /// Lays `layout` out on one line, its text starting at `x` in its line, as a left-to-right paragraph, and
    /// gives its advance. Its tabs reach the line's tab stops, not stops counted from its own start.
    qreal layOut(QTextLayout& layout, qreal x = 0);
    /// A piece of a run longer than `kRunPiece`, [`from`, `to`) of `line`, laid out in `layout` on its own as
    /// the line reads it (in a left-to-right paragraph between two right-to-left marks, in the codes of the
    /// run still open where it starts, so that text embedded in it takes the line's levels), with the cluster
    /// on either side of it where it is cut between clusters (not just after white space; alone where text at
    /// a cut reads across it, as a number or embedded text does): where its own text starts and ends in the
    /// layout, and whether the layout holds more than that.
    struct PieceLaid {
        qreal left = 0;
        qreal right = 0;
        bool more = false;
    };
    PieceLaid layOutPiece(QTextLayout& layout, QStringView line, Run run, qsizetype from, qsizetype to);
    /// Shaping calls so far.
    [[nodiscard]] qint64 shapingCalls() const { return m_shapingCalls; }

    /// The part of `line` to draw for the pixels [`from`, `from` + `span`) of it, when the line is `width`
    /// wide and its bound `bound`: characters sit where the bound puts them, scaled by `width` ÷ `bound`; a
    /// part that reaches the line's end is drawn so that it ends at `width`. Its ends are between clusters,
    /// outside every run of at most `kRunPiece` code units.
    struct Slice {
        qsizetype start = 0;
        qsizetype end = 0;
        qreal x = 0;           // where it starts in the line, unless it reaches the end
        qreal boundStart = 0;  // where the bound puts its start and its end, unscaled
        qreal boundEnd = 0;
    };
    /// Where a part of a line starts: its first code unit, and where the line laid out whole as one
    /// left-to-right paragraph puts it.
    struct Start {
        qsizetype unit = 0;
        qreal x = 0;
        bool operator==(const Start&) const = default;
    };
    /// The code units between two starts kept of a long line.
    static constexpr qsizetype kStartEvery = 64;
    /// The visible part of `line`, laid out in `layout`: once, or twice where the first layout falls short of
    /// the view and the line goes on. `x` is where it is drawn in the line. Given `start`, the part begins
    /// there and is placed where it says; else where the bound puts it. `runs` are the line's.
    struct Laid {
        Slice slice;
        qreal advance = 0;
        qreal x = 0;
    };
    Laid layOutVisible(QTextLayout& layout, const QString& line, qreal width, qreal bound, qreal from,
                       qreal span, std::optional<Start> start = {}, std::span<const Run> runs = {});
    /// All of `line`, laid out in `layout`.
    Laid layOutWhole(QTextLayout& layout, const QString& line);
    /// One layout a row is drawn from: a slice laid out left to right, or a piece of a long run laid out
    /// right to left. `laid.x` is where the layout's left edge goes in the line, `laid.advance` what its own
    /// text advances; a piece laid out with more than its own text is drawn clipped to [`clipLeft`,
    /// `clipRight`) of the line.
    struct Part {
        Laid laid;
        bool clipped = false;
        qreal clipLeft = 0;
        qreal clipRight = 0;
        std::unique_ptr<QTextLayout> layout;
    };
    /// Where a shaped line's parts go: its starts, and where each piece of its long runs starts (at its right
    /// end), in order.
    struct Placed {
        std::span<const Start> starts;
        std::span<const Start> pieces;
    };
    /// The visible part of `line`, which has runs longer than `kRunPiece` (its `traits`), laid out for the
    /// pixels [`from`, `from` + `span`) of it, on `device`: slices around those runs, and the pieces of those
    /// runs in view, each laid out on its own and placed where the whole line puts it (the run's last piece
    /// at its left end, each earlier one right of the one after it). Shaped, the line is placed by
    /// `placed`; else by its bound, as `layOutVisible` places it.
    std::vector<Part> layOutAroundRuns(const QString& line, const Traits& traits, qreal width, qreal bound,
                                       qreal from, qreal span, std::optional<Placed> placed,
                                       QPaintDevice* device);
    /// The nearest boundary between grapheme clusters at or after `at` (`forward`) or at or before it, looked
    /// for a few code units either side; without one there, the nearest boundary between code points. Never
    /// between the two halves of a surrogate pair.
    [[nodiscard]] static qsizetype clusterBoundary(QStringView line, qsizetype at, bool forward);

  private:
    [[nodiscard]] Slice visible(QStringView line, qreal width, qreal bound, qreal from, qreal span,
                                std::optional<Start> start, std::span<const Run> runs) const;
    /// Whether the font draws the mark `c` (anything else zero-width is taken to be drawn), remembered for
    /// each mark asked about.
    [[nodiscard]] bool hasMark(char32_t c) const;
    /// Where the character `c`, after the code unit `before`, ends at most when it starts at `x`.
    [[nodiscard]] qreal stepAfter(char32_t c, QChar before, qreal x) const;
    /// What the code point `c` of `units` code units is taken to draw, to size a slice.
    [[nodiscard]] qreal taken(char32_t c, qsizetype units) const;
    /// What the code units [`from`, `to`) of `line` are taken to draw.
    [[nodiscard]] qreal taken(QStringView line, qsizetype from, qsizetype to) const;
    /// How many code units from `from` (onward when `forward`, else backward) are taken to draw `span`
    /// pixels, at most `kMostPainted`.
    [[nodiscard]] qsizetype unitsCovering(QStringView line, qsizetype from, qreal span, bool forward) const;
    /// The boundary between clusters of `line` nearest `at` (onward when `forward`, else backward), moved out
    /// of a short run of `runs` it falls inside of the same way (`outsideRun`).
    [[nodiscard]] static qsizetype cutOutside(std::span<const Run> runs, QStringView line, qsizetype at,
                                              bool forward);
    /// Where a part of `line` that holds its end and is taken to draw `span` pixels starts.
    [[nodiscard]] qsizetype endStart(QStringView line, std::span<const Run> runs, qreal span) const;
    /// Where the bound puts the end of the code units [`from`, `to`) of `line` when they start at `x`.
    [[nodiscard]] qreal boundEnd(QStringView line, qsizetype from, qsizetype to, qreal x) const;
    /// `slice` grown past its end (or, when it reached the line's end, before its start) to hold `more`
    /// pixels more than the `drawn` pixels it drew.
    [[nodiscard]] Slice widened(QStringView line, Slice slice, qreal drawn, qreal more,
                                std::span<const Run> runs) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    std::array<qreal, 95> m_advance{};
    bool m_equal = true;
    qreal m_narrowest = 1;
    qreal m_widest = 1;  // no character but a tab is taken to advance more
    qreal m_tabStop = 1;
    qint64 m_shapingCalls = 0;
    /// How much less than taken the last slice drew, for sizing the next: at least 1, at most `kMostStretch`.
    static constexpr qreal kMostStretch = 4;
    qreal m_drawnShort = 1;
    /// Whether the font has each mark asked about, by code point, up to the end of the planes that have
    /// marks.
    static constexpr char32_t kMarksEnd = 0x20000;
    enum class Known : unsigned char { unknown, yes, no };
    mutable std::vector<Known> m_marks;
};

}  // namespace quill::ui
