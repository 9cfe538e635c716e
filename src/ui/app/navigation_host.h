#pragma once

#include <QPointer>
#include <QStackedWidget>
#include <functional>
#include <vector>

#include "ui/common/screen.h"

namespace quill::ui {

class AppNavigation;
class ScreenPage;

/// The stack of pages that follows the navigation path, with the welcome page at the bottom. On every change
/// of the path it keeps the pages of the longest equal prefix, pops the rest top-down (`leaving()`, removed,
/// deleted later) and builds the new elements' pages through `destination`. A page lives exactly as long as
/// its element. GUI thread only.
class NavigationHost : public QStackedWidget {
    Q_OBJECT

  public:
    using Destination = std::function<ScreenPage*(const Screen&)>;

    NavigationHost(AppNavigation& navigation, ScreenPage* welcome, Destination destination,
                   QWidget* parent = nullptr);
    ~NavigationHost() override;

    /// The page on top: the welcome page when the path is empty.
    [[nodiscard]] ScreenPage* frontPage() const;

  signals:
    /// The page on top changed; its title may differ.
    void frontPageChanged(ScreenPage* page);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void followPath();
    void announceFront();

    AppNavigation& m_navigation;
    ScreenPage* m_welcome;
    Destination m_destination;
    std::vector<Screen> m_screens;
    std::vector<ScreenPage*> m_pages;  // one per element of m_screens
    QPointer<ScreenPage> m_appeared;   // the top page that was last told it appeared
};

}  // namespace quill::ui
