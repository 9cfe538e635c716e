#include "ui/common/screen_scaffold.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/setup/product_config.h"
#include "ui/common/labels.h"
#include "ui/common/screen_context.h"
#include "ui/common/screen_page.h"
#include "ui/common/url_opener.h"

namespace quill::ui {

namespace {
// Where the explainer and the content sit in the layout.
constexpr int kExplainerIndex = 1;
}  // namespace

ScreenScaffold::ScreenScaffold(ScreenContext& context, QWidget* parent)
    : QWidget(parent), m_context(context) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(Style::kPagePadding, Style::kPagePadding, Style::kPagePadding,
                                 Style::kPagePadding);
    m_layout->setSpacing(Style::kScaffoldSpacing);
    m_title = plainLabel(QString(), this);
    setTitleFont(TextRole::largeTitle);
    m_layout->addWidget(m_title);
    m_layout->addStretch(1);
    m_articleLink = linkButton(QStringLiteral("Read the article on Fernwick"), this);
    Style::setFont(m_articleLink, TextRole::footnote);
    connect(m_articleLink, &QPushButton::clicked, this, &ScreenScaffold::openArticle);
    makeLastTabStop(m_articleLink);
    m_layout->addWidget(m_articleLink);
}

void ScreenScaffold::setTitle(const QString& title) {
    m_title->setText(withoutBackticks(title));
}

void ScreenScaffold::setTitleFont(TextRole role) {
    m_title->setFont(Style::font(role, QFont::DemiBold));
}

void ScreenScaffold::setExplainer(const QString& explainer) {
    if (m_explainer != nullptr) {
        m_layout->removeWidget(m_explainer);
        delete m_explainer;
        m_explainer = nullptr;
    }
    if (explainer.isEmpty())
        return;
    m_explainer = markdownLabel(explainer, m_context.urls, this);
    Style::setFont(m_explainer, TextRole::body);
    Style::makeSecondary(m_explainer);
    m_explainer->setObjectName(m_explainerIdentifier.value_or(QString()));
    m_layout->insertWidget(kExplainerIndex, m_explainer);
    m_explainer->show();  // a layout shows children added to a visible widget only later
}

void ScreenScaffold::setTitleAccessibilityIdentifier(const std::optional<QString>& identifier) {
    m_title->setObjectName(identifier.value_or(QString()));
}

void ScreenScaffold::setExplainerAccessibilityIdentifier(const std::optional<QString>& identifier) {
    m_explainerIdentifier = identifier;
    if (m_explainer != nullptr)
        m_explainer->setObjectName(identifier.value_or(QString()));
}

void ScreenScaffold::setArticleURL(std::optional<std::string> url) {
    m_articleURL = std::move(url);
}

void ScreenScaffold::setContent(QWidget* content) {
    if (m_content != nullptr) {
        if (m_content == m_scroller) {
            // The scroll area stood in place of the stretch above the link: put the stretch back.
            m_layout->insertStretch(m_layout->indexOf(m_scroller) + 1, 1);
            m_scroller = nullptr;
        }
        m_layout->removeWidget(m_content);
        m_content->deleteLater();
    }
    m_content = content;
    if (m_content == nullptr)
        return;
    // After the title and the explainer, before the stretch.
    const int stretch = m_layout->count() - 2;
    m_layout->insertWidget(stretch, m_content);
    m_content->show();
}

void ScreenScaffold::setScrollingContent(QWidget* content) {
    auto* scroller = new QScrollArea(this);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls inside, which it scrolls into view
    scroller->viewport()->setAutoFillBackground(false);  // the page's background shows through
    auto* column = new QWidget(scroller);
    column->setAutoFillBackground(false);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->addWidget(content);
    columnLayout->addStretch(1);
    scroller->setWidget(column);
    setContent(scroller);
    // The scroll area takes the place of the stretch above the link.
    const int stretch = m_layout->indexOf(scroller) + 1;
    delete m_layout->takeAt(stretch);
    m_layout->setStretchFactor(scroller, 1);
    m_scroller = scroller;
}

void ScreenScaffold::openArticle() {
    const std::string url = m_articleURL ? *m_articleURL : ProductConfig::current()->urls.troubleshooting;
    m_context.urls.open(QUrl(QString::fromStdString(url)));
}

}  // namespace quill::ui
