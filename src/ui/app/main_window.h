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

    /// Shows `root` as the window's content, with the title of its front page, sized for its opening content;
    /// Return and Enter that no widget takes press the front page's default button, or the focused button
    /// where the page has none. The window takes `root` over.
    void setRootView(QuillRootView* root);

  protected:
    void closeEvent(QCloseEvent* event) override;
    /// Watches the application for a quit request (the system's Quit, and elsewhere the Quit key), which must
    /// not be held up by a sheet.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    /// Ends every install sheet as leaving the app does, so that nothing window-modal refuses the close.
    void leaveSheets();
    /// Whether `object` is this window or lies in it, its sheets included.
    bool isOwnWindow(const QObject* object) const;

    QPointer<QuillRootView> m_root;
};

}  // namespace quill::ui
