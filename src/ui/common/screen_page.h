#pragma once

#include <QWidget>

#include "ui/common/screen_context.h"
#include "ui/common/task_scope.h"

class QAbstractButton;

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

  private:
    ScreenContext& m_context;
    TaskScope m_tasks;
};

/// Clicks `page`'s default button when it is visible and enabled; true when it did.
bool clickDefaultButton(const ScreenPage* page);

}  // namespace quill::ui
