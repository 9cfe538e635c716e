#include "ui/app/next_step_view.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/telemetry/telemetry_events.h"
#include "ui/common/app_navigation.h"
#include "ui/common/choice_row.h"
#include "ui/common/labels.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {
constexpr int kSpacing = 10;
constexpr int kOptionSpacing = 6;
constexpr int kAboveContinue = 8;
}  // namespace

AuditEntry auditEntryForKey(std::string_view key) {
    if (key == "course")
        return AuditEntry::nextStepCourse;
    if (key == "build_software")
        return AuditEntry::nextStepBuildSoftware;
    return AuditEntry::nextStepNotSure;
}

Screen routeFor(const std::string& key, const OfferRoute& offer, const std::optional<std::string>& goal) {
    struct Visitor {
        const std::string& key;
        const std::optional<std::string>& goal;

        Screen operator()(const OfferRoute::Content& content) const {
            return Screen::contentOffer(content.offerID);
        }
        Screen operator()(const OfferRoute::Audit& audit) const {
            std::optional<OfferRoute> then;
            if (audit.then)
                then = *audit.then;
            return Screen::audit(AuditContext{auditEntryForKey(key), CompletionSurface::Excluded{},
                                              QuillAuditContext{key, goal, std::move(then)}});
        }
        Screen operator()(const OfferRoute::GuidedHelpWTP&) const { return Screen::guidedHelpOffer(); }
        Screen operator()(const OfferRoute::AICodingInterest&) const { return Screen::aiCodingOffer(); }
    };
    return std::visit(Visitor{key, goal}, offer.value);
}

NextStepView::NextStepView(ScreenContext& context, NextStepPrompt prompt, QWidget* parent)
    : ScreenPage(context, parent), m_prompt(std::move(prompt)) {
    auto* scaffold = new ScreenScaffold(context, this);
    scaffold->setTitle(QString::fromStdString(m_prompt.question));
    scaffold->setTitleFont(TextRole::largeTitle);
    scaffold->setExplainer(QString::fromStdString(m_prompt.leadIn));

    auto* content = new QWidget(scaffold);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    auto* options = new QVBoxLayout;
    options->setSpacing(kOptionSpacing);
    for (const auto& option : m_prompt.options) {
        // A checked row is announced as the selected one.
        auto* row = new ChoiceRow(QString::fromStdString(option.label), content);
        row->setObjectName(QStringLiteral("next-step-option-") + QString::fromStdString(option.key));
        connect(row, &ChoiceRow::clicked, this, [this, key = option.key] { select(key); });
        options->addWidget(row);
        m_rows.push_back(row);
    }
    column->addLayout(options);
    column->addSpacing(kAboveContinue);
    m_continue = new QPushButton(buttonText(QStringLiteral("Show next step")), content);
    m_continue->setObjectName(QStringLiteral("next-step-continue"));
    Style::apply(m_continue, ButtonStyle::prominent, ControlSize::large);
    connect(m_continue, &QPushButton::clicked, this, &NextStepView::submit);
    column->addWidget(m_continue, 0, Qt::AlignLeft);
    scaffold->setScrollingContent(content);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scaffold);
    refresh();
}

QAbstractButton* NextStepView::defaultButton() const {
    return m_continue;
}

void NextStepView::select(const std::string& key) {
    if (m_selectedKey == key)
        return;
    m_selectedKey = key;
    refresh();
}

void NextStepView::submit() {
    if (!m_selectedKey)
        return;
    const auto& options = m_prompt.options;
    const auto chosen = std::find_if(options.begin(), options.end(), [&](const NextStepOption& option) {
        return option.key == *m_selectedKey;
    });
    if (chosen == options.end())
        return;
    auto& navigation = context().navigation;
    const std::optional<std::string> goal = navigation.selectedGoal();
    navigation.setSelectedNextStep(chosen->key);
    TelemetryEvents::nextStepSelected(chosen->key, std::string(toRaw(chosen->outcome)), goal,
                                      m_prompt.surface);
    route(chosen->key, chosen->offer, goal);
}

void NextStepView::route(const std::string& key, const OfferRoute& offer,
                         const std::optional<std::string>& goal) {
    context().navigation.push(routeFor(key, offer, goal));
}

void NextStepView::refresh() {
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i]->setChecked(m_selectedKey == m_prompt.options[i].key);
    m_continue->setEnabled(m_selectedKey.has_value());
}

}  // namespace quill::ui
