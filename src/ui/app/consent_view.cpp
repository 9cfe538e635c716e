#include "ui/app/consent_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/labels.h"
#include "ui/common/settings.h"
#include "ui/common/style.h"
#include "ui/common/url_opener.h"

namespace quill::ui {

namespace {

constexpr int kStackSpacing = 24;
constexpr int kSectionsSpacing = 16;
constexpr int kSectionSpacing = 6;
constexpr int kRowSpacing = 8;

QWidget* section(const std::string& title, const std::vector<std::string>& bullets, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSectionSpacing);
    auto* heading = plainLabel(QString::fromStdString(title), box);
    Style::setFont(heading, TextRole::headline);
    layout->addWidget(heading);
    for (const auto& bullet : bullets) {
        auto* row = new QHBoxLayout;
        row->setSpacing(kRowSpacing);
        auto* sign = plainLabel(QStringLiteral("•"), box);
        sign->setWordWrap(false);
        Style::setFont(sign, TextRole::callout);
        Style::makeSecondary(sign);
        auto* text = plainLabel(QString::fromStdString(bullet), box);
        Style::setFont(text, TextRole::callout);
        row->addWidget(sign, 0, Qt::AlignTop);
        row->addWidget(text, 1, Qt::AlignTop);
        layout->addLayout(row);
    }
    return box;
}

}  // namespace

QString privacyLinkTitle(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url));
    return parsed.host(QUrl::FullyDecoded) + parsed.path(QUrl::FullyDecoded);
}

ConsentView::ConsentView(ScreenContext& context, std::function<void()> onContinue, QWidget* parent)
    : ScreenPage(context, parent), m_onContinue(std::move(onContinue)) {
    const auto config = ProductConfig::current();

    // Configured sections can be long: everything above Continue scrolls when it outgrows the window.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls inside, which it scrolls into view
    auto* body = new QWidget(scroll);
    auto* stack = new QVBoxLayout(body);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kStackSpacing);

    auto* headline =
        plainLabel(QStringLiteral("Welcome to ") + QString::fromStdString(config->displayName), body);
    headline->setFont(Style::font(TextRole::largeTitle, QFont::DemiBold));
    stack->addWidget(headline);

    auto* sections = new QVBoxLayout;
    sections->setSpacing(kSectionsSpacing);
    sections->addWidget(section(config->consent.whatTitle, config->consent.whatBullets, body));
    sections->addWidget(section(config->consent.privacyTitle, config->consent.privacyBullets, body));
    stack->addLayout(sections);

    auto* privacyRow = new QHBoxLayout;
    privacyRow->setSpacing(kRowSpacing);
    auto* privacyLead = plainLabel(QStringLiteral("Read the privacy details:"), body);
    privacyLead->setWordWrap(false);
    Style::setFont(privacyLead, TextRole::footnote);
    Style::makeSecondary(privacyLead);
    auto* privacyLink = linkButton(privacyLinkTitle(config->urls.privacy), body);
    privacyLink->setObjectName(QStringLiteral("consent-privacy-link"));
    Style::setFont(privacyLink, TextRole::footnote);
    const QUrl privacy(QString::fromStdString(config->urls.privacy));
    connect(privacyLink, &QPushButton::clicked, this,
            [this, privacy] { this->context().urls.open(privacy); });
    privacyRow->addWidget(privacyLead, 0, Qt::AlignVCenter);
    privacyRow->addWidget(privacyLink, 0, Qt::AlignVCenter);
    privacyRow->addStretch(1);
    stack->addLayout(privacyRow);
    stack->addStretch(1);
    scroll->setWidget(body);

    m_continue = new QPushButton(buttonText(QStringLiteral("Continue")), this);
    m_continue->setObjectName(QStringLiteral("consent-continue"));
    Style::apply(m_continue, ButtonStyle::prominent, ControlSize::large);
    connect(m_continue, &QPushButton::clicked, this, &ConsentView::recordConsent);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Style::kPagePadding, Style::kPagePadding, Style::kPagePadding,
                               Style::kPagePadding);
    layout->setSpacing(kStackSpacing);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_continue, 0, Qt::AlignLeft);
}

QAbstractButton* ConsentView::defaultButton() const {
    return m_continue;
}

void ConsentView::recordConsent() {
    writeFlag(*context().services.store, productKey(".consented"), true);
    TelemetryEvents::send("consent_given", {});
    if (m_onContinue)
        m_onContinue();
}

}  // namespace quill::ui
