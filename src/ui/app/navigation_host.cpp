#include "ui/app/navigation_host.h"

#include "ui/common/app_navigation.h"
#include "ui/common/screen_page.h"

namespace quill::ui {

NavigationHost::NavigationHost(AppNavigation& navigation, ScreenPage* welcome, Destination destination,
                               QWidget* parent)
    : QStackedWidget(parent),
      m_navigation(navigation),
      m_welcome(welcome),
      m_destination(std::move(destination)) {
    addWidget(m_welcome);
    connect(&m_navigation, &AppNavigation::pathChanged, this, &NavigationHost::followPath);
    followPath();
}

NavigationHost::~NavigationHost() {
    for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it)
        (*it)->leaving();
}

ScreenPage* NavigationHost::frontPage() const {
    return m_pages.empty() ? m_welcome : m_pages.back();
}

void NavigationHost::followPath() {
    const auto& path = m_navigation.path();
    std::size_t kept = 0;
    while (kept < m_screens.size() && kept < path.size() && m_screens[kept] == path[kept])
        ++kept;
    if (kept == m_screens.size() && kept == path.size())
        return;
    while (m_screens.size() > kept) {
        ScreenPage* page = m_pages.back();
        m_pages.pop_back();
        m_screens.pop_back();
        page->leaving();
        removeWidget(page);
        page->hide();
        // The page may be the sender of the change (its own button went home): delete it once that returns.
        page->deleteLater();
    }
    for (std::size_t i = kept; i < path.size(); ++i) {
        ScreenPage* page = m_destination(path[i]);
        m_screens.push_back(path[i]);
        m_pages.push_back(page);
        addWidget(page);
    }
    setCurrentWidget(frontPage());
    emit frontPageChanged(frontPage());
    announceFront();
}

void NavigationHost::announceFront() {
    ScreenPage* front = frontPage();
    if (!isVisible() || m_appeared == front)
        return;
    m_appeared = front;
    front->appeared();
    focusOnArrival(front, front->defaultButton());
}

void NavigationHost::showEvent(QShowEvent* event) {
    QStackedWidget::showEvent(event);
    announceFront();
}

void NavigationHost::hideEvent(QHideEvent* event) {
    QStackedWidget::hideEvent(event);
    m_appeared = nullptr;
}

}  // namespace quill::ui
