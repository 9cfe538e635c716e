#include "ui/setupflow/install_log.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

#include "tests/ui/test_fonts.h"
#include "tests/ui/ui_test_support.h"

namespace quill::ui::test {
namespace {

/// `text` laid out as one left-to-right paragraph on one line, as a row of the log is.
void layOutAsOneLine(QTextLayout& layout) {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine().setLineWidth(std::numeric_limits<int>::max());
    layout.endLayout();
}

/// The width `text` is drawn to as one row of the log in `font`.
qreal laidOutWidth(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layOutAsOneLine(layout);
    return layout.lineAt(0).horizontalAdvance();
}

class InstallLogTest : public UiTest {
  protected:
    /// Whether `row` lies inside the log's viewport from top to bottom.
    bool inView(const InstallLogView& view, int row) const {
        const QRect rect = view.visualRect(view.model()->index(row, 0));
        return rect.top() >= 0 && rect.bottom() <= view.viewport()->rect().bottom();
    }
    bool lastInView(const InstallLogView& view) const { return inView(view, view.model()->rowCount() - 1); }
    /// Runs the idle work of `view` to its end without waiting between turns; false if it does not end.
    static bool finishMeasuring(InstallLogView& view) {
        view.setIdleTick(std::chrono::milliseconds(0));
        return QTest::qWaitFor([&] { return !view.isMeasuring(); });
    }
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
    // A log at its end stays there when the sheet around it shrinks, or its font grows; scrolled up, the
    // first row in view stays in view when the font shrinks back.
    log.resize(320, 120);
    EXPECT_TRUE(lastInView(log));
    const QFont font = log.font();
    QFont larger = font;
    larger.setPointSizeF(font.pointSizeF() * 1.5);
    log.setFont(larger);
    EXPECT_TRUE(lastInView(log)) << "after a font change";
    log.scrollTo(log.model()->index(30, 0), QAbstractItemView::PositionAtTop);
    log.setFont(font);
    EXPECT_TRUE(inView(log, 30)) << "after a font change";
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

    // A line let go while the idle work shapes it in pieces (far more than a paint shapes) is read no more.
    ASSERT_TRUE(finishMeasuring(view));
    kept.append(QString(256 * LineWidths::kPiece, u'\u4E2D'));
    view.showNewLines();
    const qint64 calls = view.shapingCalls();
    for (int turn = 0; turn < 1000 && view.shapingCalls() < calls + 64; ++turn)
        QCoreApplication::processEvents();
    ASSERT_TRUE(view.isMeasuring()) << "the line was shaped whole";
    add(40);
    ASSERT_TRUE(finishMeasuring(view));

    // A line skipped as narrower than the widest is measured once the widest is let go.
    const QString narrower(200, u'\u0456');
    kept.append(QString(2000, u'\u4E2D'));
    view.showNewLines();
    ASSERT_TRUE(finishMeasuring(view));
    kept.append(narrower);
    add(38);
    ASSERT_TRUE(finishMeasuring(view));
    ASSERT_EQ(rowText(view, 2), narrower);
    add(1);
    ASSERT_TRUE(finishMeasuring(view));
    EXPECT_NEAR(view.widestLine(), laidOutWidth(view.font(), narrower), 1);
}

TEST_F(InstallLogTest, TheIdleWorkRestsWhileTheLogIsHiddenAndHoldsTheWindowAFewMillisecondsATurn) {
    struct Case {
        const char* name;
        bool owner;  // done to the window the log's window is a sheet of
        void (QWidget::*hide)();
        void (QWidget::*show)();
    };
    const std::vector<Case> cases = {
        {"hidden", false, &QWidget::hide, &QWidget::show},
        {"minimised", false, &QWidget::showMinimized, &QWidget::showNormal},
        {"with the window it is a sheet of minimised", true, &QWidget::showMinimized, &QWidget::showNormal},
    };
    // The idle work takes a turn every 16 ms.
    const auto timers = log.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers[0]->intervalAsDuration(), std::chrono::milliseconds(16));
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        KeptLines kept;
        QWidget owner;
        showWindow(&owner);
        InstallLogView view(kept, *clipboard);
        view.setParent(&owner, Qt::Dialog);
        view.setIdleTick(std::chrono::milliseconds(0));
        view.setFocusPolicy(Qt::NoFocus);
        showWindow(&view);
        view.resize(400, 120);
        QWidget& target = row.owner ? owner : static_cast<QWidget&>(view);
        // Ideographs and narrow letters, which a bound does not count exactly, each line wider than the one
        // before and many pieces of idle work long: all shaped.
        constexpr int kLines = 40;
        for (int line = 0; line < kLines; ++line)
            kept.append(QStringLiteral("\u4E2D\u0456").repeated(4 * LineWidths::kPiece + line));
        view.showNewLines();
        view.horizontalScrollBar()->setValue(600);
        (void)view.viewport()->grab();  // painted now: a repaint while minimised shapes nothing
        (target.*row.hide)();
        const qint64 before = view.shapingCalls();
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::processEvents();
        EXPECT_EQ(view.shapingCalls(), before) << "measured " << row.name;
        EXPECT_TRUE(view.isMeasuring());

        // A turn holds the window a few milliseconds whatever is left: the fewest milliseconds of CPU that
        // one of a few turns takes, which load on the machine does not lengthen.
        (target.*row.show)();
        std::clock_t least = std::numeric_limits<std::clock_t>::max();
        for (int turn = 0; turn < 5 && view.isMeasuring(); ++turn) {
            const std::clock_t start = std::clock();
            QCoreApplication::processEvents();
            least = std::min(least, std::clock() - start);
        }
        EXPECT_LT(static_cast<double>(least) * 1000 / CLOCKS_PER_SEC, 50);

        // The rows in view go ahead of the lines before them, and are drawn again once shaped: the screen
        // shows the last row, sideways, as it is drawn once all is shaped while most of the work is left.
        const QRect last =
            view.visualRect(view.model()->index(kLines - 1, 0)).intersected(view.viewport()->rect());
        const QPoint onWindow = view.viewport()->mapTo(&view, last.topLeft());
        std::vector<QImage> shown;
        for (int turn = 0; turn < 10'000 && view.isMeasuring(); ++turn) {
            QCoreApplication::processEvents();
            shown.push_back(
                view.screen()
                    ->grabWindow(view.winId(), onWindow.x(), onWindow.y(), last.width(), last.height())
                    .toImage()
                    .convertToFormat(QImage::Format_RGB32));
        }

        // Once measured, the range is the widest line and the margins.
        ASSERT_TRUE(finishMeasuring(view));
        const QImage measured = view.viewport()->grab(last).toImage().convertToFormat(QImage::Format_RGB32);
        const auto drawn = std::find(shown.begin(), shown.end(), measured) - shown.begin();
        EXPECT_LT(drawn, std::ssize(shown) / 2) << "of " << shown.size() << " turns";
        const qreal widest = laidOutWidth(view.font(), kept.at(kLines - 1));
        EXPECT_NEAR(view.widestLine(), widest, 1);
        constexpr int kMargins = 2 * 4;
        EXPECT_NEAR(view.horizontalScrollBar()->maximum() + view.viewport()->width(), widest + kMargins, 1);
    }
}

TEST_F(InstallLogTest, ABatchShapesNothingAndAPaintShapesEachRowInViewOnce) {
    // fontconfig does not flag this font as fixed pitch, though its printable ASCII advances are all equal:
    // the case the ASCII row guards. Where a platform does flag it (Core Text may), this covers the
    // fixed-pitch case.
    const QString family = bundledFontFamily(QStringLiteral("NotoSansMono-Regular.ttf"));
    ASSERT_FALSE(family.isEmpty());
    const QFont noto(family);
    ASSERT_EQ(QFontInfo(noto).family(), family);
    const QFontMetricsF advances(noto);
    for (char16_t c = u' '; c <= u'~'; ++c)
        ASSERT_EQ(advances.horizontalAdvance(QChar(c)), advances.horizontalAdvance(QChar(u' ')))
            << "'" << static_cast<char>(c) << "' advances otherwise";
    struct Case {
        const char* name;
        QString line;  // with %1 for the line's number
        int batches;
        int linesPerBatch;
        int layouts = 1;  // that a row is drawn from, at most
    };
    const std::vector<Case> cases = {
        {"ASCII", QStringLiteral("==> Pouring package %1 of the install"), 10, 10'000},
        {"short lines of mixed scripts", QStringLiteral("%1 Größe 名前 ✓ ⚠\u0301 🙂 Ж"), 1, 4'096},
        {"long lines of mixed scripts",
         QStringLiteral("%1 ") + QStringLiteral("Grüße, 世界 ✓ 🙂 ").repeated(40), 1, 40},
        // Drawn as boxes wider than the bound allows for where no font has this vowel sign.
        {"long lines of a vowel sign", QStringLiteral("%1 ") + QString(600, u'\u0DDC'), 1, 40},
        // A slice and the pieces of a long right-to-left run in view.
        {"long lines of Hebrew words",
         QStringLiteral("%1 ") +
             QStringLiteral("\u05E9\u05DC\u05D5\u05DD 7 \u05E2\u05D5\u05DC\u05DD ").repeated(60),
         1, 40, 3},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        KeptLines kept;
        InstallLogView view(kept, *clipboard);
        view.setFont(noto);
        showWindow(&view);
        const qint64 before = view.shapingCalls();
        for (int batch = 0; batch < row.batches; ++batch) {
            for (int line = 0; line < row.linesPerBatch; ++line)
                kept.append(row.line.arg(batch * row.linesPerBatch + line));
            view.showNewLines();
        }
        EXPECT_EQ(view.shapingCalls(), before) << "a batch shapes nothing";
        // Each row in view is laid out once to be drawn, and a paint again costs no more: only the rows the
        // first paint found wider than held are laid out anew, and after that none.
        const int rows = view.viewport()->height() / view.visualRect(view.model()->index(0, 0)).height() + 2;
        (void)view.viewport()->grab();
        const qint64 first = view.shapingCalls() - before;
        EXPECT_LE(first, rows * row.layouts);
        (void)view.viewport()->grab();
        const qint64 second = view.shapingCalls() - before - first;
        EXPECT_LE(second, first);
        (void)view.viewport()->grab();
        EXPECT_EQ(view.shapingCalls() - before - first - second, 0) << "rows still in view were shaped again";
        if (view.model()->rowCount() > 2 * rows) {
            // Rows that left the view keep no layout: back in view, they are laid out again.
            auto* bar = view.verticalScrollBar();
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            (void)view.viewport()->grab();
            const qint64 away = view.shapingCalls();
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            (void)view.viewport()->grab();
            EXPECT_GE(view.shapingCalls() - away, rows - 2) << "after Page Up, Page Down";
        }
        ASSERT_EQ(view.model()->rowCount(), row.batches * row.linesPerBatch);
        // Once the rows in view are painted and the idle work has ended, the range holds each as drawn.
        ASSERT_TRUE(finishMeasuring(view));
        const auto inViewport = [&](int shown) {
            return shown >= 0 && shown < view.model()->rowCount() &&
                   view.visualRect(view.model()->index(shown, 0)).top() < view.viewport()->height();
        };
        for (int shown = view.indexAt(QPoint(0, 0)).row(); inViewport(shown); ++shown) {
            EXPECT_GE(view.widestLine(), laidOutWidth(view.font(), rowText(view, shown)) - 0.5)
                << "row " << shown;
        }
    }
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

/// Far longer than the part of a line drawn in one view.
constexpr qsizetype kLong = 512;

/// Columns split by a tab every 8 to 15 code units, repeated to make a line.
QString tabbedColumns() {
    return QStringLiteral("wget 1.21.4\t/usr/local/bin\tin 12 s\t");
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
    const qsizetype past = kLong + 88;
    const auto run = [](const char16_t* text, qsizetype count) {
        return QString::fromUtf16(text).repeated(count);
    };
    const std::vector<Case> cases = {
        {"narrow letters, then wide ones", sans, {run(u"\u0456", past) + run(u"\u0416", 800)}},
        {"letters with their accents as marks, then bare ones",
         mono,
         {run(u"e\u0301", past / 2) + run(u"\u0416", 800)}},
        {"one-cell letters, then three-cell dashes", mono, {run(u"\u0416", kLong) + run(u"\u2E3B", 1000)}},
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

TEST_F(InstallLogTest, TheRangeFallsToTheWidestLineWhoseEndIsDrawnAtItsEndInEitherFont) {
    struct Case {
        const char* name;
        QString line;      // the second of three
        qreal boundSlack;  // how far the range may pass the widest line before any is shaped; < 0: any
        bool widest;       // it is the widest of the three, so that its end is the range's
    };
    const std::vector<Case> cases = {
        {"ASCII", QStringLiteral("==> ") + QString(160, u'W'), 1, true},
        {"ASCII whose pairs kern", QStringLiteral("AV").repeated(100), -1, true},
        {"Cyrillic", QString(kLong, u'\u0456') + QString(300, u'\u0416'), -1, true},
        // Where no font draws this vowel sign (none of the test machine's does), it comes out as boxes, wider
        // than any character the bound allows for.
        {"a vowel sign drawn wider than bounded", QString(kLong, u'x') + QString(300, u'\u0DDC'), -1, true},
        {"ideographs, longer than one piece of idle work",
         QStringLiteral("\u4E2D\u6587\u5B57 ").repeated(3 * LineWidths::kPiece / 4), -1, true},
        // Its pieces cut between letters, each shaped with letters either side that it does not draw.
        {"an Arabic word of many pieces", QStringLiteral("\u0628\u0647\u0628").repeated(300), -1, true},
        // Embeddings opened and never closed: its pieces are cut anywhere, some inside Latin text.
        {"embeddings left open, right to left and left to right",
         QStringLiteral("\u202B\u05E9\u05DC\u05D5\u05DD wget\u202A ok ").repeated(100), -1, true},
        {"tabbed columns, longer than two pieces of idle work",
         tabbedColumns().repeated((2 * LineWidths::kPiece + 64) / tabbedColumns().size() + 1).chopped(1), -1,
         true},
        // Its second piece of idle work starts off a tab stop, and in DejaVu Sans its tab starts less than a
        // 128th of the stop distance short of the next stop, which the whole line counts as reached.
        {"a tab just short of a stop in a piece that starts off one",
         QString(990, u'x') + QLatin1Char(' ') + QString(39, u'i') + QStringLiteral("\tdone"), -1, true},
        {"zero-width spaces and an x", QString(2000, u'\u200B') + QLatin1Char('x'), 10, false},
        {"letters with variation selectors", QStringLiteral("x\uFE0F").repeated(300), 10, false},
        // A font's metrics stop at U+009C; a layout draws past it.
        {"a control character every hundred characters",
         (QString(99, u'x') + QChar(0x9C)).repeated(31) + QStringLiteral("end"), -1, true},
    };
    for (const auto& family : bundledLogFamilies()) {
        for (const auto& row : cases) {
            SCOPED_TRACE(family.toStdString() + ", " + row.name);
            ASSERT_FALSE(family.isEmpty());
            KeptLines kept;
            InstallLogView view(kept, *clipboard);
            useFamily(view, family);
            showWindow(&view);
            view.resize(300, 160);
            const QStringList three = {QStringLiteral("==> Pouring"), row.line, QStringLiteral("done")};
            for (const auto& line : three)
                kept.append(line);
            view.showNewLines();
            const QFontMetricsF metrics(view.font());
            qreal widest = 0;
            for (const auto& line : three)
                widest = std::max(widest, laidOutWidth(view.font(), line));
            if (row.boundSlack >= 0) {
                EXPECT_LE(view.widestLine(), widest + row.boundSlack) << "by the bound";
            }
            // The idle work shapes every line that may be the widest.
            ASSERT_TRUE(finishMeasuring(view));
            EXPECT_NEAR(view.widestLine(), widest, 1);
            // Scrolled to the end, as a person would, until the end stays put.
            auto* bar = view.horizontalScrollBar();
            QImage image;
            for (int tries = 0; tries < 100 && (image.isNull() || bar->value() < bar->maximum()); ++tries) {
                bar->setValue(bar->maximum());
                image = view.viewport()->grab().toImage();
                QCoreApplication::processEvents();
            }
            const QRect rect = view.visualRect(view.model()->index(1, 0));
            const QRgb background = image.pixel(image.width() - 1, rect.bottom() + 2 * rect.height());
            const int ink = rightmostInk(image, rect.top(), rect.bottom(), background);
            // Its last cluster is drawn, whole, where the range ends.
            const qreal last = metrics.horizontalAdvance(row.line.right(1));
            EXPECT_GT(ink, row.widest ? rect.left() + widest - last - 1 : 0);
            EXPECT_LT(ink, image.width() - 2) << "its last pixels are cut at the view's edge";
        }
    }
}

/// The last boundary between clusters of the line `clusters` looks at that `laid`, a slice of it laid out in
/// `layout`, draws at or left of `right` in the line, and where it draws it.
std::pair<qsizetype, qreal> lastBoundaryBefore(QTextBoundaryFinder& clusters, const LineWidths::Laid& laid,
                                               const QTextLayout& layout, qreal right) {
    std::pair<qsizetype, qreal> last{laid.slice.start, laid.x};
    clusters.setPosition(laid.slice.start);
    for (qsizetype at = laid.slice.start; at >= 0 && at <= laid.slice.end; at = clusters.toNextBoundary()) {
        const qreal x = laid.x + layout.lineAt(0).cursorToX(static_cast<int>(at - laid.slice.start));
        if (x > right)
            break;
        last = {at, x};
    }
    return last;
}

TEST_F(InstallLogTest, SidewaysPagesFillTheViewAndNeverCutACluster) {
    struct Case {
        const char* name;
        QString run;  // repeated to make the line, to at least each of `lengths` code units
        bool slices = true;
        // Shorter than the view (its ink starts at the margin), a few views long, and longer than two pieces
        // of idle work.
        std::vector<qsizetype> lengths = {12, 150, 2 * LineWidths::kPiece + 64};
        QString tail = {};  // after the repeats
    };
    const QString hebrewWords = QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD ");
    const QString ascii = QStringLiteral("==> Pouring wget ");
    // Half of a line of 4,090 ASCII characters, each side of an Arabic letter.
    const QString half = ascii.repeated(LineWidths::kMostPainted / ascii.size()).left(2045);
    const qsizetype pastPainted = LineWidths::kMostPainted + 1000;
    const std::vector<Case> cases = {
        {"ASCII", ascii},
        {"ASCII whose pairs kern", QStringLiteral("AVATAR To. Wa ")},
        {"ideographs", QStringLiteral("\u4E2D\u6587\u5B57 ")},
        {"emoji joined by U+200D, with a variation selector",
         QStringLiteral("\U0001F469\u200D\U0001F4BB\uFE0F")},
        {"flags between letters", QStringLiteral("a\U0001F1EB\U0001F1F7")},
        {"letters with their accents as marks", QStringLiteral("e\u0301")},
        {"tabbed columns", tabbedColumns()},
        // Right-to-left runs, which a page's cursor positions read back to front: checked as drawn only.
        // Seventeen units, so that starts kept every 64 fall in and out of runs.
        {"Latin with Arabic and digits",
         QStringLiteral("gets \u0645\u0644\u0641 42 \u0627\u0644\u0622\u0646 "), false},
        // An Arabic word joined across 180 letters, which the idle work meets mid-word: a cut inside it
        // would change its letters' forms.
        {"Latin between long Arabic words",
         QStringLiteral("ok ") + QStringLiteral("\u0628\u0647\u0628").repeated(60), false},
        {"Hebrew", QStringLiteral("\u05E9\u05DC\u05D5\u05DD 7 \u05E2\u05D5\u05DC\u05DD "), false},
        // One word: a long run cut between clusters, each piece shaped with its neighbours' letters.
        {"an Arabic word", QStringLiteral("\u0628\u0647\u0628"), false},
        // Long runs between slices: each run's pieces placed from where the text before it ends.
        {"Hebrew between Latin words",
         QStringLiteral("wget ") +
             QStringLiteral("\u05E9\u05DC\u05D5\u05DD 7 \u05E2\u05D5\u05DC\u05DD ").repeated(30),
         false},
        // Runs longer than a row draws whole, and lines far longer.
        {"Hebrew words, long", hebrewWords, false, {pastPainted, 20'000}},
        {"Latin with Arabic, long",
         QStringLiteral("gets \u0645\u0644\u0641 \u0627\u0644\u0622\u0646 "),
         false,
         {pastPainted, 20'000}},
        {"Hebrew words with punctuation, then Latin",
         QStringLiteral("\u05E9\u05DC\u05D5\u05DD, \u05E2\u05D5\u05DC\u05DD; "),
         false,
         {pastPainted},
         hebrewWords + QStringLiteral("! then wget")},
        // Spaces past a tab take the direction of the run before the tab, as in the line.
        {"Hebrew words, then a tab and spaces before more",
         hebrewWords,
         false,
         {300},
         QStringLiteral("\t  ") + hebrewWords + QStringLiteral("wget")},
        // Text embedded in a run reads in the run's own levels, as in the line.
        {"Hebrew words with Latin ones embedded",
         QStringLiteral("\u05E2\u05D5\u05DC\u05DD\u202Dwget \u05E2\u05D5\u05DC\u05DD\u202C\u202Bwget "
                        "\u05D0\u05D1\u202C \u05E9\u05DC\u05D5\u05DD "),
         false,
         {600}},
        {"Arabic words with 50% and 1+2",
         QStringLiteral("\u0645\u0644\u0641 50% \u0627\u0644\u0622\u0646 1+2 "),
         false,
         {3000}},
        {"ASCII with one Arabic letter in the middle", half, false, {1}, QChar(0x645) + half},
    };
    constexpr int kSpan = 300;
    for (const auto& family : bundledLogFamilies()) {
        for (const auto& row : cases) {
            for (const qsizetype units : row.lengths) {
                const QString line = row.run.repeated(units / row.run.size() + 1) + row.tail;
                SCOPED_TRACE(family.toStdString() + ", " + row.name + ", " + std::to_string(line.size()));
                QFont font;
                font.setFamilies({family});
                LineWidths widths(font);
                const qreal bound = widths.bound(line).width;
                QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, line);
                // Before the line is shaped the bound places its slices: each cut between clusters, the pages
                // fill the view and overlap or abut (each draws from at or before where the last one's right
                // edge cut), until one is laid out whole, which the line's width then is.
                QTextLayout layout(QString(), font);
                std::optional<std::pair<qsizetype, qreal>> before;
                for (qreal from = 0; row.slices && from < bound; from += kSpan) {
                    SCOPED_TRACE(from);
                    const auto laid = widths.layOutVisible(layout, line, bound, bound, from, kSpan);
                    if (laid.slice.start == 0 && laid.slice.end == line.size())
                        break;
                    if (from + kSpan >= bound) {
                        EXPECT_NEAR(laid.x + laid.advance, bound, 0.01) << "the last page";
                    } else if (laid.slice.end < line.size()) {
                        EXPECT_GE(laid.x + laid.advance, from + kSpan) << "the view's right is blank";
                    }
                    EXPECT_LE(laid.x, from + 1) << "the view's left is blank";
                    if (before) {
                        // This page draws where the last one's right edge cut at or right of where it did.
                        ASSERT_GE(before->first, laid.slice.start) << "clusters skipped";
                        EXPECT_GE(laid.x + layout.lineAt(0).cursorToX(
                                               static_cast<int>(before->first - laid.slice.start)),
                                  before->second - 0.5)
                            << "a gap between pages";
                    }
                    before = lastBoundaryBefore(clusters, laid, layout, from + kSpan);
                }
                // So it places a long run's pieces, around which its slices go: the parts of a page fill it.
                auto traits = LineWidths::traitsOf(line);
                LineWidths::findRuns(line, traits);
                // Every page of a line up to some fifty pages long; of a longer one, some fifty spread over
                // it, and its last (as when it is drawn).
                const int pages = static_cast<int>(std::ceil(bound / kSpan));
                const int every = std::max(1, pages / 48);
                for (int page = 0; traits.longRuns() && page < pages; ++page) {
                    if (page % every != 0 && page != pages - 1)
                        continue;
                    const qreal from = page * qreal{kSpan};
                    SCOPED_TRACE(from);
                    const auto parts = widths.layOutAroundRuns(line, traits, bound, bound, from, kSpan,
                                                               std::nullopt, nullptr);
                    ASSERT_FALSE(parts.empty());
                    // Short of the view where they reach the line's end: a run that ends it ends at its
                    // right.
                    const LineWidths::Run last = traits.runs.back();
                    qreal left = bound;
                    qreal right = 0;
                    bool ends = false;
                    for (const auto& part : parts) {
                        const auto& slice = part.laid.slice;
                        left = std::min(left, slice.x);
                        right = std::max(right, slice.x + part.laid.advance);
                        ends = ends || slice.end == line.size() ||
                               (last.end == line.size() && slice.start == last.start);
                    }
                    EXPECT_LE(left, from + 1) << "the view's left is blank";
                    if (from + kSpan >= bound) {
                        EXPECT_NEAR(right, bound, 0.01) << "the last page";
                    } else if (!ends) {
                        EXPECT_GE(right, from + kSpan) << "the view's right is blank";
                    }
                }

                // Once it is shaped, every cluster in view is drawn where the line laid out whole puts it.
                KeptLines kept;
                InstallLogView view(kept, *clipboard);
                useFamily(view, family);
                showWindow(&view);
                view.resize(view.width() - view.viewport()->width() + kSpan, view.height());
                // After a line wider than the view and than this one's bound, so that this one cannot set the
                // range (it is shaped because it is drawn), and a blank row; but a line with a run longer
                // than a row draws whole sets it, so that its last page ends at the range's end.
                const auto runs = LineWidths::runsOf(line);
                const bool setsRange = std::any_of(runs.begin(), runs.end(), [](const LineWidths::Run& run) {
                    return run.end - run.start > LineWidths::kMostPainted;
                });
                const qreal wide =
                    std::max<qreal>(bound, 2 * kSpan) / QFontMetricsF(view.font()).horizontalAdvance(u'W');
                kept.append(setsRange ? QStringLiteral("W")
                                      : QString(static_cast<qsizetype>(wide) + 1, u'W'));
                for (const auto& text : {QString(), line})
                    kept.append(text);
                view.showNewLines();
                // Out of view while the idle work skips it, and first drawn once the work has ended: drawing
                // it starts the work again.
                const int height = view.height();
                view.resize(view.width(), height - view.viewport()->height() +
                                              view.visualRect(view.model()->index(0, 0)).height());
                view.scrollToTop();
                ASSERT_TRUE(finishMeasuring(view));
                view.resize(view.width(), height);
                (void)view.viewport()->grab();
                ASSERT_TRUE(finishMeasuring(view));
                const QRect rect = view.visualRect(view.model()->index(2, 0));
                const QFontMetrics metrics(view.font());
                const int margin = (rect.width() - static_cast<int>(std::ceil(view.widestLine()))) / 2;
                const int baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
                QTextLayout whole(line, view.font(), view.viewport());
                layOutAsOneLine(whole);
                const QTextLine laidWhole = whole.lineAt(0);
                auto* bar = view.horizontalScrollBar();
                const auto drawsAsWhole = [&] {
                    const QImage shown = view.viewport()->grab().toImage();
                    QImage expected(shown.size(), shown.format());
                    expected.fill(shown.pixel(0, rect.top() - rect.height() / 2));
                    QPainter painter(&expected);
                    painter.setPen(view.palette().color(QPalette::Text));
                    laidWhole.draw(&painter, QPointF(margin - bar->value(), baseline - laidWhole.ascent()));
                    painter.end();
                    // The row, but for 2 columns at either edge of the view, where a cluster just past a
                    // slice's end could reach in: antialiasing there at most.
                    const QRect inner = rect.intersected(shown.rect()).adjusted(2, 0, -2, 0);
                    EXPECT_TRUE(shown.copy(inner) == expected.copy(inner)) << "scrolled to " << bar->value();
                };
                const int end = std::min(bar->maximum(), static_cast<int>(laidWhole.naturalTextWidth()));
                const int shownEvery = std::max(1, end / bar->pageStep() / 48);
                bar->setValue(0);
                for (int page = 0;; ++page) {
                    if (page % shownEvery == 0 || bar->value() >= end)
                        drawsAsWhole();
                    if (bar->value() >= end)
                        break;
                    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                }
                if (setsRange) {
                    EXPECT_EQ(bar->value(), bar->maximum());
                    EXPECT_NEAR(view.widestLine(), laidWhole.horizontalAdvance(), 1) << "the range's end";
                }
                bar->setValue(end / 2);
                for (const auto step :
                     {QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepAdd,
                      QAbstractSlider::SliderSingleStepSub}) {
                    bar->triggerAction(step);
                    drawsAsWhole();
                }
            }
        }
    }
}

TEST_F(InstallLogTest, AClusterBoundaryNeverFallsInsideASurrogatePair) {
    // Qt's grapheme finder can see a boundary inside an emoji after Devanagari or Thai.
    for (const char16_t* script : {u"\u0915\u094D\u0937\u093F", u"\u0E01\u0E33\u0E44"}) {
        const QString line =
            (QString::fromUtf16(script) + QStringLiteral("\U0001F600\U0001F469\u200D\U0001F4BB"))
                .repeated(LineWidths::kPiece / 4);
        QStringList inside;
        for (qsizetype at = 0; at <= line.size(); ++at) {
            for (const bool forward : {false, true}) {
                const qsizetype cut = LineWidths::clusterBoundary(line, at, forward);
                if (cut > 0 && cut < line.size() && line[cut].isLowSurrogate())
                    inside.push_back(
                        QStringLiteral("%1 %2 to %3").arg(at).arg(forward ? "on" : "back").arg(cut));
            }
        }
        EXPECT_TRUE(inside.isEmpty()) << inside.size() << " cuts, first " << inside.value(0).toStdString();
    }
}

/// Lays `layout` out on one line as a paragraph of `direction` drawn from its left end, with the tab stops
/// the whole line has where its text starts `x` into the line; gives its advance.
qreal layOutPart(QTextLayout& layout, Qt::LayoutDirection direction, qreal x) {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(direction);
    // A right-to-left paragraph is otherwise drawn at the right of its unbounded line.
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    if (layout.text().contains(u'\t')) {
        constexpr qreal kTabEvery = 80;  // Qt's, where an option sets none
        QList<QTextOption::Tab> tabs;
        for (qreal stop = (std::floor(x / kTabEvery) + 1) * kTabEvery - x; stop < 20'000; stop += kTabEvery)
            tabs.append(QTextOption::Tab(stop, QTextOption::LeftTab));
        option.setTabs(tabs);
    }
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(std::numeric_limits<int>::max());
    // Text that reads left to right inside a right-to-left paragraph is lost on a line that wide.
    line.setLineWidth(line.naturalTextWidth());
    layout.endLayout();
    return line.horizontalAdvance();
}

/// A picture of one row of text in `font`, `width` pixels wide, drawn by `draw` on a white ground on the
/// baseline it is given.
template <typename Draw>
QImage rowImage(const QFont& font, int width, Draw draw) {
    const QFontMetrics metrics(font);
    QImage image(width, 2 * metrics.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    draw(painter, static_cast<qreal>(metrics.height()));
    return image;
}

/// `line` drawn as the log draws it from its parts: the text outside its right-to-left runs in left-to-right
/// layouts, each run as a right-to-left paragraph from its pieces (each laid out with the cluster on either
/// side where it is cut between clusters, and drawn clipped to its own), the last at the run's left end and
/// each earlier to the right of the one after it.
QImage drawnInParts(const QString& line, const QFont& font, int width) {
    return rowImage(font, width, [&](QPainter& painter, qreal baseline) {
        const auto drawLeftToRight = [&](qsizetype from, qsizetype to, qreal x) {
            QTextLayout layout(line.mid(from, to - from), font);
            const qreal advance = layOutPart(layout, Qt::LeftToRight, x);
            layout.lineAt(0).draw(&painter, QPointF(x, baseline - layout.lineAt(0).ascent()));
            return x + advance;
        };
        qreal x = 0;
        qsizetype done = 0;
        for (const auto& run : LineWidths::runsOf(line)) {
            x = drawLeftToRight(done, run.start, x);
            std::vector<qsizetype> ends{run.end};
            if (run.end - run.start > LineWidths::kRunPiece)
                ends = LineWidths::runPieceEnds(line, run);
            for (auto end = ends.size(); end-- > 0;) {
                const qsizetype from = end == 0 ? run.start : ends[end - 1];
                const qsizetype to = ends[end];
                // The clusters either side of a cut that is not after white space.
                const qsizetype before = from == run.start || line[from - 1].isSpace()
                                             ? from
                                             : LineWidths::clusterBoundary(line, from - 1, false);
                const qsizetype after = to == run.end || line[to - 1].isSpace()
                                            ? to
                                            : LineWidths::clusterBoundary(line, to + 1, true);
                // After an Arabic letter mark where its numbers follow an Arabic letter in the line.
                const QString mark = from == run.start && LineWidths::numbersAfterArabic(line, run)
                                         ? QStringLiteral("\u061C")
                                         : QString();
                QTextLayout layout(mark + line.mid(before, after - before), font);
                layOutPart(layout, Qt::RightToLeft, 0);
                const QTextLine laid = layout.lineAt(0);
                // A piece's own ends, unless it is laid out with a cluster past them.
                const auto unit = [&](qsizetype at) { return static_cast<int>(mark.size() + at - before); };
                const qreal left = after == to ? 0 : laid.cursorToX(unit(to));
                const qreal right = before == from ? laid.horizontalAdvance() : laid.cursorToX(unit(from));
                painter.save();
                painter.setClipRect(QRectF(x, 0, right - left, 1'000));
                laid.draw(&painter, QPointF(x - left, baseline - laid.ascent()));
                painter.restore();
                x += right - left;
            }
            done = run.end;
        }
        drawLeftToRight(done, line.size(), x);
    });
}

QImage drawnWhole(const QString& line, const QFont& font, int width) {
    return rowImage(font, width, [&](QPainter& painter, qreal baseline) {
        QTextLayout layout(line, font);
        layOutAsOneLine(layout);
        layout.lineAt(0).draw(&painter, QPointF(0, baseline - layout.lineAt(0).ascent()));
    });
}

TEST_F(InstallLogTest, RightToLeftRunsLaidOutOnTheirOwnDrawWhatTheWholeLineDraws) {
    struct Case {
        const char* name;
        QString line;
    };
    const QString hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD");
    const QString arabic = QStringLiteral("\u0645\u0644\u0641 \u0627\u0644\u0622\u0646");
    const std::vector<Case> cases = {
        {"Hebrew words between Latin", QStringLiteral("get %1 now").arg(hebrew)},
        {"Latin with Arabic and digits", QStringLiteral("get %1 42 %1 ok").arg(arabic)},
        {"Arabic with a percentage, then Latin", QStringLiteral("%1 50% %1 50% then").arg(arabic)},
        {"Hebrew with a percentage, then Latin", QStringLiteral("%1 50% then").arg(hebrew)},
        {"Arabic, then numbers after a tab or a bracket",
         QStringLiteral("%1\t1+2 %1\t50% %1 a %1(21$+2\u05E9 b) c").arg(arabic)},
        {"Arabic with a sum", QStringLiteral("x %1 1+2 %1 1+2, 3/4 y").arg(arabic)},
        {"Hebrew with a sum and a currency", QStringLiteral("x %1 1+2 $5 %1 -7 y").arg(hebrew)},
        {"Hebrew with punctuation, then Latin", QStringLiteral("%1, %1! done").arg(hebrew)},
        {"Hebrew in brackets", QStringLiteral("a (%1) b %1 (%1) c [%1 d]").arg(hebrew)},
        {"brackets around and inside it",
         QStringLiteral("x (a %1) %1 (%1 b) z [%1] (%1 (c) %1) w %1 (%1 abc) d").arg(hebrew)},
        {"Arabic digits between Latin", QStringLiteral("a \u0661\u0662 - \u0663\u0664 b \u0661\u0662 c")},
        {"embeddings, overrides and isolates",
         QStringLiteral("a \u202B%1 b\u202C c \u2067d %1\u2069 e \u2068%1 x\u2069 \u2068x %1\u2069 "
                        "\u2066%1\u2069 f \u202Edef\u202C g %1 \u202Ahij\u202C \u2066k\u2069 l")
             .arg(hebrew)},
        {"embeddings and isolates nested past the deepest",
         QString(70, QChar(0x202B)) + QString(70, QChar(0x2066)) + hebrew + QStringLiteral(" abc 12 ") +
             QString(70, QChar(0x2069)) + QString(70, QChar(0x202C)) + QStringLiteral(" x ") + hebrew},
        {"unmatched closing codes", QStringLiteral("a \u202C%1 \u2069b \u202C").arg(hebrew)},
        {"a tab inside Hebrew", QStringLiteral("a %1\t%1 \t b\t%1").arg(hebrew)},
        {"marks and points",
         QStringLiteral("a \u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD x\u200Fy z\u200E \u061C3 "
                        "\u0645\u064E\u0644\u0651\u0641")},
        {"runs at the line's start and end", QStringLiteral("%1 abc %1").arg(hebrew)},
        {"a run that ends in white space", QStringLiteral("%1   ").arg(hebrew)},
        {"no right-to-left text", QStringLiteral("\u4E2D\u6587 e\u0301 \u00E9 42%")},
        // Runs drawn from pieces.
        {"Hebrew words, past the most a row draws",
         QStringLiteral("a ") + (hebrew + u' ').repeated(LineWidths::kMostPainted / 9) + u'b'},
        {"Arabic words with percentages and sums",
         QStringLiteral("a ") + QStringLiteral("%1 50% %1 1+2 ").arg(arabic).repeated(120) + u'b'},
        {"Hebrew words with long numbers",
         (hebrew + QStringLiteral(" 1234567890.25 -1,000,000 ")).repeated(40) + QStringLiteral("done")},
        {"Hebrew with punctuation",
         (hebrew + QStringLiteral(", ") + hebrew + QStringLiteral("! ")).repeated(40) +
             QStringLiteral("done")},
        {"Hebrew letters between numbers, cut before a letter",
         QStringLiteral("a %1 b").arg(QStringLiteral("\u05E912345").repeated(100))},
        {"a Hebrew word with points, cut between clusters",
         QStringLiteral("a ") + QStringLiteral("\u05E9\u05B8").repeated(400) + QStringLiteral(" b")},
    };
    for (const auto& family : bundledLogFamilies()) {
        QFont font;
        font.setFamilies({family});
        for (const auto& row : cases) {
            SCOPED_TRACE(family.toStdString() + ", " + row.name);
            const int width = static_cast<int>(laidOutWidth(font, row.line)) + 8;
            EXPECT_TRUE(drawnInParts(row.line, font, width) == drawnWhole(row.line, font, width));
        }
    }
}

TEST_F(InstallLogTest, ALogFedInBatchesDrawsWhatALogFedAtOnceDraws) {
    const QStringList families = bundledLogFamilies();
    ASSERT_FALSE(families.contains(QString()));
    // Every third line many views wide, all those of one width, so that a row could take another's layout,
    // but one many pieces of idle work long.
    constexpr int kLongest = 57;
    QStringList all;
    for (int line = 0; line < 90; ++line) {
        const QString number = QStringLiteral("%1").arg(line, 3, 10, QLatin1Char('0'));
        all.push_back(
            line % 3 == 0
                ? (number + QStringLiteral(" ==> Pouring wget")).repeated(line == kLongest ? 2048 : 16)
                : number + QStringLiteral(" Grüße 世界 ✓ e\u0301"));
    }
    // Scrolled sideways, given the other font, measured, widened and moved by a batch between batches.
    KeptLines fedKept;
    InstallLogView fed(fedKept, *clipboard);
    fed.setFocusPolicy(Qt::NoFocus);
    useFamily(fed, families[1]);
    showWindow(&fed);
    fed.resize(300, 200);
    const auto feed = [&](qsizetype end) {
        while (fedKept.end() < end)
            fedKept.append(all[fedKept.end()]);
        fed.showNewLines();
        (void)fed.viewport()->grab();
    };
    feed(30);
    fed.horizontalScrollBar()->setValue(150);
    feed(60);
    // The font changes while the lines in view are shaped, the longest part way.
    fed.setIdleTick(std::chrono::milliseconds(0));
    const qint64 calls = fed.shapingCalls();
    for (int turn = 0; turn < 1000 && fed.shapingCalls() < calls + 8; ++turn)
        QCoreApplication::processEvents();
    ASSERT_TRUE(fed.isMeasuring());
    useFamily(fed, families[0]);
    feed(84);
    ASSERT_TRUE(finishMeasuring(fed));
    (void)fed.viewport()->grab();
    fed.resize(420, 200);
    (void)fed.viewport()->grab();
    feed(all.size());
    ASSERT_TRUE(finishMeasuring(fed));

    KeptLines allKept;
    for (const auto& line : all)
        allKept.append(line);
    InstallLogView atOnce(allKept, *clipboard);
    atOnce.setFocusPolicy(Qt::NoFocus);
    useFamily(atOnce, families[0]);
    showWindow(&atOnce);
    atOnce.resize(fed.size());
    atOnce.showNewLines();
    atOnce.horizontalScrollBar()->setValue(fed.horizontalScrollBar()->value());
    (void)atOnce.viewport()->grab();
    ASSERT_TRUE(finishMeasuring(atOnce));
    ASSERT_EQ(atOnce.verticalScrollBar()->value(), fed.verticalScrollBar()->value());
    ASSERT_EQ(atOnce.horizontalScrollBar()->value(), 150);
    const QImage drawn = fed.viewport()->grab().toImage();
    EXPECT_TRUE(drawn == atOnce.viewport()->grab().toImage());
    saveGrab(&fed, QStringLiteral("install-log-fed-in-batches"));
    // Nothing shaped in the old font is kept: the long lines' pages, and the range.
    EXPECT_NEAR(fed.widestLine(), laidOutWidth(fed.font(), all[kLongest]), 2);
    for (auto* view : {&fed, &atOnce}) {
        view->scrollTo(view->model()->index(kLongest - 6, 0), QAbstractItemView::PositionAtTop);
        view->horizontalScrollBar()->setValue(600);
    }
    EXPECT_TRUE(fed.viewport()->grab().toImage() == atOnce.viewport()->grab().toImage()) << "600 px sideways";
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
