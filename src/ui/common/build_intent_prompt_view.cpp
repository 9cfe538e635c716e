#include "ui/common/build_intent_prompt_view.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/labels.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {
constexpr int kPadding = 16;
constexpr int kSpacing = 8;
constexpr double kRadius = 8;
// clang-format off
constexpr const char* kBody = "Whether starting out or setting up a new Mac, we'll check if you have everything you need.";
// clang-format on
}  // namespace

BuildIntentPromptView::BuildIntentPromptView(std::function<void()> onSeeRecommendations, QWidget* parent)
    : QWidget(parent), m_onSeeRecommendations(std::move(onSeeRecommendations)) {
    setObjectName(QStringLiteral("completion-build-intent-prompt"));
    Style::setCardFill(this, CardFill::quaternary);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(kSpacing);
    auto* headline = plainLabel(QStringLiteral("Want to build software on this Mac?"), this);
    Style::setFont(headline, TextRole::headline);
    layout->addWidget(headline);
    auto* body = plainLabel(QString::fromUtf8(kBody), this);
    Style::setFont(body, TextRole::subheadline);
    Style::makeSecondary(body);
    layout->addWidget(body);
    m_optIn = new QPushButton(buttonText(QStringLiteral("See recommendations →")), this);
    m_optIn->setObjectName(QStringLiteral("completion-build-intent-optin"));
    Style::apply(m_optIn, ButtonStyle::bordered);
    connect(m_optIn, &QPushButton::clicked, this, [this] {
        if (m_onSeeRecommendations)
            m_onSeeRecommendations();
    });
    layout->addWidget(m_optIn, 0, Qt::AlignLeft);
}

void BuildIntentPromptView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Style::cardFill(this));
    painter.drawRoundedRect(QRectF(rect()), kRadius, kRadius);
}

}  // namespace quill::ui
