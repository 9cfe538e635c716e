#include "ui/app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QWidget>
#include <chrono>

#include "engine/telemetry/shut_down.h"
#include "ui/app/quill_root_view.h"
#include "ui/common/style.h"
#include "ui/setupflow/setup_action_progress_view.h"

namespace quill::ui {

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
    return QMainWindow::eventFilter(watched, event);
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
