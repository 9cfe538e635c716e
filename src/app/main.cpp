#include <QApplication>
#include <chrono>
#include <utility>

#include "engine/services/app_services.h"
#include "engine/telemetry/telemetry_service.h"
#include "ui/app/application.h"

namespace {
/// How long the process waits, after the window has gone, for events sent while it came down to be saved.
constexpr std::chrono::milliseconds kFinalSaveGrace{500};
}  // namespace

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
    if (auto* telemetry = quill::TelemetryService::sharedIfCreated()) {
        telemetry->stopPosting();
        telemetry->waitUntilIdle(kFinalSaveGrace);
    }
    return status;
}
