#include "ui/common/main_thread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quill::ui {

void onMain(QPointer<QObject> guard, std::function<void()> fn) {
    auto* application = QCoreApplication::instance();
    if (application == nullptr)
        return;
    QMetaObject::invokeMethod(
        application,
        [guard = std::move(guard), fn = std::move(fn)] {
            if (guard)
                fn();
        },
        Qt::QueuedConnection);
}

}  // namespace quill::ui
