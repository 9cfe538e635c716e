#include "ui/java/diagnosis_detail_view.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <string_view>

#include "ui/common/app_navigation.h"
#include "ui/common/labels.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/screen_context.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"
#include "ui/java/diagnose_view.h"

namespace quill::ui {

namespace {
constexpr int kSpacing = 16;

/// The detail as shown: this version installs no Java, so the promise to install one is left out.
std::string shownDetail(const Diagnosis& diagnosis) {
    std::string detail = diagnosis.detail();
    if (std::holds_alternative<Diagnosis::D1_NoJDK>(diagnosis.value)) {
        constexpr std::string_view kPromise =
            "We'll install Eclipse Temurin (a free, well-maintained Java distribution) for you. ";
        if (const auto at = detail.find(kPromise); at != std::string::npos)
            detail.erase(at, kPromise.size());
    }
    return detail;
}
}  // namespace

bool needsFix(const Diagnosis& diagnosis) {
    return std::holds_alternative<Diagnosis::D1_NoJDK>(diagnosis.value) ||
           std::holds_alternative<Diagnosis::D2_HomeUnset>(diagnosis.value) ||
           std::holds_alternative<Diagnosis::D3_LegacyOnly>(diagnosis.value);
}

bool hasNoErrors(const Diagnosis& diagnosis) {
    return std::holds_alternative<Diagnosis::D4_ModernHomeSet>(diagnosis.value) ||
           std::holds_alternative<Diagnosis::NoErrorsFound>(diagnosis.value);
}

DiagnosisDetailView::DiagnosisDetailView(ScreenContext& context, Diagnosis diagnosis, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_diagnosis(std::move(diagnosis)),
      m_nps(context, NpsHostVisit::Gate::answeredFlagOnly) {
    auto* scaffold = new ScreenScaffold(context, this);
    scaffold->setTitle(QString::fromStdString(m_diagnosis.headline()));

    auto* content = new QWidget(scaffold);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    // Reasons and paths may hold "_" or "*": the detail is never read as Markdown, but for its code spans.
    auto* detail = codeSpanLabel(QString::fromStdString(shownDetail(m_diagnosis)), content);
    Style::setFont(detail, TextRole::body);
    column->addWidget(detail);
    if (needsFix(m_diagnosis)) {
        auto* cannotFix =
            plainLabel(QStringLiteral("This version of the app can't fix this for you."), content);
        Style::setFont(cannotFix, TextRole::body);
        Style::makeSecondary(cannotFix);
        column->addWidget(cannotFix);
    }
    m_continue = new QPushButton(buttonText(QStringLiteral("Continue to system audit")), content);
    m_continue->setObjectName(QStringLiteral("continue-to-audit"));
    Style::apply(m_continue, ButtonStyle::prominent, ControlSize::large);
    connect(m_continue, &QPushButton::clicked, this, &DiagnosisDetailView::continueToAudit);
    column->addWidget(m_continue, 0, Qt::AlignLeft);
    if (hasNoErrors(m_diagnosis)) {
        m_card = m_nps.buildCard(content, [this] { m_nps.stopShowing(); });
        if (m_card != nullptr)
            column->addWidget(m_card);
    }
    scaffold->setScrollingContent(content);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scaffold);
}

void DiagnosisDetailView::appeared() {
    if (m_card != nullptr && m_nps.showNPS() && !m_card->isHidden())
        m_nps.cardAppeared();
}

void DiagnosisDetailView::continueToAudit() {
    m_nps.leave();
    m_context.navigation.push(continueScreen(m_diagnosis));
}

}  // namespace quill::ui
