#include "ui/common/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quill::ui {

void LiveClipboard::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

}  // namespace quill::ui
