#include "ui/setupflow/install_log.h"

#include <QAccessible>
#include <QAction>
#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

#include "ui/common/clipboard.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {

constexpr int kTextMargin = 4;  // left and right of every line
constexpr int kRowPadding = 1;  // above and below every line
/// The idle work's turns: at most about a quarter of a core while there is work, as a turn goes on while the
/// pieces it shapes take no more than its budget (the last one taken as what the next will take).
constexpr std::chrono::milliseconds kIdleTick{16};
constexpr std::chrono::microseconds kIdleBudget{3500};

QFont logFont() {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(Style::font(TextRole::caption).pointSizeF());
    return mono;
}

/// The window that `window` is a dialog or sheet of, if any: minimised, it takes `window` with it.
QWidget* ownerWindow(const QWidget* window) {
    return window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
}

int clampToInt(qsizetype value) {
    return static_cast<int>(std::clamp<qsizetype>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

QString droppedLinesText(qsizetype count) {
    return count == 1 ? QStringLiteral("1 earlier line is not shown.")
                      : QStringLiteral("%1 earlier lines are not shown.").arg(count);
}

// MARK: - Model

InstallLogModel::InstallLogModel(const KeptLines& lines, QObject* parent)
    : QAbstractListModel(parent), m_lines(lines) {}

int InstallLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : clampToInt((m_countRow ? 1 : 0) + m_end - m_first);
}

QVariant InstallLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return text(index.row());
}

QString InstallLogModel::text(int row) const {
    if (m_countRow && row == 0)
        return droppedLinesText(m_first);
    const qsizetype line = lineOfRow(row) - m_lines.dropped();
    return line >= 0 && line < m_lines.size() ? m_lines.at(line) : QString();
}

int InstallLogModel::rowOfLine(qsizetype index) const {
    return clampToInt(index - m_first + (m_countRow ? 1 : 0));
}

qsizetype InstallLogModel::lineOfRow(int row) const {
    return m_countRow && row == 0 ? -1 : m_first + row - (m_countRow ? 1 : 0);
}

Qt::ItemFlags InstallLogModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

InstallLogModel::Change InstallLogModel::sync() {
    Change change;
    const qsizetype first = m_lines.dropped();
    if (first > m_first) {
        // The shown lines before `first` go; the count row stands above the first that stays.
        const qsizetype gone = std::min(first, m_end) - m_first;
        const bool hadCountRow = m_countRow;
        change.shiftedUp = clampToInt((hadCountRow ? 1 : 0) + gone) - 1;
        const qsizetype removed = hadCountRow ? gone : gone - 1;
        if (removed > 0) {
            const int from = hadCountRow ? 1 : 0;
            beginRemoveRows({}, from, from + clampToInt(removed) - 1);
            m_first += removed;
            endRemoveRows();
        }
        if (!hadCountRow && gone == 0) {
            beginInsertRows({}, 0, 0);
            m_countRow = true;
            m_first = m_end = first;
            endInsertRows();
        } else {
            m_countRow = true;
            m_first = first;
            m_end = std::max(m_end, first);
            emit dataChanged(index(0), index(0));
        }
    }
    change.firstAdded = m_end;
    if (m_lines.end() > m_end) {
        const int row = rowCount();
        beginInsertRows({}, row, row + clampToInt(m_lines.end() - m_end) - 1);
        m_end = m_lines.end();
        endInsertRows();
    }
    change.endAdded = m_end;
    return change;
}

// MARK: - View

namespace {

/// The run of `runs` of at most `LineWidths::kRunPiece` code units that the code unit `unit` is inside of or
/// at either end of, where a layout's x could be either end of the run; null if none.
const LineWidths::Run* shortRunAt(std::span<const LineWidths::Run> runs, qsizetype unit) {
    const auto run =
        std::lower_bound(runs.begin(), runs.end(), unit,
                         [](const LineWidths::Run& each, qsizetype at) { return each.end < at; });
    return run != runs.end() && run->start <= unit && run->end - run->start <= LineWidths::kRunPiece
               ? &*run
               : nullptr;
}

/// Adds `start` to `starts` if it is after the last and at or right of it.
void addStart(std::vector<LineWidths::Start>& starts, LineWidths::Start start) {
    if (starts.empty() || (start.unit > starts.back().unit && start.x >= starts.back().x))
        starts.push_back(start);
}

/// Adds to `starts` those of `piece`, the part of a line from its code unit `from` at `x` in it, laid out on
/// one line: one every `LineWidths::kStartEvery` code units (or just past the short run of the line's `runs`
/// it would fall in), between clusters, each after the last and at or right of it (a start inside a long
/// right-to-left run can lie left of one before it).
void addStarts(std::vector<LineWidths::Start>& starts, qsizetype from, qreal x, const QTextLayout& piece,
               std::span<const LineWidths::Run> runs) {
    const QTextLine laid = piece.lineAt(0);
    if (!laid.isValid())
        return;
    const QString& text = piece.text();
    for (qsizetype at = 0; at < text.size(); at += LineWidths::kStartEvery) {
        // The piece's own start is at `x`, whatever it starts with.
        qsizetype unit = LineWidths::clusterBoundary(text, at, false);
        if (const auto* run = unit > 0 ? shortRunAt(runs, from + unit) : nullptr) {
            unit = LineWidths::clusterBoundary(text, run->end + 1 - from, true);
            if (unit >= text.size() || shortRunAt(runs, from + unit) != nullptr)
                continue;
        }
        addStart(starts, {from + unit, x + (unit > 0 ? laid.cursorToX(static_cast<int>(unit)) : 0)});
    }
}

}  // namespace

InstallLogView::InstallLogView(const KeptLines& lines, Clipboard& clipboard, QWidget* parent)
    : QListView(parent),
      m_model(new InstallLogModel(lines, this)),
      m_clipboard(clipboard),
      m_widths(logFont()),
      m_idle(new QTimer(this)) {
    m_idle->setInterval(kIdleTick);
    m_idle->setTimerType(Qt::PreciseTimer);  // a tick, not a few ms either side of one
    connect(m_idle, &QTimer::timeout, this, &InstallLogView::measureWhileIdle);
    setModel(m_model);
    setFont(logFont());
    applyFont();
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* copy = new QAction(QStringLiteral("Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    copy->setEnabled(false);
    connect(copy, &QAction::triggered, this, &InstallLogView::copySelection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, copy,
            [this, copy] { copy->setEnabled(selectionModel()->hasSelection()); });
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void InstallLogView::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyFont();
}

void InstallLogView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    m_shown = true;
    for (QWidget* shown = window(); shown != nullptr; shown = ownerWindow(shown))
        shown->installEventFilter(this);  // to see it minimised
    scheduleMeasuring();
}

void InstallLogView::hideEvent(QHideEvent* event) {
    QListView::hideEvent(event);
    m_shown = false;
    scheduleMeasuring();
}

bool InstallLogView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange)
        scheduleMeasuring();
    return QListView::eventFilter(watched, event);
}

void InstallLogView::applyFont() {
    const bool atEnd = isAtEnd();
    const int firstInView = std::max(0, rowAt(0));
    const QFontMetrics metrics(font());
    m_rowHeight = metrics.height() + 2 * kRowPadding;
    m_ascent = metrics.ascent() + kRowPadding;
    m_widths = LineWidths(font());
    m_drawn.clear();
    m_starts.clear();
    // Every kept line holds its bound in this font until it is shaped in it.
    const qsizetype first = m_heldFirst;
    const qsizetype end = first + static_cast<qsizetype>(m_held.size());
    m_held.clear();
    m_widthCounts.clear();
    m_shapedCounts.clear();
    holdWidths(first, end);
    m_idleNext = m_heldFirst;
    m_piece = {};
    m_firstLines.clear();
    if (!m_held.empty())
        startMeasuring();
    updateGeometries();
    auto* bar = verticalScrollBar();
    bar->setValue(atEnd ? bar->maximum() : firstInView * rowHeight());
    viewport()->update();
}

bool InstallLogView::isAtEnd() const {
    const auto* bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void InstallLogView::showNewLines() {
    const bool atEnd = isAtEnd();
    const int value = verticalScrollBar()->value();
    const auto change = m_model->sync();
    holdWidths(change.firstAdded, change.endAdded);
    if (change.shiftedUp == 0 && change.firstAdded == change.endAdded)
        return;
    startMeasuring();
    updateGeometries();
    auto* bar = verticalScrollBar();
    bar->setValue(atEnd ? bar->maximum() : value - change.shiftedUp * rowHeight());
    viewport()->update();
}

void InstallLogView::holdWidths(qsizetype from, qsizetype end) {
    const auto& lines = m_model->lines();
    const qreal shapedBefore = widestShaped();
    while (!m_held.empty() && m_heldFirst < lines.dropped()) {
        count(m_held.front(), -1);
        m_held.pop_front();
        ++m_heldFirst;
    }
    if (widestShaped() < shapedBefore) {
        // A line skipped as no wider than the widest shaped may be the widest now.
        m_idleNext = m_heldFirst;
        startMeasuring();
    }
    m_starts.erase(m_starts.begin(), m_starts.lower_bound(m_heldFirst));
    m_traits.erase(m_traits.begin(), m_traits.lower_bound(m_heldFirst));
    if (m_held.empty())
        m_heldFirst = std::max(from, lines.dropped());
    for (auto index = m_heldFirst + static_cast<qsizetype>(m_held.size()); index < end; ++index) {
        const auto bound = m_widths.bound(lines.at(index - lines.dropped()));
        // Printable ASCII has no runs.
        m_held.push_back(
            Held{bound.width, 0, bound.exact ? bound.width : -1, bound.exact ? Found::none : Found::unread});
        count(m_held.back(), 1);
    }
    m_countRowWidth =
        m_model->rowCount() > 0 && m_model->lineOfRow(0) < 0 ? m_widths.bound(m_model->text(0)).width : 0;
}

void InstallLogView::count(const Held& held, int by) {
    const auto add = [by](std::map<qreal, qsizetype>& counts, qreal width) {
        auto& counted = counts[width];
        counted += by;
        if (counted <= 0)
            counts.erase(width);
    };
    add(m_widthCounts, held.width());
    if (held.shaped >= 0)
        add(m_shapedCounts, held.shaped);
}

const LineWidths::Traits& InstallLogView::traitsOf(qsizetype line, Held& held) {
    static const LineWidths::Traits none;
    if (line < 0 || held.found == Found::none)
        return none;
    // Those found before a font change are still the line's.
    if (const auto kept = m_traits.find(line); kept != m_traits.end()) {
        held.found = Found::kept;
        return kept->second;
    }
    const auto& lines = m_model->lines();
    auto traits = LineWidths::traitsOf(lines.at(line - lines.dropped()));
    if (!traits.any()) {
        held.found = Found::none;
        return none;
    }
    held.found = Found::kept;
    return m_traits[line] = std::move(traits);
}

const LineWidths::Traits& InstallLogView::traitsTo(qsizetype line, Held& held, qsizetype end) {
    const auto& traits = traitsOf(line, held);
    if (traits.runsKnownTo(end))
        return traits;
    const auto& lines = m_model->lines();
    auto& kept = m_traits[line];
    LineWidths::findRuns(lines.at(line - lines.dropped()), kept);
    return kept;
}

void InstallLogView::setHeld(qsizetype index, Held held) {
    const qsizetype at = index - m_heldFirst;
    if (at < 0 || at >= static_cast<qsizetype>(m_held.size()))
        return;
    auto& kept = m_held[static_cast<std::size_t>(at)];
    if (kept == held)
        return;
    count(kept, -1);
    kept = held;
    count(kept, 1);
}

qreal InstallLogView::widestShaped() const {
    return m_shapedCounts.empty() ? 0 : m_shapedCounts.rbegin()->first;
}

qreal InstallLogView::widestLine() const {
    return std::max(m_widthCounts.empty() ? 0 : m_widthCounts.rbegin()->first, m_countRowWidth);
}

void InstallLogView::setIdleTick(std::chrono::milliseconds tick) {
    m_idle->setInterval(tick);
}

void InstallLogView::measureFirst(qsizetype line) {
    if (std::find(m_firstLines.begin(), m_firstLines.end(), line) == m_firstLines.end())
        m_firstLines.push_back(line);
    startMeasuring();
}

void InstallLogView::startMeasuring() {
    m_measuring = true;
    scheduleMeasuring();
}

void InstallLogView::scheduleMeasuring() {
    bool minimised = false;
    for (const QWidget* shown = window(); shown != nullptr && !minimised; shown = ownerWindow(shown))
        minimised = shown->isMinimized();
    if (!m_measuring || !m_shown || minimised)
        m_idle->stop();
    else if (!m_idle->isActive())
        m_idle->start();  // not restarted: batches coming faster than the tick would hold the work off
}

InstallLogView::Kept* InstallLogView::keptFor(qsizetype line, const LineWidths::Traits& traits) {
    const auto& lines = m_model->lines();
    const qsizetype at = line - m_heldFirst;
    if (at < 0 || at >= static_cast<qsizetype>(m_held.size()) || line < lines.dropped())
        return nullptr;
    // A line no wider than the view needs none while the view is as wide, and is laid out whole for them when
    // it becomes narrower; one longer than a row draws whole, or with a long run, keeps them whatever the
    // view.
    if (m_held[static_cast<std::size_t>(at)].width() <= viewport()->width() &&
        lines.at(line - lines.dropped()).size() <= LineWidths::kMostPainted && !traits.longRuns())
        return nullptr;
    return &m_starts[line];
}

void InstallLogView::keepPieces(qsizetype line, const LineWidths::Traits& traits, std::size_t run) {
    Kept* kept = keptFor(line, traits);
    if (kept == nullptr)
        return;
    const auto& [start, end] = traits.runs[run];
    const auto& ends = traits.pieceEnds[run];
    const auto& widths = m_piece.widths;
    qreal x = m_piece.runLeft;
    for (const qreal width : widths)
        x += width;
    // The run's first piece at its right end, each later one left of it.
    addStart(kept->starts, {start, m_piece.runLeft});
    addStart(kept->starts, {end, x});
    for (std::size_t piece = 0; piece < widths.size() && piece < ends.size(); ++piece) {
        kept->pieces.push_back({piece > 0 ? ends[piece - 1] : start, x});
        x -= widths[piece];
    }
}

std::optional<LineWidths::Start> InstallLogView::startBefore(qsizetype line, qreal x) const {
    const auto kept = m_starts.find(line);
    if (kept == m_starts.end())
        return {};
    const auto& starts = kept->second.starts;
    const auto after =
        std::upper_bound(starts.begin(), starts.end(), x,
                         [](qreal at, const LineWidths::Start& start) { return at < start.x; });
    if (after == starts.begin())
        return {};
    return *std::prev(after);
}

bool InstallLogView::pickLineToMeasure() {
    const auto& lines = m_model->lines();
    const qsizetype first = std::max(m_heldFirst, lines.dropped());
    const qsizetype end = m_heldFirst + static_cast<qsizetype>(m_held.size());
    if (m_piece.line >= first)
        return true;
    // Lines asked for first while they are in view, then those that may set the range: a line held no wider
    // than the widest line shaped cannot.
    m_piece = {};
    std::erase_if(m_firstLines, [&](qsizetype line) {
        return line < first || line >= end ||
               m_held[static_cast<std::size_t>(line - m_heldFirst)].shaped >= 0 ||
               !rowInView(m_model->rowOfLine(line));
    });
    const qreal shaped = widestShaped();
    m_idleNext = std::max(m_idleNext, first);
    while (m_idleNext < end) {
        const Held& held = m_held[static_cast<std::size_t>(m_idleNext - m_heldFirst)];
        if (held.shaped < 0 && held.width() > shaped)
            break;
        ++m_idleNext;
    }
    if (m_firstLines.empty() && m_idleNext >= end)
        return false;
    m_piece.line = m_firstLines.empty() ? m_idleNext : m_firstLines.front();
    return true;
}

void InstallLogView::measureWhileIdle() {
    using Clock = std::chrono::steady_clock;
    const auto& lines = m_model->lines();
    const int widthBefore = contentWidth();
    bool changedInView = false;
    QTextLayout piece(QString(), font(), viewport());
    const auto start = Clock::now();
    for (Clock::duration elapsed{}, last{}; elapsed + last <= kIdleBudget;) {
        if (!pickLineToMeasure()) {
            m_measuring = false;
            m_idle->stop();
            break;
        }
        // A long line is shaped in pieces, a few a turn, and its width is what they add up to. A long run is
        // shaped in its own pieces, each right to left, and placed once all are.
        const QString& text = lines.at(m_piece.line - lines.dropped());
        // With the line's runs once a piece can reach where one could start.
        const auto& traits =
            traitsTo(m_piece.line, m_held[static_cast<std::size_t>(m_piece.line - m_heldFirst)],
                     m_piece.done + LineWidths::kPiece + 1);
        const auto before = Clock::now();
        const auto run = traits.longRunAt(m_piece.done);
        qsizetype cut = 0;
        qreal advance = 0;
        if (run) {
            const auto& ends = traits.pieceEnds[*run];
            const LineWidths::Run whole = traits.runs[*run];
            cut = *std::upper_bound(ends.begin(), ends.end(), m_piece.done);
            if (m_piece.done == whole.start) {
                m_piece.runLeft = m_piece.width;
                m_piece.widths.clear();
            }
            const auto laid = m_widths.layOutPiece(piece, text, whole, m_piece.done, cut);
            advance = laid.right - laid.left;
            m_piece.widths.push_back(advance);
            if (cut == whole.end)
                keepPieces(m_piece.line, traits, *run);
        } else {
            cut = LineWidths::pieceEnd(text, m_piece.done, traits.runs);
            advance =
                m_widths.shapedWidth(piece, text.sliced(m_piece.done, cut - m_piece.done), m_piece.width);
            if (Kept* kept = keptFor(m_piece.line, traits))
                addStarts(kept->starts, m_piece.done, m_piece.width, piece, traits.runs);
        }
        const auto now = Clock::now();
        last = now - before;
        elapsed = now - start;
        m_piece.width += advance;
        m_piece.done = cut;
        if (cut < text.size())
            continue;
        Held held = m_held[static_cast<std::size_t>(m_piece.line - m_heldFirst)];
        held.shaped = m_piece.width;
        setHeld(m_piece.line, held);
        changedInView = changedInView || rowInView(m_model->rowOfLine(m_piece.line));
        m_piece = {};
    }
    if (contentWidth() != widthBefore)
        updateGeometries();
    if (changedInView)
        viewport()->update();
}

int InstallLogView::contentWidth() const {
    constexpr qreal kWidest = static_cast<qreal>(std::numeric_limits<int>::max()) / 2;
    return static_cast<int>(std::min(std::ceil(widestLine()), kWidest)) + 2 * kTextMargin;
}

void InstallLogView::updateGeometries() {
    const QSize view = viewport()->size();
    const qint64 height = qint64{m_model->rowCount()} * rowHeight();
    auto* vertical = verticalScrollBar();
    vertical->setSingleStep(rowHeight());
    vertical->setPageStep(view.height());
    vertical->setRange(
        0, static_cast<int>(std::clamp<qint64>(height - view.height(), 0, std::numeric_limits<int>::max())));
    auto* horizontal = horizontalScrollBar();
    horizontal->setSingleStep(rowHeight());
    horizontal->setPageStep(view.width());
    horizontal->setRange(0, std::max(0, contentWidth() - view.width()));
    QAbstractItemView::updateGeometries();  // NOLINT(bugprone-parent-virtual-call)
}

// The list view's own layout and geometry would place every row, at a cost that grows with the rows: these
// go past it to the item view's, and the rows are placed by arithmetic instead.
void InstallLogView::doItemsLayout() {
    QAbstractItemView::doItemsLayout();  // NOLINT(bugprone-parent-virtual-call)
}

void InstallLogView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);  // NOLINT(bugprone-parent-virtual-call)
}

void InstallLogView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);  // NOLINT(bugprone-parent-virtual-call)
}

void InstallLogView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                 const QList<int>& roles) {
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);  // NOLINT(bugprone-parent-virtual-call)
}

void InstallLogView::scrollContentsBy(int dx, int dy) {
    QAbstractItemView::scrollContentsBy(dx, dy);  // NOLINT(bugprone-parent-virtual-call)
}

void InstallLogView::resizeEvent(QResizeEvent* event) {
    const bool atEnd = isAtEnd();
    QAbstractItemView::resizeEvent(event);  // NOLINT(bugprone-parent-virtual-call)
    if (atEnd)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QSize InstallLogView::viewportSizeHint() const {
    return QAbstractItemView::viewportSizeHint();  // NOLINT(bugprone-parent-virtual-call)
}

int InstallLogView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int InstallLogView::verticalOffset() const {
    return verticalScrollBar()->value();
}

bool InstallLogView::rowInView(int row) const {
    const int last = rowAt(viewport()->height() - 1);
    return row >= std::max(0, rowAt(0)) && (last < 0 || row <= last);
}

int InstallLogView::rowAt(int y) const {
    const qint64 row = (qint64{y} + verticalOffset()) / rowHeight();
    return row < 0 || row >= m_model->rowCount() ? -1 : static_cast<int>(row);
}

QRect InstallLogView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != m_model)
        return {};
    const qint64 top = qint64{index.row()} * rowHeight() - verticalOffset();
    const int clamped = static_cast<int>(
        std::clamp<qint64>(top, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
    return {-horizontalOffset(), clamped, std::max(contentWidth(), viewport()->width()), rowHeight()};
}

QModelIndex InstallLogView::indexAt(const QPoint& point) const {
    const int row = rowAt(point.y());
    return row < 0 ? QModelIndex() : m_model->index(row);
}

void InstallLogView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const qint64 top = qint64{index.row()} * rowHeight();
    const int view = viewport()->height();
    auto* bar = verticalScrollBar();
    const qint64 value = bar->value();
    qint64 target = value;
    switch (hint) {
        case PositionAtTop:
            target = top;
            break;
        case PositionAtBottom:
            target = top + rowHeight() - view;
            break;
        case PositionAtCenter:
            target = top - (view - rowHeight()) / 2;
            break;
        case EnsureVisible:
            if (top < value)
                target = top;
            else if (top + rowHeight() > value + view)
                target = top + rowHeight() - view;
            break;
    }
    bar->setValue(static_cast<int>(std::clamp<qint64>(target, 0, bar->maximum())));
}

QModelIndex InstallLogView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
    const int rows = m_model->rowCount();
    if (rows == 0)
        return {};
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const int page = std::max(1, viewport()->height() / rowHeight());
    int row = current;
    switch (cursorAction) {
        case MoveUp:
        case MovePrevious:
            row = current - 1;
            break;
        case MoveDown:
        case MoveNext:
            row = current + 1;
            break;
        case MovePageUp:
            row = current - page;
            break;
        case MovePageDown:
            row = current + page;
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        case MoveLeft:
        case MoveRight:
            return currentIndex();
    }
    return m_model->index(std::clamp(row, 0, rows - 1));
}

void InstallLogView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const QRect rows = rect.normalized();
    int top = rowAt(rows.top());
    int bottom = rowAt(rows.bottom());
    const int last = m_model->rowCount() - 1;
    if (last < 0)
        return;
    if (top < 0)
        top = rows.top() + verticalOffset() < 0 ? 0 : last;
    if (bottom < 0)
        bottom = last;
    selectionModel()->select(
        QItemSelection(m_model->index(std::min(top, bottom)), m_model->index(std::max(top, bottom))),
        command);
}

QRegion InstallLogView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const QRect view = viewport()->rect();
    for (const auto& range : selection) {
        const QRect top = visualRect(m_model->index(range.top()));
        const QRect bottom = visualRect(m_model->index(range.bottom()));
        region += QRect(top.topLeft(), bottom.bottomRight()).intersected(view);
    }
    return region;
}

void InstallLogView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QAbstractItemView::currentChanged(current, previous);  // NOLINT(bugprone-parent-virtual-call)
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
}

void InstallLogView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);  // NOLINT(bugprone-parent-virtual-call)
}

void InstallLogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QRect area = event->rect();
    const int first = std::max(0, rowAt(area.top()));
    const int last = rowAt(area.bottom());
    const int end = last < 0 ? m_model->rowCount() : last + 1;
    const auto* selection = selectionModel();
    const QPalette& colors = palette();
    const int widthBefore = contentWidth();
    std::vector<Drawn> drawn;
    for (int row = first; row < end; ++row) {
        const QModelIndex index = m_model->index(row);
        const QRect rect = visualRect(index);
        const bool selected = selection->isSelected(index);
        if (selected)
            painter.fillRect(
                QRect(0, rect.top(), viewport()->width(), rect.height()),
                colors.brush(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight));
        painter.setPen(colors.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const qsizetype line = m_model->lineOfRow(row);
        const qsizetype at = line - m_heldFirst;
        const bool held = line >= 0 && at >= 0 && at < static_cast<qsizetype>(m_held.size());
        const Held before =
            held ? m_held[static_cast<std::size_t>(at)] : Held{m_countRowWidth, 0, m_countRowWidth};
        const Held after =
            drawRow(painter, held ? line : -1, m_model->text(row), before, rect.top() + m_ascent, drawn);
        if (held)
            setHeld(line, after);
    }
    // The rows this paint did not reach keep their layouts while they are in view; those it drew, only the
    // layouts it drew them with.
    const auto paintedRows = static_cast<std::ptrdiff_t>(drawn.size());
    for (auto& kept : m_drawn) {
        const bool painted = std::any_of(drawn.begin(), drawn.begin() + paintedRows,
                                         [&](const Drawn& other) { return other.line == kept.line; });
        if (!kept.parts.empty() && !painted && kept.line >= m_heldFirst &&
            rowInView(m_model->rowOfLine(kept.line)))
            drawn.push_back(std::move(kept));
    }
    m_drawn = std::move(drawn);
    if (contentWidth() != widthBefore) {
        // A line drawn whole holds its shaped width now, and one drawn wider than its bound what it reached:
        // the range follows once this paint is over.
        QMetaObject::invokeMethod(this, &InstallLogView::updateGeometries, Qt::QueuedConnection);
    }
    if (currentIndex().isValid() && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = QRect(0, visualRect(currentIndex()).top(), viewport()->width(), rowHeight());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

InstallLogView::Held InstallLogView::drawRow(QPainter& painter, qsizetype line, const QString& text,
                                             Held held, qreal baseline, std::vector<Drawn>& drawn) {
    const qreal offset = horizontalOffset();
    const qreal from = std::max<qreal>(0, offset - kTextMargin);
    if (text.isEmpty() || (held.shaped >= 0 && held.shaped < from))
        return held;  // it ends before the view begins
    const qreal span = viewport()->width();
    const qreal width = held.width();
    // A shaped line is placed by the start kept nearest before the view, where it has some.
    const auto start = held.shaped >= 0 ? startBefore(line, from) : std::nullopt;
    // A kept line never changes: its layouts serve again while the part in view and its place stay the same
    // (a line drawn whole is placed at its start, whatever the view and its width, and a slice from its start
    // at its start, whatever its width and starts: once shaped, it is drawn as it was).
    const auto fits = [&](const Drawn& row) {
        if (row.parts.empty() || row.line != line)
            return false;
        const bool one = row.parts.size() == 1;
        const auto& first = row.parts.front().laid;
        const bool whole = one && first.slice.start == 0 && first.slice.end == text.size();
        const bool atStart = one && first.slice.start == 0 && first.x == 0;
        return whole || (row.from == from && row.span == span &&
                         (atStart || (row.width == width && row.start == start)));
    };
    const auto kept = line < 0 ? m_drawn.end() : std::find_if(m_drawn.begin(), m_drawn.end(), fits);
    const bool drawable = text.size() <= LineWidths::kMostPainted;
    const auto exact = [&] { return held.shaped == held.bound && m_widths.bound(text).exact; };
    const bool wholeForStarts = drawable && line >= 0 && !m_starts.contains(line) && held.shaped > span &&
                                kept == m_drawn.end() && !exact();
    // A new layout, with the line's runs where they are known as far as it reaches.
    const auto layOut = [&](const LineWidths::Traits& traits) {
        Drawn laid{line, width, from, span, start, {}};
        if (traits.longRuns()) {
            // Slices around the runs longer than a slice holds, and those runs' pieces in view: placed where
            // the line's starts and pieces kept put them once it is shaped (they are kept whatever the view).
            const auto placed = m_starts.find(line);
            laid.parts = m_widths.layOutAroundRuns(
                text, traits, width, held.bound, from, span,
                held.shaped >= 0 && placed != m_starts.end()
                    ? std::optional<LineWidths::Placed>({placed->second.starts, placed->second.pieces})
                    : std::nullopt,
                viewport());
            return laid;
        }
        auto& part = laid.parts.emplace_back();
        part.layout = std::make_unique<QTextLayout>(QString(), font(), viewport());
        // A shaped line wider than the view that has no starts kept (it was not when shaped) is laid out
        // whole where a row can draw it all, for its starts, and drawn clipped.
        const bool startless = line >= 0 && !m_starts.contains(line);
        if (wholeForStarts)
            part.laid = m_widths.layOutWhole(*part.layout, text);
        else
            part.laid =
                m_widths.layOutVisible(*part.layout, text, width, held.bound, from, span, start, traits.runs);
        const auto& whole = part.laid;
        if (startless && whole.slice.start == 0 && whole.slice.end == text.size() && whole.advance > span)
            addStarts(m_starts[line].starts, 0, 0, *part.layout, traits.runs);
        return laid;
    };
    Drawn row;
    if (kept != m_drawn.end()) {
        row = std::move(*kept);
    } else {
        // The runs are looked for once a row reaches where one could start: a line with one right-to-left
        // letter far on is drawn as if it had none until then.
        const LineWidths::Traits* traits =
            wholeForStarts ? &traitsTo(line, held, text.size()) : &traitsOf(line, held);
        row = layOut(*traits);
        const auto reached = std::max_element(row.parts.begin(), row.parts.end(),
                                              [](const LineWidths::Part& a, const LineWidths::Part& b) {
                                                  return a.laid.slice.end < b.laid.slice.end;
                                              });
        if (reached != row.parts.end() && !traits->runsKnownTo(reached->laid.slice.end))
            row = layOut(traitsTo(line, held, text.size()));
    }
    if (row.parts.empty())
        return held;
    const auto& first = row.parts.front().laid;
    if (row.parts.size() == 1 && first.slice.start == 0 && first.slice.end == text.size()) {
        held.shaped = first.advance;  // shaped whole: what the line is
    } else if (held.shaped < 0) {
        measureFirst(line);  // to be placed, once shaped, where the whole line puts it
        if (row.parts.size() == 1 && first.slice.end < text.size()) {
            // The rest follows where the bound puts it after what was drawn.
            held.drawn = std::max(held.drawn,
                                  first.slice.boundStart + first.advance + held.bound - first.slice.boundEnd);
        }
    }
    for (const auto& part : row.parts) {
        const QTextLine shown = part.layout->lineAt(0);
        const QPointF at(kTextMargin - offset + part.laid.x, baseline - shown.ascent());
        if (part.clipped) {
            // Only its own clusters, not those it was shaped with, to the nearest pixel either side: the
            // pixel two pieces share is drawn once, by one of them.
            const auto left = static_cast<int>(std::round(kTextMargin - offset + part.clipLeft));
            const auto right = static_cast<int>(std::round(kTextMargin - offset + part.clipRight));
            painter.save();
            painter.setClipRect(
                QRect(left, static_cast<int>(baseline) - m_ascent, right - left, rowHeight()));
            shown.draw(&painter, at);
            painter.restore();
        } else {
            shown.draw(&painter, at);
        }
    }
    if (line >= 0)
        drawn.push_back(std::move(row));
    return held;
}

void InstallLogView::copySelection() {
    auto rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList text;
    text.reserve(rows.size());
    for (const auto& row : rows)
        text.push_back(m_model->text(row.row()));
    m_clipboard.setText(text.join(QLatin1Char('\n')));
}

}  // namespace quill::ui
