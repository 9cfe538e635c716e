#include "ui/common/screen_page.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/common/press_guard.h"

namespace quill::ui {

namespace {

constexpr const char* kLastTabStop = "quillLastTabStop";

/// The Tab stops under `root` in the order of the window's focus chain (the order they were made), the last
/// stops moved to the end.
QList<QWidget*> tabStops(QWidget* root) {
    QList<QWidget*> stops;
    QList<QWidget*> last;
    for (QWidget* w = root->nextInFocusChain(); w != root && w != nullptr; w = w->nextInFocusChain()) {
        if (!root->isAncestorOf(w) || (w->focusPolicy() & Qt::TabFocus) == 0 || !w->isVisible() ||
            !w->isEnabled() || w->focusProxy() != nullptr)
            continue;
        (w->property(kLastTabStop).toBool() ? last : stops).push_back(w);
    }
    return stops + last;
}

}  // namespace

ScreenPage::ScreenPage(ScreenContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_tasks(this) {
    PressGuard::install(this);
}

ScreenPage::~ScreenPage() = default;

QAbstractButton* ScreenPage::defaultButton() const {
    return nullptr;
}

void ScreenPage::appeared() {}

void ScreenPage::leaving() {
    m_tasks.cancelAll();
}

bool ScreenPage::focusNextPrevChild(bool next) {
    // An embedded page takes part in the order of the page around it.
    QWidget* root = this;
    for (QWidget* above = parentWidget(); above != nullptr && !above->isWindow();
         above = above->parentWidget()) {
        if (qobject_cast<ScreenPage*>(above) != nullptr)
            root = above;
    }
    const auto stops = tabStops(root);
    if (stops.isEmpty())
        return true;  // nothing to reach: the focus stays on the page
    const auto at = stops.indexOf(QApplication::focusWidget());
    const auto count = stops.size();
    const auto to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    QWidget* stop = stops[to];
    stop->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    for (QWidget* above = stop->parentWidget(); above != nullptr && above != root;
         above = above->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(above))
            area->ensureWidgetVisible(stop);
    }
    return true;
}

void ScreenPage::keyPressEvent(QKeyEvent* event) {
    if (!scrollForKey(this, *event))
        QWidget::keyPressEvent(event);
}

bool clickDefaultButton(const ScreenPage* page) {
    if (page == nullptr || !page->isVisible())
        return false;
    QAbstractButton* button = page->defaultButton();
    if (button == nullptr || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

void focusOnArrival(QWidget* page, QAbstractButton* defaultButton) {
    if (defaultButton != nullptr && defaultButton->isVisibleTo(page) && defaultButton->isEnabled())
        defaultButton->setFocus(Qt::OtherFocusReason);
    else
        page->setFocus(Qt::OtherFocusReason);
}

void makeLastTabStop(QWidget* control) {
    control->setProperty(kLastTabStop, true);
}

bool scrollForKey(QWidget* page, const QKeyEvent& event) {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
    switch (event.key()) {
        case Qt::Key_PageUp:
            action = QAbstractSlider::SliderPageStepSub;
            break;
        case Qt::Key_PageDown:
            action = QAbstractSlider::SliderPageStepAdd;
            break;
        case Qt::Key_Up:
            action = QAbstractSlider::SliderSingleStepSub;
            break;
        case Qt::Key_Down:
            action = QAbstractSlider::SliderSingleStepAdd;
            break;
        case Qt::Key_Home:
            action = QAbstractSlider::SliderToMinimum;
            break;
        case Qt::Key_End:
            action = QAbstractSlider::SliderToMaximum;
            break;
        default:
            return false;
    }
    QScrollArea* area = nullptr;
    for (QWidget* w = QApplication::focusWidget(); w != nullptr && w != page && page->isAncestorOf(w);
         w = w->parentWidget()) {
        area = qobject_cast<QScrollArea*>(w);
        if (area != nullptr)
            break;
    }
    if (area == nullptr) {
        int largest = 0;
        for (auto* candidate : page->findChildren<QScrollArea*>()) {
            const QSize seen = candidate->viewport()->size();
            if (candidate->isVisible() && seen.width() * seen.height() > largest) {
                largest = seen.width() * seen.height();
                area = candidate;
            }
        }
    }
    if (area == nullptr)
        return false;
    area->verticalScrollBar()->triggerAction(action);
    return true;
}

}  // namespace quill::ui
