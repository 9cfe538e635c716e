#pragma once

#include <QMainWindow>
#include <QPointer>

namespace quill::ui {

class QuillRootView;

/// The application's one window. Closing it asks every running task to stop and waits a bounded time, so that
/// child processes are terminated and queued events are saved.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);

    /// Shows `root` as the window's content, with the title of its front page; Return and Enter that no
    /// widget takes go to the front page's default button. The window takes `root` over.
    void setRootView(QuillRootView* root);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QPointer<QuillRootView> m_root;
};

}  // namespace quill::ui
