#include "ui/common/screen_page.h"

#include <QAbstractButton>

#include "ui/common/press_guard.h"

namespace quill::ui {

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

bool clickDefaultButton(const ScreenPage* page) {
    if (page == nullptr || !page->isVisible())
        return false;
    QAbstractButton* button = page->defaultButton();
    if (button == nullptr || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

}  // namespace quill::ui
