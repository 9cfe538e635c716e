#include "ui/app/quill_root_view.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <type_traits>
#include <variant>

#include "engine/services/system_profiler.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/app/consent_view.h"
#include "ui/app/navigation_host.h"
#include "ui/app/placeholder_page.h"
#include "ui/app/welcome_view.h"
#include "ui/common/clipboard.h"
#include "ui/common/labels.h"
#include "ui/common/settings.h"
#include "ui/common/url_opener.h"

namespace quill::ui {

namespace {

template <class T>
std::shared_ptr<T> orLive(std::shared_ptr<T> given, std::shared_ptr<T> live) {
    return given ? std::move(given) : std::move(live);
}

}  // namespace

QuillRootView::QuillRootView(RootViewOptions options, QWidget* parent)
    : QWidget(parent),
      m_urls(orLive<UrlOpener>(std::move(options.urls), std::make_shared<LiveUrlOpener>())),
      m_clipboard(orLive<Clipboard>(std::move(options.clipboard), std::make_shared<LiveClipboard>())),
      m_profiler(options.profiler ? std::move(options.profiler) : liveProfileCollector(options.services)),
      m_destinations(std::move(options.destinations)),
      m_context{m_navigation,    m_profile,    options.services, *m_urls,
                options.timings, *m_clipboard, m_profiler},
      m_tasks(this),
      m_hasConsented(readFlag(*options.services.store, productKey(".consented"))) {
    if (options.profile)
        m_profile.set(std::move(*options.profile));

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_toolBar = new QToolBar(this);
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_back =
        m_toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), buttonText(QStringLiteral("Back")));
    m_back->setShortcut(QKeySequence::Back);
    m_back->setEnabled(false);
    connect(m_back, &QAction::triggered, &m_navigation, &AppNavigation::back);
    connect(&m_navigation, &AppNavigation::pathChanged, this,
            [this] { m_back->setEnabled(!m_navigation.path().empty()); });
    m_layout->addWidget(m_toolBar);

    if (m_hasConsented) {
        rootStack();
    } else {
        m_toolBar->hide();
        m_consent = new ConsentView(
            m_context, [this] { markConsented(); }, this);
        m_consent->setMinimumSize(kMinimumContentSize);
        m_layout->addWidget(m_consent, 1);
        followFront(m_consent);
    }
}

QuillRootView::~QuillRootView() {
    m_tasks.cancelAll();
    // Pages go first: they refer to what this view owns.
    delete m_host;
    delete m_consent;
    delete m_retiredConsent;
}

ScreenPage* QuillRootView::destination(const Screen& screen) {
    auto& context = m_context;
    const auto& registry = m_destinations;
    auto orPlaceholder = [&](ScreenPage* page) -> ScreenPage* {
        return page != nullptr ? page : new PlaceholderPage(context);
    };
    auto build = [&](const auto& builder, auto&&... arguments) -> ScreenPage* {
        return orPlaceholder(builder ? builder(context, arguments...) : nullptr);
    };
    return std::visit(
        [&](const auto& element) -> ScreenPage* {
            using Case = std::decay_t<decltype(element)>;
            if constexpr (std::is_same_v<Case, Screen::Diagnose>) {
                return build(registry.diagnose);
            } else if constexpr (std::is_same_v<Case, Screen::SetupWorkflow>) {
                return build(registry.setupWorkflow);
            } else if constexpr (std::is_same_v<Case, Screen::Audit>) {
                return build(registry.audit, element.context);
            } else if constexpr (std::is_same_v<Case, Screen::NextStep>) {
                const auto config = ProductConfig::current();
                if (!config->nextStepPrompt)
                    return new EmptyPage(context);
                return build(registry.nextStep, *config->nextStepPrompt);
            } else if constexpr (std::is_same_v<Case, Screen::ContentOffer>) {
                return build(registry.contentOffer, element.offerID);
            } else if constexpr (std::is_same_v<Case, Screen::GuidedHelpOffer>) {
                return build(registry.guidedHelpOffer, std::string(kGuidedHelpOfferID));
            } else {
                static_assert(std::is_same_v<Case, Screen::AICodingOffer>);
                return build(registry.aiCodingOffer, std::string(kAICodingOfferID));
            }
        },
        screen.value);
}

ScreenPage* QuillRootView::frontPage() const {
    if (m_consent)
        return m_consent;
    return m_host ? m_host->frontPage() : nullptr;
}

QString QuillRootView::title() const {
    const ScreenPage* page = frontPage();
    if (page != nullptr && !page->windowTitle().isEmpty())
        return withoutBackticks(page->windowTitle());
    return QString::fromStdString(ProductConfig::current()->displayName);
}

bool QuillRootView::pressForReturn() {
    ScreenPage* page = frontPage();
    if (page == nullptr || page->defaultButton() != nullptr)
        return ui::clickDefaultButton(page);
    // A button that does not take Return itself (neither default nor auto-default) passes it on to here.
    auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    // A check box, choice or score keeps Space, as on a Mac: Return toggles nothing.
    if (focused == nullptr || focused->isCheckable() || !page->isAncestorOf(focused) ||
        !focused->isVisible() || !focused->isEnabled())
        return false;
    focused->click();
    return true;
}

QSize QuillRootView::sizeForContent(QSize content) const {
    if (!m_toolBar->isHidden())
        content.rheight() += m_toolBar->sizeHint().height();
    return content;
}

void QuillRootView::markConsented() {
    if (m_hasConsented)
        return;
    m_hasConsented = true;
    // Continue's own click is still on the stack: the consent screen goes once it has returned.
    m_consent->hide();
    m_layout->removeWidget(m_consent);
    m_consent->deleteLater();
    m_retiredConsent = m_consent;
    m_consent = nullptr;
    const QSize content = size();
    const QSize windowSize = window()->size();
    rootStack();
    // The tool bar now shows above the content: the window grows by it, so that the content keeps its size.
    if (window() != this)
        window()->resize(windowSize + sizeForContent(content) - content);
}

void QuillRootView::rootStack() {
    auto* welcome = new WelcomeView(m_context);
    m_host = new NavigationHost(
        m_navigation, welcome, [this](const Screen& screen) { return destination(screen); }, this);
    m_host->setMinimumSize(kMinimumContentSize);
    connect(m_host, &NavigationHost::frontPageChanged, this, &QuillRootView::followFront);
    m_layout->addWidget(m_host, 1);
    m_toolBar->show();
    m_host->show();  // after consent this view is already on screen, and new children start hidden
    followFront(m_host->frontPage());
    startupTask();
}

void QuillRootView::startupTask() {
    if (m_startedUp)
        return;
    m_startedUp = true;
    if (!m_profile.profile() && !m_context.services.isFixtureMode) {
        // A window closed meanwhile drops the profile: nothing is stored and nothing is sent.
        m_tasks.start([profiler = m_profiler](std::stop_token stop) { return profiler(std::move(stop)); },
                      [this](SystemProfile profile) {
                          m_profile.set(std::move(profile));
                          sendAppLaunched();
                      });
        return;
    }
    sendAppLaunched();
}

void QuillRootView::sendAppLaunched() {
    if (const auto& profile = m_profile.profile())
        TelemetryEvents::send(TelemetryEvents::appLaunched(*profile));
    else
        TelemetryEvents::send("app_launched", {});
}

void QuillRootView::followFront(ScreenPage* page) {
    disconnect(m_titleConnection);
    if (page != nullptr)
        m_titleConnection =
            connect(page, &QWidget::windowTitleChanged, this, [this] { emit titleChanged(title()); });
    emit titleChanged(title());
}

}  // namespace quill::ui
