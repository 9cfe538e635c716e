#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace quill::ui {

class UrlOpener;

/// A label that shows `text` as it is: plain text, wrapped, selectable by mouse.
QLabel* plainLabel(const QString& text, QWidget* parent = nullptr);

/// A label that renders inline Markdown (emphasis, links) of `text`. HTML in the text stays text; links open
/// through `urls`.
QLabel* markdownLabel(const QString& text, UrlOpener& urls, QWidget* parent = nullptr);

/// A label that shows `text` as plain text but for its code spans (`like this`), which it shows in fixed
/// pitch without their backticks. Nothing else of Markdown is read: "_", "*" and HTML stay as they are.
/// Wrapped, selectable by mouse.
QLabel* codeSpanLabel(const QString& text, QWidget* parent = nullptr);

/// `text` where code spans cannot render (button texts, headings drawn as titles, window titles, log rows):
/// the backticks around its code spans dropped, every other character kept.
QString withoutBackticks(const QString& text);

/// `text` as a button, check box or tool-bar label shows it: without the backticks of its code spans, and
/// every
/// "&" doubled, so none becomes a mnemonic.
QString buttonText(const QString& text);

/// A link: flat, in the accent colour, with a pointing hand. Its click is the caller's to connect.
QPushButton* linkButton(const QString& text, QWidget* parent = nullptr);

}  // namespace quill::ui
