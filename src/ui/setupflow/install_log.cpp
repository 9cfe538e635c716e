#include "ui/setupflow/install_log.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <limits>

#include "ui/common/clipboard.h"
#include "ui/common/style.h"

namespace quill::ui {

/// Gives every row the width of the widest line, so the list's extent follows it. With uniform item sizes
/// the list asks for one row's size only.
class WidestLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setTextWidth(int width) { m_textWidth = width; }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int own = option.fontMetrics.horizontalAdvance(index.data().toString());
        size.setWidth(size.width() - own + std::max(own, m_textWidth));
        return size;
    }

  private:
    int m_textWidth = 0;
};

namespace {
/// Whether every character of `line` is printable ASCII, which a fixed-pitch font draws one advance wide.
bool isPlainAscii(const QString& line) {
    return std::all_of(line.cbegin(), line.cend(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}
}  // namespace

InstallLogModel::InstallLogModel(const QStringList& lines, QObject* parent)
    : QAbstractListModel(parent), m_lines(lines) {}

int InstallLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

QVariant InstallLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown)
        return {};
    if (role == Qt::DisplayRole)
        return m_lines.at(index.row());
    return {};
}

Qt::ItemFlags InstallLogModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void InstallLogModel::showNewLines() {
    const auto total = static_cast<int>(std::min<qsizetype>(m_lines.size(), std::numeric_limits<int>::max()));
    if (total <= m_shown)
        return;
    beginInsertRows({}, m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

InstallLogView::InstallLogView(const QStringList& lines, Clipboard& clipboard, QWidget* parent)
    : QListView(parent),
      m_model(new InstallLogModel(lines, this)),
      m_delegate(new WidestLineDelegate(this)),
      m_clipboard(clipboard) {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(Style::font(TextRole::caption).pointSizeF());
    setFont(mono);
    setModel(m_model);
    setItemDelegate(m_delegate);
    // Every row is one line of one font: the list measures one row, not a hundred thousand.
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setHorizontalScrollMode(ScrollPerPixel);
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

void InstallLogView::showNewLines() {
    if (m_model->rowCount() == m_model->lines().size())
        return;
    measure(m_model->rowCount());
    m_model->showNewLines();
    scrollToBottom();
}

void InstallLogView::resizeEvent(QResizeEvent* event) {
    const auto* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QListView::resizeEvent(event);
    if (atEnd)
        scrollToBottom();
}

void InstallLogView::measure(qsizetype from) {
    // Measuring text is the costly part of a line: in a fixed-pitch font a plain ASCII line is no wider than
    // a longer one, so only a plain line longer than any before it is measured, and every other line.
    const QFontMetrics metrics(font());
    const bool fixedPitch = QFontInfo(font()).fixedPitch();
    const auto& lines = m_model->lines();
    int widest = m_widest;
    for (auto index = from; index < lines.size(); ++index) {
        const auto& line = lines.at(index);
        if (fixedPitch && isPlainAscii(line)) {
            if (line.size() <= m_longestPlain)
                continue;
            m_longestPlain = line.size();
        }
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    if (widest != m_widest) {
        m_widest = widest;
        m_delegate->setTextWidth(widest);
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
        text.push_back(m_model->lines().at(row.row()));
    m_clipboard.setText(text.join(QLatin1Char('\n')));
}

}  // namespace quill::ui
