#include "ui/setupflow/install_log.h"

#include <QAccessible>
#include <QAction>
#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "ui/common/clipboard.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {

constexpr int kTextMargin = 4;  // left and right of every line
constexpr int kRowPadding = 1;  // above and below every line
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kLastPrintable = 0x7e;
/// The most characters painted of one row: more than any screen is wide.
constexpr qsizetype kMostPainted = 4096;

QFont logFont() {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(Style::font(TextRole::caption).pointSizeF());
    return mono;
}

int clampToInt(qsizetype value) {
    return static_cast<int>(std::clamp<qsizetype>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

// MARK: - Kept lines

KeptLines::KeptLines(qsizetype maximumLines, qsizetype maximumBytes)
    : m_maximumLines(std::max<qsizetype>(maximumLines, 1)), m_maximumBytes(maximumBytes) {}

void KeptLines::append(QString line) {
    m_bytes += line.size() * qsizetype{sizeof(QChar)};
    m_lines.push_back(std::move(line));
    while (m_lines.size() > 1 && (size() > m_maximumLines || m_bytes > m_maximumBytes)) {
        m_bytes -= m_lines.front().size() * qsizetype{sizeof(QChar)};
        m_lines.pop_front();
        ++m_dropped;
    }
}

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
    const qsizetype line = m_first + row - (m_countRow ? 1 : 0) - m_lines.dropped();
    return line >= 0 && line < m_lines.size() ? m_lines.at(line) : QString();
}

int InstallLogModel::rowOfLine(qsizetype index) const {
    return clampToInt(index - m_first + (m_countRow ? 1 : 0));
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

// MARK: - Widths

LineWidths::LineWidths(const QFont& font) : m_metrics(font) {
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

std::optional<qreal> LineWidths::asciiWidth(QStringView line) const {
    if (m_equal) {
        const bool plain = std::all_of(line.begin(), line.end(), [](QChar c) {
            return c.unicode() >= kFirstPrintable && c.unicode() <= kLastPrintable;
        });
        return plain ? std::optional<qreal>(static_cast<qreal>(line.size()) * m_advance[0]) : std::nullopt;
    }
    qreal sum = 0;
    for (const QChar c : line) {
        if (c.unicode() < kFirstPrintable || c.unicode() > kLastPrintable)
            return std::nullopt;
        sum += m_advance[c.unicode() - kFirstPrintable];
    }
    return sum;
}

qreal LineWidths::stepAfter(QChar c, qreal x) const {
    return c == QLatin1Char('\t') ? (std::floor(x / m_tabStop) + 1) * m_tabStop : x + m_widest;
}

qreal LineWidths::reach(QStringView text, qreal x) const {
    for (const QChar c : text) {
        if (!c.isLowSurrogate())  // a pair is one character
            x = stepAfter(c, x);
    }
    return x;
}

QStringView LineWidths::shapedPart(QStringView line) {
    QStringView head = line.first(std::min(line.size(), kShapedPrefix));
    if (head.size() < line.size() && head.back().isHighSurrogate())
        head.chop(1);
    return head;
}

qreal LineWidths::width(QStringView line, qreal atMost) {
    if (const auto ascii = asciiWidth(line))
        return *ascii;
    if (reach(line, 0) <= atMost)
        return atMost;
    ++m_shapingCalls;
    if (line.size() <= kShapedPrefix)
        return m_metrics.horizontalAdvance(line.toString());
    // The rest is bounded from a character past the shaped part's end, which may join or kern with what
    // follows it.
    const QStringView head = shapedPart(line);
    return reach(line.sliced(head.size()), m_metrics.horizontalAdvance(head.toString()) + m_widest);
}

LineWidths::Slice LineWidths::visible(QStringView line, qreal from, qreal span) const {
    const qsizetype length = line.size();
    const auto ascii = asciiWidth(line);
    Slice slice{0, length, 0, !ascii};
    if (length <= kShapedPrefix)
        return slice;
    if (ascii && !m_equal) {
        // Added up to where the view begins.
        qreal x = 0;
        qsizetype start = 0;
        while (start < length && x + m_advance[line[start].unicode() - kFirstPrintable] <= from)
            x += m_advance[line[start++].unicode() - kFirstPrintable];
        slice.start = start;
        slice.x = x;
    } else if (ascii) {
        // Equal advances place every character exactly.
        slice.start =
            std::clamp<qsizetype>(static_cast<qsizetype>(std::floor(from / m_advance[0])) - 2, 0, length);
        slice.x = static_cast<qreal>(slice.start) * m_advance[0];
    } else {
        // The shaped part by its average width; the rest where its bound puts it, as `width` adds it up, so
        // that no character is drawn past the width the line was given.
        const QStringView head = shapedPart(line);
        const qreal headWidth = m_metrics.horizontalAdvance(head.toString());
        qreal x = headWidth + m_widest;
        if (from < x) {
            const qreal average = std::max<qreal>(headWidth / static_cast<qreal>(head.size()), 0.5);
            slice.start =
                std::clamp<qsizetype>(static_cast<qsizetype>(std::floor(from / average)) - 2, 0, head.size());
            slice.x = static_cast<qreal>(slice.start) * average;
        } else {
            qsizetype start = head.size();
            while (start < length) {
                const qreal next = stepAfter(line[start], x);
                if (next > from)
                    break;
                x = next;
                start += start + 1 < length && line[start].isHighSurrogate() ? 2 : 1;
            }
            slice.start = std::min(start, length);
            slice.x = x;
        }
    }
    if (slice.start > 0 && slice.start < length && line[slice.start].isLowSurrogate())
        --slice.start;
    const auto shown = static_cast<qsizetype>(std::ceil(span / m_narrowest)) + 4;
    slice.length = std::min({length - slice.start, shown, kMostPainted});
    if (slice.start + slice.length < length && line[slice.start + slice.length - 1].isHighSurrogate())
        ++slice.length;
    return slice;
}

qreal LineWidths::reachAfterDrawing(QStringView line, const Slice& slice, const QString& shown) const {
    if (!slice.bounded)
        return 0;
    const qreal drawnEnd = slice.x + m_metrics.horizontalAdvance(shown);
    const qsizetype end = slice.start + slice.length;
    // What is left of the shaped part is placed by its shaped width, which `width` took.
    if (end < shapedPart(line).size())
        return drawnEnd;
    return reach(line.sliced(end), drawnEnd);
}

// MARK: - View

InstallLogView::InstallLogView(const KeptLines& lines, Clipboard& clipboard, QWidget* parent)
    : QListView(parent),
      m_model(new InstallLogModel(lines, this)),
      m_clipboard(clipboard),
      m_widths(logFont()) {
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

void InstallLogView::applyFont() {
    const QFontMetrics metrics(font());
    m_rowHeight = metrics.height() + 2 * kRowPadding;
    m_ascent = metrics.ascent() + kRowPadding;
    m_widths = LineWidths(font());
    m_widest = 0;
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_widest = std::max(m_widest, m_widths.width(m_model->text(row), m_widest));
    updateGeometries();
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
    measure(change.firstAdded, change.endAdded);
    if (change.shiftedUp == 0 && change.firstAdded == change.endAdded)
        return;
    updateGeometries();
    auto* bar = verticalScrollBar();
    bar->setValue(atEnd ? bar->maximum() : value - change.shiftedUp * rowHeight());
    viewport()->update();
}

void InstallLogView::measure(qsizetype from, qsizetype end) {
    const auto& lines = m_model->lines();
    qreal widest = m_widest;
    for (auto index = std::max(from, lines.dropped()); index < end; ++index)
        widest = std::max(widest, m_widths.width(lines.at(index - lines.dropped()), widest));
    if (m_model->rowCount() > 0)
        widest = std::max(widest, m_widths.width(m_model->text(0), widest));
    m_widest = widest;
}

int InstallLogView::contentWidth() const {
    constexpr qreal kWidest = static_cast<qreal>(std::numeric_limits<int>::max()) / 2;
    return static_cast<int>(std::min(std::ceil(m_widest), kWidest)) + 2 * kTextMargin;
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
    const qreal from = horizontalOffset();
    const qreal span = viewport()->width();
    qreal reached = 0;
    for (int row = first; row < end; ++row) {
        const QModelIndex index = m_model->index(row);
        const QRect rect = visualRect(index);
        const bool selected = selection->isSelected(index);
        if (selected)
            painter.fillRect(
                QRect(0, rect.top(), viewport()->width(), rect.height()),
                colors.brush(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight));
        painter.setPen(colors.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QString text = m_model->text(row);
        const auto slice = m_widths.visible(text, std::max<qreal>(0, from - kTextMargin), span);
        const QString shown =
            slice.start == 0 && slice.length == text.size() ? text : text.mid(slice.start, slice.length);
        painter.drawText(QPointF(kTextMargin - from + slice.x, rect.top() + m_ascent), shown);
        reached = std::max(reached, m_widths.reachAfterDrawing(text, slice, shown));
    }
    if (reached > m_widest) {
        // Drawn wider than it was measured: the range grows, once this paint is over, to what was drawn.
        m_widest = reached;
        QMetaObject::invokeMethod(this, &InstallLogView::updateGeometries, Qt::QueuedConnection);
    }
    if (currentIndex().isValid() && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = QRect(0, visualRect(currentIndex()).top(), viewport()->width(), rowHeight());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
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
