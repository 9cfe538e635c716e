#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace quill::ui {

/// One press, one action: a widget just shown ignores mouse presses and double-clicks on itself and its
/// children until the platform's double-click interval has passed, so the second click of a double-click
/// does not land on whatever the new page shows under the pointer, nor moves the keyboard focus to it.
/// Keyboard input is never held back.
/// It arms again each time the widget is shown by the program. GUI thread only.
class PressGuard : public QObject {
    Q_OBJECT

  public:
    /// Guards `widget` for as long as it lives; the guard is its child.
    static void install(QWidget* widget);
    /// Starts `widget`'s interval again, as if it had just been shown: for a page uncovered by a closing
    /// sheet.
    static void rearm(QWidget* widget);
    /// Whether `widget`'s guard is holding presses back right now.
    [[nodiscard]] static bool isGuarding(const QWidget* widget);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit PressGuard(QWidget* widget);
    void arm();
    void lapse();

    QWidget* m_widget;
    /// The focus as a press reached the window, before the application moved it to the control under the
    /// pointer.
    QPointer<QWidget> m_focusBefore;
    QElapsedTimer m_shown;
    QTimer m_lapse;
    int m_interval = 0;
    bool m_armed = false;
};

}  // namespace quill::ui
