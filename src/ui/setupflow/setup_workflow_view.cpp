#include "ui/setupflow/setup_workflow_view.h"

#include <QVBoxLayout>

#include "engine/core/overloaded.h"
#include "engine/products/product_strategies.h"
#include "engine/runner/fix_sequence.h"
#include "engine/setup/readiness_screen_copy.h"
#include "ui/common/app_navigation.h"
#include "ui/common/labels.h"
#include "ui/common/press_guard.h"
#include "ui/setupflow/setup_action_progress_view.h"
#include "ui/setupflow/step_pages.h"

namespace quill::ui {

namespace {

using Step = SetupFlowModel::Step;

constexpr int kMinimumWidth = 720;
constexpr int kMinimumHeight = 700;

}  // namespace

SetupWorkflowView::SetupWorkflowView(ScreenContext& context, SetupFlowModel::Seams seams, QWidget* parent)
    : ScreenPage(context, parent),
      m_strategies(seams.strategies ? seams.strategies : products::productStrategies),
      // The configuration of the moment the screen is made; a later change does not reach this visit.
      m_model(new SetupFlowModel(ProductConfig::current(), context, std::move(seams), this)),
      m_layout(new QVBoxLayout(this)) {
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    m_layout->setContentsMargins(0, 0, 0, 0);
    connect(m_model, &SetupFlowModel::stepChanged, this, &SetupWorkflowView::stepChanged);
    for (auto signal : {&SetupFlowModel::profileChanged, &SetupFlowModel::probesChanged,
                        &SetupFlowModel::workflowChanged, &SetupFlowModel::verifyResultChanged,
                        &SetupFlowModel::outcomeAuditChanged, &SetupFlowModel::refreshingChanged})
        connect(m_model, signal, this, &SetupWorkflowView::refreshPage);
    connect(m_model, &SetupFlowModel::pendingInstallChanged, this, &SetupWorkflowView::pendingInstallChanged);
    connect(m_model, &SetupFlowModel::leaveRequested, this, &SetupWorkflowView::leave);
    stepChanged();
}

SetupWorkflowView::~SetupWorkflowView() {
    // The sheet goes before the model: its run stops without reporting to a model being torn down.
    delete m_sheet;
}

QAbstractButton* SetupWorkflowView::defaultButton() const {
    return m_page != nullptr ? m_page->defaultButton() : nullptr;
}

void SetupWorkflowView::appeared() {
    if (std::exchange(m_started, true))
        return;
    m_model->start();
}

void SetupWorkflowView::leaving() {
    delete m_sheet;
    ScreenPage::leaving();
}

products::ProductStrategies SetupWorkflowView::strategies() const {
    return m_strategies(*ProductConfig::current());
}

std::string SetupWorkflowView::windowTitleFor(const Step& step) {
    const auto config = ProductConfig::current();
    const auto copy = products::productStrategies(*config).spineCopy;
    return std::visit(Overloaded{
                          [](const Step::ReadinessWarning& warning) {
                              return std::visit(
                                  Overloaded{
                                      [](const SetupFlowModel::ReadinessWarning::Network& network) {
                                          return ReadinessScreenCopy::network(network.result).windowTitle;
                                      },
                                      [](const SetupFlowModel::ReadinessWarning::Disk& disk) {
                                          return ReadinessScreenCopy::disk(disk.result).windowTitle;
                                      },
                                  },
                                  warning.warning.value);
                          },
                          [&](const Step::Stage& stage) {
                              const auto screen = copy->screenCopy(stage.domainID, std::nullopt);
                              return screen ? screen->windowTitle : copy->diagnosisWindowTitle();
                          },
                          [&](const Step::Loading&) { return config->displayName; },
                          [&](const Step::ExperienceQuestion&) {
                              return config->experienceQuestion ? config->experienceQuestion->windowTitle
                                                                : config->displayName;
                          },
                          [&](const Step::DiagnosisSummary&) { return copy->diagnosisWindowTitle(); },
                          [&](const Step::Interstitial&) {
                              const auto& interstitial = config->spinePolicy.postPrimaryInterstitial;
                              return interstitial ? interstitial->windowTitle : config->displayName;
                          },
                          [&](const Step::Verifying&) { return copy->doneButtonLabel(); },
                          [&](const Step::KeepGoingGate&) { return copy->continueWindowTitle(); },
                          [&](const Step::Outcome&) { return copy->doneButtonLabel(); },
                          [&](const Step::Nps&) { return copy->finalQuestionWindowTitle(); },
                      },
                      step.value);
}

void SetupWorkflowView::installSelected(const std::string& stageID, SetupFlowModel::PendingInstall install) {
    m_model->recordOfferAction(stageID);
    m_model->setPendingInstall(std::move(install));
}

void SetupWorkflowView::stepChanged() {
    const auto& step = m_model->step();
    setWindowTitle(withoutBackticks(QString::fromStdString(windowTitleFor(step))));
    if (m_shownStep == step)
        return;
    m_shownStep = step;
    if (m_page != nullptr) {
        // The page may be the sender's ancestor (a button of it moved the flow on): delete it later.
        m_page->hide();
        m_layout->removeWidget(m_page);
        m_page->deleteLater();
    }
    m_page = makeStepPage(*this, step, this);
    m_layout->addWidget(m_page);
    if (isVisible()) {
        m_page->show();  // a layout shows what it is given only later
        focusOnArrival(m_page, m_page->defaultButton());
    }
}

void SetupWorkflowView::refreshPage() {
    if (m_page != nullptr)
        m_page->refresh();
}

void SetupWorkflowView::pendingInstallChanged() {
    const auto& pending = m_model->pendingInstall();
    if (!pending) {
        if (m_sheet) {
            m_sheet->hide();
            m_sheet->deleteLater();
            m_sheet = nullptr;
            // The rest of a double click on the sheet's last button would land on the page beneath it.
            PressGuard::rearm(this);
            // So would a second Return: the window hands its focus back to the button that opened the sheet,
            // and Return presses the focused button. The page takes it as on arrival, however the sheet
            // ended.
            if (m_page != nullptr)
                focusOnArrival(m_page, m_page->defaultButton());
        }
        return;
    }
    if (m_sheet)
        return;
    // A new runner for every sheet: a Homebrew installed by the last sheet serves this one.
    m_sheet = new SetupActionProgressView(
        context(), pending->title, pending->remediations,
        InstallRun::runnerSeam(makeRemediationRunner(context().services)), pending->continuesPastFailure,
        [this](InstallRun::Outcome outcome) { installFinished(outcome); }, this);
    m_sheet->open();
    // Nothing in the sheet has the focus: a key pressed as it opens, Space among them, stops no run.
    focusOnArrival(m_sheet, nullptr);
}

void SetupWorkflowView::installFinished(InstallRun::Outcome outcome) {
    m_model->setPendingInstall(std::nullopt);
    m_model->installDidFinish(outcome);
}

void SetupWorkflowView::leave() {
    context().navigation.goHome();
}

}  // namespace quill::ui
