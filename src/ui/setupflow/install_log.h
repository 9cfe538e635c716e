#pragma once

#include <QAbstractListModel>
#include <QFontMetricsF>
#include <QListView>
#include <QString>
#include <QStringView>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QTimer;

namespace quill::ui {

class Clipboard;

/// The last lines of a run, within a bound on their number and on their text: once either is passed, the
/// earliest lines go. Counts the lines it let go.
class KeptLines {
  public:
    static constexpr qsizetype kMaximumLines = 100'000;
    static constexpr qsizetype kMaximumBytes = qsizetype{32} * 1024 * 1024;

    explicit KeptLines(qsizetype maximumLines = kMaximumLines, qsizetype maximumBytes = kMaximumBytes);

    /// Adds `line` at the end and lets the earliest lines go while a bound is passed; the last line stays.
    void append(QString line);

    /// The lines kept, oldest first.
    [[nodiscard]] qsizetype size() const { return static_cast<qsizetype>(m_lines.size()); }
    [[nodiscard]] const QString& at(qsizetype index) const {
        return m_lines[static_cast<std::size_t>(index)];
    }
    /// How many lines went, all before the first kept one.
    [[nodiscard]] qsizetype dropped() const { return m_dropped; }
    /// How many lines were ever added: the index after the last one, counting the dropped ones.
    [[nodiscard]] qsizetype end() const { return m_dropped + size(); }

  private:
    std::deque<QString> m_lines;
    qsizetype m_dropped = 0;
    qsizetype m_bytes = 0;
    qsizetype m_maximumLines;
    qsizetype m_maximumBytes;
};

/// The sentence of the log's first row once earlier lines are no longer kept.
QString droppedLinesText(qsizetype count);

/// The install log as a list: one row per kept line, read where the run keeps them so that the log is
/// stored once, and, once lines have gone, a first row that says how many. The rows follow the lines only
/// through `sync()`.
class InstallLogModel : public QAbstractListModel {
    Q_OBJECT

  public:
    /// `lines` must outlive the model.
    explicit InstallLogModel(const KeptLines& lines, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// What `sync()` changed: rows gone above the first line still shown (negative when the count row
    /// came), and the lines added at the end, by their index in the run.
    struct Change {
        int shiftedUp = 0;
        qsizetype firstAdded = 0;
        qsizetype endAdded = 0;
    };
    /// Removes the rows of the lines that went and adds those that came since the last call.
    Change sync();
    [[nodiscard]] const KeptLines& lines() const { return m_lines; }
    /// The text of `row`, as shown.
    [[nodiscard]] QString text(int row) const;
    /// The row of the line at `index` in the run.
    [[nodiscard]] int rowOfLine(qsizetype index) const;
    /// The index in the run of the line at `row`, or -1 for the row that counts the lines that went.
    [[nodiscard]] qsizetype lineOfRow(int row) const;

  private:
    const KeptLines& m_lines;
    bool m_countRow = false;
    qsizetype m_first = 0;  // the run's index of the first line shown
    qsizetype m_end = 0;    // the run's index after the last line shown
};

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
    /// The width `text` is drawn to: laid out in `layout` as a row of the log is (`layOut`), so that a width
    /// read here is what the paint draws (a font's metrics would stop at a U+009C, which a layout draws
    /// past).
    [[nodiscard]] qreal shapedWidth(QTextLayout& layout, const QString& text);
    /// Where a piece of `line` from `from` to shape on its own ends: at most `kPiece` code units on and past
    /// at most `kMostColour` code points that a colour emoji font may draw (each takes such a font about
    /// 0.1 ms), so that a piece takes a few milliseconds at most; after white space where there is some near
    /// there, else between clusters.
    static constexpr qsizetype kPiece = 1024;
    static constexpr qsizetype kMostColour = 32;
    [[nodiscard]] static qsizetype pieceEnd(QStringView line, qsizetype from);
    /// Lays `layout` out on one line and gives its advance.
    qreal layOut(QTextLayout& layout);
    /// Shaping calls so far.
    [[nodiscard]] qint64 shapingCalls() const { return m_shapingCalls; }

    /// The part of `line` to draw for the pixels [`from`, `from` + `span`) of it, when the line is `width`
    /// wide and its bound `bound`: characters sit where the bound puts them, scaled by `width` ÷ `bound`; a
    /// part that reaches the line's end is drawn so that it ends at `width`. Its ends are between clusters.
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
    /// there and is placed where it says; else where the bound puts it.
    struct Laid {
        Slice slice;
        qreal advance = 0;
        qreal x = 0;
    };
    Laid layOutVisible(QTextLayout& layout, const QString& line, qreal width, qreal bound, qreal from,
                       qreal span, std::optional<Start> start = {});
    /// All of `line`, laid out in `layout`.
    Laid layOutWhole(QTextLayout& layout, const QString& line);
    /// The nearest boundary between grapheme clusters at or after `at` (`forward`) or at or before it, looked
    /// for a few code units either side; without one there, the nearest boundary between code points. Never
    /// between the two halves of a surrogate pair.
    [[nodiscard]] static qsizetype clusterBoundary(QStringView line, qsizetype at, bool forward);

  private:
    [[nodiscard]] Slice visible(QStringView line, qreal width, qreal bound, qreal from, qreal span,
                                std::optional<Start> start) const;
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
    /// Where the bound puts the end of the code units [`from`, `to`) of `line` when they start at `x`.
    [[nodiscard]] qreal boundEnd(QStringView line, qsizetype from, qsizetype to, qreal x) const;
    /// `slice` grown past its end (or, when it reached the line's end, before its start) to hold `more`
    /// pixels more than the `drawn` pixels it drew.
    [[nodiscard]] Slice widened(QStringView line, Slice slice, qreal drawn, qreal more) const;

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

/// The list that shows an install log: one line per row in the log's font, neither wrapped nor elided, as
/// wide as the widest line kept (a long line is reached by scrolling sideways). Rows are selectable, and
/// Copy puts the selected rows on the clipboard as shown, one per line. At its end it stays there as lines
/// come and go; scrolled up, the rows in view stay in view while they are kept.
///
/// Every row has the same height, so the list lays rows out by arithmetic: adding rows costs the rows added
/// and painting the rows in view (and of a long row only the part in view), however many rows there are.
/// It is a list view for the sake of accessibility, with its own layout in place of the list view's.
///
/// Each kept line holds a width: its bound when it comes, its shaped width once it has been shaped whole,
/// when it is drawn whole or by work done a few milliseconds at a time while the event loop is idle. The
/// range is the widest width held, so it falls as bounds give way to shaped widths.
class InstallLogView : public QListView {
    Q_OBJECT

  public:
    InstallLogView(const KeptLines& lines, Clipboard& clipboard, QWidget* parent = nullptr);

    /// Shows the lines that arrived and lets go of those dropped since the last call.
    void showNewLines();
    /// Puts the selected rows on the clipboard, in the log's order, joined by newlines.
    void copySelection();
    [[nodiscard]] bool isAtEnd() const;
    /// Text shaping calls so far, drawing included, for tests of what the log costs.
    [[nodiscard]] qint64 shapingCalls() const { return m_widths.shapingCalls(); }
    /// Whether lines that could set the range are still to be shaped while the event loop is idle, which it
    /// is only while the log is shown and its window not minimised.
    [[nodiscard]] bool isMeasuring() const { return m_measuring; }
    /// The width of the widest line as held now, in pixels: the range scrolled sideways, less the margins.
    [[nodiscard]] qreal widestLine() const;
    /// The time between two turns of the idle work (tests shorten it so as not to wait).
    void setIdleTick(std::chrono::milliseconds tick);

    [[nodiscard]] QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    [[nodiscard]] QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;

  protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] int horizontalOffset() const override;
    [[nodiscard]] int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    [[nodiscard]] QSize viewportSizeHint() const override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    /// What a kept line's width is taken to be.
    struct Held {
        qreal bound = 0;
        qreal drawn = 0;    // how far it was seen to reach when part of it was drawn
        qreal shaped = -1;  // its shaped width, once it is known
        [[nodiscard]] qreal width() const { return shaped >= 0 ? shaped : std::max(bound, drawn); }
        bool operator==(const Held&) const = default;
    };
    /// Takes the metrics of the view's font and gives every kept line its bound again; a log at its end stays
    /// there, and the first row in view otherwise stays first.
    void applyFont();
    /// Lets go of the widths of the lines dropped and adds those of the lines from `from` to `end`.
    void holdWidths(qsizetype from, qsizetype end);
    /// The width held for the line at `index` in the run becomes `held`.
    void setHeld(qsizetype index, Held held);
    void count(const Held& held, int by);
    [[nodiscard]] qreal widestShaped() const;
    /// Shapes lines that may set the range for a few milliseconds, in the order they came, after those asked
    /// for first.
    void measureWhileIdle();
    /// Picks the line the idle work shapes next, unless it is within one; false once there is none.
    bool pickLineToMeasure();
    /// Has the idle work go on, or start, while the log is shown.
    void startMeasuring();
    /// Runs the idle work's turns while there is work and the log is shown in a window not minimised, nor the
    /// window it is a sheet of.
    void scheduleMeasuring();
    /// Puts the line at `line` in the run ahead of the idle work while its row is in view, whether or not it
    /// can set the range, and starts the work.
    void measureFirst(qsizetype line);
    /// Takes note of the piece of the line at `line` in the run that starts at its code unit `from` and at
    /// `x` in the line, laid out in `piece`: of a line wider than the view or longer than
    /// `LineWidths::kMostPainted` code units, a start every `LineWidths::kStartEvery` code units, where the
    /// piece puts it, so that a slice of the line is drawn where the whole line puts it.
    void keepStarts(qsizetype line, qsizetype from, qreal x, const QTextLayout& piece);
    /// The last start kept of the line at `line` in the run at or before `x` in it, if it has some.
    [[nodiscard]] std::optional<LineWidths::Start> startBefore(qsizetype line, qreal x) const;
    /// How a row was last drawn: kept while the row is in view, so that a repaint lays out only the rows
    /// that moved sideways or whose width changed.
    struct Drawn {
        qsizetype line = -1;  // by its index in the run
        qreal width = 0;
        qreal from = 0;
        qreal span = 0;
        std::optional<LineWidths::Start> start;  // the kept start it was placed by
        LineWidths::Laid laid;
        std::unique_ptr<QTextLayout> layout;
    };
    /// Draws the part of `text`, the line at `line` in the run (or the count row, at -1), in view, `held`
    /// wide, on the row whose baseline is at `baseline`, from its layout in `m_drawn` where that still fits;
    /// adds how it was drawn to `drawn` and gives what the line is held to be after it.
    Held drawRow(QPainter& painter, qsizetype line, const QString& text, Held held, qreal baseline,
                 std::vector<Drawn>& drawn);
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }
    [[nodiscard]] int rowAt(int y) const;
    /// Whether `row` is in view, whole or in part.
    [[nodiscard]] bool rowInView(int row) const;
    [[nodiscard]] int contentWidth() const;

    InstallLogModel* m_model;
    Clipboard& m_clipboard;
    LineWidths m_widths;
    int m_rowHeight = 1;
    int m_ascent = 0;
    std::deque<Held> m_held;                    // of every kept line, from the first one kept
    qsizetype m_heldFirst = 0;                  // the run's index of the line `m_held` starts with
    std::map<qreal, qsizetype> m_widthCounts;   // how many kept lines hold each width
    std::map<qreal, qsizetype> m_shapedCounts;  // and each shaped width
    qreal m_countRowWidth = 0;
    std::vector<Drawn> m_drawn;  // the rows in view, as the paints drew them
    /// The starts kept of the long lines shaped, by the line's index in the run, each at or right of the
    /// last.
    std::map<qsizetype, std::vector<LineWidths::Start>> m_starts;
    QTimer* m_idle;
    bool m_measuring = false;  // work is left for the idle turns
    bool m_shown = false;
    qsizetype m_idleNext = 0;             // the run's index of the next line the idle work looks at
    std::vector<qsizetype> m_firstLines;  // lines to shape before it, by their index in the run
    struct Piece {
        qsizetype line = -1;  // the line shaped in pieces, by its index in the run
        qsizetype done = 0;   // its code units shaped so far
        qreal width = 0;      // what they advance
    } m_piece;
};

}  // namespace quill::ui
