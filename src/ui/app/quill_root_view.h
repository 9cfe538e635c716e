#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "engine/services/app_services.h"
#include "engine/services/system_profiler.h"
#include "ui/app/destination_registry.h"
#include "ui/common/app_navigation.h"
#include "ui/common/profile_holder.h"
#include "ui/common/screen_context.h"
#include "ui/common/task_scope.h"

class QAction;
class QToolBar;
class QVBoxLayout;

namespace quill::ui {

class Clipboard;
class ConsentView;
class NavigationHost;
class ScreenPage;
class UrlOpener;

/// What the root view is built with. Empty parts take their live counterparts.
struct RootViewOptions {
    AppServices services;
    /// A profile the window starts with; when absent it is collected once the user has consented.
    std::optional<SystemProfile> profile;
    /// Collects the system profile; blocking, run on a worker with the worker's stop token. Empty:
    /// `liveProfileCollector(services)`.
    ProfileCollector profiler;
    std::shared_ptr<UrlOpener> urls;
    std::shared_ptr<Clipboard> clipboard;
    Timings timings;
    DestinationRegistry destinations = DestinationRegistry::standard();
};

/// The window's content. It owns the navigation, the profile, the services and everything else the screens
/// are given, and outlives every page. Until the user has consented it shows only the consent screen; then
/// the navigation stack rooted at the welcome screen, with Back in a tool bar, and it collects the system
/// profile once and sends "app_launched". GUI thread only.
class QuillRootView : public QWidget {
    Q_OBJECT

  public:
    explicit QuillRootView(RootViewOptions options, QWidget* parent = nullptr);
    ~QuillRootView() override;

    /// Builds the page of one path element.
    ScreenPage* destination(const Screen& screen);

    [[nodiscard]] bool hasConsented() const { return m_hasConsented; }
    /// The consent screen, or the top of the navigation stack.
    [[nodiscard]] ScreenPage* frontPage() const;
    /// The front page's title; the product's display name when it has none.
    [[nodiscard]] QString title() const;
    /// What Return and Enter press: the front page's default button when it is visible and enabled, or, where
    /// the page has no default button, the button that has the focus on it. True when it pressed one.
    bool pressForReturn();
    /// The root view's size around content of `content`: the tool bar, while shown, sits above it.
    [[nodiscard]] QSize sizeForContent(QSize content) const;

    /// The content the window opens at, and the least it keeps, below the tool bar.
    static constexpr QSize kOpeningContentSize{720, 720};
    static constexpr QSize kMinimumContentSize{720, 700};

    [[nodiscard]] AppNavigation& navigation() { return m_navigation; }
    [[nodiscard]] ProfileHolder& profile() { return m_profile; }
    [[nodiscard]] QAction* backAction() const { return m_back; }

  signals:
    void titleChanged(const QString& title);

  private:
    void markConsented();
    /// Builds the navigation stack rooted at the welcome screen, and starts up.
    void rootStack();
    void startupTask();
    void sendAppLaunched();
    void followFront(ScreenPage* page);

    AppNavigation m_navigation;
    ProfileHolder m_profile;
    std::shared_ptr<UrlOpener> m_urls;
    std::shared_ptr<Clipboard> m_clipboard;
    ProfileCollector m_profiler;
    DestinationRegistry m_destinations;
    ScreenContext m_context;
    TaskScope m_tasks;
    bool m_hasConsented;
    bool m_startedUp = false;

    QVBoxLayout* m_layout;
    QToolBar* m_toolBar;
    QAction* m_back;
    QPointer<ConsentView> m_consent;
    QPointer<ConsentView> m_retiredConsent;
    QPointer<NavigationHost> m_host;
    QMetaObject::Connection m_titleConnection;
};

}  // namespace quill::ui
