#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleHints>

#include "ui/common/style.h"

// Screen tests need one QApplication for the whole run. They draw offscreen unless told otherwise, also when
// ctest lists the tests (which it does without the tests' environment).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A page just shown ignores presses for the double-click interval; tests click at once, so the guard
    // is off unless a test of it sets an interval of its own.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    quill::ui::Style::installFocusRing();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
