#include "ui/common/labels.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <algorithm>
#include <utility>
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

/// A stretch of a text: plain, or the inside of a code span.
struct Stretch {
    QString text;
    bool code = false;
};

/// Splits `text` at its code spans as Markdown reads them: a run of backticks opens a span that the next run
/// of the same length closes; a run that nothing closes stays text. One space each side of a span's inside is
/// dropped when both are there and the inside is not all spaces.
std::vector<Stretch> codeSpans(const QString& text) {
    const auto runAt = [&text](qsizetype at) {
        qsizetype end = at;
        while (end < text.size() && text[end] == QLatin1Char('`'))
            ++end;
        return end - at;
    };
    std::vector<Stretch> stretches;
    QString plain;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != QLatin1Char('`')) {
            plain += text[i++];
            continue;
        }
        const qsizetype opening = runAt(i);
        qsizetype close = i + opening;
        qsizetype closing = 0;
        while ((close = text.indexOf(QLatin1Char('`'), close)) >= 0) {
            closing = runAt(close);
            if (closing == opening)
                break;
            close += closing;
        }
        if (close < 0) {
            plain += text.mid(i, opening);
            i += opening;
            continue;
        }
        QString inside = text.mid(i + opening, close - i - opening);
        if (inside.size() >= 2 && inside.front() == QLatin1Char(' ') && inside.back() == QLatin1Char(' ') &&
            !inside.trimmed().isEmpty())
            inside = inside.mid(1, inside.size() - 2);
        if (!plain.isEmpty())
            stretches.push_back({std::exchange(plain, {}), false});
        stretches.push_back({inside, true});
        i = close + opening;
    }
    if (!plain.isEmpty())
        stretches.push_back({plain, false});
    return stretches;
}

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

QLabel* codeSpanLabel(const QString& text, QWidget* parent) {
    const auto stretches = codeSpans(text);
    if (std::none_of(stretches.begin(), stretches.end(), [](const Stretch& s) { return s.code; }))
        return plainLabel(text, parent);
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat code;
    code.setFontFixedPitch(true);
    code.setFontFamilies({QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
    for (const auto& stretch : stretches)
        cursor.insertText(stretch.text, stretch.code ? code : QTextCharFormat());
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(QTextDocumentFragment(&document).toHtml());
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString withoutBackticks(const QString& text) {
    QString shown;
    for (const auto& stretch : codeSpans(text))
        shown += stretch.text;
    return shown;
}

QString buttonText(const QString& text) {
    QString shown = withoutBackticks(text);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return shown;
}

QPushButton* linkButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(buttonText(text), parent);
    Style::apply(button, ButtonStyle::borderless);
    button->setCursor(Qt::PointingHandCursor);
    Style::follow(button, [](QWidget* w) {
        const QString sheet =
            QStringLiteral("QPushButton { color: %1; border: none; padding: 2px 4px; text-align: left; }")
                .arg(Style::link(w).name(QColor::HexArgb));
        if (w->styleSheet() != sheet)
            w->setStyleSheet(sheet);
    });
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

}  // namespace quill::ui
