#include "ui/common/simplified_completion_view.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "engine/telemetry/telemetry_events.h"
#include "ui/common/build_intent_prompt_view.h"
#include "ui/common/labels.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {
constexpr int kSpacing = 16;
constexpr int kAboveDone = 8;
}  // namespace

SimplifiedCompletionView::SimplifiedCompletionView(ScreenContext& context, CompletionSurface surface,
                                                   std::function<void()> onSeeRecommendations,
                                                   std::function<void()> onDone, QWidget* parent)
    : QWidget(parent),
      m_surface(surface),
      m_onSeeRecommendations(std::move(onSeeRecommendations)),
      m_onDone(std::move(onDone)),
      m_nps(context, NpsHostVisit::Gate::answeredFlagAndNoNextStepPrompt) {
    auto* scaffold = new ScreenScaffold(context, this);
    scaffold->setTitle(QStringLiteral("Java is working"));
    scaffold->setTitleFont(TextRole::largeTitle);
    scaffold->setExplainer(QStringLiteral("You're all set."));

    auto* content = new QWidget(scaffold);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    m_card = m_nps.buildCard(content, [this] { recordSubmission(); });
    if (m_card != nullptr)
        column->addWidget(m_card);
    if (std::holds_alternative<CompletionSurface::Prompt>(m_surface.value)) {
        m_prompt = new BuildIntentPromptView([this] { optIn(); }, content);
        column->addWidget(m_prompt);
    }
    column->addSpacing(kAboveDone);
    m_done = new QPushButton(buttonText(QStringLiteral("Done — back to home")), content);
    Style::apply(m_done, ButtonStyle::prominent, ControlSize::large);
    connect(m_done, &QPushButton::clicked, this, &SimplifiedCompletionView::finish);
    column->addWidget(m_done, 0, Qt::AlignLeft);
    scaffold->setScrollingContent(content);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scaffold);
}

void SimplifiedCompletionView::appeared() {
    if (m_nps.showNPS() && m_card != nullptr && !m_card->isHidden())
        emitNPSShown();
    if (m_prompt != nullptr)
        emitBuildIntentShown();
}

void SimplifiedCompletionView::recordSubmission() {
    m_nps.recordAnswer();
    m_nps.stopShowing();
}

void SimplifiedCompletionView::emitNPSShown() {
    m_nps.cardAppeared();
}

void SimplifiedCompletionView::emitBuildIntentShown() {
    const auto* prompt = std::get_if<CompletionSurface::Prompt>(&m_surface.value);
    if (prompt == nullptr || m_didEmitBuildIntentShown)
        return;
    m_didEmitBuildIntentShown = true;
    TelemetryEvents::buildIntentPromptShown(prompt->surface);
}

void SimplifiedCompletionView::optIn() {
    if (const auto* prompt = std::get_if<CompletionSurface::Prompt>(&m_surface.value))
        TelemetryEvents::buildIntentOptedIn(prompt->surface);
    if (m_onSeeRecommendations)
        m_onSeeRecommendations();
}

void SimplifiedCompletionView::finish() {
    m_nps.leave();
    if (m_onDone)
        m_onDone();
}

}  // namespace quill::ui
