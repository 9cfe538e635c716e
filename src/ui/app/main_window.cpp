#include "ui/app/main_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>

#include "engine/core/task.h"
#include "engine/telemetry/telemetry_service.h"
#include "ui/app/quill_root_view.h"

namespace quill::ui {

namespace {
constexpr int kDefaultWidth = 720;
constexpr int kDefaultHeight = 720;
constexpr int kMinimumWidth = 720;
constexpr int kMinimumHeight = 700;
constexpr std::chrono::milliseconds kShutdownGrace{2000};
}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Quillstart"));
    setObjectName(QStringLiteral("main-window"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kDefaultWidth, kDefaultHeight);
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("root-content"));
    setCentralWidget(content);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // One budget for everything: running work stops, and a telemetry post in flight may still land and be
    // taken off the pending file, so that the next run does not send it again. No further post starts: one
    // cut off at exit could reach the backend and be sent again by the next run.
    const auto deadline = std::chrono::steady_clock::now() + kShutdownGrace;
    if (auto* telemetry = TelemetryService::sharedIfCreated())
        telemetry->stopPosting();
    TaskTracker::stopAll(kShutdownGrace);
    if (auto* telemetry = TelemetryService::sharedIfCreated()) {
        telemetry->stopPosting();  // a task may have created it meanwhile
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        telemetry->waitUntilIdle(std::max(left, std::chrono::milliseconds{0}));
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::setRootView(QuillRootView* root) {
    m_root = root;
    setCentralWidget(root);
    connect(root, &QuillRootView::titleChanged, this, &QWidget::setWindowTitle);
    setWindowTitle(root->title());
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Enter on the keypad carries the keypad modifier; any other modifier makes it another shortcut.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (isReturn && plain && m_root && m_root->clickDefaultButton())
        return;
    QMainWindow::keyPressEvent(event);
}

}  // namespace quill::ui
