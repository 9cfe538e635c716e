#include "tests/ui/ui_test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QStyleHints>
#include <QTest>
#include <QTextDocument>
#include <algorithm>

#include "engine/core/task.h"
#include "engine/services/live_key_value_store.h"
#include "ui/common/press_guard.h"

namespace quill::ui::test {

ProductConfig testConfig() {
    // Worded as the coding product ships, so that grabs show its screens.
    ProductConfig config = ProductConfig::javaDiagnostic();
    config.displayName = "Quillstart for Coding";
    config.userDefaultsPrefix = "com.fernwick.test";
    config.flow = SetupFlow::setupWorkflow;
    config.copy = ProductCopy{
        "We'll check your Mac for a coding setup, then offer to install and configure what's needed: the "
        "Command "
        "Line Tools, your shell, the Homebrew package manager, an upgraded terminal, AI coding tools, an "
        "editor, "
        "and programming languages. Nothing changes without your okay.",
        "Check my setup", std::string("Quillstart to build software with AI")};
    config.consent = ConsentCopy{"What this app does",
                                 {"Checks whether your Mac is set up for coding.",
                                  "Installs and configures what's needed if you wish.",
                                  "Asks for your permission before installing or changing anything."},
                                 "Your privacy and Mac integrity are respected",
                                 {"The app never identifies you and never records your IP address.",
                                  "No passwords or file contents are ever recorded.",
                                  "Usage events are anonymous.", "Answers to questions are anonymous.",
                                  "A random session ID is created for anonymous usage counts."}};
    config.urls.privacy = "https://quillstart.example/coding/privacy";
    config.urls.troubleshooting = "https://quillstart.example/coding/troubleshooting";
    return config;
}

QString shownText(const QAbstractButton* button) {
    // "&&" shows one "&"; a lone "&" marks a mnemonic and shows nothing.
    const QString text = button->text();
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) {
            shown += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
            shown += QLatin1Char('&');
            ++i;
        }
    }
    return shown;
}

QWidget* byText(QWidget* root, const QString& text) {
    QList<QWidget*> found;
    for (auto* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && shownText(button) == text)
            found.push_back(button);
    }
    for (auto* label : root->findChildren<QLabel*>()) {
        if (label->isVisible() && label->textFormat() == Qt::PlainText && label->text() == text)
            found.push_back(label);
    }
    return found.size() == 1 ? found.front() : nullptr;
}

QStringList visibleLabelTexts(QWidget* root) {
    QStringList texts;
    for (auto* label : root->findChildren<QLabel*>()) {
        if (label->isVisible())
            texts.push_back(label->text());
    }
    return texts;
}

QStringList shownLabelTexts(QWidget* root) {
    QStringList texts;
    for (auto* label : root->findChildren<QLabel*>()) {
        if (!label->isVisible())
            continue;
        QTextDocument document;
        if (label->textFormat() == Qt::PlainText)
            document.setPlainText(label->text());
        else
            document.setHtml(label->text());
        texts.push_back(document.toPlainText());
    }
    return texts;
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool settle() {
    const QDeadlineTimer deadline(5000);
    do {
        const auto idle = [] { return TaskTracker::runningCount() == 0; };
        if (!QTest::qWaitFor(idle, static_cast<int>(deadline.remainingTime())))
            return false;
        // What the finished work posted may start more.
        QCoreApplication::sendPostedEvents();
        flushDeletes();
    } while (TaskTracker::runningCount() != 0);
    return true;
}

ScopedDoubleClickInterval::ScopedDoubleClickInterval(int milliseconds) {
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(milliseconds);
}

ScopedDoubleClickInterval::~ScopedDoubleClickInterval() {
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
}

namespace {
void mouseThroughWindow(QWidget* widget, bool doubleClick) {
    // A page just shown is laid out before the next frame, well before a person's next click.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QWidget* window = widget->window();
    const QPoint centre = widget->mapTo(window, widget->rect().center());
    if (doubleClick)
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, centre);
    else
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre);
}
}  // namespace

void clickThroughWindow(QWidget* widget) {
    mouseThroughWindow(widget, false);
}

void doubleClickThroughWindow(QWidget* widget) {
    mouseThroughWindow(widget, true);
}

bool pressesHeld(QWidget* root) {
    if (PressGuard::isGuarding(root))
        return true;
    const auto children = root->findChildren<QWidget*>();
    return std::any_of(children.begin(), children.end(),
                       [](QWidget* w) { return PressGuard::isGuarding(w); });
}

void saveGrab(QWidget* widget, const QString& name) {
    const QString folder = qEnvironmentVariable("QUILL_UI_GRABS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    // Layouts settle in posted events (a scroll area decides on its bars there): grab what the user sees.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

UiTest::UiTest() {
    services = AppServices::live();
    services.store = std::make_shared<const LiveKeyValueStore>(folder.path());
    context.services = services;
    config = std::make_unique<ScopedProductConfig>(testConfig());
}

void UiTest::showWindow(QWidget* widget) {
    widget->resize(720, 720);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
}

}  // namespace quill::ui::test
