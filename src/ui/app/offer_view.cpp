#include "ui/app/offer_view.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/app_navigation.h"
#include "ui/common/labels.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"
#include "ui/common/url_opener.h"

namespace quill::ui {

namespace {

constexpr int kSpacing = 12;
constexpr int kNoticePadding = 10;
constexpr double kNoticeRadius = 6;
// clang-format off
constexpr const char* kUnavailableNotice = "Thanks — this isn't available yet. We're seeing how many people want it. You haven't been charged, and we didn't collect any personal details.";
// clang-format on

JSONValue textOrNull(const std::optional<std::string>& text) {
    return text ? JSONValue(*text) : JSONValue();
}

/// The guided-help notice: a tint of the accent inside a rounded accent border.
class NoticeBox final : public QWidget {
  public:
    NoticeBox(const QString& text, QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(kNoticePadding, kNoticePadding, kNoticePadding, kNoticePadding);
        auto* label = plainLabel(text, this);
        Style::setFont(label, TextRole::callout);
        layout->addWidget(label);
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        const QColor accent = Style::accent(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Style::tinted(accent, 0.4), 1));
        painter.setBrush(Style::tinted(accent, 0.1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kNoticeRadius, kNoticeRadius);
    }
};

}  // namespace

OfferView::OfferView(ScreenContext& context, std::string offerID, const QString& fallbackTitle,
                     const QString& fallbackExplainer, QWidget* parent)
    : ScreenPage(context, parent), m_offerID(std::move(offerID)) {
    const auto found = spec();
    auto* scaffold = new ScreenScaffold(context, this);
    scaffold->setTitle(found ? QString::fromStdString(found->title) : fallbackTitle);
    scaffold->setTitleFont(TextRole::largeTitle);
    scaffold->setExplainer(found ? QString::fromStdString(found->body) : fallbackExplainer);
    auto* content = new QWidget(scaffold);
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(kSpacing);
    scaffold->setContent(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scaffold);
}

std::optional<OfferSpec> OfferView::spec() const {
    const auto config = ProductConfig::current();
    const auto found = config->offerCatalog.find(m_offerID);
    if (found == config->offerCatalog.end())
        return std::nullopt;
    return found->second;
}

void OfferView::appeared() {
    ScreenPage::appeared();
    emitOfferShown();
}

void OfferView::emitOfferShown() {
    if (m_didEmitShown)
        return;
    const auto found = spec();
    if (!found)
        return;  // a later appearance tries again
    m_didEmitShown = true;
    const auto& navigation = context().navigation;
    TelemetryEvents::send("offer_shown", {{"offer_id", m_offerID},
                                          {"offer_surface", found->surface},
                                          {"eligibility_reason", found->eligibilityReason},
                                          {"next_step", textOrNull(navigation.selectedNextStep())},
                                          {"goal", textOrNull(navigation.selectedGoal())}});
}

void OfferView::emitOfferAction(const std::string& action, const std::optional<std::string>& result) {
    const auto found = spec();
    if (!found)
        return;
    TelemetryEvents::send("offer_action",
                          {{"offer_id", m_offerID},
                           {"offer_surface", found->surface},
                           {"action", action},
                           {"result", textOrNull(result)},
                           {"next_step", textOrNull(context().navigation.selectedNextStep())}});
}

QPushButton* OfferView::addButton(const QString& text, const QString& identifier, bool prominent) {
    auto* button = new QPushButton(buttonText(text), m_column->parentWidget());
    button->setObjectName(identifier);
    Style::apply(button, prominent ? ButtonStyle::prominent : ButtonStyle::bordered, ControlSize::large);
    m_column->addWidget(button, 0, Qt::AlignLeft);
    return button;
}

void OfferView::open(const std::string& destination) {
    context().urls.open(QUrl(QString::fromStdString(destination)));
}

void OfferView::goHome() {
    context().navigation.goHome();
}

ContentOfferView::ContentOfferView(ScreenContext& context, std::string offerID, QWidget* parent)
    : OfferView(context, std::move(offerID), QStringLiteral("You're all set"),
                QStringLiteral("Java is set up and verified."), parent) {
    const QString prefix = QStringLiteral("offer-") + QString::fromStdString(this->offerID());
    if (const auto found = spec(); found && found->destination) {
        auto* primary =
            addButton(QString::fromStdString(found->actionLabel), prefix + QStringLiteral("-primary"), true);
        connect(primary, &QPushButton::clicked, this,
                [this, destination = *found->destination] { select(destination); });
    }
    auto* done = addButton(QStringLiteral("Done — back to home"), prefix + QStringLiteral("-dismiss"), false);
    connect(done, &QPushButton::clicked, this, &ContentOfferView::dismiss);
}

void ContentOfferView::select(const std::string& destination) {
    emitOfferAction("selected", std::nullopt);
    open(destination);
    goHome();
}

void ContentOfferView::dismiss() {
    emitOfferAction("dismissed", std::nullopt);
    goHome();
}

GuidedHelpOfferView::GuidedHelpOfferView(ScreenContext& context, std::string offerID, QWidget* parent)
    : OfferView(context, std::move(offerID), QStringLiteral("Still stuck?"), QStringLiteral("We can help."),
                parent) {
    const auto found = spec();
    auto* column = m_column->parentWidget();
    // Offering: the plan's button and "No thanks".
    m_offering = new QWidget(column);
    auto* offering = new QVBoxLayout(m_offering);
    offering->setContentsMargins(0, 0, 0, 0);
    offering->setSpacing(kSpacing);
    auto* primary = new QPushButton(buttonText(found ? QString::fromStdString(found->actionLabel)
                                                     : QStringLiteral("Get my setup plan ($2)")),
                                    m_offering);
    primary->setObjectName(QStringLiteral("offer-guided_help_plan-primary"));
    Style::apply(primary, ButtonStyle::prominent, ControlSize::large);
    connect(primary, &QPushButton::clicked, this, &GuidedHelpOfferView::select);
    offering->addWidget(primary, 0, Qt::AlignLeft);
    auto* noThanks = new QPushButton(buttonText(QStringLiteral("No thanks")), m_offering);
    noThanks->setObjectName(QStringLiteral("offer-guided_help_plan-dismiss"));
    Style::apply(noThanks, ButtonStyle::bordered, ControlSize::large);
    connect(noThanks, &QPushButton::clicked, this, &GuidedHelpOfferView::dismiss);
    offering->addWidget(noThanks, 0, Qt::AlignLeft);
    m_column->addWidget(m_offering);

    // Acknowledged: the notice and a way home.
    m_unavailable = new QWidget(column);
    auto* unavailable = new QVBoxLayout(m_unavailable);
    unavailable->setContentsMargins(0, 0, 0, 0);
    unavailable->setSpacing(kSpacing);
    auto* notice = new NoticeBox(QString::fromUtf8(kUnavailableNotice), m_unavailable);
    notice->setObjectName(QStringLiteral("offer-guided_help_plan-unavailable"));
    unavailable->addWidget(notice);
    auto* done = new QPushButton(buttonText(QStringLiteral("Done — back to home")), m_unavailable);
    Style::apply(done, ButtonStyle::prominent, ControlSize::large);
    connect(done, &QPushButton::clicked, this, &GuidedHelpOfferView::finish);
    unavailable->addWidget(done, 0, Qt::AlignLeft);
    m_column->addWidget(m_unavailable);
    m_unavailable->hide();
}

void GuidedHelpOfferView::select() {
    emitOfferAction("selected", std::string("interest_no_fulfillment"));
    // Nothing is opened, bought or stored: the screen says so and stays.
    m_showedUnavailable = true;
    m_offering->hide();
    m_unavailable->show();
}

void GuidedHelpOfferView::dismiss() {
    emitOfferAction("dismissed", std::nullopt);
    goHome();
}

void GuidedHelpOfferView::finish() {
    goHome();
}

AICodingInterestView::AICodingInterestView(ScreenContext& context, std::string offerID, QWidget* parent)
    : OfferView(context, std::move(offerID), QStringLiteral("Build with AI?"),
                QStringLiteral("We can help you set that up."), parent) {
    if (const auto found = spec(); found && found->destination) {
        auto* primary = addButton(QString::fromStdString(found->actionLabel),
                                  QStringLiteral("offer-ai_coding_setup-primary"), true);
        connect(primary, &QPushButton::clicked, this,
                [this, destination = *found->destination] { select(destination); });
    }
    auto* noThanks =
        addButton(QStringLiteral("No thanks"), QStringLiteral("offer-ai_coding_setup-dismiss"), false);
    connect(noThanks, &QPushButton::clicked, this, &AICodingInterestView::dismiss);
}

void AICodingInterestView::select(const std::string& destination) {
    emitOfferAction("selected", std::string("interest"));
    open(destination);
    goHome();
}

void AICodingInterestView::dismiss() {
    emitOfferAction("dismissed", std::nullopt);
    goHome();
}

}  // namespace quill::ui
