#pragma once

#include <QMainWindow>

namespace quill::ui {

/// The application's one window. Closing it asks every running task to stop and waits a bounded time, so that
/// child processes are terminated and queued events are saved.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);

  protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace quill::ui
