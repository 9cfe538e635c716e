#include "ui/common/nps_host_visit.h"

#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/screen_context.h"
#include "ui/common/settings.h"

namespace quill::ui {

namespace {

bool wantsCard(const ScreenContext& context, NpsHostVisit::Gate gate) {
    if (gate == NpsHostVisit::Gate::answeredFlagAndNoNextStepPrompt &&
        ProductConfig::current()->nextStepPrompt)
        return false;
    return !readFlag(*context.services.store, productKey(".nps_submitted"));
}

}  // namespace

NpsHostVisit::NpsHostVisit(ScreenContext& context, Gate gate, Dismissal dismissal)
    : m_context(context), m_dismissal(dismissal), m_showNPS(wantsCard(context, gate)) {}

NPSFeedbackCard* NpsHostVisit::buildCard(QWidget* parent, std::function<void()> onThanks) {
    if (!m_showNPS)
        return nullptr;
    auto* card = new NPSFeedbackCard(
        m_context,
        [this, onThanks = std::move(onThanks)] {
            recordAnswer();
            if (onThanks)
                onThanks();
        },
        [this] {
            if (m_dismissal == Dismissal::countsAsAnswer)
                recordAnswer();
        },
        parent);
    card->setOnAnswered([this] { recordAnswer(); });
    m_card = card;
    return card;
}

void NpsHostVisit::cardAppeared() {
    if (m_didEmitNPSShown)
        return;
    m_didEmitNPSShown = true;
    // Shown on this visit even when another screen already used the once-per-run gate.
    TelemetryEvents::sendNPSShownOnce();
}

void NpsHostVisit::stopShowing() {
    m_showNPS = false;
    if (m_card)
        m_card->hide();
}

void NpsHostVisit::leave() {
    if (m_didEmitNPSShown && !m_didAnswer)
        TelemetryEvents::send("nps_dismissed", {});
}

}  // namespace quill::ui
