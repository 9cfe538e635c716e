#include "ui/app/main_window.h"

#include <QCloseEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>

#include "engine/core/task.h"
#include "engine/telemetry/telemetry_service.h"

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

}  // namespace quill::ui
