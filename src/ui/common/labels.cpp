#include "ui/common/labels.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <vector>

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

namespace {

/// Lets code spans take the label's size: the parser gives them the system's fixed-pitch size in points.
void dropFixedSizes(QTextDocument& document) {
    std::vector<std::pair<int, int>> spans;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().hasProperty(QTextFormat::FontPointSize))
                spans.emplace_back(it.fragment().position(), it.fragment().length());
        }
    }
    for (const auto& [position, length] : spans) {
        QTextCursor cursor(&document);
        cursor.setPosition(position);
        cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        QTextCharFormat format = cursor.charFormat();
        format.clearProperty(QTextFormat::FontPointSize);
        cursor.setCharFormat(format);
    }
}

}  // namespace

QLabel* markdownLabel(const QString& text, UrlOpener& urls, QWidget* parent) {
    // Parsed here rather than by the label, whose own Markdown reading passes HTML through.
    QTextDocument document;
    document.setMarkdown(text, QTextDocument::MarkdownFeatures(QTextDocument::MarkdownDialectGitHub |
                                                               QTextDocument::MarkdownNoHTML));
    dropFixedSizes(document);
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    // As a fragment: a whole document's HTML fixes the body's font size, and the label's role font would be
    // lost.
    label->setText(QTextDocumentFragment(&document).toHtml());
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
