#pragma once

#include <QAbstractListModel>
#include <QFontMetricsF>
#include <QListView>
#include <QString>
#include <QStringView>
#include <array>
#include <deque>

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

  private:
    const KeptLines& m_lines;
    bool m_countRow = false;
    qsizetype m_first = 0;  // the run's index of the first line shown
    qsizetype m_end = 0;    // the run's index after the last line shown
};

/// Widths of log lines in one font, at a cost bounded per line: printable ASCII is added up from the
/// advances of its 95 characters, read once per font, so that it is never shaped whatever the font says of
/// its pitch; other text is shaped, at most `kShapedPrefix` characters of it, and the rest of a longer line
/// is given an upper bound: no character advances more than the widest one the font or its fallbacks were
/// seen to draw, and a tab no further than the next tab stop.
class LineWidths {
  public:
    static constexpr qsizetype kShapedPrefix = 512;

    explicit LineWidths(const QFont& font);

    /// Whether every printable ASCII character advances the same.
    [[nodiscard]] bool equalAdvances() const { return m_equal; }
    /// The width of `line`, never less than it shows (exact where it is added up or shaped whole); or, when
    /// it cannot be wider than `atMost`, a number no larger than `atMost`.
    [[nodiscard]] qreal width(QStringView line, qreal atMost = 0);
    /// Shaping calls so far.
    [[nodiscard]] qint64 shapingCalls() const { return m_shapingCalls; }

    /// The part of `line` that covers the pixels [`from`, `from` + `span`) of it. A long line whose tail
    /// is bounded rather than shaped has that tail placed by the bound, so that its end is painted inside
    /// the width `width` gives it.
    struct Slice {
        qsizetype start = 0;
        qsizetype length = 0;
        qreal x = 0;           // where the slice starts in the line
        bool bounded = false;  // the line's width was not added up exactly
    };
    [[nodiscard]] Slice visible(QStringView line, qreal from, qreal span) const;
    /// How far `line` can reach at most, now that `slice` of it was drawn as `shown`: the drawn part as it
    /// came out, the rest by the bound; 0 for a line added up exactly, which is never shaped here. A
    /// character wider than any the bound allows for (one that no installed font draws, say) is measured this
    /// way as it comes into view.
    [[nodiscard]] qreal reachAfterDrawing(QStringView line, const Slice& slice, const QString& shown) const;

  private:
    /// The width of `line` when it is printable ASCII.
    [[nodiscard]] std::optional<qreal> asciiWidth(QStringView line) const;
    /// How far `text` can reach at most when it starts at `x`.
    [[nodiscard]] qreal reach(QStringView text, qreal x) const;
    /// Where the character after `x` can end at most: a tab at the next tab stop, any other one a character
    /// as wide as any seen.
    [[nodiscard]] qreal stepAfter(QChar c, qreal x) const;
    /// The first `kShapedPrefix` characters of `line`, a surrogate pair kept whole.
    [[nodiscard]] static QStringView shapedPart(QStringView line);

    QFontMetricsF m_metrics;
    std::array<qreal, 95> m_advance{};
    bool m_equal = true;
    qreal m_narrowest = 1;
    qreal m_widest = 1;  // no character but a tab is taken to advance more
    qreal m_tabStop = 1;
    qint64 m_shapingCalls = 0;
};

/// The list that shows an install log: one line per row in the log's font, neither wrapped nor elided, as
/// wide as the widest line so far (a long line is reached by scrolling sideways). Rows are selectable, and
/// Copy puts the selected rows on the clipboard as shown, one per line. At its end it stays there as lines
/// come and go; scrolled up, the rows in view stay in view while they are kept.
///
/// Every row has the same height, so the list lays rows out by arithmetic: adding rows costs the rows added
/// and painting the rows in view (and of a long row only the part in view), however many rows there are.
/// It is a list view for the sake of accessibility, with its own layout in place of the list view's.
class InstallLogView : public QListView {
    Q_OBJECT

  public:
    InstallLogView(const KeptLines& lines, Clipboard& clipboard, QWidget* parent = nullptr);

    /// Shows the lines that arrived and lets go of those dropped since the last call.
    void showNewLines();
    /// Puts the selected rows on the clipboard, in the log's order, joined by newlines.
    void copySelection();
    [[nodiscard]] bool isAtEnd() const;
    /// Text shaping calls so far, for tests of what the log costs.
    [[nodiscard]] qint64 shapingCalls() const { return m_widths.shapingCalls(); }

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

  private:
    /// Takes the metrics of the view's font and measures the rows shown again.
    void applyFont();
    void measure(qsizetype from, qsizetype end);
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }
    [[nodiscard]] int rowAt(int y) const;
    [[nodiscard]] int contentWidth() const;

    InstallLogModel* m_model;
    Clipboard& m_clipboard;
    LineWidths m_widths;
    int m_rowHeight = 1;
    int m_ascent = 0;
    qreal m_widest = 0;  // the width of the widest line shown so far, in pixels
};

}  // namespace quill::ui
