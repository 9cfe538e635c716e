#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

#include "engine/core/task.h"
#include "engine/java/diagnosis_profile.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "tests/support/temporary_home.h"
#include "tests/ui/ui_test_support.h"
#include "ui/app/application.h"
#include "ui/app/quill_root_view.h"
#include "ui/common/labels.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/settings.h"
#include "ui/common/simplified_completion_view.h"
#include "ui/java/diagnose_view.h"
#include "ui/java/staged_audit_flow.h"

namespace quill::ui {
namespace {

using test::byText;
using test::HeldProfiler;
using test::shownLabelTexts;
using test::visibleById;
using test::visibleWithId;

constexpr const char* kCannotFix = "This version of the app can't fix this for you.";

/// Answers one fixed diagnosis whatever the facts.
class FixedDiagnosisProfile final : public DiagnosisProfile {
  public:
    explicit FixedDiagnosisProfile(Diagnosis diagnosis) : m_diagnosis(std::move(diagnosis)) {}
    [[nodiscard]] Diagnosis diagnose(const ProbeBundle& /*bundle*/) const override { return m_diagnosis; }

  private:
    Diagnosis m_diagnosis;
};

const JDKInfo kModernJDK{"21.0.2", "Eclipse Adoptium", "arm64",
                         "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home"};
const Diagnosis kD4 = Diagnosis::D4_ModernHomeSet{kModernJDK};

/// The audit as the diagnosis of a working Java leads to it.
AuditContext heuristicAudit() {
    return AuditContext{AuditEntry::heuristic, CompletionSurface::Prompt{BuildIntentSurface::modernHomeSet},
                        std::nullopt};
}

NextStepPrompt someNextStepPrompt() {
    return NextStepPrompt{
        "What next?", "Pick one.", "post_audit", {{"course", "Course", Outcome::ready, OfferRoute::audit()}}};
}

SystemProfile developerProfile(bool developer) {
    SystemProfile profile;
    profile.javaState.installedJDKs = {kModernJDK};
    if (developer)
        profile.homebrewPrefix = "/opt/homebrew";
    return profile;
}

std::vector<NamedEvent> screenEvents(const ScopedTelemetryCapture& capture) {
    auto events = capture.events();
    std::erase_if(events, [](const NamedEvent& event) { return event.name == "app_launched"; });
    return events;
}

std::vector<std::string> names(const std::vector<NamedEvent>& events) {
    std::vector<std::string> result;
    result.reserve(events.size());
    for (const auto& event : events)
        result.push_back(event.name);
    return result;
}

class JavaScreensTest : public test::UiTest {
  protected:
    ~JavaScreensTest() override {
        held->release();
        root.reset();
    }

    /// Installs the test configuration with `diagnosis` as its verdict and, optionally, a next-step question.
    void configure(Diagnosis diagnosis, bool withNextStepPrompt = false) {
        ProductConfig product = test::testConfig();
        product.diagnosisProfile = std::make_shared<FixedDiagnosisProfile>(std::move(diagnosis));
        if (withNextStepPrompt)
            product.nextStepPrompt = someNextStepPrompt();
        config.reset();
        config = std::make_unique<ScopedProductConfig>(std::move(product));
    }

    /// The window past consent. In fixture mode the pages take `profile`; otherwise the held profiler's.
    void open(SystemProfile given, bool fixtureMode = true) {
        RootViewOptions options;
        options.services = services;
        options.services.isFixtureMode = fixtureMode;
        writeFlag(*services.store, productKey(".consented"), true);
        options.profile = std::move(given);
        options.profiler = held->function();
        options.urls = urls;
        options.clipboard = clipboard;
        root = std::make_unique<QuillRootView>(std::move(options));
        showWindow(root.get());
    }
    AppNavigation& nav() { return root->navigation(); }
    void click(const QString& id) {
        auto* button = visibleById<QPushButton>(root.get(), id);
        ASSERT_NE(button, nullptr) << id.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void clickText(const QString& text) {
        auto* button = qobject_cast<QPushButton*>(byText(root.get(), text));
        ASSERT_NE(button, nullptr) << text.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    /// A grab once the embedded view's scroll area has settled on no bar (content this short needs none).
    void grab(const QString& name) {
        (void)QTest::qWaitFor(
            [&] {
                const auto bars = root->findChildren<QScrollBar*>();
                return std::none_of(bars.begin(), bars.end(),
                                    [](QScrollBar* bar) { return bar->isVisible(); });
            },
            2000);
        test::saveGrab(root.get(), name);
    }
    bool cardShown() { return !visibleWithId(root.get(), QStringLiteral("nps-card")).isEmpty(); }
    std::size_t count(std::string_view name) const { return telemetry.events(name).size(); }
    /// Chooses a score and submits it.
    void submitScore() {
        auto* card = visibleById<NPSFeedbackCard>(root.get(), QStringLiteral("nps-card"));
        ASSERT_NE(card, nullptr);
        QTest::mouseClick(card->scoreButton(9), Qt::LeftButton);
        click(QStringLiteral("nps-submit"));
    }

    std::shared_ptr<HeldProfiler> held = std::make_shared<HeldProfiler>();
    std::unique_ptr<QuillRootView> root;
};

TEST_F(JavaScreensTest, EachDiagnosisShowsItsTextsAndContinuesOnItsRoad) {
    using Prompt = CompletionSurface::Prompt;
    struct Case {
        Diagnosis diagnosis;
        bool cannotFix;
        bool card;
        CompletionSurface surface;
    };
    const Diagnosis unknown = Diagnosis::Unknown{"Two *homes* in my_jdk_dir and `java` disagree"};
    const std::vector<Case> cases = {
        // Nothing is fixed on the way, so these end on the report rather than on "Java is working".
        {Diagnosis::D1_NoJDK{}, true, false, CompletionSurface::Excluded{}},
        {Diagnosis::D2_HomeUnset{kModernJDK}, true, false, CompletionSurface::Excluded{}},
        {Diagnosis::D3_LegacyOnly{{"1.8.0_392", "Azul", "x86_64", "/jvm/zulu_8.jdk/Contents/Home"}}, true,
         false, CompletionSurface::Excluded{}},
        {kD4, false, true, Prompt{BuildIntentSurface::modernHomeSet}},
        {unknown, false, false, CompletionSurface::Excluded{}},
        {Diagnosis::NoErrorsFound{}, false, true, Prompt{BuildIntentSurface::noErrorsFound}},
    };
    for (const bool withPrompt : {false, true}) {
        for (const auto& c : cases) {
            const auto what = c.diagnosis.headline() + (withPrompt ? " under a next-step prompt" : "");
            const ScopedTelemetryCapture capture;
            configure(c.diagnosis, withPrompt);
            // A Mac that does not look like a developer's, where the audit may end simply.
            const SystemProfile given = developerProfile(false);
            open(given);
            nav().push(Screen::diagnose());

            auto* title =
                qobject_cast<QLabel*>(byText(root.get(), QString::fromStdString(c.diagnosis.headline())));
            ASSERT_NE(title, nullptr) << what;
            // The D1 page promises no install: that one sentence goes, the rest stays as written.
            auto shownDetail = c.diagnosis.detail();
            if (std::holds_alternative<Diagnosis::D1_NoJDK>(c.diagnosis.value)) {
                const std::string promise =
                    "We'll install Eclipse Temurin (a free, well-maintained Java distribution) for you. ";
                ASSERT_NE(shownDetail.find(promise), std::string::npos);
                shownDetail.erase(shownDetail.find(promise), promise.size());
            }
            // Its code spans show in fixed pitch without their backticks; nothing else is read as Markdown.
            const auto texts = shownLabelTexts(root.get());
            EXPECT_TRUE(texts.contains(withoutBackticks(QString::fromStdString(shownDetail)))) << what;
            EXPECT_FALSE(texts.join(QString()).contains(QLatin1Char('`'))) << what;
            EXPECT_EQ(byText(root.get(), QString::fromUtf8(kCannotFix)) != nullptr, c.cannotFix) << what;
            EXPECT_EQ(cardShown(), c.card) << what;
            EXPECT_EQ(screenEvents(capture).front(),
                      TelemetryEvents::javaDiagnosisReached(c.diagnosis, given))
                << what;

            click(QStringLiteral("continue-to-audit"));
            const Screen expected =
                withPrompt ? Screen::nextStep()
                           : Screen::audit(AuditContext{AuditEntry::heuristic, c.surface, std::nullopt});
            EXPECT_EQ(nav().path().back(), expected) << what;
            if (!withPrompt) {
                auto* audit = qobject_cast<StagedAuditFlow*>(root->frontPage());
                ASSERT_NE(audit, nullptr) << what;
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return audit->simplifiedView() != nullptr || audit->report() != nullptr; }, 5000));
                EXPECT_EQ(byText(root.get(), QStringLiteral("Java is working")) != nullptr, c.card) << what;
            }
            if (std::holds_alternative<Diagnosis::D1_NoJDK>(c.diagnosis.value) && !withPrompt) {
                nav().back();
                grab(QStringLiteral("diagnosis-d1"));
            }
            if (c.card && !withPrompt && c.diagnosis == kD4) {
                nav().back();
                grab(QStringLiteral("diagnosis-d4-card"));
            }
        }
    }
}

TEST_F(JavaScreensTest, ADoubleClickOnContinueToTheAuditLeavesItsFeedbackCardUnanswered) {
    test::ScopedDoubleClickInterval interval(400);
    configure(Diagnosis::D1_NoJDK{});
    RootViewOptions options;
    options.services = services;
    options.services.isFixtureMode = true;
    writeFlag(*services.store, productKey(".consented"), true);
    options.profile = developerProfile(false);
    options.urls = urls;
    options.clipboard = clipboard;
    const auto window = openMainWindow(std::move(options));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* shown = qobject_cast<QuillRootView*>(window->centralWidget());
    shown->navigation().push(Screen::diagnose());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !test::pressesHeld(window.get()); }, 5000));
    auto* proceed = visibleById<QPushButton>(window.get(), QStringLiteral("continue-to-audit"));
    ASSERT_NE(proceed, nullptr);
    test::doubleClickThroughWindow(proceed);
    auto* audit = qobject_cast<StagedAuditFlow*>(shown->frontPage());
    ASSERT_NE(audit, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return audit->simplifiedView() != nullptr || audit->report() != nullptr; }, 5000));
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    for (auto* card : window->findChildren<NPSFeedbackCard*>())
        EXPECT_EQ(card->phase(), NPSFeedbackCard::Phase::notYet());
    EXPECT_EQ(shown->frontPage(), audit);
}

TEST_F(JavaScreensTest, DiagnosisCardIsAnnouncedOnceAndLeavingUnansweredIsReported) {
    // The flag already set: no card, and Continue reports nothing.
    configure(kD4);
    writeFlag(*services.store, productKey(".nps_submitted"), true);
    open(developerProfile(true));
    nav().push(Screen::diagnose());
    EXPECT_FALSE(cardShown());
    click(QStringLiteral("continue-to-audit"));
    EXPECT_EQ(count("nps_shown") + count("nps_dismissed"), 0u);
    writeFlag(*services.store, productKey(".nps_submitted"), false);

    // Shown: one "nps_shown" per visit across Back; each unanswered Continue reports before the path changes.
    {
        const ScopedTelemetryCapture capture;
        open(developerProfile(true));
        std::vector<std::size_t> dismissedAtPathChange;
        QObject::connect(&nav(), &AppNavigation::pathChanged, root.get(),
                         [&] { dismissedAtPathChange.push_back(capture.events("nps_dismissed").size()); });
        nav().push(Screen::diagnose());
        EXPECT_TRUE(cardShown());
        click(QStringLiteral("continue-to-audit"));
        nav().back();
        EXPECT_TRUE(cardShown());
        click(QStringLiteral("continue-to-audit"));
        EXPECT_EQ(capture.events("nps_shown").size(), 1u);
        EXPECT_EQ(dismissedAtPathChange, (std::vector<std::size_t>{0, 1, 1, 2}));
        // Each Continue builds a new audit page; its report shows the card without a second "nps_shown" and
        // reports its own leave.
        ASSERT_TRUE(visibleById(root.get(), QStringLiteral("nps-card")));
        clickText(QStringLiteral("Done — back to home"));
        EXPECT_EQ(
            names(screenEvents(capture)),
            (std::vector<std::string>{"diagnosis_reached", "nps_shown", "nps_dismissed", "audit_reached",
                                      "nps_dismissed", "audit_reached", "nps_dismissed"}));
        EXPECT_TRUE(nav().path().empty());
    }

    // An answer counts at the press: leaving before the thank-you reports no dismissal, and Back shows no
    // card once the thank-you has come.
    {
        const ScopedTelemetryCapture capture;
        open(developerProfile(true));
        nav().push(Screen::diagnose());
        submitScore();
        click(QStringLiteral("continue-to-audit"));
        EXPECT_EQ(capture.events("nps_dismissed").size(), 0u);
        EXPECT_EQ(capture.events("nps_submitted").size(), 1u);
        nav().back();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !cardShown(); }, 5000));
        click(QStringLiteral("continue-to-audit"));
        EXPECT_EQ(capture.events("nps_dismissed").size(), 0u);
        writeFlag(*services.store, productKey(".nps_submitted"), false);
    }

    // The card's own "Dismiss", then Continue: the card reports, and so does Continue.
    {
        const ScopedTelemetryCapture capture;
        open(developerProfile(true));
        nav().push(Screen::diagnose());
        click(QStringLiteral("nps-dismiss"));
        EXPECT_FALSE(cardShown());
        click(QStringLiteral("continue-to-audit"));
        EXPECT_EQ(capture.events("nps_dismissed").size(), 2u);
    }

    // Under a next-step prompt the diagnosis still asks; the report does not.
    {
        const ScopedTelemetryCapture capture;
        configure(kD4, true);
        open(developerProfile(true));
        nav().push(Screen::diagnose());
        EXPECT_TRUE(cardShown());
        nav().push(Screen::audit(heuristicAudit()));
        EXPECT_FALSE(cardShown());
        clickText(QStringLiteral("Done — back to home"));
        EXPECT_EQ(capture.events("nps_dismissed").size(), 0u);
    }
}

TEST_F(JavaScreensTest, AuditEndsSimplyOnANonDeveloperMacEnteredHeuristically) {
    struct Case {
        AuditEntry entry;
        bool developer;
        bool simplified;
    };
    const std::vector<Case> cases = {
        {AuditEntry::heuristic, false, true},       {AuditEntry::heuristic, true, false},
        {AuditEntry::buildIntent, false, false},    {AuditEntry::nextStepCourse, false, false},
        {AuditEntry::nextStepNotSure, true, false},
    };
    configure(kD4);
    for (const auto& c : cases) {
        const auto what = std::string(toRaw(c.entry)) + (c.developer ? ", developer" : "");
        const ScopedTelemetryCapture capture;
        const SystemProfile given = developerProfile(c.developer);
        open(given);
        const AuditContext entered{c.entry, CompletionSurface::Prompt{BuildIntentSurface::postFix},
                                   std::nullopt};
        nav().push(Screen::audit(entered));
        auto* page = qobject_cast<StagedAuditFlow*>(root->frontPage());
        ASSERT_NE(page, nullptr) << what;
        EXPECT_EQ(page->simplifiedView() != nullptr, c.simplified) << what;
        EXPECT_EQ(page->report() != nullptr, !c.simplified) << what;
        EXPECT_EQ(capture.events("audit_reached"),
                  c.simplified ? std::vector<NamedEvent>{}
                               : std::vector<NamedEvent>{TelemetryEvents::auditReached(
                                     given, std::string(toRaw(c.entry)))})
            << what;
        if (!c.simplified && c.entry == AuditEntry::buildIntent)
            grab(QStringLiteral("audit-report"));
    }

    // The simplified screen's exits: recommendations push the build-intent audit, Done goes home.
    open(developerProfile(false));
    nav().push(Screen::audit(heuristicAudit()));
    click(QStringLiteral("completion-build-intent-optin"));
    EXPECT_EQ(nav().path().back(), Screen::audit(AuditContext{AuditEntry::buildIntent,
                                                              CompletionSurface::Excluded{}, std::nullopt}));
    EXPECT_NE(qobject_cast<StagedAuditFlow*>(root->frontPage())->report(), nullptr);
    nav().back();
    clickText(QStringLiteral("Done — back to home"));
    EXPECT_TRUE(nav().path().empty());
}

TEST_F(JavaScreensTest, ReportDoneFollowsTheRouteAfterTheAudit) {
    struct Case {
        const char* name;
        std::optional<QuillAuditContext> quill;
        std::optional<Screen> next;
    };
    const auto then = [](std::optional<OfferRoute> route) {
        return QuillAuditContext{"build_software", std::nullopt, std::move(route)};
    };
    const std::vector<Case> cases = {
        {"no context", std::nullopt, std::nullopt},
        {"no route", then(std::nullopt), std::nullopt},
        {"content", then(OfferRoute::Content{"c1"}), Screen::contentOffer("c1")},
        {"guided help", then(OfferRoute::GuidedHelpWTP{}), Screen::guidedHelpOffer()},
        {"AI coding", then(OfferRoute::AICodingInterest{}), Screen::aiCodingOffer()},
        {"audit", then(OfferRoute::audit()), std::nullopt},
        {"audit then guided help", then(OfferRoute::audit(OfferRoute::GuidedHelpWTP{})), std::nullopt},
    };
    configure(kD4);
    for (const auto& c : cases) {
        const ScopedTelemetryCapture capture;
        open(developerProfile(true));
        const Screen audit = Screen::audit(
            AuditContext{AuditEntry::nextStepBuildSoftware, CompletionSurface::Excluded{}, c.quill});
        nav().push(audit);
        clickText(QStringLiteral("Done — back to home"));
        EXPECT_EQ(capture.events("nps_dismissed").size(), 1u) << c.name;
        if (!c.next) {
            EXPECT_TRUE(nav().path().empty()) << c.name;
            continue;
        }
        EXPECT_EQ(nav().path(), (std::vector<Screen>{audit, *c.next})) << c.name;
        nav().back();
        EXPECT_EQ(capture.events("audit_reached").size(), 1u) << c.name;
        EXPECT_EQ(capture.events("nps_shown").size(), 1u) << c.name;
    }
}

TEST_F(JavaScreensTest, PagesWorkFromAFreshProfileAndStayQuietWhenLeftFirst) {
    configure(kD4);
    // The window holds a profile, so only the pages ask the profiler, and they do not take the held one.
    open(developerProfile(false), false);
    const auto settle = [] {
        ASSERT_TRUE(QTest::qWaitFor([] { return TaskTracker::runningCount() == 0; }, 5000));
        test::flushDeletes();
        QCoreApplication::sendPostedEvents();
    };
    const std::vector<std::pair<Screen, QString>> pages = {
        {Screen::diagnose(), QStringLiteral("Checking Java on your Mac…")},
        {Screen::audit(heuristicAudit()), QStringLiteral("Checking your Mac…")},
    };
    for (const auto& [screen, checking] : pages) {
        const int before = held->calls;
        nav().push(screen);
        ASSERT_TRUE(QTest::qWaitFor([&] { return held->calls == before + 1; }, 5000));
        EXPECT_NE(byText(root.get(), checking), nullptr);
        nav().back();
    }
    held->release();
    settle();
    EXPECT_EQ(names(screenEvents(telemetry)), std::vector<std::string>{});
    EXPECT_TRUE(nav().path().empty());

    // Covered while the profile arrives: the card is announced only when Back uncovers the page.
    held = std::make_shared<HeldProfiler>();
    held->profile = developerProfile(true);
    root.reset();
    open(developerProfile(false), false);
    nav().push(Screen::diagnose());
    ASSERT_TRUE(QTest::qWaitFor([&] { return held->calls == 1; }, 5000));
    nav().push(Screen::guidedHelpOffer());
    held->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("diagnosis_reached") == 1; }, 5000));
    EXPECT_EQ(telemetry.events("diagnosis_reached").front(),
              TelemetryEvents::javaDiagnosisReached(kD4, held->profile));
    EXPECT_EQ(count("nps_shown"), 0u);
    nav().back();
    EXPECT_EQ(count("nps_shown"), 1u);
    click(QStringLiteral("continue-to-audit"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("audit_reached") == 1; }, 5000));
    EXPECT_EQ(telemetry.events("audit_reached").front(),
              TelemetryEvents::auditReached(held->profile, "heuristic"));
}

TEST_F(JavaScreensTest, JavaProductDiagnosesThisMacLiveAndReachesTheAudit) {
    const quill::test::TemporaryHome home;
    config.reset();
    config = std::make_unique<ScopedProductConfig>(ProductConfig::javaDiagnostic());
    services.processRunner = std::make_shared<LiveProcessRunner>();
    services.fs = std::make_shared<LiveFileSystem>();
    RootViewOptions options;
    options.services = services;
    options.urls = urls;
    options.clipboard = clipboard;
    root = std::make_unique<QuillRootView>(std::move(options));
    showWindow(root.get());
    click(QStringLiteral("consent-continue"));
    click(QStringLiteral("welcome-diagnose-button"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("diagnosis_reached") == 1; }, 60000));
    EXPECT_NE(byText(root.get(), QStringLiteral("Java is not installed")), nullptr);
    const auto reached = telemetry.events("diagnosis_reached").front().data;
    EXPECT_EQ(reached.at("diagnosis"), JSONValue("D1_NoJDK"));
    EXPECT_EQ(reached.at("discovered_jdks"), JSONValue(JSONArray{}));
    EXPECT_EQ(reached.at("java_major_version"), JSONValue(0));
    grab(QStringLiteral("live-diagnosis"));
    click(QStringLiteral("continue-to-audit"));
    ASSERT_FALSE(nav().path().empty());
    EXPECT_TRUE(std::holds_alternative<Screen::Audit>(nav().path().back().value));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto* page = qobject_cast<StagedAuditFlow*>(root->frontPage());
            return page != nullptr && (page->simplifiedView() != nullptr || page->report() != nullptr);
        },
        60000));
    grab(QStringLiteral("live-audit"));
}

}  // namespace
}  // namespace quill::ui
