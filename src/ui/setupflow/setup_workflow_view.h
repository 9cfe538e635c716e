#pragma once

#include <QPointer>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "engine/runner/setup_remediation_runner.h"
#include "engine/services/quill_language.h"
#include "ui/common/screen_page.h"
#include "ui/setupflow/setup_action_progress_view.h"
#include "ui/setupflow/setup_flow_model.h"

class QVBoxLayout;

namespace quill::ui {

class StepPage;

/// The guided setup flow's one screen: owns the flow model and the stage sections' selections, shows one
/// page per step of the model, titles the window after the step and runs each install the model hands it in
/// a `SetupActionProgressView`. The model starts on the first `appeared()`. A page is rebuilt only when the
/// step changes value; other changes update it in place, so focus and typed text survive. GUI thread only.
class SetupWorkflowView : public ScreenPage {
    Q_OBJECT

  public:
    explicit SetupWorkflowView(ScreenContext& context, SetupFlowModel::Seams seams = {},
                               QWidget* parent = nullptr);
    ~SetupWorkflowView() override;

    [[nodiscard]] QAbstractButton* defaultButton() const override;
    void appeared() override;
    void leaving() override;

    [[nodiscard]] SetupFlowModel& model() const { return *m_model; }
    /// The product's strategies as the model runs them: its fixes per stage and its screen texts.
    [[nodiscard]] products::ProductStrategies strategies() const;
    [[nodiscard]] ScreenContext& screenContext() const { return context(); }
    /// The sheet of the pending install, while there is one.
    [[nodiscard]] SetupActionProgressView* sheet() const { return m_sheet; }
    /// The page of the current step.
    [[nodiscard]] StepPage* page() const { return m_page; }

    /// The window title of `step` under the current configuration.
    [[nodiscard]] static std::string windowTitleFor(const SetupFlowModel::Step& step);

    /// The stage's "Install selected": reports the offer as taken, then hands the install to the sheet.
    void installSelected(const std::string& stageID, SetupFlowModel::PendingInstall install);

  private:
    void stepChanged();
    void refreshPage();
    void pendingInstallChanged();
    void installFinished(InstallRun::Outcome outcome);
    void leave();

    std::function<products::ProductStrategies(const ProductConfig&)> m_strategies;
    SetupFlowModel* m_model;
    QVBoxLayout* m_layout;
    StepPage* m_page = nullptr;
    std::optional<SetupFlowModel::Step> m_shownStep;
    QPointer<SetupActionProgressView> m_sheet;
    bool m_started = false;
};

}  // namespace quill::ui
