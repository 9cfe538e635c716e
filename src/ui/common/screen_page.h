#pragma once

#include <QWidget>

#include "ui/common/screen_context.h"
#include "ui/common/task_scope.h"

class QAbstractButton;
class QKeyEvent;

namespace quill::ui {

/// The base of every page of the window. Its title is its own `windowTitle`. `appeared()` runs each time it
/// becomes the top of the visible window; `leaving()` when it is popped, before it is deleted. Its blocking
/// work runs in `tasks()`, stopped when it leaves.
class ScreenPage : public QWidget {
    Q_OBJECT

  public:
    explicit ScreenPage(ScreenContext& context, QWidget* parent = nullptr);
    ~ScreenPage() override;

    /// The button that Return or Enter presses when the focused widget does not take the key; none by
    /// default.
    [[nodiscard]] virtual QAbstractButton* defaultButton() const;
    virtual void appeared();
    /// Stops the page's work. Pages that override it call this one.
    virtual void leaving();

    TaskScope& tasks() { return m_tasks; }

  protected:
    [[nodiscard]] ScreenContext& context() const { return m_context; }
    /// Tab and Backtab go round the page's controls in the order they were made, its last stops (the
    /// article link) at the end, and bring each into view; from the page itself Tab reaches the first.
    bool focusNextPrevChild(bool next) override;
    /// Scrolls the page by the keys no control took (`scrollForKey`).
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ScreenContext& m_context;
    TaskScope m_tasks;
};

/// Clicks `page`'s default button when it is visible and enabled; true when it did.
bool clickDefaultButton(const ScreenPage* page);

/// Gives the keyboard focus to a page, section or sheet just shown: to `defaultButton` when it is visible and
/// enabled, else to `page` itself, which shows no ring, so that Return and Space press nothing and the first
/// Tab reaches the page's first control.
void focusOnArrival(QWidget* page, QAbstractButton* defaultButton);

/// Makes `control` a last Tab stop of its page, after every other control.
void makeLastTabStop(QWidget* control);

/// Scrolls `page` for a key that no control took: Page Up and Down, Home and End, and the arrows move the
/// scroll area that holds the focus, else the page's largest. True when the key was one of these and a scroll
/// area took it.
bool scrollForKey(QWidget* page, const QKeyEvent& event);

}  // namespace quill::ui
