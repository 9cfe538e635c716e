#include <QApplication>
#include <chrono>
#include <utility>

#include "engine/services/app_services.h"
#include "engine/telemetry/shut_down.h"
#include "ui/app/application.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillstart"));
    QApplication::setApplicationVersion(QStringLiteral(QUILL_APP_VERSION));

    quill::ui::installShippedProductConfig();

    int status = 0;
    {
        quill::ui::RootViewOptions options;
        options.services = quill::AppServices::live();
        const auto window = quill::ui::openMainWindow(std::move(options));
        status = QApplication::exec();
    }
    quill::shutDown(std::chrono::steady_clock::now() + quill::kShutDownBudget);
    return status;
}
