#include "ui/app/main_window.h"

#include <QCloseEvent>
#include <QWidget>
#include <chrono>

#include "engine/telemetry/shut_down.h"

namespace quill::ui {

namespace {
constexpr int kDefaultWidth = 720;
constexpr int kDefaultHeight = 720;
constexpr int kMinimumWidth = 720;
constexpr int kMinimumHeight = 700;
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
    shutDown(std::chrono::steady_clock::now() + kShutDownBudget);
    QMainWindow::closeEvent(event);
}

}  // namespace quill::ui
