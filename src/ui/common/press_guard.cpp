#include "ui/common/press_guard.h"

#include <QApplication>
#include <QEvent>
#include <QStyleHints>
#include <QWidget>
#include <utility>

namespace quill::ui {

void PressGuard::install(QWidget* widget) {
    if (widget->findChild<PressGuard*>(QString(), Qt::FindDirectChildrenOnly) == nullptr)
        new PressGuard(widget);
}

void PressGuard::rearm(QWidget* widget) {
    if (auto* guard = widget->findChild<PressGuard*>(QString(), Qt::FindDirectChildrenOnly))
        guard->arm();
}

bool PressGuard::isGuarding(const QWidget* widget) {
    const auto* guard = widget->findChild<PressGuard*>(QString(), Qt::FindDirectChildrenOnly);
    return guard != nullptr && guard->m_armed;
}

PressGuard::PressGuard(QWidget* widget) : QObject(widget), m_widget(widget) {
    m_lapse.setSingleShot(true);
    connect(&m_lapse, &QTimer::timeout, this, &PressGuard::lapse);
    widget->installEventFilter(this);
    if (widget->isVisible())
        arm();
}

void PressGuard::arm() {
    m_interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    m_shown.start();
    m_lapse.start(m_interval);
    // The presses go to the widgets under the pointer, anywhere below the guarded one: only the application
    // sees them all, and it is watched just for the interval.
    if (!std::exchange(m_armed, true))
        qApp->installEventFilter(this);
}

void PressGuard::lapse() {
    if (std::exchange(m_armed, false))
        qApp->removeEventFilter(this);
}

bool PressGuard::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (watched == m_widget && type == QEvent::Show && !event->spontaneous()) {
        arm();
        return false;
    }
    if (!m_armed || (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick))
        return false;
    if (m_shown.elapsed() >= m_interval) {
        lapse();
        return false;
    }
    if (watched->isWindowType()) {
        // The window sees the press first; the application gives the focus before any widget's filter runs.
        m_focusBefore = QApplication::focusWidget();
        return false;
    }
    auto* target = qobject_cast<QWidget*>(watched);
    if (target == nullptr || (target != m_widget && !m_widget->isAncestorOf(target)))
        return false;
    if (QWidget* now = QApplication::focusWidget(); now != m_focusBefore) {
        if (m_focusBefore)
            m_focusBefore->setFocus(Qt::OtherFocusReason);
        else if (now != nullptr)
            now->clearFocus();
    }
    return true;
}

}  // namespace quill::ui
