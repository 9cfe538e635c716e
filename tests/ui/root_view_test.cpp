#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "engine/core/task.h"
#include "engine/products/code/code_config.h"
#include "tests/ui/ui_test_support.h"
#include "ui/app/application.h"
#include "ui/app/consent_view.h"
#include "ui/app/goal_prompt_view.h"
#include "ui/app/welcome_view.h"
#include "ui/common/settings.h"
#include "ui/setupflow/setup_workflow_view.h"

namespace quill::ui {
namespace {

using test::byText;
using test::HeldProfiler;
using test::visibleById;
using test::visibleWithId;

class RootViewTest : public test::UiTest {
  protected:
    ~RootViewTest() override {
        held->release();  // a task still waiting must be able to end
        window.reset();
    }

    void seedConsent() { writeFlag(*services.store, productKey(".consented"), true); }

    void open(std::optional<SystemProfile> given = std::nullopt, DestinationRegistry registry = {}) {
        RootViewOptions options;
        options.services = services;
        options.profile = std::move(given);
        options.profiler = held->function();
        options.urls = urls;
        options.clipboard = clipboard;
        options.destinations = std::move(registry);
        window = openMainWindow(std::move(options));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        root = qobject_cast<QuillRootView*>(window->centralWidget());
        ASSERT_NE(root, nullptr);
    }

    std::vector<NamedEvent> events(std::string_view name) const { return telemetry.events(name); }

    std::shared_ptr<HeldProfiler> held = std::make_shared<HeldProfiler>();
    std::unique_ptr<MainWindow> window;
    QuillRootView* root = nullptr;
};

TEST_F(RootViewTest, ConsentComesFirstThenOneProfileAndOneLaunchEvent) {
    open();
    // Before consent: the consent screen alone, no profiling, no events, no Back.
    EXPECT_NE(qobject_cast<ConsentView*>(root->frontPage()), nullptr);
    EXPECT_TRUE(visibleWithId(window.get(), QStringLiteral("welcome-diagnose-button")).isEmpty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillstart for Coding"));
    EXPECT_EQ(held->calls, 0);
    EXPECT_TRUE(telemetry.events().empty());
    test::saveGrab(window.get(), QStringLiteral("consent"));

    QTest::mouseClick(visibleById<QPushButton>(window.get(), QStringLiteral("consent-continue")),
                      Qt::LeftButton);
    EXPECT_EQ(services.store->boolean("com.fernwick.test.consented"), true);
    ASSERT_EQ(telemetry.events().size(), 1u);
    EXPECT_EQ(telemetry.events().front(), (NamedEvent{"consent_given", {}}));
    ASSERT_NE(visibleById(window.get(), QStringLiteral("welcome-diagnose-button")), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return held->calls == 1; }, 5000));
    EXPECT_TRUE(events("app_launched").empty()) << "sent before the profile arrived";

    held->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events("app_launched").empty(); }, 5000));
    EXPECT_EQ(events("app_launched").front(), TelemetryEvents::appLaunched(held->profile));
    EXPECT_EQ(root->profile().profile(), held->profile);
    test::flushDeletes();
    EXPECT_EQ(window->findChildren<ConsentView*>().size(), 0) << "the consent screen is gone";

    // Trips home neither profile nor announce the launch again.
    for (int trip = 0; trip < 3; ++trip) {
        QTest::mouseClick(visibleById<QPushButton>(window.get(), QStringLiteral("welcome-diagnose-button")),
                          Qt::LeftButton);
        root->navigation().goHome();
    }
    EXPECT_EQ(held->calls, 1);
    EXPECT_EQ(events("app_launched").size(), 1u);
    const auto topLevels = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(topLevels.begin(), topLevels.end(), [](QWidget* w) { return w->isVisible(); }), 1)
        << "exactly one window";
}

TEST_F(RootViewTest, LaterLaunchesAnnounceWithoutProfilingWhenTheyMay) {
    struct Case {
        const char* name;
        bool fixtureMode;
        std::optional<SystemProfile> given;
        JSONObject expected;
    };
    SystemProfile given;
    given.architecture = Architecture::intel;
    const std::vector<Case> cases = {
        {"fixture mode without a profile", true, std::nullopt, {}},
        {"a profile given", false, given, TelemetryEvents::appLaunched(given).data},
    };
    seedConsent();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTelemetryCapture capture;
        services.isFixtureMode = c.fixtureMode;
        open(c.given);
        ASSERT_NE(visibleById(window.get(), QStringLiteral("welcome-diagnose-button")), nullptr);
        EXPECT_EQ(capture.events(), (std::vector<NamedEvent>{{"app_launched", c.expected}}));
        EXPECT_EQ(held->calls, 0);
        window.reset();
    }
}

TEST_F(RootViewTest, ClosingWhileTheProfileIsCollectedDropsIt) {
    seedConsent();
    open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return held->calls == 1; }, 5000));
    window.reset();
    held->release();
    ASSERT_TRUE(QTest::qWaitFor([] { return TaskTracker::runningCount() == 0; }, 5000));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(telemetry.events().empty());
}

TEST_F(RootViewTest, ReturnPressesTheDefaultButtonElseTheFocusedOne) {
    services.isFixtureMode = true;
    open();
    // Consent's Continue is its default: it has the focus on arrival, and keeps Return while the privacy link
    // has it.
    EXPECT_EQ(QApplication::focusWidget(), visibleById(window.get(), QStringLiteral("consent-continue")));
    visibleById(window.get(), QStringLiteral("consent-privacy-link"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(window.get(), Qt::Key_Return);
    ASSERT_TRUE(root->hasConsented());
    EXPECT_EQ(events("consent_given").size(), 1u);
    EXPECT_TRUE(urls->opened.empty());
    // The welcome screen has no default: the page itself has the focus, Return does nothing until a button
    // has the focus, then presses it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == root->frontPage(); }, 5000));
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    QTest::keyClick(window.get(), Qt::Key_Enter);
    EXPECT_TRUE(root->navigation().path().empty());
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        visibleById(window.get(), QStringLiteral("welcome-diagnose-button"))->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(root->navigation().path(), std::vector<Screen>{Screen::setupWorkflow()});
        root->navigation().goHome();
    }
}

TEST_F(RootViewTest, TheContentOpensAt720By720AndKeepsAtLeast720By700UnderTheToolBar) {
    services.isFixtureMode = true;
    for (const bool firstRun : {false, true}) {
        SCOPED_TRACE(firstRun ? "first run, after consent" : "later launch");
        services.store->setBool(productKey(".consented"), !firstRun);
        open();
        if (firstRun) {
            EXPECT_EQ(root->size(), QSize(720, 720));
            QTest::keyClick(window.get(), Qt::Key_Return);  // consent
            ASSERT_TRUE(root->hasConsented());
        }
        const auto* content = root->findChild<QStackedWidget*>();
        ASSERT_NE(content, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return content->size() == QSize(720, 720); }, 5000))
            << content->size().height();
        const int toolBar = content->mapTo(window.get(), QPoint()).y();
        EXPECT_GT(toolBar, 0);
        window->resize(1, 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return content->size() == QSize(720, 700); }, 5000));
        EXPECT_EQ(window->size(), QSize(720, 700 + toolBar));
        window.reset();
    }
}

TEST_F(RootViewTest, APageJustPushedTakesNoPressButReturnActsAtOnce) {
    test::ScopedDoubleClickInterval interval(400);
    auto product = test::testConfig();
    product.experienceQuestion = products::code().experienceQuestion;
    ScopedProductConfig scoped(product);
    services.isFixtureMode = true;
    DestinationRegistry registry;
    registry.setupWorkflow = [](ScreenContext& screenContext) -> ScreenPage* {
        return new SetupWorkflowView(screenContext);
    };
    open(held->profile, std::move(registry));

    // Return presses the default button of a page just shown.
    ASSERT_TRUE(test::pressesHeld(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Return);
    ASSERT_TRUE(root->hasConsented());

    // The second click of a double click on "Check my setup" lands on the experience question's first
    // answer, which takes nothing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !test::pressesHeld(window.get()); }, 5000));
    auto* check = visibleById<QPushButton>(window.get(), QStringLiteral("welcome-diagnose-button"));
    ASSERT_NE(check, nullptr);
    test::clickThroughWindow(check);
    QList<QWidget*> answers;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !(answers = visibleWithId(window.get(), QStringLiteral("experience-learning"))).isEmpty();
        },
        5000));
    test::doubleClickThroughWindow(answers.front());
    EXPECT_FALSE(services.store->string(productKey(".experience_bucket")));
    EXPECT_TRUE(events("experience_bucket").empty());
    EXPECT_EQ(visibleWithId(window.get(), QStringLiteral("experience-learning")).size(), 1);
}

TEST_F(RootViewTest, TheWelcomeButtonStartsTheProductsFlow) {
    struct Case {
        SetupFlow flow{};
        Screen pushed;
    };
    seedConsent();
    services.isFixtureMode = true;
    for (const auto& c : {Case{SetupFlow::setupWorkflow, Screen::setupWorkflow()},
                          Case{SetupFlow::diagnose, Screen::diagnose()}}) {
        auto product = test::testConfig();
        product.flow = c.flow;
        ScopedProductConfig scoped(product);
        open();
        auto* button = visibleById<QPushButton>(window.get(), QStringLiteral("welcome-diagnose-button"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(test::shownText(button), QStringLiteral("Check my setup"));
        if (c.flow == SetupFlow::setupWorkflow)
            test::saveGrab(window.get(), QStringLiteral("welcome"));
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(root->navigation().path(), std::vector<Screen>{c.pushed});
        EXPECT_NE(byText(window.get(), QStringLiteral("This screen is not available yet.")), nullptr);
        EXPECT_TRUE(root->backAction()->isEnabled());
        if (c.flow == SetupFlow::setupWorkflow)
            test::saveGrab(window.get(), QStringLiteral("placeholder"));
        root->backAction()->trigger();
        EXPECT_TRUE(root->navigation().path().empty());
        EXPECT_FALSE(root->backAction()->isEnabled());
        window.reset();
    }
}

TEST_F(RootViewTest, TheGoalPromptRecordsTheGoalAndOpensTheDiagnosis) {
    auto product =
        test::testConfig();  // its flow is the setup workflow: the goal still leads to the diagnosis
    product.goalPrompt =
        GoalPrompt{"What brings you here?",
                   "Pick one.",
                   "welcome",
                   40,
                   {{"learn", "Learn to code", std::nullopt}, {"build", "Build an app", "What app?"}}};
    ScopedProductConfig scoped(product);
    seedConsent();
    services.isFixtureMode = true;
    open();
    EXPECT_TRUE(visibleWithId(window.get(), QStringLiteral("welcome-diagnose-button")).isEmpty());

    std::size_t sentWhenGoalSet = 0;
    QObject::connect(&root->navigation(), &AppNavigation::selectedGoalChanged, root,
                     [&] { sentWhenGoalSet = events("goal_selected").size(); });
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(events("goal_selected").empty()) << "Return without a choice";

    QTest::mouseClick(visibleById(window.get(), QStringLiteral("goal-option-build")), Qt::LeftButton);
    QTest::keyClicks(visibleById(window.get(), QStringLiteral("goal-detail-field")),
                     QStringLiteral("A game"));
    test::saveGrab(window.get(), QStringLiteral("goal-prompt"));
    QTest::keyClick(visibleById(window.get(), QStringLiteral("goal-detail-field")), Qt::Key_Return);

    EXPECT_EQ(sentWhenGoalSet, 1u) << "goal_selected goes out before the goal is recorded";
    EXPECT_EQ(root->navigation().selectedGoal(), "build");
    EXPECT_EQ(root->navigation().path(), std::vector<Screen>{Screen::diagnose()});
    root->navigation().goHome();
    EXPECT_EQ(root->navigation().selectedGoal(), "build") << "kept after going home";
}

TEST_F(RootViewTest, ConsentShowsItsTextsAndLinksToThePrivacyArticle) {
    auto product = test::testConfig();
    product.consent.whatTitle =
        "Tools & <b>more</b> \xF0\x9F\xA7\x91\xF0\x9F\x8F\xBD\xE2\x80\x8D\xF0\x9F\x92\xBB";
    ScopedProductConfig scoped(product);
    open();
    QStringList expected = {QStringLiteral("Welcome to Quillstart for Coding"),
                            QString::fromStdString(product.consent.whatTitle)};
    for (const auto& bullet : product.consent.whatBullets)
        expected << QStringLiteral("•") << QString::fromStdString(bullet);
    expected << QString::fromStdString(product.consent.privacyTitle);
    for (const auto& bullet : product.consent.privacyBullets)
        expected << QStringLiteral("•") << QString::fromStdString(bullet);
    expected << QStringLiteral("Read the privacy details:");
    EXPECT_EQ(test::visibleLabelTexts(window.get()), expected);
    for (auto* label : window->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();

    auto* link = visibleById<QPushButton>(window.get(), QStringLiteral("consent-privacy-link"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(test::shownText(link), QStringLiteral("quillstart.example/coding/privacy"));
    EXPECT_EQ(test::shownText(visibleById<QPushButton>(window.get(), QStringLiteral("consent-continue"))),
              QStringLiteral("Continue"));
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(urls->opened,
              std::vector<QUrl>{QUrl(QStringLiteral("https://quillstart.example/coding/privacy"))});
}

TEST(PrivacyLinkTitleTest, IsTheAddressWithoutItsScheme) {
    struct Case {
        const char* url;
        const char* title;
    };
    const Case cases[] = {
        {"https://quillstart.example/coding/privacy", "quillstart.example/coding/privacy"},
        {"https://quillstart.example", "quillstart.example"},
        {"https://quillstart.example:8443/a?b=c#d", "quillstart.example/a"},
        {"https://quillstart.example/a%20b", "quillstart.example/a b"},
        {"file:///privacy.html", "/privacy.html"},
        {"/privacy", "/privacy"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(privacyLinkTitle(c.url), QString::fromUtf8(c.title)) << c.url;
}

}  // namespace
}  // namespace quill::ui
