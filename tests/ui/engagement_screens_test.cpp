#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "tests/ui/ui_test_support.h"
#include "ui/app/navigation_host.h"
#include "ui/app/next_step_view.h"
#include "ui/app/offer_view.h"
#include "ui/app/placeholder_page.h"
#include "ui/app/quill_root_view.h"
#include "ui/common/choice_row.h"
#include "ui/common/settings.h"

namespace quill::ui {
namespace {

using test::byText;
using test::shownLabelTexts;
using test::visibleById;
using test::visibleWithId;

/// The test configuration with a next-step question and an offer catalogue, which no shipped product has.
ProductConfig engagementConfig() {
    ProductConfig config = test::testConfig();
    config.nextStepPrompt = NextStepPrompt{
        "What would you like to do next?",
        "Pick the one that fits best.",
        "post_audit",
        {{"course", "Take a short course", Outcome::ready, OfferRoute::Content{"course_offer"}},
         {"stuck", "I'm still stuck", Outcome::still_blocked, OfferRoute::GuidedHelpWTP{}},
         {"stuck", "Also stuck", Outcome::unsure, OfferRoute::AICodingInterest{}},
         {"build_software", "Build software", Outcome::unsure,
          OfferRoute::audit(OfferRoute::GuidedHelpWTP{})}}};
    const auto offer = [](const std::string& id, std::string surface,
                          std::optional<std::string> destination) {
        return OfferSpec{
            id,           std::move(surface), "Title of " + id,       "Body of " + id, "Act on " + id,
            std::nullopt, std::nullopt,       std::move(destination), "eligible_" + id};
    };
    config.offerCatalog = {
        {"course_offer", offer("course_offer", "content_surface", "https://quillstart.example/course")},
        {"guided_help_plan", offer("guided_help_plan", "help_surface", std::nullopt)},
        {"ai_coding_setup", offer("ai_coding_setup", "ai_surface", "https://quillstart.example/ai")},
    };
    return config;
}

/// Records each opened link with the number of events sent before it.
class OrderedOpener final : public UrlOpener {
  public:
    explicit OrderedOpener(const ScopedTelemetryCapture& capture) : m_capture(capture) {}
    void open(const QUrl& url) override { opened.emplace_back(url, m_capture.events().size()); }
    std::vector<std::pair<QUrl, std::size_t>> opened;

  private:
    const ScopedTelemetryCapture& m_capture;
};

TEST(NextStepRouteTest, EachOfferLeadsToItsScreenAndTheAuditCarriesTheAnswer) {
    const auto nested = OfferRoute::audit(OfferRoute::audit(OfferRoute::Content{"deep"}));
    const auto audit = [](AuditEntry entry, const char* key, std::optional<std::string> goal,
                          std::optional<OfferRoute> then) {
        return Screen::audit(AuditContext{entry, CompletionSurface::Excluded{},
                                          QuillAuditContext{key, std::move(goal), std::move(then)}});
    };
    struct Case {
        const char* key;
        OfferRoute offer;
        std::optional<std::string> goal;
        Screen screen;
    };
    const std::vector<Case> cases = {
        {"course", OfferRoute::Content{"c1"}, std::nullopt, Screen::contentOffer("c1")},
        {"x", OfferRoute::GuidedHelpWTP{}, "learn", Screen::guidedHelpOffer()},
        {"x", OfferRoute::AICodingInterest{}, std::nullopt, Screen::aiCodingOffer()},
        {"course", OfferRoute::audit(), "learn",
         audit(AuditEntry::nextStepCourse, "course", "learn", std::nullopt)},
        {"build_software", OfferRoute::audit(OfferRoute::GuidedHelpWTP{}), std::nullopt,
         audit(AuditEntry::nextStepBuildSoftware, "build_software", std::nullopt,
               OfferRoute::GuidedHelpWTP{})},
        {"Course", OfferRoute::audit(), std::nullopt,
         audit(AuditEntry::nextStepNotSure, "Course", std::nullopt, std::nullopt)},
        {"build-software", OfferRoute::audit(), std::nullopt,
         audit(AuditEntry::nextStepNotSure, "build-software", std::nullopt, std::nullopt)},
        {"other", nested, std::nullopt,
         audit(AuditEntry::nextStepNotSure, "other", std::nullopt,
               OfferRoute::audit(OfferRoute::Content{"deep"}))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(routeFor(c.key, c.offer, c.goal), c.screen) << c.key;
}

class EngagementTest : public test::UiTest {
  protected:
    EngagementTest() {
        config.reset();  // restores the configuration before the test's, then installs this one over it
        config = std::make_unique<ScopedProductConfig>(engagementConfig());
    }

    /// The window with the standard screens, past consent, with `path` pushed.
    void open(std::vector<Screen> path) {
        RootViewOptions options;
        options.services = services;
        options.services.isFixtureMode = true;
        options.services.store->setBool(productKey(".consented"), true);
        options.profile = SystemProfile{};
        options.urls = opener;
        options.clipboard = clipboard;
        root = std::make_unique<QuillRootView>(std::move(options));
        showWindow(root.get());
        for (auto& screen : path)
            root->navigation().push(std::move(screen));
    }
    AppNavigation& nav() { return root->navigation(); }
    void click(const QString& id) { QTest::mouseClick(visibleById(root.get(), id), Qt::LeftButton); }

    std::shared_ptr<OrderedOpener> opener = std::make_shared<OrderedOpener>(telemetry);
    std::unique_ptr<QuillRootView> root;
};

/// The events of the screens under test: the window's own "app_launched" left out.
std::vector<NamedEvent> screenEvents(const ScopedTelemetryCapture& capture) {
    auto events = capture.events();
    std::erase_if(events, [](const NamedEvent& event) { return event.name == "app_launched"; });
    return events;
}

TEST_F(EngagementTest, NextStepKeepsTheChoiceByKeyAndReportsItBeforePushing) {
    open({});
    nav().setSelectedGoal("learn");
    nav().push(Screen::nextStep());
    EXPECT_EQ(shownLabelTexts(root.get()).mid(0, 2),
              (QStringList{QStringLiteral("What would you like to do next?"),
                           QStringLiteral("Pick the one that fits best.")}));
    auto* next = visibleById<QPushButton>(root.get(), QStringLiteral("next-step-continue"));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(test::shownText(next), QStringLiteral("Show next step"));
    EXPECT_FALSE(next->isEnabled());
    EXPECT_FALSE(root->pressForReturn()) << "Return does nothing without a choice";
    test::saveGrab(root.get(), QStringLiteral("next-step"));

    // Two rows share the key "stuck": both are ticked, and the first option is the one used.
    const auto stuck = visibleWithId<ChoiceRow>(root.get(), QStringLiteral("next-step-option-stuck"));
    ASSERT_EQ(stuck.size(), 2);
    QTest::mouseClick(stuck[1], Qt::LeftButton);
    EXPECT_TRUE(stuck[0]->isChecked() && stuck[1]->isChecked());
    EXPECT_FALSE(visibleById<ChoiceRow>(root.get(), QStringLiteral("next-step-option-course"))->isChecked());
    test::saveGrab(root.get(), QStringLiteral("next-step-chosen"));

    // The choice is recorded and reported before the push: the pushed offer reports it as it appears.
    EXPECT_TRUE(root->pressForReturn());
    EXPECT_EQ(nav().path(), (std::vector<Screen>{Screen::nextStep(), Screen::guidedHelpOffer()}));
    const auto events = screenEvents(telemetry);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (NamedEvent{"next_step_selected",
                                     {{"next_step", "stuck"},
                                      {"outcome", "still_blocked"},
                                      {"goal", "learn"},
                                      {"surface", "post_audit"}}}));
    EXPECT_EQ(events[1].name, "offer_shown");
    EXPECT_EQ(events[1].data.at("next_step"), JSONValue("stuck"));
    EXPECT_EQ(events[1].data.at("goal"), JSONValue("learn"));

    // Back shows the choice kept; without a goal the event carries null and the audit none.
    nav().back();
    nav().setSelectedGoal(std::nullopt);
    click(QStringLiteral("next-step-option-build_software"));
    click(QStringLiteral("next-step-continue"));
    EXPECT_EQ(telemetry.events("next_step_selected").back().data.at("goal"), JSONValue());
    EXPECT_EQ(nav().path().back(),
              routeFor("build_software", OfferRoute::audit(OfferRoute::GuidedHelpWTP{}), std::nullopt));
}

TEST_F(EngagementTest, OffersReportShownAndActionAndLeadOn) {
    using Keys = JSONObject;
    struct Case {
        const char* name;
        Screen screen;
        QString primaryId;
        QString dismissId;
        QString dismissLabel;
        std::string offerID;
        std::string surface;
        std::optional<std::string> result;  // of the primary action
        std::optional<QUrl> opened;
        bool staysAfterPrimary;
    };
    const std::vector<Case> cases = {
        {"content", Screen::contentOffer("course_offer"), QStringLiteral("offer-course_offer-primary"),
         QStringLiteral("offer-course_offer-dismiss"), QStringLiteral("Done — back to home"), "course_offer",
         "content_surface", std::nullopt, QUrl(QStringLiteral("https://quillstart.example/course")), false},
        {"guided help", Screen::guidedHelpOffer(), QStringLiteral("offer-guided_help_plan-primary"),
         QStringLiteral("offer-guided_help_plan-dismiss"), QStringLiteral("No thanks"), "guided_help_plan",
         "help_surface", "interest_no_fulfillment", std::nullopt, true},
        {"AI coding", Screen::aiCodingOffer(), QStringLiteral("offer-ai_coding_setup-primary"),
         QStringLiteral("offer-ai_coding_setup-dismiss"), QStringLiteral("No thanks"), "ai_coding_setup",
         "ai_surface", "interest", QUrl(QStringLiteral("https://quillstart.example/ai")), false},
    };
    for (const auto& c : cases) {
        const ScopedTelemetryCapture capture;
        opener = std::make_shared<OrderedOpener>(capture);
        open({});
        nav().setSelectedNextStep("stuck");
        nav().push(c.screen);
        nav().push(Screen::nextStep());  // cover and uncover: still one "offer_shown"
        nav().back();
        EXPECT_EQ(shownLabelTexts(root.get()).mid(0, 2),
                  (QStringList{QString::fromStdString("Title of " + c.offerID),
                               QString::fromStdString("Body of " + c.offerID)}))
            << c.name;
        auto* primary = visibleById<QPushButton>(root.get(), c.primaryId);
        ASSERT_NE(primary, nullptr) << c.name;
        EXPECT_EQ(test::shownText(primary), QString::fromStdString("Act on " + c.offerID)) << c.name;
        EXPECT_EQ(test::shownText(visibleById<QPushButton>(root.get(), c.dismissId)), c.dismissLabel)
            << c.name;
        test::saveGrab(root.get(), QStringLiteral("offer-") + QString::fromStdString(c.offerID));
        const Keys shown{{"offer_id", c.offerID},
                         {"offer_surface", c.surface},
                         {"eligibility_reason", "eligible_" + c.offerID},
                         {"next_step", "stuck"},
                         {"goal", nullptr}};
        EXPECT_EQ(screenEvents(capture), (std::vector<NamedEvent>{{"offer_shown", shown}})) << c.name;

        QTest::mouseClick(primary, Qt::LeftButton);
        const auto action = [&](const char* what, const std::optional<std::string>& result) {
            return NamedEvent{"offer_action",
                              {{"offer_id", c.offerID},
                               {"offer_surface", c.surface},
                               {"action", what},
                               {"result", result ? JSONValue(*result) : JSONValue()},
                               {"next_step", "stuck"}}};
        };
        EXPECT_EQ(capture.events().back(), action("selected", c.result)) << c.name;
        if (c.opened)
            EXPECT_EQ(opener->opened,
                      (std::vector<std::pair<QUrl, std::size_t>>{{*c.opened, capture.events().size()}}))
                << c.name << ": opened after the event";
        else
            EXPECT_TRUE(opener->opened.empty()) << c.name;
        if (c.staysAfterPrimary) {
            EXPECT_EQ(nav().path().size(), 1u) << c.name;
            auto* notice = visibleById(root.get(), QStringLiteral("offer-guided_help_plan-unavailable"));
            ASSERT_NE(notice, nullptr);
            EXPECT_TRUE(shownLabelTexts(notice).contains(
                QStringLiteral("Thanks — this isn't available yet. We're seeing how many people want it. You "
                               "haven't been charged, and we didn't collect any personal details.")));
            test::saveGrab(root.get(), QStringLiteral("offer-guided_help_plan-notice"));
            QTest::mouseClick(byText(root.get(), QStringLiteral("Done — back to home")), Qt::LeftButton);
            EXPECT_EQ(screenEvents(capture).size(), 2u) << "the notice's Done sends nothing";
        }
        EXPECT_TRUE(nav().path().empty()) << c.name;

        // A new visit shows the offer again, and dismissing goes home.
        nav().push(c.screen);
        EXPECT_EQ(capture.events("offer_shown").size(), 2u) << c.name;
        click(c.dismissId);
        EXPECT_EQ(capture.events().back(), action("dismissed", std::nullopt)) << c.name;
        EXPECT_TRUE(nav().path().empty()) << c.name;
        root.reset();
    }
}

TEST_F(EngagementTest, OffersWithoutACatalogueEntryShowFallbacksAndSendNothing) {
    ProductConfig bare = engagementConfig();
    bare.offerCatalog.clear();
    const ScopedProductConfig scoped(bare);
    struct Case {
        Screen screen;
        QStringList labels;
        QStringList buttons;
        QString name;
    };
    const std::vector<Case> cases = {
        {Screen::contentOffer("course_offer"),
         {QStringLiteral("You're all set"), QStringLiteral("Java is set up and verified.")},
         {QStringLiteral("Done — back to home")},
         QStringLiteral("offer-content-fallback")},
        {Screen::guidedHelpOffer(),
         {QStringLiteral("Still stuck?"), QStringLiteral("We can help.")},
         {QStringLiteral("Get my setup plan ($2)"), QStringLiteral("No thanks")},
         QStringLiteral("offer-guided-fallback")},
        {Screen::aiCodingOffer(),
         {QStringLiteral("Build with AI?"), QStringLiteral("We can help you set that up.")},
         {QStringLiteral("No thanks")},
         QStringLiteral("offer-ai-fallback")},
    };
    for (const auto& c : cases) {
        open({c.screen});
        EXPECT_EQ(shownLabelTexts(root.get()).mid(0, 2), c.labels) << c.name.toStdString();
        QStringList buttons;
        for (auto* button : root->findChildren<QPushButton*>()) {
            if (button->isVisible() && !button->isFlat())
                buttons.push_back(test::shownText(button));
        }
        EXPECT_EQ(buttons, c.buttons) << c.name.toStdString();
        test::saveGrab(root.get(), c.name);
        // Every button still acts: the first leads on (the guided help to its notice).
        QTest::mouseClick(byText(root.get(), c.buttons.front()), Qt::LeftButton);
        if (c.screen == Screen::guidedHelpOffer())
            EXPECT_NE(visibleById(root.get(), QStringLiteral("offer-guided_help_plan-unavailable")), nullptr);
        else
            EXPECT_TRUE(nav().path().empty()) << c.name.toStdString();
        root.reset();
    }
    EXPECT_TRUE(screenEvents(telemetry).empty());
}

}  // namespace
}  // namespace quill::ui
