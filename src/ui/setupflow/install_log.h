#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QString>
#include <QTextLayout>
#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "ui/setupflow/kept_lines.h"
#include "ui/setupflow/line_widths.h"

class QPainter;
class QTimer;

namespace quill::ui {

class Clipboard;

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
    /// Whether a kept line's runs are known: it has none, or they are kept in `m_traits`.
    enum class Found : unsigned char { unread, none, kept };
    /// What a kept line's width is taken to be.
    struct Held {
        qreal bound = 0;
        qreal drawn = 0;    // how far it was seen to reach when part of it was drawn
        qreal shaped = -1;  // its shaped width, once it is known
        Found found = Found::unread;
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
    /// The runs of the line at `line` in the run, held as `held`: found the first time they are
    /// asked for, and kept while the line is, unless it has none (`held` then says so).
    const LineWidths::Traits& traitsOf(qsizetype line, Held& held);
    /// Those, with the line's runs looked for if a run could start before its code unit `end`.
    const LineWidths::Traits& traitsTo(qsizetype line, Held& held, qsizetype end);
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
    /// Where a shaped line's parts go: a start every `LineWidths::kStartEvery` code units, where the piece of
    /// idle work that shaped it puts it, and for each run longer than `LineWidths::kRunPiece`, a start at
    /// either end of it and where each of its pieces starts (at its right end), so that the line's parts are
    /// drawn where the whole line puts them.
    struct Kept {
        std::vector<LineWidths::Start> starts;  // each after the last and at or right of it
        std::vector<LineWidths::Start> pieces;
    };
    /// The starts kept of the line at `line` in the run, with `traits`, if it keeps them: a line wider than
    /// the view, longer than `LineWidths::kMostPainted` code units or with a long run.
    Kept* keptFor(qsizetype line, const LineWidths::Traits& traits);
    /// Keeps where the pieces of the long run at `run` in the line's `traits`, just shaped by the idle work,
    /// go.
    void keepPieces(qsizetype line, const LineWidths::Traits& traits, std::size_t run);
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
        std::vector<LineWidths::Part> parts;
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
    /// The starts kept of the long lines shaped, by the line's index in the run.
    std::map<qsizetype, Kept> m_starts;
    /// The runs of the kept lines that have some and were looked at, by the line's index in the run,
    /// whatever the font.
    std::map<qsizetype, LineWidths::Traits> m_traits;
    QTimer* m_idle;
    bool m_measuring = false;  // work is left for the idle turns
    bool m_shown = false;
    qsizetype m_idleNext = 0;             // the run's index of the next line the idle work looks at
    std::vector<qsizetype> m_firstLines;  // lines to shape before it, by their index in the run
    struct Piece {
        qsizetype line = -1;        // the line shaped in pieces, by its index in the run
        qsizetype done = 0;         // its code units shaped so far
        qreal width = 0;            // what they advance
        qreal runLeft = 0;          // where the long run being shaped starts
        std::vector<qreal> widths;  // and what its pieces shaped so far advance
    } m_piece;
};

}  // namespace quill::ui
