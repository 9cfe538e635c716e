#include <QApplication>
#include <chrono>

#include "engine/telemetry/shut_down.h"
#include "ui/app/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillstart"));
    QApplication::setApplicationVersion(QStringLiteral(QUILL_APP_VERSION));

    int status = 0;
    {
        quill::ui::MainWindow window;
        window.show();
        status = QApplication::exec();
    }
    quill::shutDown(std::chrono::steady_clock::now() + quill::kShutDownBudget);
    return status;
}
