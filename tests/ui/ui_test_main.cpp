#include <gtest/gtest.h>

#include <QApplication>

// Screen tests need one QApplication for the whole run. They draw offscreen unless told otherwise, also when
// ctest lists the tests (which it does without the tests' environment).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
