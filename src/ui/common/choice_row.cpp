#include "ui/common/choice_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "ui/common/labels.h"

namespace quill::ui {

namespace {
constexpr int kIndicatorSpacing = 8;
}

ChoiceRow::ChoiceRow(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setText(text);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_label = plainLabel(text, this);
    // The whole row takes the click, the label included.
    m_label->setTextInteractionFlags(Qt::NoTextInteraction);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(this);
    const int indicator = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this);
    layout->setContentsMargins(indicator + kIndicatorSpacing, 2, 0, 2);
    layout->addWidget(m_label, 1);
}

QSize ChoiceRow::sizeHint() const {
    return layout()->sizeHint();
}

QSize ChoiceRow::minimumSizeHint() const {
    return layout()->minimumSize();
}

QRect ChoiceRow::indicatorRect() const {
    const int width = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this);
    const int height = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, this);
    // Centred on the first line of the label.
    const int firstLine = m_label->fontMetrics().height();
    const int top = m_label->geometry().top() + std::max(0, (firstLine - height) / 2);
    return {0, top, width, height};
}

void ChoiceRow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = indicatorRect();
    option.state |= isChecked() ? QStyle::State_On : QStyle::State_Off;
    if (isDown())
        option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_IndicatorRadioButton, &option, &painter, this);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void ChoiceRow::nextCheckState() {
    // The selection comes from the owner's model, which may have refused or moved it.
}

}  // namespace quill::ui
