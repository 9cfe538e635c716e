#include <gtest/gtest.h>
#include <openssl/crypto.h>

#include <QApplication>
#include <QStyleHints>
#include <chrono>

#include "engine/core/task.h"

#include "ui/common/style.h"

// Screen tests need one QApplication for the whole run. They draw offscreen unless told otherwise, also when
// ctest lists the tests (which it does without the tests' environment).
int main(int argc, char** argv) {
    // Tasks a test left returning may still free OpenSSL's per-thread state at exit: no clean-up beside them.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A page just shown ignores presses for the double-click interval; tests click at once, so the guard
    // is off unless a test of it sets an interval of its own.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    quill::ui::Style::installFocusRing();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Tasks a test left returning finish before the leak check at exit runs.
    quill::TaskTracker::stopAll(std::chrono::seconds(10));
    return result;
}
