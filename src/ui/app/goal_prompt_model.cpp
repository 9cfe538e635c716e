#include "ui/app/goal_prompt_model.h"

#include <QChar>
#include <QString>
#include <algorithm>

#include "engine/core/text.h"
#include "engine/telemetry/event_privacy.h"
#include "engine/telemetry/telemetry_events.h"

namespace quill::ui {

namespace {

std::size_t limitOf(int maxChars) {
    return static_cast<std::size_t>(std::max(maxChars, 0));
}

std::string withoutControlCharacters(std::string_view text) {
    QList<uint> kept;
    for (const uint scalar : QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4()) {
        const auto category = QChar::category(static_cast<char32_t>(scalar));
        if (category != QChar::Other_Control && category != QChar::Other_Format)
            kept.push_back(scalar);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size()).toStdString();
}

}  // namespace

GoalPromptModel::GoalPromptModel(GoalPrompt prompt, std::function<void(const std::string& key)> onContinue,
                                 QObject* parent)
    : QObject(parent), m_prompt(std::move(prompt)), m_onContinue(std::move(onContinue)) {}

const GoalOption* GoalPromptModel::chosenOption() const {
    if (!m_selectedKey)
        return nullptr;
    const auto found = std::find_if(m_prompt.options.begin(), m_prompt.options.end(),
                                    [&](const GoalOption& option) { return option.key == *m_selectedKey; });
    return found == m_prompt.options.end() ? nullptr : &*found;
}

void GoalPromptModel::selectOption(const std::string& key) {
    if (m_selectedKey != key) {
        m_selectedKey = key;
        emit selectedKeyChanged();
    }
    const GoalOption* chosen = chosenOption();
    if (chosen != nullptr && !chosen->detailPrompt)
        setDetail({});
}

void GoalPromptModel::setDetail(std::string text) {
    const std::size_t limit = limitOf(m_prompt.detailMaxChars);
    if (graphemeCount(text) > limit)
        text = prefixGraphemes(text, limit);
    if (text == m_detail)
        return;
    m_detail = std::move(text);
    emit detailChanged();
}

void GoalPromptModel::submit() {
    if (!m_selectedKey)
        return;
    const GoalOption* chosen = chosenOption();
    JSONValue detail = chosen != nullptr && chosen->detailPrompt
                           ? cleanDetail(m_detail, m_prompt.detailMaxChars)
                           : JSONValue();
    TelemetryEvents::send(
        "goal_selected",
        {{"goal", *m_selectedKey}, {"detail", std::move(detail)}, {"surface", m_prompt.surface}});
    const std::string key = *m_selectedKey;  // the host may replace this model as it navigates
    if (m_onContinue)
        m_onContinue(key);
}

JSONValue GoalPromptModel::cleanDetail(std::string_view detail, int maxChars) {
    const std::string kept = withoutControlCharacters(detail);
    std::string cleaned = prefixGraphemes(trimWhitespaceAndNewlines(maskHomeFolder(kept)), limitOf(maxChars));
    if (cleaned.empty())
        return JSONValue();
    return JSONValue(std::move(cleaned));
}

}  // namespace quill::ui
