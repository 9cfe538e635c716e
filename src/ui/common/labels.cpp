#include "ui/common/labels.h"

#include <QLabel>
#include <QPushButton>
#include <QTextDocument>

#include "ui/common/style.h"
#include "ui/common/url_opener.h"

namespace quill::ui {

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* markdownLabel(const QString& text, UrlOpener& urls, QWidget* parent) {
    // Parsed here rather than by the label, whose own Markdown reading passes HTML through.
    QTextDocument document;
    document.setMarkdown(text, QTextDocument::MarkdownFeatures(QTextDocument::MarkdownDialectGitHub |
                                                               QTextDocument::MarkdownNoHTML));
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(document.toHtml());
    label->setWordWrap(true);
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [&urls](const QString& link) { urls.open(QUrl(link)); });
    return label;
}

QString buttonText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return shown;
}

QPushButton* linkButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(buttonText(text), parent);
    Style::apply(button, ButtonStyle::borderless);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: none; padding: 2px 4px; text-align: left; }")
            .arg(Style::accent(button).name(QColor::HexArgb)));
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

}  // namespace quill::ui
