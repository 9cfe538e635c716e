#include <QApplication>

#include "ui/app/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillstart"));
    QApplication::setApplicationVersion(QStringLiteral(QUILL_APP_VERSION));

    quill::ui::MainWindow window;
    window.show();
    return QApplication::exec();
}
