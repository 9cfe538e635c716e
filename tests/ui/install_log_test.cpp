#include "ui/setupflow/install_log.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

#include "tests/ui/test_fonts.h"
#include "tests/ui/ui_test_support.h"

namespace quill::ui::test {
namespace {

class InstallLogTest : public UiTest {
  protected:
    /// Whether `row` lies inside the log's viewport from top to bottom.
    bool inView(const InstallLogView& view, int row) const {
        const QRect rect = view.visualRect(view.model()->index(row, 0));
        return rect.top() >= 0 && rect.bottom() <= view.viewport()->rect().bottom();
    }
    bool lastInView(const InstallLogView& view) const { return inView(view, view.model()->rowCount() - 1); }
    static QString rowText(const InstallLogView& view, int row) {
        return view.model()->index(row, 0).data().toString();
    }
    void append(const QStringList& batch) {
        for (const auto& line : batch)
            lines.append(line);
        log.showNewLines();
    }

    KeptLines lines;
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
        append(batch);
        ASSERT_EQ(log.model()->rowCount(), lines.size());
        EXPECT_TRUE(lastInView(log)) << "after " << lines.size() << " lines";
        for (int row = 0; row < lines.size(); ++row)
            EXPECT_GE(log.visualRect(log.model()->index(row, 0)).width(),
                      metrics.horizontalAdvance(lines.at(row)))
                << "row " << row << " is cut off";
    }
    // A log at its end stays there when the sheet around it shrinks.
    log.resize(320, 120);
    EXPECT_TRUE(lastInView(log));
    // The longest line is reached by scrolling sideways, and ends inside the view.
    log.scrollToTop();
    log.horizontalScrollBar()->setValue(log.horizontalScrollBar()->maximum());
    EXPECT_GT(log.horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(log.visualRect(log.model()->index(2, 0)).right(), log.viewport()->rect().right());
    saveGrab(&log, QStringLiteral("install-log-scrolled-sideways"));
}

TEST_F(InstallLogTest, CopyPutsExactlyTheSelectedLinesOnTheClipboardInTheLogsOrder) {
    showWindow(&log);
    append({"a", "b", "c", "d", "e", "f"});
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

TEST_F(InstallLogTest, KeepsTheLastLinesWithinBothBounds) {
    struct Case {
        const char* name;
        qsizetype maximumLines;
        qsizetype maximumBytes;
        QStringList added;
        qsizetype dropped;
        QString first;
    };
    const QString tenChars(10, QLatin1Char('x'));
    const std::vector<Case> cases = {
        {"the count bound", 3, 1000, {"a", "b", "c", "d", "e"}, 2, "c"},
        {"the text bound: 20 bytes a line", 100, 30, {tenChars, tenChars, "y", tenChars}, 2, "y"},
        {"a line over the text bound is kept alone", 100, 10, {"a", tenChars}, 1, tenChars},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        KeptLines kept(row.maximumLines, row.maximumBytes);
        for (const auto& line : row.added)
            kept.append(line);
        EXPECT_EQ(kept.dropped(), row.dropped);
        EXPECT_EQ(kept.end(), row.added.size());
        EXPECT_EQ(kept.at(0), row.first);
    }
}

TEST_F(InstallLogTest, ABoundedLogSaysWhatItDroppedAndKeepsTheReadersRowsInView) {
    KeptLines kept(40, KeptLines::kMaximumBytes);
    InstallLogView view(kept, *clipboard);
    showWindow(&view);
    view.resize(320, 200);
    int next = 0;
    const auto add = [&](int count) {
        for (int line = 0; line < count; ++line)
            kept.append(QStringLiteral("line %1").arg(next++));
        view.showNewLines();
    };

    add(39);
    EXPECT_EQ(rowText(view, 0), QStringLiteral("line 0"));
    add(2);  // the first line goes and the count row takes its place
    ASSERT_EQ(view.model()->rowCount(), 41);
    EXPECT_EQ(rowText(view, 0), QStringLiteral("1 earlier line is not shown."));
    EXPECT_EQ(rowText(view, 1), QStringLiteral("line 1"));
    EXPECT_TRUE(lastInView(view)) << "a reader at the end stays there";

    // A reader who scrolled up keeps the rows in view while they are kept.
    view.scrollTo(view.model()->index(20, 0), QAbstractItemView::PositionAtTop);
    const QRect before = view.visualRect(view.model()->index(20, 0));
    ASSERT_EQ(rowText(view, 20), QStringLiteral("line 20"));
    add(5);
    EXPECT_EQ(rowText(view, 0), QStringLiteral("6 earlier lines are not shown."));
    const QModelIndex stays = view.model()->index(15, 0);
    ASSERT_EQ(stays.data().toString(), QStringLiteral("line 20"));
    EXPECT_EQ(view.visualRect(stays), before);
    EXPECT_FALSE(view.isAtEnd());

    // Copy copies what is shown, the count row included.
    view.selectionModel()->select(QItemSelection(view.model()->index(0, 0), view.model()->index(1, 0)),
                                  QItemSelectionModel::ClearAndSelect);
    view.copySelection();
    EXPECT_EQ(clipboard->copied, std::vector<QString>{"6 earlier lines are not shown.\nline 6"});

    // Lines that came and went between two looks are counted, never shown.
    add(500);
    EXPECT_EQ(rowText(view, 0), QStringLiteral("506 earlier lines are not shown."));
    EXPECT_EQ(rowText(view, 1), QStringLiteral("line 506"));
    EXPECT_EQ(view.model()->rowCount(), 41);
    view.scrollToBottom();
    add(3);
    EXPECT_TRUE(lastInView(view));
    EXPECT_EQ(rowText(view, view.model()->rowCount() - 1), QStringLiteral("line 548"));
}

TEST_F(InstallLogTest, AsciiLinesAreNotShapedInAFontWhosePrintableAsciiAdvancesAreAllEqual) {
    // fontconfig does not flag this font as fixed pitch, though its printable ASCII advances are all equal:
    // the case this guards. Where a platform does flag it (Core Text may), this covers the fixed-pitch case.
    const QString family = bundledFontFamily(QStringLiteral("NotoSansMono-Regular.ttf"));
    ASSERT_FALSE(family.isEmpty());
    const QFont noto(family);
    ASSERT_EQ(QFontInfo(noto).family(), family);
    const QFontMetricsF advances(noto);
    for (char16_t c = u' '; c <= u'~'; ++c)
        ASSERT_EQ(advances.horizontalAdvance(QChar(c)), advances.horizontalAdvance(QChar(u' ')))
            << "'" << static_cast<char>(c) << "' advances otherwise";
    log.setFont(noto);
    showWindow(&log);
    const qint64 before = log.shapingCalls();
    for (int batch = 0; batch < 10; ++batch) {
        for (int line = 0; line < 10'000; ++line)
            lines.append(QStringLiteral("==> Pouring package %1 of the install").arg(batch * 10'000 + line));
        log.showNewLines();
    }
    ASSERT_EQ(log.model()->rowCount(), 100'000);
    EXPECT_LE(log.shapingCalls() - before, 10);
    // Each row is as wide as the widest line, measured by counting.
    EXPECT_GE(log.visualRect(log.model()->index(99'999, 0)).width(),
              QFontMetrics(noto).horizontalAdvance(rowText(log, 99'999)));
}

TEST_F(InstallLogTest, ANarrowLongLineDoesNotHideAWiderShortOneInAProportionalFont) {
    const QString family = bundledFontFamily(QStringLiteral("DejaVuSans.ttf"));
    ASSERT_FALSE(family.isEmpty());
    const QFont sans(family);
    ASSERT_EQ(QFontInfo(sans).family(), family);
    log.setFont(sans);
    showWindow(&log);
    log.resize(200, 200);
    append({QString(120, QLatin1Char('i'))});
    append({QString(80, QLatin1Char('W'))});
    const QFontMetrics metrics(log.font());
    const int wide = metrics.horizontalAdvance(QString(80, QLatin1Char('W')));
    ASSERT_GT(wide, metrics.horizontalAdvance(QString(120, QLatin1Char('i'))));
    log.horizontalScrollBar()->setValue(log.horizontalScrollBar()->maximum());
    const QRect row = log.visualRect(log.model()->index(1, 0));
    EXPECT_GE(row.width(), wide);
    EXPECT_LE(row.left() + wide, log.viewport()->width()) << "its end is reached by scrolling";
}

/// Shows `view` in `family`, at the log's own size.
void useFamily(InstallLogView& view, const QString& family) {
    QFont font = view.font();
    font.setFamilies({family});
    view.setFont(font);
    EXPECT_EQ(QFontInfo(view.font()).family(), family);
}

/// The log in each bundled font: one whose printable ASCII advances are all equal, one whose are not.
QStringList bundledLogFamilies() {
    QStringList families;
    for (const auto* file : {"NotoSansMono-Regular.ttf", "DejaVuSans.ttf"}) {
        const QString family = bundledFontFamily(QString::fromLatin1(file));
        EXPECT_FALSE(family.isEmpty()) << file;
        families.push_back(family);
    }
    return families;
}

TEST_F(InstallLogTest, TheEndOfALongLineIsReachedWhenItsTailIsWiderThanItsHeadOrHoldsTabs) {
    const QStringList families = bundledLogFamilies();
    ASSERT_FALSE(families.contains(QString()));
    const QString& mono = families[0];
    const QString& sans = families[1];
    struct Case {
        const char* name;
        QString family;
        QStringList lines;  // the last is the one whose end must be reached
    };
    // More than the characters shaped of a line: what follows them is not shaped.
    const qsizetype past = LineWidths::kShapedPrefix + 88;
    const auto run = [](const char16_t* text, qsizetype count) {
        return QString::fromUtf16(text).repeated(count);
    };
    const std::vector<Case> cases = {
        {"narrow letters, then wide ones", sans, {run(u"\u0456", past) + run(u"\u0416", 800)}},
        {"letters with their accents as marks, then bare ones",
         mono,
         {run(u"e\u0301", past / 2) + run(u"\u0416", 800)}},
        {"one-cell letters, then three-cell dashes",
         mono,
         {run(u"\u0416", LineWidths::kShapedPrefix) + run(u"\u2E3B", 1000)}},
        {"narrow letters, then tabs", sans, {run(u"\u0456", past) + run(u"\t", 40) + QStringLiteral("end")}},
        {"a short line of tabs after a wide line",
         mono,
         {QString(300, u'x'), run(u"\t", 30) + run(u"\u0416", 2)}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        KeptLines kept;
        InstallLogView view(kept, *clipboard);
        useFamily(view, row.family);
        showWindow(&view);
        view.resize(400, 200);
        for (const auto& line : row.lines)
            kept.append(line);
        view.showNewLines();
        const qreal shaped = QFontMetricsF(view.font()).horizontalAdvance(row.lines.back());
        auto* bar = view.horizontalScrollBar();
        bar->setValue(bar->maximum());
        const QRect rect = view.visualRect(view.model()->index(view.model()->rowCount() - 1, 0));
        EXPECT_LE(rect.left() + shaped, view.viewport()->width())
            << "shaped " << shaped << " px, scrolls to " << bar->maximum() + view.viewport()->width();
    }
}

/// The rightmost column of `image` in the rows [top, bottom] that differs from the background, or -1.
int rightmostInk(const QImage& image, int top, int bottom, QRgb background) {
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = std::max(top, 0); y <= std::min(bottom, image.height() - 1); ++y) {
            if (image.pixel(x, y) != background)
                return x;
        }
    }
    return -1;
}

TEST_F(InstallLogTest, TheWidestLineEndsInsideTheViewWhenScrolledSidewaysInEitherFont) {
    struct Widest {
        const char* name;
        QString line;
        bool measured;  // its end is at the end of the scroll range; else only inside it
    };
    const std::vector<Widest> widestLines = {
        {"measured", QStringLiteral("==> ") + QString(160, u'W'), true},
        {"its tail bounded", QString(LineWidths::kShapedPrefix, u'\u0456') + QString(300, u'\u0416'), false},
        // Where no font draws this vowel sign (none of the test machine's does), it comes out as three boxes,
        // wider than any character the bound allows for: only drawing it measures it.
        {"its tail drawn wider than bounded",
         QString(LineWidths::kShapedPrefix, u'x') + QString(300, u'\u0DDC'), false},
    };
    for (const auto& family : bundledLogFamilies()) {
        for (const auto& widest : widestLines) {
            SCOPED_TRACE(family.toStdString() + ", " + widest.name);
            ASSERT_FALSE(family.isEmpty());
            KeptLines kept;
            InstallLogView view(kept, *clipboard);
            useFamily(view, family);
            showWindow(&view);
            view.resize(300, 160);
            for (const auto& line : {QStringLiteral("==> Pouring"), widest.line, QStringLiteral("done")})
                kept.append(line);
            view.showNewLines();
            // Scrolled to the end, as a person would, until the end stays put.
            auto* bar = view.horizontalScrollBar();
            QImage image;
            for (int tries = 0; tries < 100 && (image.isNull() || bar->value() < bar->maximum()); ++tries) {
                bar->setValue(bar->maximum());
                image = view.viewport()->grab().toImage();
                QCoreApplication::processEvents();
            }
            const QRect row = view.visualRect(view.model()->index(1, 0));
            const QRgb background = image.pixel(image.width() - 1, row.bottom() + 2 * row.height());
            const int ink = rightmostInk(image, row.top(), row.bottom(), background);
            // Its last glyph is drawn, whole, with blank room after it.
            EXPECT_GT(ink, widest.measured ? image.width() / 2 : 0);
            EXPECT_LT(ink, image.width() - 2) << "its last pixels are cut at the view's edge";
        }
    }
}

TEST_F(InstallLogTest, TheRowTheArrowKeysReachIsShownWholeInEitherFont) {
    for (const auto& family : bundledLogFamilies()) {
        SCOPED_TRACE(family.toStdString());
        ASSERT_FALSE(family.isEmpty());
        KeptLines kept;
        InstallLogView view(kept, *clipboard);
        useFamily(view, family);
        showWindow(&view);
        for (int line = 0; line < 200; ++line)
            kept.append(QStringLiteral("line %1").arg(line));
        view.showNewLines();
        // A height that holds no whole number of rows: a row at either edge is easily half out.
        const int rowHeight = view.visualRect(view.model()->index(0, 0)).height();
        view.resize(300, view.height() - view.viewport()->height() + 7 * rowHeight + rowHeight / 2);
        ASSERT_NE(view.viewport()->height() % rowHeight, 0);
        view.setFocus();
        view.setCurrentIndex(view.model()->index(0, 0));
        struct Step {
            const char* keys;
            Qt::Key key;
            int times;
        };
        const std::vector<Step> steps = {{"Down", Qt::Key_Down, 12},
                                         {"Page Down", Qt::Key_PageDown, 3},
                                         {"End", Qt::Key_End, 1},
                                         {"Up", Qt::Key_Up, 12},
                                         {"Page Up", Qt::Key_PageUp, 3},
                                         {"Home", Qt::Key_Home, 1},
                                         {"Page Down", Qt::Key_PageDown, 2},
                                         {"Down", Qt::Key_Down, 3}};
        for (const auto& step : steps) {
            for (int press = 0; press < step.times; ++press) {
                const int before = view.currentIndex().row();
                QTest::keyClick(&view, step.key);
                EXPECT_NE(view.currentIndex().row(), before) << step.keys;
                EXPECT_TRUE(inView(view, view.currentIndex().row()))
                    << step.keys << ": row " << view.currentIndex().row() << " after row " << before;
            }
        }
    }
}

}  // namespace
}  // namespace quill::ui::test
