#include "ui/java/final_audit_report.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/labels.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {
constexpr int kSpacing = 16;
}  // namespace

FinalAuditReport::FinalAuditReport(ScreenContext& context, std::function<void()> onDone, QWidget* parent)
    : QWidget(parent),
      m_onDone(std::move(onDone)),
      m_nps(context, NpsHostVisit::Gate::answeredFlagAndNoNextStepPrompt) {
    auto* scaffold = new ScreenScaffold(context, this);
    scaffold->setTitle(QStringLiteral("System audit complete"));

    auto* content = new QWidget(scaffold);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    m_card = m_nps.buildCard(content, [this] { m_nps.stopShowing(); });
    if (m_card != nullptr)
        column->addWidget(m_card);
    m_done = new QPushButton(buttonText(QStringLiteral("Done — back to home")), content);
    Style::apply(m_done, ButtonStyle::prominent, ControlSize::large);
    connect(m_done, &QPushButton::clicked, this, &FinalAuditReport::finish);
    column->addWidget(m_done, 0, Qt::AlignLeft);
    scaffold->setScrollingContent(content);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scaffold);
}

void FinalAuditReport::appeared() {
    if (m_card != nullptr && m_nps.showNPS() && !m_card->isHidden())
        m_nps.cardAppeared();
}

void FinalAuditReport::finish() {
    m_nps.leave();
    if (m_onDone)
        m_onDone();
}

}  // namespace quill::ui
