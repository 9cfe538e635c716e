#include "ui/app/welcome_view.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "engine/setup/product_config.h"
#include "ui/app/goal_prompt_view.h"
#include "ui/common/app_navigation.h"
#include "ui/common/labels.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"

namespace quill::ui {

WelcomeView::WelcomeView(ScreenContext& context, QWidget* parent) : ScreenPage(context, parent) {
    const auto config = ProductConfig::current();
    m_scaffold = new ScreenScaffold(context, this);
    m_scaffold->setTitle(QString::fromStdString(config->copy.welcomeHeadline.value_or(config->displayName)));
    m_scaffold->setTitleFont(TextRole::largeTitle);
    m_scaffold->setExplainer(QString::fromStdString(config->copy.welcomeExplainer));
    if (config->goalPrompt) {
        m_goalPrompt = new GoalPromptView(
            context, *config->goalPrompt, [this](const std::string& key) { goalChosen(key); }, m_scaffold);
        m_scaffold->setContent(m_goalPrompt);
    } else {
        auto* button =
            new QPushButton(buttonText(QString::fromStdString(config->copy.primaryCTA)), m_scaffold);
        button->setObjectName(QStringLiteral("welcome-diagnose-button"));
        Style::apply(button, ButtonStyle::prominent, ControlSize::large);
        connect(button, &QPushButton::clicked, this, &WelcomeView::beginFlow);
        auto* holder = new QWidget(m_scaffold);
        auto* row = new QVBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(button, 0, Qt::AlignLeft);
        m_scaffold->setContent(holder);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scaffold);
}

QAbstractButton* WelcomeView::defaultButton() const {
    return m_goalPrompt != nullptr ? m_goalPrompt->continueButton() : nullptr;
}

void WelcomeView::beginFlow() {
    switch (ProductConfig::current()->flow) {
        case SetupFlow::diagnose:
            context().navigation.push(Screen::diagnose());
            break;
        case SetupFlow::setupWorkflow:
            context().navigation.push(Screen::setupWorkflow());
            break;
    }
}

void WelcomeView::goalChosen(const std::string& key) {
    // The goal question belongs to the diagnosis, whatever flow the product's button would start.
    context().navigation.setSelectedGoal(key);
    context().navigation.push(Screen::diagnose());
}

}  // namespace quill::ui
