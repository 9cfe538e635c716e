#include "ui/app/main_window.h"

#include <QCloseEvent>
#include <QWidget>
#include <chrono>

#include "engine/core/task.h"

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
    TaskTracker::stopAll(kShutdownGrace);
    QMainWindow::closeEvent(event);
}

}  // namespace quill::ui
