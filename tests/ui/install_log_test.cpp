#include "ui/setupflow/install_log.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QScrollBar>
#include <QTest>

#include "tests/ui/ui_test_support.h"

namespace quill::ui::test {
namespace {

class InstallLogTest : public UiTest {
  protected:
    /// Whether the row of `line` lies inside the log's viewport from top to bottom.
    bool inView(int line) const {
        const QRect row = log.visualRect(log.model()->index(line, 0));
        return row.top() >= 0 && row.bottom() <= log.viewport()->rect().bottom();
    }

    QStringList lines;
    InstallLogView log{lines, *clipboard};
};

TEST_F(InstallLogTest, EveryLineIsShownWholeWithTheLastInViewAfterEachBatch) {
    // A tab makes a short line wide: its width is measured, not guessed from its length.
    const QStringList batches[] = {
        {QStringLiteral("==> Downloading"), QString(200, QLatin1Char('x'))},
        {QStringLiteral("\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tend")},
        QStringList(60, QStringLiteral("==> Pouring"))};
    showWindow(&log);
    log.resize(320, 200);
    const QFontMetrics metrics(log.font());
    for (const auto& batch : batches) {
        lines.append(batch);
        log.showNewLines();
        ASSERT_EQ(log.model()->rowCount(), lines.size());
        EXPECT_TRUE(inView(static_cast<int>(lines.size()) - 1)) << "after " << lines.size() << " lines";
        for (int row = 0; row < lines.size(); ++row)
            EXPECT_GE(log.visualRect(log.model()->index(row, 0)).width(),
                      metrics.horizontalAdvance(lines[row]))
                << "row " << row << " is cut off";
    }
    // A log at its end stays there when the sheet around it shrinks.
    log.resize(320, 120);
    EXPECT_TRUE(inView(static_cast<int>(lines.size()) - 1));
    // The longest line is reached by scrolling sideways, and ends inside the view.
    log.scrollToTop();
    log.horizontalScrollBar()->setValue(log.horizontalScrollBar()->maximum());
    EXPECT_GT(log.horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(log.visualRect(log.model()->index(2, 0)).right(), log.viewport()->rect().right());
    saveGrab(&log, QStringLiteral("install-log-scrolled-sideways"));
}

TEST_F(InstallLogTest, CopyPutsExactlyTheSelectedLinesOnTheClipboardInTheLogsOrder) {
    lines = {"a", "b", "c", "d", "e", "f"};
    showWindow(&log);
    log.showNewLines();
    const auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(log.viewport(), Qt::LeftButton, modifiers,
                          log.visualRect(log.model()->index(row, 0)).center());
    };
    QAction* menuCopy = log.actions().value(0);
    ASSERT_NE(menuCopy, nullptr);
    EXPECT_EQ(menuCopy->text(), QStringLiteral("Copy"));
    EXPECT_FALSE(menuCopy->isEnabled()) << "nothing to copy yet";

    click(4, Qt::NoModifier);
    click(1, Qt::ShiftModifier);
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    click(0, Qt::ControlModifier);
    menuCopy->trigger();
    EXPECT_EQ(clipboard->copied, (std::vector<QString>{"b\nc\nd\ne", "a\nb\nc\nd\ne"}));

    // A screen reader meets a list whose items are the lines.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&log);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 6);
    EXPECT_EQ(list->child(2)->role(), QAccessible::ListItem);
    EXPECT_EQ(list->child(2)->text(QAccessible::Name), QStringLiteral("c"));
}

}  // namespace
}  // namespace quill::ui::test
