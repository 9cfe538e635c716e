#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/services/app_services.h"
#include "engine/services/homebrew_paths.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "tests/support/temporary_directory.h"
#include "ui/common/app_navigation.h"
#include "ui/common/clipboard.h"
#include "ui/common/profile_holder.h"
#include "ui/common/screen_context.h"
#include "ui/common/url_opener.h"

namespace quill::ui::test {

/// Records every link opened instead of opening it.
class RecordingUrlOpener final : public UrlOpener {
  public:
    void open(const QUrl& url) override { opened.push_back(url); }
    std::vector<QUrl> opened;
};

/// Records copied text instead of touching the system clipboard.
class RecordingClipboard final : public Clipboard {
  public:
    void setText(const QString& text) override { copied.push_back(text); }
    std::vector<QString> copied;
};

/// A configuration for screen tests: the setup flow, started by "Check my setup", worded like the coding
/// product, with its own settings prefix.
ProductConfig testConfig();

/// Every visible widget of type T under `root` (root included) whose objectName is `id`.
template <class T = QWidget>
QList<T*> visibleWithId(QWidget* root, const QString& id) {
    QList<T*> found;
    QList<T*> candidates = root->findChildren<T*>(id);
    if (auto* self = qobject_cast<T*>(root); self != nullptr && root->objectName() == id)
        candidates.prepend(self);
    for (T* widget : candidates) {
        if (widget->isVisible())
            found.push_back(widget);
    }
    return found;
}

/// The one visible widget with this objectName; fails the test (and gives null) unless there is exactly one.
template <class T = QWidget>
T* visibleById(QWidget* root, const QString& id) {
    const auto found = visibleWithId<T>(root, id);
    EXPECT_EQ(found.size(), 1) << "visible widgets with id " << id.toStdString();
    return found.size() == 1 ? found.front() : nullptr;
}

/// What a button shows: its text with the mnemonic rule applied ("&&" shows "&", a lone "&" nothing).
QString shownText(const QAbstractButton* button);

/// The one visible button that shows `text`, or the one visible label holding it; null when none or several.
QWidget* byText(QWidget* root, const QString& text);

/// The texts of every visible label under `root`, in creation order.
QStringList visibleLabelTexts(QWidget* root);
/// The same, as people read them: rich text and Markdown rendered to plain text.
QStringList shownLabelTexts(QWidget* root);

/// Runs the deletions that were deferred with deleteLater.
void flushDeletes();

/// Waits until no task runs (work held back by the test counts as running), then delivers the events they
/// posted and the deferred deletes, until nothing more is started. After it, what work started so far was
/// going to do has been done: the way to show that nothing more happens. False when a task still runs after
/// five seconds.
[[nodiscard]] bool settle();

/// Gives presses the platform's double-click interval for the scope (ui tests run with none, so that a page
/// just shown takes clicks at once) and turns it off again at the end.
class ScopedDoubleClickInterval {
  public:
    explicit ScopedDoubleClickInterval(int milliseconds);
    ~ScopedDoubleClickInterval();
    ScopedDoubleClickInterval(const ScopedDoubleClickInterval&) = delete;
    ScopedDoubleClickInterval& operator=(const ScopedDoubleClickInterval&) = delete;
};

/// A click, and a double click, at the centre of `widget`, delivered to its window as the window system does,
/// so that Qt's own routing and double-click detection run.
void clickThroughWindow(QWidget* widget);
void doubleClickThroughWindow(QWidget* widget);

/// Whether a press guard under `root` (root included) still holds presses back.
bool pressesHeld(QWidget* root);

/// Writes `widget` as "<name>.png" into the folder named by QUILL_UI_GRABS; nothing when that is unset.
void saveGrab(QWidget* widget, const QString& name);

/// A profiler that blocks until the test releases it.
class HeldProfiler : public std::enable_shared_from_this<HeldProfiler> {
  public:
    std::function<SystemProfile(std::stop_token)> function() {
        return [self = shared_from_this()](std::stop_token) {
            ++self->calls;
            std::unique_lock lock(self->m_mutex);
            self->m_released.wait(lock, [&] { return self->m_open; });
            return self->profile;
        };
    }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_released.notify_all();
    }

    SystemProfile profile = [] {
        SystemProfile p;
        p.architecture = Architecture::appleSilicon;
        p.macosVersion = {14, 5, 0};
        p.homebrewPrefix = kAppleSiliconBrewPath;
        return p;
    }();
    std::atomic<int> calls{0};

  private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_open = false;
};

/// The base of screen tests: a settings store in a temporary folder, captured telemetry, a recording link
/// opener and clipboard, and the test configuration installed.
class UiTest : public ::testing::Test {
  protected:
    UiTest();

    /// Shows `widget` as a 720×720 window and waits until it is exposed.
    void showWindow(QWidget* widget);

    AppServices services;
    quill::test::TemporaryDirectory folder;
    std::shared_ptr<RecordingUrlOpener> urls = std::make_shared<RecordingUrlOpener>();
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();
    ScopedTelemetryCapture telemetry;
    std::unique_ptr<ScopedProductConfig> config;
    /// A context for screens built outside a root view.
    AppNavigation navigation;
    ProfileHolder profile;
    ScreenContext context{navigation,
                          profile,
                          services,
                          *urls,
                          Timings{},
                          *clipboard,
                          [](std::stop_token) { return SystemProfile{}; }};
};

}  // namespace quill::ui::test
