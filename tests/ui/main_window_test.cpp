#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include "ui/app/main_window.h"

namespace quill::ui {
namespace {

TEST(MainWindowTest, OpensWithTitleAndSizeAndClosesCleanly) {
    MainWindow window;
    window.show();
    QApplication::processEvents();

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillstart"));
    EXPECT_EQ(window.size(), QSize(720, 720));
    EXPECT_EQ(window.minimumSize(), QSize(720, 700));
    EXPECT_FALSE(window.grab().toImage().isNull());

    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace quill::ui
