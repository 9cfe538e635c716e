#include "ui/app/placeholder_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/common/labels.h"
#include "ui/common/style.h"

namespace quill::ui {

PlaceholderPage::PlaceholderPage(ScreenContext& context, QWidget* parent) : ScreenPage(context, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Style::kPagePadding, Style::kPagePadding, Style::kPagePadding,
                               Style::kPagePadding);
    auto* text = plainLabel(QStringLiteral("This screen is not available yet."), this);
    Style::setFont(text, TextRole::body);
    layout->addWidget(text);
    layout->addStretch(1);
}

}  // namespace quill::ui
