#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "tests/ui/ui_test_support.h"
#include "ui/app/application.h"
#include "ui/app/placeholder_page.h"
#include "ui/common/settings.h"

namespace quill::ui {
namespace {

using test::visibleById;

AuditContext auditContext(std::optional<OfferRoute> then) {
    return {AuditEntry::nextStepCourse, CompletionSurface::Prompt{BuildIntentSurface::postFix},
            QuillAuditContext{"course", std::string("learn"), std::move(then)}};
}

TEST(ScreenTest, ValuesAreEqualOnlyWithEqualCaseAndPayloadsNestedRoutesIncluded) {
    const auto deep = [](const char* offer) {
        return OfferRoute::audit(OfferRoute::audit(OfferRoute::Content{offer}));
    };
    auto withoutGoal = auditContext(deep("a"));
    withoutGoal.quill->goal.reset();
    auto excluded = auditContext(deep("a"));
    excluded.completionSurface = CompletionSurface::Excluded{};
    auto otherSurface = auditContext(deep("a"));
    otherSurface.completionSurface = CompletionSurface::Prompt{BuildIntentSurface::noErrorsFound};
    auto heuristic = auditContext(deep("a"));
    heuristic.entry = AuditEntry::heuristic;
    auto noQuill = auditContext(deep("a"));
    noQuill.quill.reset();

    struct Case {
        const char* name;
        Screen a;
        Screen b;
        bool equal;
    };
    const std::vector<Case> cases = {
        {"same audit, routes nested twice", Screen::audit(auditContext(deep("a"))),
         Screen::audit(auditContext(deep("a"))), true},
        {"innermost offer differs", Screen::audit(auditContext(deep("a"))),
         Screen::audit(auditContext(deep("b"))), false},
        {"route present or not", Screen::audit(auditContext(deep("a"))),
         Screen::audit(auditContext(std::nullopt)), false},
        {"goal present or not", Screen::audit(auditContext(deep("a"))), Screen::audit(withoutGoal), false},
        {"completion surface case", Screen::audit(auditContext(deep("a"))), Screen::audit(excluded), false},
        {"completion surface payload", Screen::audit(auditContext(deep("a"))), Screen::audit(otherSurface),
         false},
        {"entry", Screen::audit(auditContext(deep("a"))), Screen::audit(heuristic), false},
        {"next-step context present or not", Screen::audit(auditContext(deep("a"))), Screen::audit(noQuill),
         false},
        {"content offers by id", Screen::contentOffer("x"), Screen::contentOffer("x"), true},
        {"content offers with other ids", Screen::contentOffer("x"), Screen::contentOffer("y"), false},
        {"cases without payload", Screen::diagnose(), Screen::setupWorkflow(), false},
        {"the same plain case", Screen::guidedHelpOffer(), Screen::guidedHelpOffer(), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal) << c.name;
        EXPECT_EQ(c.b == c.a, c.equal) << c.name;
    }
}

TEST(AuditEntryTest, RawValuesRoundTripAndNothingElseParses) {
    for (auto entry : {AuditEntry::heuristic, AuditEntry::buildIntent, AuditEntry::nextStepCourse,
                       AuditEntry::nextStepBuildSoftware, AuditEntry::nextStepNotSure})
        EXPECT_EQ(fromRawAuditEntry(toRaw(entry)), entry) << toRaw(entry);
    EXPECT_EQ(toRaw(AuditEntry::nextStepBuildSoftware), "next_step_build_software");
    EXPECT_EQ(fromRawAuditEntry("build_intent"), AuditEntry::buildIntent);
    for (const char* raw : {"Build_intent", "", "build_intent ", "buildIntent"})
        EXPECT_EQ(fromRawAuditEntry(raw), std::nullopt) << raw;
}

/// A page that counts its life events and can go home from its own button.
class RecordingPage : public ScreenPage {
  public:
    RecordingPage(ScreenContext& context, std::string builtWith)
        : ScreenPage(context), argument(std::move(builtWith)) {
        auto* layout = new QVBoxLayout(this);
        auto* home = new QPushButton(QStringLiteral("Home"), this);
        home->setObjectName(QStringLiteral("recording-home"));
        connect(home, &QPushButton::clicked, this, [this] { this->context().navigation.goHome(); });
        layout->addWidget(home);
    }
    void appeared() override { ++appearances; }
    void leaving() override {
        ++leavings;
        ScreenPage::leaving();
    }

    std::string argument;
    int appearances = 0;
    int leavings = 0;
};

class NavigationTest : public test::UiTest {
  protected:
    NavigationTest() {
        writeFlag(*services.store, productKey(".consented"), true);
        services.isFixtureMode = true;
    }

    void open() {
        DestinationRegistry registry;
        auto record = [this](ScreenContext& c, std::string argument) {
            auto* page = new RecordingPage(c, std::move(argument));
            built.push_back(page);
            return page;
        };
        registry.diagnose = [record](ScreenContext& c) { return record(c, "diagnose"); };
        registry.audit = [this, record](ScreenContext& c, const AuditContext& given) {
            audits.push_back(given);
            return record(c, "audit");
        };
        registry.nextStep = [record](ScreenContext& c, const NextStepPrompt& prompt) {
            return record(c, "next step: " + prompt.question);
        };
        registry.contentOffer = [record](ScreenContext& c, const std::string& id) {
            return record(c, "content " + id);
        };
        registry.guidedHelpOffer = [record](ScreenContext& c, const std::string& id) {
            return record(c, "guided " + id);
        };
        registry.aiCodingOffer = [record](ScreenContext& c, const std::string& id) {
            return record(c, "ai " + id);
        };
        RootViewOptions options;
        options.services = services;
        options.urls = urls;
        options.clipboard = clipboard;
        options.destinations = std::move(registry);
        window = openMainWindow(std::move(options));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        root = qobject_cast<QuillRootView*>(window->centralWidget());
    }

    AppNavigation& nav() { return root->navigation(); }
    std::vector<std::string> arguments() const {
        std::vector<std::string> all;
        for (const auto& page : built)
            all.push_back(page ? page->argument : "(deleted)");
        return all;
    }

    std::unique_ptr<MainWindow> window;
    QuillRootView* root = nullptr;
    std::vector<QPointer<RecordingPage>> built;
    std::vector<AuditContext> audits;
};

TEST_F(NavigationTest, RegisteredScreensGetExactlyWhatTheyAreBuiltWith) {
    auto product = test::testConfig();
    product.nextStepPrompt = NextStepPrompt{"What next?", "Pick one.", "next", {}};
    ScopedProductConfig scoped(product);
    open();
    const auto audit = auditContext(OfferRoute::Content{"course"});
    nav().setPath({Screen::diagnose(), Screen::audit(audit), Screen::nextStep(),
                   Screen::contentOffer("intro"), Screen::guidedHelpOffer(), Screen::aiCodingOffer()});
    EXPECT_EQ(arguments(),
              (std::vector<std::string>{"diagnose", "audit", "next step: What next?", "content intro",
                                        "guided guided_help_plan", "ai ai_coding_setup"}));
    EXPECT_EQ(audits, std::vector<AuditContext>{audit});
}

TEST_F(NavigationTest, PagesLiveExactlyAsLongAsTheirPathElements) {
    open();
    nav().push(Screen::contentOffer("a"));
    nav().push(Screen::contentOffer("b"));
    ASSERT_EQ(built.size(), 2u);
    EXPECT_EQ(built[0]->appearances, 1);
    EXPECT_EQ(built[1]->appearances, 1);
    EXPECT_EQ(root->frontPage(), built[1]);

    // The equal prefix keeps its page; the rest is popped and deleted.
    nav().setPath({Screen::contentOffer("a"), Screen::contentOffer("c")});
    EXPECT_EQ(built[1]->leavings, 1);
    test::flushDeletes();
    EXPECT_EQ(arguments(), (std::vector<std::string>{"content a", "(deleted)", "content c"}));
    EXPECT_EQ(built[0]->leavings, 0);

    // Back uncovers the page below, which appears again.
    root->backAction()->trigger();
    EXPECT_EQ(built[0]->appearances, 2);
    EXPECT_EQ(root->frontPage(), built[0]);
    test::flushDeletes();
    EXPECT_EQ(built[2], nullptr);

    // An equal value pushed later builds a fresh page.
    nav().push(Screen::contentOffer("c"));
    ASSERT_EQ(built.size(), 4u);
    EXPECT_NE(built[3], nullptr);

    // Home from the top page's own button, with the remembered answers kept.
    nav().setSelectedGoal("learn");
    nav().setSelectedNextStep("course");
    QTest::mouseClick(visibleById(window.get(), QStringLiteral("recording-home")), Qt::LeftButton);
    EXPECT_TRUE(nav().path().empty());
    test::flushDeletes();
    EXPECT_EQ(arguments(), (std::vector<std::string>{"(deleted)", "(deleted)", "(deleted)", "(deleted)"}));
    EXPECT_EQ(nav().selectedGoal(), "learn");
    EXPECT_EQ(nav().selectedNextStep(), "course");
    EXPECT_NE(visibleById(window.get(), QStringLiteral("welcome-diagnose-button")), nullptr);
}

TEST_F(NavigationTest, ScreensWithoutAPageShowTheirPlaceholderAndBackLeavesThem) {
    open();  // the test configuration has no next-step prompt, and no setup workflow is registered
    nav().push(Screen::nextStep());
    EXPECT_NE(qobject_cast<EmptyPage*>(root->frontPage()), nullptr);
    EXPECT_TRUE(test::visibleLabelTexts(root->frontPage()).isEmpty());
    EXPECT_TRUE(root->backAction()->isEnabled());
    root->backAction()->trigger();

    nav().push(Screen::setupWorkflow());
    EXPECT_EQ(test::visibleLabelTexts(root->frontPage()),
              QStringList{QStringLiteral("This screen is not available yet.")});
    root->backAction()->trigger();
    EXPECT_TRUE(nav().path().empty());
    EXPECT_TRUE(built.empty());
}

}  // namespace
}  // namespace quill::ui
