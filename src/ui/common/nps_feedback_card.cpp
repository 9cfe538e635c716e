#include "ui/common/nps_feedback_card.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/setup/product_config.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/labels.h"
#include "ui/common/screen_context.h"
#include "ui/common/settings.h"
#include "ui/common/style.h"

namespace quill::ui {

namespace {

constexpr int kPadding = 16;
constexpr int kItemSpacing = 14;
constexpr int kScoreSpacing = 4;
constexpr int kScoreSize = 30;
constexpr int kExtraAbove = 4;
constexpr int kEditorMinHeight = 60;
constexpr int kEditorMaxHeight = 90;
constexpr int kThanksSpacing = 6;
constexpr int kCheckSize = 14;
constexpr double kCardRadius = 8;

/// One score: its number in a 30-point circle, filled with the accent while it is the chosen score.
class ScoreButton final : public QAbstractButton {
  public:
    ScoreButton(int score, QWidget* parent) : QAbstractButton(parent) {
        setText(QString::number(score));
        setCheckable(true);
        setFixedSize(kScoreSize, kScoreSize);
        setFont(Style::font(TextRole::callout));
        setCursor(Qt::PointingHandCursor);
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (isChecked()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Style::accent(this));
            painter.drawEllipse(circle);
            painter.setPen(Qt::white);
            painter.setFont(Style::font(TextRole::callout, QFont::DemiBold));
        } else {
            painter.setPen(QPen(Style::tinted(Style::secondary(this), 0.4), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(circle);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.setFont(Style::font(TextRole::callout));
        }
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

    // The card sets the selection from its phase.
    void nextCheckState() override {}
};

/// A green disc with a white check mark.
class CheckMark final : public QWidget {
  public:
    explicit CheckMark(QWidget* parent) : QWidget(parent) { setFixedSize(kCheckSize, kCheckSize); }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x34, 0xC7, 0x59));
        painter.drawEllipse(QRectF(rect()));
        const double s = width();
        QPainterPath tick;
        tick.moveTo(s * 0.28, s * 0.52);
        tick.lineTo(s * 0.44, s * 0.68);
        tick.lineTo(s * 0.72, s * 0.36);
        painter.setPen(QPen(Qt::white, s * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    }
};

QLabel* secondaryCaption(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    Style::setFont(label, TextRole::caption);
    Style::makeSecondary(label);
    return label;
}

}  // namespace

NPSFeedbackCard::NPSFeedbackCard(ScreenContext& context, std::function<void()> onSubmitted,
                                 std::function<void()> onDismissed, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_onSubmitted(std::move(onSubmitted)),
      m_onDismissed(std::move(onDismissed)) {
    setObjectName(QStringLiteral("nps-card"));
    Style::setCardFill(this, CardFill::secondary);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(kItemSpacing);

    auto* header = new QHBoxLayout;
    auto* title = plainLabel(QStringLiteral("How are we doing?"), this);
    Style::setFont(title, TextRole::headline);
    // The title takes the free width: a wrapping label squeezed by a stretch would break its line.
    header->addWidget(title, 1, Qt::AlignBaseline);
    auto* dismissButton = new QPushButton(buttonText(QStringLiteral("Dismiss")), this);
    dismissButton->setObjectName(QStringLiteral("nps-dismiss"));
    Style::apply(dismissButton, ButtonStyle::borderless);
    Style::setFont(dismissButton, TextRole::footnote);
    connect(dismissButton, &QPushButton::clicked, this, &NPSFeedbackCard::dismiss);
    header->addWidget(dismissButton, 0, Qt::AlignBaseline);
    layout->addLayout(header);

    const QString displayName = QString::fromStdString(ProductConfig::current()->displayName);
    auto* question = plainLabel(QStringLiteral("How likely are you to recommend ") + displayName +
                                    QStringLiteral(" to a friend or colleague?"),
                                this);
    Style::setFont(question, TextRole::callout);
    layout->addWidget(question);

    auto* scores = new QHBoxLayout;
    scores->setSpacing(kScoreSpacing);
    for (int score = kLowestScore; score <= kHighestScore; ++score) {
        auto* button = new ScoreButton(score, this);
        connect(button, &QAbstractButton::clicked, this, [this, score] { selectScore(score); });
        scores->addWidget(button, 0, Qt::AlignVCenter);
        m_scores[static_cast<std::size_t>(score - kLowestScore)] = button;
    }
    scores->addStretch(1);
    layout->addLayout(scores);

    auto* ends = new QHBoxLayout;
    ends->addWidget(secondaryCaption(QStringLiteral("Not at all likely"), this));
    ends->addStretch(1);
    ends->addWidget(secondaryCaption(QStringLiteral("Extremely likely"), this));
    layout->addLayout(ends);

    m_reasonBlock = new QWidget(this);
    auto* reason = new QVBoxLayout(m_reasonBlock);
    reason->setContentsMargins(0, kExtraAbove, 0, 0);
    reason->setSpacing(kItemSpacing);
    reason->addWidget(
        secondaryCaption(QStringLiteral("What's the main reason for your score? (optional)"), m_reasonBlock));
    // A multi-line editor keeps Return for new lines. Its background is the palette's base, the system
    // text-background colour (textBackgroundColor).
    m_reason = new QPlainTextEdit(m_reasonBlock);
    m_reason->setFont(Style::font(TextRole::callout));
    m_reason->setMinimumHeight(kEditorMinHeight);
    m_reason->setMaximumHeight(kEditorMaxHeight);
    Style::follow(m_reason, [](QWidget* w) {
        const QString sheet =
            QStringLiteral("QPlainTextEdit { border: 1px solid %1; border-radius: 6px; padding: 4px; }")
                .arg(Style::tinted(Style::basePalette(w).color(QPalette::PlaceholderText), 0.3)
                         .name(QColor::HexArgb));
        if (w->styleSheet() != sheet)
            w->setStyleSheet(sheet);
    });
    reason->addWidget(m_reason);
    m_submit = new QPushButton(buttonText(QStringLiteral("Submit feedback")), m_reasonBlock);
    m_submit->setObjectName(QStringLiteral("nps-submit"));
    Style::apply(m_submit, ButtonStyle::prominent);
    connect(m_submit, &QPushButton::clicked, this, &NPSFeedbackCard::submit);
    reason->addWidget(m_submit, 0, Qt::AlignLeft);
    layout->addWidget(m_reasonBlock);

    m_thanksRow = new QWidget(this);
    auto* thanks = new QHBoxLayout(m_thanksRow);
    thanks->setContentsMargins(0, kExtraAbove, 0, 0);
    thanks->setSpacing(kThanksSpacing);
    thanks->addWidget(new CheckMark(m_thanksRow), 0, Qt::AlignVCenter);
    auto* thanksText = plainLabel(QStringLiteral("Thanks for the feedback."), m_thanksRow);
    Style::setFont(thanksText, TextRole::callout);
    thanks->addWidget(thanksText, 1, Qt::AlignVCenter);
    layout->addWidget(m_thanksRow);

    m_thanksTimer = new QTimer(this);
    m_thanksTimer->setSingleShot(true);
    m_thanksTimer->setInterval(context.timings.npsThanksDelay);
    connect(m_thanksTimer, &QTimer::timeout, this, &NPSFeedbackCard::thank);

    refresh();
}

QString NPSFeedbackCard::reasonText() const {
    return m_reason->toPlainText();
}

QAbstractButton* NPSFeedbackCard::scoreButton(int score) const {
    if (score < kLowestScore || score > kHighestScore)
        return nullptr;
    return m_scores[static_cast<std::size_t>(score - kLowestScore)];
}

void NPSFeedbackCard::selectScore(int score) {
    if (score < kLowestScore || score > kHighestScore)
        return;
    if (std::holds_alternative<Phase::Submitting>(m_phase.value) ||
        std::holds_alternative<Phase::Thanks>(m_phase.value))
        return;
    m_phase = Phase::scored(score);
    refresh();
}

void NPSFeedbackCard::submit() {
    const auto* scored = std::get_if<Phase::Scored>(&m_phase.value);
    if (scored == nullptr)
        return;
    const int score = scored->score;
    m_phase = Phase::submitting();
    refresh();
    TelemetryEvents::send(TelemetryEvents::npsSubmitted(score, m_reason->toPlainText().toStdString()));
    // Written at the press: a user who quits during the thank-you pause is not asked again.
    writeFlag(*m_context.services.store, productKey(".nps_submitted"), true);
    m_thanksTimer->start();
    if (m_onAnswered)
        m_onAnswered();
}

void NPSFeedbackCard::dismiss() {
    TelemetryEvents::send("nps_dismissed", {});
    m_didDismiss = true;
    hide();
    if (m_onDismissed)
        m_onDismissed();
}

void NPSFeedbackCard::thank() {
    m_phase = Phase::thanks();
    refresh();
    if (m_onSubmitted)
        m_onSubmitted();
}

void NPSFeedbackCard::refresh() {
    const auto* scored = std::get_if<Phase::Scored>(&m_phase.value);
    for (int score = kLowestScore; score <= kHighestScore; ++score)
        scoreButton(score)->setChecked(scored != nullptr && scored->score == score);
    m_reasonBlock->setVisible(scored != nullptr);
    m_thanksRow->setVisible(std::holds_alternative<Phase::Thanks>(m_phase.value));
}

void NPSFeedbackCard::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Style::tinted(Style::secondary(this), 0.25), 1));
    painter.setBrush(Style::cardFill(this));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCardRadius, kCardRadius);
}

}  // namespace quill::ui
