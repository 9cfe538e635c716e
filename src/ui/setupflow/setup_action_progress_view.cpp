#include "ui/setupflow/setup_action_progress_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <utility>

#include "ui/common/labels.h"
#include "ui/common/press_guard.h"
#include "ui/common/screen_context.h"
#include "ui/common/style.h"
#include "ui/setupflow/install_log.h"

namespace quill::ui {

namespace {
constexpr int kSpacing = 16;
constexpr int kPadding = 20;
constexpr int kMinimumWidth = 560;
constexpr int kMinimumHeight = 420;
constexpr int kMinimumLogHeight = 220;
constexpr int kBusyWidth = 48;
constexpr auto kFrame = std::chrono::milliseconds(16);
}  // namespace

SetupActionProgressView::SetupActionProgressView(ScreenContext& context, const std::string& title,
                                                 std::vector<SetupRemediation> remediations,
                                                 InstallRun::RunFix runner, bool continuesPastFailure,
                                                 std::function<void(Outcome)> onFinish, QWidget* parent)
    : QDialog(parent),
      m_run(new InstallRun(std::move(remediations), continuesPastFailure, std::move(runner), context.urls,
                           context.clipboard, this)),
      m_onFinish(std::move(onFinish)) {
    setWindowModality(Qt::WindowModal);
    PressGuard::install(this);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setWindowTitle(withoutBackticks(QString::fromStdString(title)));

    auto* column = new QVBoxLayout(this);
    m_column = column;
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);

    auto* heading = plainLabel(withoutBackticks(QString::fromStdString(title)), this);
    heading->setObjectName(QStringLiteral("setup-action-title"));
    Style::setFont(heading, TextRole::headline);
    column->addWidget(heading);
    showHeadline();

    m_log = new InstallLogView(m_run->lines(), context.clipboard, this);
    m_log->setObjectName(QStringLiteral("setup-action-log"));
    m_log->setMinimumHeight(kMinimumLogHeight);
    column->addWidget(m_log, 1);

    auto* row = new QHBoxLayout();
    m_runningRow = new QWidget(this);
    auto* running = new QHBoxLayout(m_runningRow);
    running->setContentsMargins(0, 0, 0, 0);
    auto* busy = new QProgressBar(m_runningRow);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedWidth(kBusyWidth);
    running->addWidget(busy);
    auto* status = plainLabel(
        QStringLiteral("Working… this can take a minute — please keep this window open."), m_runningRow);
    status->setObjectName(QStringLiteral("setup-action-status"));
    Style::setFont(status, TextRole::caption);
    Style::makeSecondary(status);
    running->addWidget(status, 1);
    row->addWidget(m_runningRow, 1);
    row->addStretch();
    m_cancel = new QPushButton(buttonText(QStringLiteral("Cancel")), this);
    m_cancel->setObjectName(QStringLiteral("setup-action-cancel"));
    m_cancel->setAutoDefault(false);
    row->addWidget(m_cancel);
    m_continue = new QPushButton(buttonText(QStringLiteral("Continue")), this);
    m_continue->setObjectName(QStringLiteral("setup-action-continue"));
    Style::apply(m_continue, ButtonStyle::prominent, ControlSize::large);
    m_continue->setAutoDefault(false);
    m_continue->setDefault(true);
    row->addWidget(m_continue);
    column->addLayout(row);

    connect(m_cancel, &QPushButton::clicked, m_run, &InstallRun::cancel);
    connect(m_continue, &QPushButton::clicked, m_run, &InstallRun::continueAfterEnd);
    connect(m_run, &InstallRun::linesAppended, this, &SetupActionProgressView::queueLines);
    connect(m_run, &InstallRun::ownLineChanged, this, &SetupActionProgressView::showHeadline);
    connect(m_run, &InstallRun::fixStarted, this, &SetupActionProgressView::showHeadline);
    connect(m_run, &InstallRun::runEnded, this, [this] {
        // The end of the run is shown at once, with the lines before it: nobody waits a frame for it.
        showLines();
        showHeadline();
        refreshRow();
    });
    connect(m_run, &InstallRun::finished, this, [this](Outcome outcome) {
        refreshRow();
        if (m_onFinish)
            m_onFinish(outcome);
    });
    refreshRow();
}

SetupActionProgressView::~SetupActionProgressView() {
    // The run goes first, quietly: nothing it still delivers reaches a half-destroyed sheet. The log, which
    // reads the run's lines, goes before them.
    m_run->disconnect(this);
    delete m_log;
    delete m_run;
}

void SetupActionProgressView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_run->start();
}

void SetupActionProgressView::reject() {
    if (m_run->isRunning())
        m_run->cancel();
}

void SetupActionProgressView::leaveForQuit() {
    if (m_run->isRunning())
        m_run->cancel();
    else
        m_run->continueAfterEnd();
}

void SetupActionProgressView::queueLines() {
    // Lines are gathered for one frame and enter the log in one insert: the list lays itself out and scrolls
    // once per insert, which costs far more than the lines themselves.
    if (std::exchange(m_showQueued, true))
        return;
    QTimer::singleShot(kFrame, this, &SetupActionProgressView::showLines);
}

void SetupActionProgressView::showLines() {
    m_showQueued = false;
    m_log->showNewLines();
}

void SetupActionProgressView::showHeadline() {
    // The log keeps every row to one line; the app's latest sentence is read here whole, wrapped, with its
    // code spans in fixed pitch.
    const QString line = m_run->headline();
    // Once the line has shown, saying nothing hides it with its room kept, until the next line takes its
    // place: the log below stays put as the line comes and goes. Before it first shows it takes no room.
    if (line.isEmpty() && m_ownLine && m_ownLine->sizePolicy().retainSizeWhenHidden()) {
        m_ownLine->hide();
        return;
    }
    auto* label = codeSpanLabel(line, this);
    label->setObjectName(QStringLiteral("setup-action-own-line"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setVisible(!line.isEmpty());
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(!line.isEmpty());
    label->setSizePolicy(policy);
    if (m_ownLine) {
        delete m_column->replaceWidget(m_ownLine, label);
        delete m_ownLine;
    } else {
        m_column->addWidget(label);
    }
    m_ownLine = label;
}

void SetupActionProgressView::refreshRow() {
    const bool running = m_run->isRunning();
    m_runningRow->setVisible(running);
    m_cancel->setVisible(running);
    m_continue->setVisible(!running);
}

}  // namespace quill::ui
