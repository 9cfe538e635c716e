#include "ui/app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QWidget>
#include <chrono>

#include "engine/telemetry/shut_down.h"
#include "ui/app/quill_root_view.h"
#include "ui/common/screen_page.h"
#include "ui/common/style.h"
#include "ui/setupflow/setup_action_progress_view.h"

namespace quill::ui {

namespace {

/// Whether the platform gives the app a Quit key of its own: on a Mac the application menu's Quit, which
/// a second shortcut would only shadow.
bool platformHasQuitKey() {
    return QGuiApplication::platformName() == QLatin1String("cocoa");
}

bool isQuitKey(const QKeyEvent& key) {
    if (key.matches(QKeySequence::Quit))
        return true;
    // Where the platform binds no Quit key (the offscreen one, and Windows' scheme) Ctrl+Q still quits.
    return QKeySequence::keyBindings(QKeySequence::Quit).isEmpty() &&
           key.keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Q);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Quillstart"));
    setObjectName(QStringLiteral("main-window"));
    Style::installFocusRing();
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("root-content"));
    content->setMinimumSize(QuillRootView::kMinimumContentSize);
    resize(QuillRootView::kOpeningContentSize);
    setCentralWidget(content);
    qApp->installEventFilter(this);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    leaveSheets();
    shutDown(std::chrono::steady_clock::now() + kShutDownBudget);
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Quitting closes the modal sheet first, and a sheet over a finished install would refuse that.
    if (watched == qApp && event->type() == QEvent::Quit)
        leaveSheets();
    // Seen here, ahead of every window, so that a window-modal sheet does not hold it back.
    if (event->type() == QEvent::KeyPress && !platformHasQuitKey() &&
        isQuitKey(*static_cast<QKeyEvent*>(event)) && !watched->isWindowType() && isOwnWindow(watched)) {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::isOwnWindow(const QObject* object) const {
    while (object != nullptr && object != this)
        object = object->parent();
    return object == this;
}

void MainWindow::leaveSheets() {
    for (auto* sheet : findChildren<SetupActionProgressView*>()) {
        if (sheet->isVisible())
            sheet->leaveForQuit();
    }
}

void MainWindow::setRootView(QuillRootView* root) {
    m_root = root;
    setCentralWidget(root);
    // The content's own minimum holds the window's, with whatever the root view shows above it.
    resize(root->sizeForContent(QuillRootView::kOpeningContentSize));
    connect(root, &QuillRootView::titleChanged, this, &QWidget::setWindowTitle);
    setWindowTitle(root->title());
    // In its window now: the page it opens on takes the focus there (the navigation stack's pages do so as
    // they appear).
    if (ScreenPage* page = root->frontPage())
        focusOnArrival(page, page->defaultButton());
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Enter on the keypad carries the keypad modifier; any other modifier makes it another shortcut.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (isReturn && plain && m_root && m_root->pressForReturn())
        return;
    QMainWindow::keyPressEvent(event);
}

}  // namespace quill::ui
