#include "ui/app/goal_prompt_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/setup/product_config.h"
#include "ui/app/goal_prompt_model.h"
#include "ui/common/choice_row.h"
#include "ui/common/labels.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {
constexpr int kSpacing = 8;
constexpr int kOptionSpacing = 6;
constexpr int kAboveOptions = 4;
constexpr int kDetailSpacing = 4;
constexpr int kAboveDetail = 2;
constexpr int kAboveContinue = 8;
constexpr int kDetailFieldWidth = 360;
}  // namespace

GoalPromptView::GoalPromptView(ScreenContext& /*context*/, GoalPrompt prompt,
                               std::function<void(const std::string& key)> onContinue, QWidget* parent)
    : QWidget(parent), m_model(new GoalPromptModel(std::move(prompt), std::move(onContinue), this)) {
    const GoalPrompt& shown = m_model->prompt();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);

    auto* question = plainLabel(QString::fromStdString(shown.question), this);
    Style::setFont(question, TextRole::headline);
    layout->addWidget(question);
    auto* subcopy = plainLabel(QString::fromStdString(shown.subcopy), this);
    Style::setFont(subcopy, TextRole::subheadline);
    Style::makeSecondary(subcopy);
    layout->addWidget(subcopy);

    auto* options = new QVBoxLayout;
    options->setSpacing(kOptionSpacing);
    options->setContentsMargins(0, kAboveOptions, 0, 0);
    for (const auto& option : shown.options) {
        auto* row = new ChoiceRow(QString::fromStdString(option.label), this);
        row->setObjectName(QStringLiteral("goal-option-") + QString::fromStdString(option.key));
        connect(row, &ChoiceRow::clicked, this, [this, key = option.key] { m_model->selectOption(key); });
        options->addWidget(row);
        m_rows.push_back(row);
    }
    layout->addLayout(options);

    m_detailBox = new QWidget(this);
    auto* detail = new QVBoxLayout(m_detailBox);
    detail->setContentsMargins(0, kAboveDetail, 0, 0);
    detail->setSpacing(kDetailSpacing);
    m_detailPrompt = plainLabel(QString(), m_detailBox);
    Style::setFont(m_detailPrompt, TextRole::caption);
    Style::makeSecondary(m_detailPrompt);
    m_detailField = new QLineEdit(m_detailBox);
    m_detailField->setObjectName(QStringLiteral("goal-detail-field"));
    m_detailField->setMaximumWidth(kDetailFieldWidth);
    connect(m_detailField, &QLineEdit::textChanged, this, &GoalPromptView::detailEdited);
    detail->addWidget(m_detailPrompt);
    detail->addWidget(m_detailField);
    layout->addWidget(m_detailBox);

    layout->addSpacing(kAboveContinue);
    m_continue =
        new QPushButton(buttonText(QString::fromStdString(ProductConfig::current()->copy.primaryCTA)), this);
    m_continue->setObjectName(QStringLiteral("goal-continue"));
    Style::apply(m_continue, ButtonStyle::prominent, ControlSize::large);
    connect(m_continue, &QPushButton::clicked, m_model, &GoalPromptModel::submit);
    layout->addWidget(m_continue, 0, Qt::AlignLeft);

    auto* footer =
        plainLabel(QStringLiteral("Nothing changes on your Mac until you review and approve it."), this);
    Style::setFont(footer, TextRole::footnote);
    Style::makeSecondary(footer);
    layout->addWidget(footer);

    connect(m_model, &GoalPromptModel::selectedKeyChanged, this, &GoalPromptView::refresh);
    connect(m_model, &GoalPromptModel::detailChanged, this, &GoalPromptView::refresh);
    refresh();
}

void GoalPromptView::refresh() {
    const auto& selected = m_model->selectedKey();
    const auto& options = m_model->prompt().options;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i]->setChecked(selected == options[i].key);

    const GoalOption* chosen = m_model->chosenOption();
    const bool asksDetail = chosen != nullptr && chosen->detailPrompt.has_value();
    if (asksDetail) {
        const QString detailPrompt = QString::fromStdString(*chosen->detailPrompt);
        m_detailPrompt->setText(detailPrompt);
        m_detailField->setPlaceholderText(detailPrompt);
        m_detailField->setAccessibleName(detailPrompt);
    }
    const QString detail = QString::fromStdString(m_model->detail());
    if (m_detailField->text() != detail) {
        m_rewritingDetail = true;
        m_detailField->setText(detail);
        m_detailField->setCursorPosition(static_cast<int>(detail.size()));
        m_rewritingDetail = false;
    }
    m_detailBox->setVisible(asksDetail);
    m_continue->setEnabled(m_model->canContinue());
}

void GoalPromptView::detailEdited(const QString& text) {
    if (m_rewritingDetail)
        return;
    m_model->setDetail(text.toStdString());
    // The model may have cut the text; a text it kept whole signals nothing, so check here.
    refresh();
}

}  // namespace quill::ui
