#include "ui/common/url_opener.h"

#include <QDesktopServices>

namespace quill::ui {

void LiveUrlOpener::open(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

}  // namespace quill::ui
