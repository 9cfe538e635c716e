#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "engine/setup/setup_remediation.h"
#include "ui/setupflow/install_run.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace quill::ui {

struct ScreenContext;
class InstallLogView;

/// The sheet an install runs in: its title, the run's headline whole (its latest own sentence, and once it
/// has ended what happened), the log of the fixes' output and, while the run goes, a busy row with "Cancel";
/// once it has ended, "Continue". The run starts when the sheet is first shown. Every way out (the buttons,
/// Escape and the close box while the run goes) reaches `onFinish` exactly once; once the run has ended only
/// "Continue" leaves. The sheet never closes itself: its owner closes it from `onFinish`. Destroying it stops
/// the run and calls nothing. GUI thread only.
class SetupActionProgressView : public QDialog {
    Q_OBJECT

  public:
    using Outcome = InstallRun::Outcome;

    SetupActionProgressView(ScreenContext& context, const std::string& title,
                            std::vector<SetupRemediation> remediations, InstallRun::RunFix runner,
                            bool continuesPastFailure, std::function<void(Outcome)> onFinish,
                            QWidget* parent = nullptr);
    ~SetupActionProgressView() override;

    [[nodiscard]] const InstallRun& run() const { return *m_run; }
    [[nodiscard]] InstallLogView* log() const { return m_log; }
    /// The run's headline (`InstallRun::headline`), above the log; hidden while it is empty, once it has
    /// shown with the room of the text it last showed.
    [[nodiscard]] QLabel* ownLine() const { return m_ownLine; }

    /// Escape and the close box: "Cancel" while the run goes, nothing once it has ended.
    void reject() override;
    /// What quitting the app does to the sheet: "Cancel" while the run goes, "Continue" once it has ended.
    void leaveForQuit();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void queueLines();
    void showLines();
    void refreshRow();
    void showHeadline();

    InstallRun* m_run;
    std::function<void(Outcome)> m_onFinish;
    QVBoxLayout* m_column;
    QLabel* m_ownLine = nullptr;
    InstallLogView* m_log;
    QWidget* m_runningRow;
    QPushButton* m_cancel;
    QPushButton* m_continue;
    bool m_showQueued = false;
};

}  // namespace quill::ui
