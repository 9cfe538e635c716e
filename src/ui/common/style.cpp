#include "ui/common/style.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

namespace quill::ui {

namespace {

constexpr double kBaseSize = 13.0;
constexpr int kLargeControlHeight = 32;
constexpr int kProminentRadius = 6;

double points(TextRole role) {
    switch (role) {
        case TextRole::largeTitle:
            return 26;
        case TextRole::title2:
            return 17;
        case TextRole::headline:
        case TextRole::body:
            return 13;
        case TextRole::callout:
            return 12;
        case TextRole::subheadline:
            return 11;
        case TextRole::footnote:
        case TextRole::caption:
            return 10;
    }
    return kBaseSize;
}

}  // namespace

QFont Style::font(TextRole role) {
    return font(role, role == TextRole::headline ? QFont::DemiBold : QFont::Normal);
}

QFont Style::font(TextRole role, QFont::Weight weight) {
    QFont result = QApplication::font();
    const double base = result.pointSizeF() > 0 ? result.pointSizeF() : kBaseSize;
    result.setPointSizeF(base * points(role) / kBaseSize);
    result.setWeight(weight);
    return result;
}

void Style::setFont(QWidget* widget, TextRole role) {
    widget->setFont(font(role));
}

QColor Style::secondary(const QWidget* widget) {
    return widget->palette().color(QPalette::PlaceholderText);
}

QColor Style::accent(const QWidget* widget) {
    return widget->palette().color(QPalette::Highlight);
}

QColor Style::tinted(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

void Style::makeSecondary(QWidget* widget) {
    QPalette palette = widget->palette();
    const QColor colour = palette.color(QPalette::PlaceholderText);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void Style::apply(QAbstractButton* button, ButtonStyle style, ControlSize size) {
    if (size == ControlSize::large)
        button->setMinimumHeight(kLargeControlHeight);
    auto* push = qobject_cast<QPushButton*>(button);
    switch (style) {
        case ButtonStyle::prominent: {
            const QPalette palette = button->palette();
            button->setProperty("buttonStyle", QStringLiteral("prominent"));
            button->setStyleSheet(
                QStringLiteral("QPushButton[buttonStyle=\"prominent\"] { background-color: %1; color: %2; "
                               "border: none; border-radius: %3px; padding: 4px 16px; }"
                               "QPushButton[buttonStyle=\"prominent\"]:pressed { background-color: %4; }"
                               "QPushButton[buttonStyle=\"prominent\"]:disabled { background-color: %5; "
                               "color: %6; }")
                    .arg(palette.color(QPalette::Highlight).name(QColor::HexArgb),
                         palette.color(QPalette::HighlightedText).name(QColor::HexArgb))
                    .arg(kProminentRadius)
                    .arg(palette.color(QPalette::Highlight).darker(115).name(QColor::HexArgb),
                         tinted(palette.color(QPalette::WindowText), 0.1).name(QColor::HexArgb),
                         palette.color(QPalette::PlaceholderText).name(QColor::HexArgb)));
            break;
        }
        case ButtonStyle::bordered:
            break;
        case ButtonStyle::borderless:
        case ButtonStyle::plain:
            if (push != nullptr)
                push->setFlat(true);
            break;
    }
}

}  // namespace quill::ui
