#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <atomic>
#include <chrono>
#include <latch>
#include <thread>

#include "engine/core/task.h"
#include "tests/ui/ui_test_support.h"
#include "ui/app/application.h"
#include "ui/app/welcome_view.h"
#include "ui/common/choice_row.h"
#include "ui/common/labels.h"
#include "ui/common/press_guard.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/settings.h"
#include "ui/common/style.h"

namespace quill::ui {
namespace {

using test::visibleById;

class FoundationTest : public test::UiTest {};

TEST_F(FoundationTest, AResultComesBackOnlyToAPageThatStillWantsIt) {
    enum class End { keep, destroy, cancelAfterTheWork };
    for (const End end : {End::keep, End::destroy, End::cancelAfterTheWork}) {
        auto release = std::make_shared<std::latch>(1);
        auto finished = std::make_shared<std::atomic<bool>>(false);
        auto page = std::make_unique<ScreenPage>(context);
        int delivered = 0;
        page->tasks().start(
            [release, finished](std::stop_token) {
                release->wait();
                finished->store(true);
                return 42;
            },
            [&delivered](int value) { delivered = value; });
        if (end == End::destroy)
            page.reset();
        release->count_down();
        // Waits without running queued calls, so that a result comes back only where the test says.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(finished->load() && TaskTracker::runningCount() == 0) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_EQ(TaskTracker::runningCount(), 0u);
        if (end == End::cancelAfterTheWork)
            page->tasks().cancelAll();  // the result may already be queued
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(delivered, end == End::keep ? 42 : 0) << static_cast<int>(end);
    }
}

/// A page with a line edit, a text editor and a default button that counts its clicks.
class FormPage : public ScreenPage {
  public:
    explicit FormPage(ScreenContext& context) : ScreenPage(context) {
        auto* layout = new QVBoxLayout(this);
        line = new QLineEdit(this);
        editor = new QTextEdit(this);
        check = new QCheckBox(QStringLiteral("Check"), this);
        choice = new ChoiceRow(QStringLiteral("Choice"), this);
        button = new QPushButton(QStringLiteral("Go"), this);
        connect(button, &QPushButton::clicked, this, [this] { ++clicks; });
        layout->addWidget(line);
        layout->addWidget(editor);
        layout->addWidget(check);
        layout->addWidget(choice);
        layout->addWidget(button);
    }
    [[nodiscard]] QAbstractButton* defaultButton() const override { return hasDefault ? button : nullptr; }

    QLineEdit* line;
    QTextEdit* editor;
    QCheckBox* check;
    ChoiceRow* choice;
    QPushButton* button;
    bool hasDefault = true;
    int clicks = 0;
};

TEST_F(FoundationTest, ReturnClicksTheFrontPagesDefaultButtonWhenNoWidgetTakesIt) {
    writeFlag(*services.store, productKey(".consented"), true);
    services.isFixtureMode = true;
    FormPage* page = nullptr;
    RootViewOptions options;
    options.services = services;
    options.urls = urls;
    options.destinations.diagnose = [&page](ScreenContext& c) { return page = new FormPage(c); };
    const auto window = openMainWindow(std::move(options));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    qobject_cast<QuillRootView*>(window->centralWidget())->navigation().push(Screen::diagnose());
    ASSERT_NE(page, nullptr);

    QTest::keyClick(page->line, Qt::Key_Return);
    EXPECT_EQ(page->clicks, 1) << "a line edit passes Return on";
    QTest::keyClick(page->line, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(page->clicks, 2);
    QTest::keyClick(page->editor, Qt::Key_Return);
    EXPECT_EQ(page->clicks, 2) << "a text editor keeps Return";
    EXPECT_EQ(page->editor->toPlainText(), QStringLiteral("\n"));
    page->button->setEnabled(false);
    QTest::keyClick(page->line, Qt::Key_Return);
    page->button->setEnabled(true);
    page->button->hide();
    QTest::keyClick(page->line, Qt::Key_Return);
    EXPECT_EQ(page->clicks, 2) << "never when disabled or hidden";

    // Without a default button, Return presses the focused button unless it is checkable: a check box or a
    // choice keeps Space.
    page->button->show();
    page->hasDefault = false;
    QWindow* shown = window->windowHandle();
    for (QAbstractButton* checkable : std::initializer_list<QAbstractButton*>{page->check, page->choice}) {
        QSignalSpy clicked(checkable, &QAbstractButton::clicked);
        checkable->setFocus(Qt::TabFocusReason);
        QTest::keyClick(shown, Qt::Key_Return);
        EXPECT_EQ(clicked.size(), 0) << checkable->text().toStdString();
        QTest::keyClick(shown, Qt::Key_Space);
        EXPECT_EQ(clicked.size(), 1) << checkable->text().toStdString();
    }
    page->button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(shown, Qt::Key_Return);
    EXPECT_EQ(page->clicks, 3);
}

TEST_F(FoundationTest, OnArrivalTheDefaultButtonHasTheFocusOnlyWhenItCanBePressed) {
    writeFlag(*services.store, productKey(".consented"), true);
    services.isFixtureMode = true;
    struct Case {
        const char* name;
        bool hasDefault;
        bool enabled;
        bool shown;
    };
    const std::vector<Case> cases = {
        {"enabled default", true, true, true},
        {"disabled default", true, false, true},
        {"hidden default", true, true, false},
        {"no default", false, true, true},
    };
    const Case* building = nullptr;
    FormPage* page = nullptr;
    RootViewOptions options;
    options.services = services;
    options.urls = urls;
    options.destinations.diagnose = [&](ScreenContext& c) {
        page = new FormPage(c);
        page->hasDefault = building->hasDefault;
        page->button->setEnabled(building->enabled);
        page->button->setVisible(building->shown);
        return page;
    };
    const auto window = openMainWindow(std::move(options));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto& host = qobject_cast<QuillRootView*>(window->centralWidget())->navigation();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        building = &c;
        host.push(Screen::diagnose());
        ASSERT_NE(page, nullptr);
        QWidget* expected = c.hasDefault && c.enabled && c.shown ? static_cast<QWidget*>(page->button) : page;
        EXPECT_EQ(QApplication::focusWidget(), expected)
            << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                            : "none");
        // The focus left on this page's line edit does not stay for the next one.
        page->line->setFocus(Qt::TabFocusReason);
        host.goHome();
        page = nullptr;
    }
}

/// A window holding a guarded page with a line edit and a button, and a line edit outside the page.
struct GuardedWindow {
    GuardedWindow() {
        auto* layout = new QVBoxLayout(&window);
        outside = new QLineEdit(&window);
        layout->addWidget(outside);
        page = new QWidget(&window);
        auto* column = new QVBoxLayout(page);
        inside = new QLineEdit(page);
        button = new QPushButton(QStringLiteral("Go"), page);
        column->addWidget(inside);
        column->addWidget(button);
        layout->addWidget(page);
        PressGuard::install(page);
    }
    QWidget window;
    QLineEdit* outside;
    QWidget* page;
    QLineEdit* inside;
    QPushButton* button;
};

TEST_F(FoundationTest, APressTheGuardDropsNeitherActsNorMovesTheFocus) {
    test::ScopedDoubleClickInterval interval(60'000);  // the guard holds for the whole test
    for (const bool doubleClick : {false, true}) {
        for (const bool focusedBefore : {true, false}) {
            SCOPED_TRACE(std::string(doubleClick ? "double click" : "click") +
                         (focusedBefore ? ", the line edit focused" : ", nothing focused"));
            GuardedWindow guarded;
            showWindow(&guarded.window);
            ASSERT_TRUE(QTest::qWaitForWindowActive(&guarded.window));
            ASSERT_TRUE(PressGuard::isGuarding(guarded.page));
            if (focusedBefore)
                guarded.outside->setFocus(Qt::OtherFocusReason);
            else if (QWidget* focused = QApplication::focusWidget())
                focused->clearFocus();
            ASSERT_EQ(QApplication::focusWidget(), focusedBefore ? guarded.outside : nullptr);
            QSignalSpy clicked(guarded.button, &QPushButton::clicked);
            for (QWidget* target : std::initializer_list<QWidget*>{guarded.button, guarded.inside}) {
                if (doubleClick)
                    test::doubleClickThroughWindow(target);
                else
                    test::clickThroughWindow(target);
                EXPECT_EQ(QApplication::focusWidget(), focusedBefore ? guarded.outside : nullptr)
                    << target->metaObject()->className();
            }
            EXPECT_EQ(clicked.size(), 0);
            // Outside the guarded page a press acts as ever.
            test::clickThroughWindow(guarded.outside);
            EXPECT_EQ(QApplication::focusWidget(), guarded.outside);
        }
    }
}

TEST_F(FoundationTest, VisibleByIdWantsExactlyOneVisibleMatch) {
    QWidget root;
    auto* layout = new QVBoxLayout(&root);
    for (const char* id : {"shown", "twice", "twice", "hidden"}) {
        auto* label = new QLabel(QString::fromLatin1(id), &root);
        label->setObjectName(QString::fromLatin1(id));
        layout->addWidget(label);
    }
    root.findChild<QLabel*>(QStringLiteral("hidden"))->setVisible(false);
    showWindow(&root);
    EXPECT_NE(visibleById(&root, QStringLiteral("shown")), nullptr);
    QWidget* found = nullptr;
    EXPECT_NONFATAL_FAILURE(found = visibleById(&root, QStringLiteral("twice")),
                            "visible widgets with id twice");
    EXPECT_EQ(found, nullptr);
    EXPECT_NONFATAL_FAILURE(found = visibleById(&root, QStringLiteral("hidden")),
                            "visible widgets with id hidden");
    EXPECT_EQ(found, nullptr);
}

TEST_F(FoundationTest, LabelsShowConfiguredTextsAsText) {
    const struct {
        QString text;
        QString shown;
    } buttons[] = {
        {QStringLiteral("Tools & more"), QStringLiteral("Tools && more")},
        {QStringLiteral("&&"), QStringLiteral("&&&&")},
        {QStringLiteral("no ampersand"), QStringLiteral("no ampersand")},
        {QStringLiteral("Fix `a&b` and `c"), QStringLiteral("Fix a&&b and `c")},
    };
    for (const auto& b : buttons) {
        QPushButton button(buttonText(b.text));
        EXPECT_EQ(button.text(), b.shown);
        EXPECT_EQ(test::shownText(&button), withoutBackticks(b.text));
    }

    // Markdown renders emphasis; HTML stays text and makes nothing bold; links go to the opener.
    std::unique_ptr<QLabel> label(
        markdownLabel(QStringLiteral("*a* <b>b</b> [c](https://quillstart.example/c)"), *urls));
    QTextDocument rendered;
    rendered.setHtml(label->text());
    EXPECT_EQ(rendered.toPlainText(), QStringLiteral("a <b>b</b> c"));
    bool sawItalicA = false;
    for (auto block = rendered.begin(); block != rendered.end(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const auto fragment = it.fragment();
            EXPECT_LE(fragment.charFormat().fontWeight(), QFont::Normal) << fragment.text().toStdString();
            if (fragment.text() == QStringLiteral("a"))
                sawItalicA = fragment.charFormat().fontItalic();
        }
    }
    EXPECT_TRUE(sawItalicA);
    emit label->linkActivated(QStringLiteral("https://quillstart.example/c"));
    EXPECT_EQ(urls->opened, std::vector<QUrl>{QUrl(QStringLiteral("https://quillstart.example/c"))});
}

TEST_F(FoundationTest, CodeSpansShowWithoutTheirBackticksAndNothingElseOfMarkdown) {
    const QString fixedFamily = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    const struct {
        QString text;
        QString shown;
        QStringList code;
    } cases[] = {
        {QStringLiteral("Fix your PATH so `brew` is found"),
         QStringLiteral("Fix your PATH so brew is found"),
         {QStringLiteral("brew")}},
        {QStringLiteral("(at `/opt/my_jdk/*/bin`) and `x`"),
         QStringLiteral("(at /opt/my_jdk/*/bin) and x"),
         {QStringLiteral("/opt/my_jdk/*/bin"), QStringLiteral("x")}},
        {QStringLiteral("a_b_ *c* <b>d</b> [e](f) &amp;"),
         QStringLiteral("a_b_ *c* <b>d</b> [e](f) &amp;"),
         {}},
        {QStringLiteral("``two ` in`` and `` ` `` but ` stays"),
         QStringLiteral("two ` in and ` but ` stays"),
         {QStringLiteral("two ` in"), QStringLiteral("`")}},
        {QStringLiteral("``unclosed` and"), QStringLiteral("``unclosed` and"), {}},
        // One space is taken off each end only where both ends have one.
        {QStringLiteral("type `cd ` then ` ls` or ` pwd `"),
         QStringLiteral("type cd  then  ls or pwd"),
         {QStringLiteral("cd "), QStringLiteral(" ls"), QStringLiteral("pwd")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(withoutBackticks(c.text), c.shown);
        std::unique_ptr<QLabel> label(codeSpanLabel(c.text));
        EXPECT_TRUE(label->wordWrap());
        EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        EXPECT_FALSE(label->textInteractionFlags().testFlag(Qt::LinksAccessibleByMouse));
        QTextDocument rendered;
        if (label->textFormat() == Qt::PlainText)
            rendered.setPlainText(label->text());
        else
            rendered.setHtml(label->text());
        EXPECT_EQ(rendered.toPlainText(), c.shown);
        QStringList code;
        for (auto block = rendered.begin(); block != rendered.end(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const auto format = it.fragment().charFormat();
                EXPECT_LE(format.fontWeight(), QFont::Normal);
                EXPECT_FALSE(format.fontItalic() || format.isAnchor());
                if (format.fontFamilies().toStringList().contains(fixedFamily))
                    code.push_back(it.fragment().text());
            }
        }
        EXPECT_EQ(code, c.code);
    }
}

TEST_F(FoundationTest, OurFocusRingIsDrawnOnlyWhereThePlatformsStyleDrawsNone) {
    QWidget page;
    auto* bordered = new QPushButton(QStringLiteral("Bordered"), &page);
    Style::apply(bordered, ButtonStyle::bordered);
    auto* prominent = new QPushButton(QStringLiteral("Prominent"), &page);
    Style::apply(prominent, ButtonStyle::prominent);
    auto* borderless = new QPushButton(QStringLiteral("Borderless"), &page);
    Style::apply(borderless, ButtonStyle::borderless);
    auto* reason = new QPlainTextEdit(&page);
    reason->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid red; }"));
    const struct {
        QWidget* control;
        bool onMac;
    } cases[] = {
        {bordered, true},
        {new QCheckBox(QStringLiteral("Check"), &page), true},
        {new QLineEdit(&page), true},
        {new QPlainTextEdit(&page), true},
        {prominent, false},
        {borderless, false},
        {linkButton(QStringLiteral("Link"), &page), false},
        {new ChoiceRow(QStringLiteral("Choice"), &page), false},
        {reason, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control->metaObject()->className());
        EXPECT_EQ(Style::platformDrawsFocusRing(c.control, u"macos"), c.onMac);
        EXPECT_FALSE(Style::platformDrawsFocusRing(c.control, u"Fusion"));
        EXPECT_FALSE(
            Style::platformDrawsFocusRing(c.control, c.control->style()->name()));  // this platform's
    }
}

TEST_F(FoundationTest, TheScaffoldLinksToItsArticleOrTheTroubleshootingOne) {
    ScreenScaffold scaffold(context);
    scaffold.setTitle(QStringLiteral("Title"));
    showWindow(&scaffold);
    auto* link =
        qobject_cast<QPushButton*>(test::byText(&scaffold, QStringLiteral("Read the article on Fernwick")));
    ASSERT_NE(link, nullptr);
    QTest::mouseClick(link, Qt::LeftButton);
    scaffold.setArticleURL("https://quillstart.example/stage?src=app");
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(urls->opened,
              (std::vector<QUrl>{QUrl(QStringLiteral("https://quillstart.example/coding/troubleshooting")),
                                 QUrl(QStringLiteral("https://quillstart.example/stage?src=app"))}));

    scaffold.setTitleAccessibilityIdentifier(QStringLiteral("scaffold-title"));
    scaffold.setExplainerAccessibilityIdentifier(QStringLiteral("scaffold-explainer"));
    scaffold.setExplainer(QStringLiteral("Why"));
    EXPECT_NE(visibleById<QLabel>(&scaffold, QStringLiteral("scaffold-title")), nullptr);
    EXPECT_NE(visibleById<QLabel>(&scaffold, QStringLiteral("scaffold-explainer")), nullptr);
}

TEST_F(FoundationTest, TheWelcomeTitleFallsBackToTheNameAndAnEmptyExplainerShowsNone) {
    auto product = test::testConfig();
    product.copy.welcomeHeadline.reset();
    product.copy.welcomeExplainer.clear();
    ScopedProductConfig scoped(product);
    WelcomeView welcome(context);
    showWindow(&welcome);
    EXPECT_EQ(test::visibleLabelTexts(&welcome), QStringList{QStringLiteral("Quillstart for Coding")});
    EXPECT_EQ(welcome.defaultButton(), nullptr);
}

}  // namespace
}  // namespace quill::ui
