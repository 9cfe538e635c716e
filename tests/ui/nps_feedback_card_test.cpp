#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "tests/ui/ui_test_support.h"
#include "ui/common/build_intent_prompt_view.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/screen_page.h"
#include "ui/common/settings.h"
#include "ui/common/simplified_completion_view.h"

namespace quill::ui {
namespace {

using namespace std::chrono_literals;
using test::byText;
using test::shownLabelTexts;
using test::visibleById;
using test::visibleWithId;
using Phase = NPSFeedbackCard::Phase;

constexpr auto kThanksDelay = 60ms;
const std::string kThumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // a thumb with a skin tone

std::string times(const std::string& unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

std::vector<std::string> names(const std::vector<NamedEvent>& events) {
    std::vector<std::string> result;
    result.reserve(events.size());
    for (const auto& event : events)
        result.push_back(event.name);
    return result;
}

/// A store that counts reads of one key.
class CountingStore final : public KeyValueStoring {
  public:
    explicit CountingStore(std::shared_ptr<const KeyValueStoring> inner) : m_inner(std::move(inner)) {}
    std::optional<std::string> string(const std::string& key) const override { return m_inner->string(key); }
    void setString(const std::string& key, const std::optional<std::string>& value) const override {
        m_inner->setString(key, value);
    }
    std::optional<bool> boolean(const std::string& key) const override {
        ++reads;
        return m_inner->boolean(key);
    }
    void setBool(const std::string& key, bool value) const override { m_inner->setBool(key, value); }

    mutable int reads = 0;

  private:
    std::shared_ptr<const KeyValueStoring> m_inner;
};

class NPSFeedbackCardTest : public test::UiTest {
  protected:
    NPSFeedbackCardTest() { context.timings.npsThanksDelay = kThanksDelay; }

    /// A fresh card at the top of a 720×720 window, as a host lays it out.
    void build() {
        calls.clear();
        page = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(page.get());
        layout->setContentsMargins(32, 32, 32, 32);
        card = new NPSFeedbackCard(
            context, [this] { calls.push_back("submitted"); }, [this] { calls.push_back("dismissed"); },
            page.get());
        card->setOnAnswered([this] { calls.push_back("answered"); });
        layout->addWidget(card);
        layout->addStretch(1);
        showWindow(page.get());
    }
    void score(int n) { QTest::mouseClick(card->scoreButton(n), Qt::LeftButton); }
    void click(const char* id) {
        QTest::mouseClick(visibleById(card.get(), QLatin1String(id)), Qt::LeftButton);
    }
    bool flag() { return readFlag(*services.store, productKey(".nps_submitted")); }
    void waitForThanks() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return card->phase() == Phase::thanks(); }, 5000));
    }

    std::unique_ptr<QWidget> page;
    QPointer<NPSFeedbackCard> card;
    std::vector<std::string> calls;
};

TEST_F(NPSFeedbackCardTest, ShowsEachPhaseWordForWord) {
    build();
    const QStringList always = {
        QStringLiteral("How are we doing?"),
        QStringLiteral("How likely are you to recommend Quillstart for Coding to a friend "
                       "or colleague?"),
        QStringLiteral("Not at all likely"), QStringLiteral("Extremely likely")};
    const auto expectShown = [&](const QStringList& extra, const char* phase) {
        EXPECT_EQ(test::visibleLabelTexts(card.get()), always + extra) << phase;
        EXPECT_EQ(test::shownText(visibleById<QPushButton>(card.get(), QStringLiteral("nps-dismiss"))),
                  QStringLiteral("Dismiss"))
            << phase;
        for (int n = 0; n <= 10; ++n)
            EXPECT_TRUE(card->scoreButton(n)->isVisible() &&
                        card->scoreButton(n)->text() == QString::number(n));
    };
    EXPECT_EQ(card->objectName(), QStringLiteral("nps-card"));
    expectShown({}, "not yet");
    test::saveGrab(page.get(), QStringLiteral("nps-card-not-yet"));

    score(8);
    expectShown({QStringLiteral("What's the main reason for your score? (optional)")}, "scored");
    EXPECT_EQ(test::shownText(visibleById<QPushButton>(card.get(), QStringLiteral("nps-submit"))),
              QStringLiteral("Submit feedback"));
    auto* editor = card->findChild<QPlainTextEdit*>();
    QTest::keyClicks(editor, QStringLiteral("Fast"));
    QTest::keyClick(editor, Qt::Key_Return);  // a new line, not a submit
    QTest::keyClicks(editor, QStringLiteral("and clear"));
    EXPECT_EQ(card->reasonText(), QStringLiteral("Fast\nand clear"));
    EXPECT_EQ(card->phase(), Phase::scored(8));
    test::saveGrab(page.get(), QStringLiteral("nps-card-scored"));

    click("nps-submit");
    expectShown({}, "submitting");
    test::saveGrab(page.get(), QStringLiteral("nps-card-submitting"));
    waitForThanks();
    expectShown({QStringLiteral("Thanks for the feedback.")}, "thanks");
    test::saveGrab(page.get(), QStringLiteral("nps-card-thanks"));
    EXPECT_EQ(telemetry.events(),
              (std::vector<NamedEvent>{{"nps_submitted", {{"score", 8}, {"reason", "Fast\nand clear"}}}}));
}

TEST_F(NPSFeedbackCardTest, PhasesFollowScoresSubmitAndDismiss) {
    struct Case {
        const char* name;
        std::function<void()> act;
        Phase phase;
        std::vector<std::string> events;
        std::vector<std::string> calls;  // before the thank-you
        bool visible;
    };
    const std::vector<Case> cases = {
        {"a score", [&] { score(7); }, Phase::scored(7), {}, {}, true},
        {"another score moves it",
         [&] {
             score(7);
             score(0);
         },
         Phase::scored(0),
         {},
         {},
         true},
        {"the same score stays",
         [&] {
             score(10);
             score(10);
         },
         Phase::scored(10),
         {},
         {},
         true},
        {"submit without a score", [&] { card->submit(); }, Phase::notYet(), {}, {}, true},
        {"submit",
         [&] {
             score(9);
             click("nps-submit");
         },
         Phase::submitting(),
         {"nps_submitted"},
         {"answered"},
         true},
        {"scores while submitting",
         [&] {
             score(9);
             click("nps-submit");
             score(2);
         },
         Phase::submitting(),
         {"nps_submitted"},
         {"answered"},
         true},
        {"dismiss before scoring",
         [&] { click("nps-dismiss"); },
         Phase::notYet(),
         {"nps_dismissed"},
         {"dismissed"},
         false},
        {"dismiss while submitting",
         [&] {
             score(4);
             click("nps-submit");
             click("nps-dismiss");
         },
         Phase::submitting(),
         {"nps_submitted", "nps_dismissed"},
         {"answered", "dismissed"},
         false},
    };
    for (const auto& c : cases) {
        const ScopedTelemetryCapture capture;
        services.store->setBool(productKey(".nps_submitted"), false);
        build();
        c.act();
        EXPECT_EQ(card->phase(), c.phase) << c.name;
        EXPECT_EQ(names(capture.events()), c.events) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(card->isVisible(), c.visible) << c.name;
        EXPECT_EQ(card->didDismiss(), !c.visible) << c.name;
        const bool submitted = !c.events.empty() && c.events.front() == "nps_submitted";
        EXPECT_EQ(flag(), submitted) << c.name << ": the flag is written at the press";
        for (int n = 0; n <= 10; ++n) {
            const bool selected = c.phase == Phase::scored(n);
            EXPECT_EQ(card->scoreButton(n)->isChecked(), selected) << c.name << " " << n;
        }
        if (submitted) {
            waitForThanks();
            auto after = c.calls;
            after.push_back("submitted");
            EXPECT_EQ(calls, after) << c.name << ": the thank-you follows a dismissal too";
            EXPECT_EQ(card->isVisible(), c.visible)
                << c.name << ": the thank-you does not show a dismissed card";
        }
    }
}

TEST_F(NPSFeedbackCardTest, ReasonsAreTrimmedAndCutToWholeCharacters) {
    struct Case {
        const char* name;
        std::string typed;
        JSONValue sent;
    };
    const std::vector<Case> cases = {
        {"600 characters", std::string(600, 'r'), std::string(500, 'r')},
        {"exactly 500", std::string(500, 'r'), std::string(500, 'r')},
        {"blank", " \n\t \n", nullptr},
        {"emoji with modifiers", times(kThumb, 501), times(kThumb, 500)},
    };
    for (const auto& c : cases) {
        const ScopedTelemetryCapture capture;
        build();
        score(5);
        card->findChild<QPlainTextEdit*>()->setPlainText(QString::fromStdString(c.typed));
        click("nps-submit");
        ASSERT_EQ(capture.events().size(), 1u) << c.name;
        EXPECT_EQ(capture.events()[0].data, (JSONObject{{"score", 5}, {"reason", c.sent}})) << c.name;
    }
}

TEST_F(NPSFeedbackCardTest, TheThankYouTimerEndsWithTheCard) {
    build();
    score(3);
    click("nps-submit");
    delete card.data();
    // A later timer fires after the card's would have.
    bool past = false;
    QTimer::singleShot(kThanksDelay * 2, [&past] { past = true; });
    ASSERT_TRUE(QTest::qWaitFor([&past] { return past; }, 5000));
    EXPECT_EQ(calls, std::vector<std::string>{"answered"});
}

TEST_F(NPSFeedbackCardTest, TheBuildIntentPromptCallsBackOncePerPress) {
    int presses = 0;
    BuildIntentPromptView prompt([&] { ++presses; });
    showWindow(&prompt);
    EXPECT_EQ(
        test::visibleLabelTexts(&prompt),
        (QStringList{QStringLiteral("Want to build software on this Mac?"),
                     QStringLiteral("Whether starting out or setting up a new Mac, we'll check if you have "
                                    "everything you need.")}));
    EXPECT_EQ(prompt.objectName(), QStringLiteral("completion-build-intent-prompt"));
    auto* optIn = visibleById<QPushButton>(&prompt, QStringLiteral("completion-build-intent-optin"));
    ASSERT_NE(optIn, nullptr);
    EXPECT_EQ(test::shownText(optIn), QStringLiteral("See recommendations →"));
    QTest::mouseClick(optIn, Qt::LeftButton);
    QTest::mouseClick(optIn, Qt::LeftButton);
    EXPECT_EQ(presses, 2);
    EXPECT_TRUE(telemetry.events().empty());
    test::saveGrab(&prompt, QStringLiteral("build-intent-prompt"));
}

/// The completion screen, built directly with a log of its exits, each noting how many events had gone out.
class SimplifiedCompletionTest : public NPSFeedbackCardTest {
  protected:
    void open(CompletionSurface surface = CompletionSurface::Prompt{BuildIntentSurface::noErrorsFound}) {
        exits.clear();
        view = std::make_unique<SimplifiedCompletionView>(
            context, surface,
            [this] {
                exits.push_back({"recommendations", active->events().size()});
            },
            [this] {
                exits.push_back({"done", active->events().size()});
            });
        showWindow(view.get());
        view->appeared();
    }
    void press(const char* id) {
        QTest::mouseClick(visibleById(view.get(), QLatin1String(id)), Qt::LeftButton);
    }
    void done() { QTest::mouseClick(view->doneButton(), Qt::LeftButton); }
    std::vector<std::string> sent() const { return names(telemetry.events()); }

    std::unique_ptr<SimplifiedCompletionView> view;
    std::vector<std::pair<std::string, std::size_t>> exits;
    const ScopedTelemetryCapture* active = &telemetry;  // the capture the exits count
};

TEST_F(SimplifiedCompletionTest, ShowsTheResultTheCardThePromptAndDone) {
    open();
    const QStringList labels = shownLabelTexts(view.get());
    EXPECT_EQ(labels.mid(0, 2),
              (QStringList{QStringLiteral("Java is working"), QStringLiteral("You're all set.")}));
    EXPECT_TRUE(labels.contains(QStringLiteral("Want to build software on this Mac?")));
    EXPECT_EQ(visibleWithId(view.get(), QStringLiteral("nps-card")).size(), 1);
    EXPECT_EQ(test::shownText(view->doneButton()), QStringLiteral("Done — back to home"));
    EXPECT_TRUE(view->doneButton()->objectName().isEmpty());
    // In order: the card, the prompt, then Done.
    const auto top = [&](QWidget* w) { return w->mapTo(view.get(), QPoint()).y(); };
    auto* shownCard = visibleById(view.get(), QStringLiteral("nps-card"));
    auto* prompt = visibleById(view.get(), QStringLiteral("completion-build-intent-prompt"));
    EXPECT_LT(top(shownCard) + shownCard->height(), top(prompt));
    EXPECT_LT(top(prompt) + prompt->height(), top(view->doneButton()));
    test::saveGrab(view.get(), QStringLiteral("completion-card-and-prompt"));

    services.store->setBool(productKey(".nps_submitted"), true);
    open(CompletionSurface::Excluded{});
    EXPECT_TRUE(visibleWithId(view.get(), QStringLiteral("nps-card")).isEmpty());
    EXPECT_TRUE(visibleWithId(view.get(), QStringLiteral("completion-build-intent-prompt")).isEmpty());
    test::saveGrab(view.get(), QStringLiteral("completion-plain"));
}

TEST_F(SimplifiedCompletionTest, EventsOfOneVisit) {
    using Events = std::vector<std::string>;
    const Events shown = {"nps_shown", "build_intent_prompt_shown"};
    struct Case {
        const char* name;
        std::function<void()> act;
        Events events;
        std::vector<std::pair<std::string, std::size_t>> exits;
    };
    const std::vector<Case> cases = {
        {"Done unanswered",
         [&] { done(); },
         {"nps_shown", "build_intent_prompt_shown", "nps_dismissed"},
         {{"done", 3}}},
        {"submit, then Done at once",
         [&] {
             QTest::mouseClick(view->findChild<NPSFeedbackCard*>()->scoreButton(6), Qt::LeftButton);
             press("nps-submit");
             done();
         },
         {"nps_shown", "build_intent_prompt_shown", "nps_submitted"},
         {{"done", 3}}},
        {"Dismiss, then Done",
         [&] {
             press("nps-dismiss");
             done();
         },
         {"nps_shown", "build_intent_prompt_shown", "nps_dismissed", "nps_dismissed"},
         {{"done", 4}}},
        {"opting in with the card unanswered",
         [&] { press("completion-build-intent-optin"); },
         {"nps_shown", "build_intent_prompt_shown", "build_intent_opted_in"},
         {{"recommendations", 3}}},
        {"appearing again in the visit",
         [&] {
             view->appeared();
             view->appeared();
         },
         shown,
         {}},
    };
    for (const auto& c : cases) {
        const ScopedTelemetryCapture capture;
        active = &capture;
        services.store->setBool(productKey(".nps_submitted"), false);
        open();
        c.act();
        EXPECT_EQ(names(capture.events()), c.events) << c.name;
        EXPECT_EQ(exits, c.exits) << c.name;
    }
    const ScopedTelemetryCapture capture;
    active = &capture;
    open();
    ASSERT_EQ(capture.events().size(), 2u);
    EXPECT_EQ(capture.events()[1],
              (NamedEvent{"build_intent_prompt_shown", {{"surface", "no_errors_found"}}}));
    press("completion-build-intent-optin");
    EXPECT_EQ(capture.events()[2], (NamedEvent{"build_intent_opted_in", {{"surface", "no_errors_found"}}}));
}

TEST_F(SimplifiedCompletionTest, TheCardFollowsTheFlagThePromptAndTheRunWideGate) {
    auto counting = std::make_shared<CountingStore>(services.store);
    context.services.store = counting;
    struct Case {
        const char* name;
        bool flagSet;
        bool nextStepPrompt;
        bool gateUsed;
        bool card;
        std::vector<std::string> events;  // after Done
    };
    const std::vector<Case> cases = {
        {"a first answer", false, false, false, true, {"nps_shown", "nps_dismissed"}},
        {"the flag set", true, false, false, false, {}},
        {"a next-step prompt", false, true, false, false, {}},
        {"the gate used by another host", false, false, true, true, {"nps_dismissed"}},
    };
    for (const auto& c : cases) {
        const ScopedTelemetryCapture capture;
        services.store->setBool(productKey(".nps_submitted"), c.flagSet);
        ProductConfig configured = test::testConfig();
        if (c.nextStepPrompt)
            configured.nextStepPrompt = NextStepPrompt{"Next?", "", "s", {}};
        const ScopedProductConfig scoped(configured);
        if (c.gateUsed)
            TelemetryEvents::sendNPSShownOnce();
        counting->reads = 0;
        open(CompletionSurface::Excluded{});
        EXPECT_EQ(counting->reads, c.nextStepPrompt ? 0 : 1)
            << c.name << ": the flag is read only without a prompt";
        EXPECT_EQ(view->showNPS(), c.card) << c.name;
        EXPECT_EQ(visibleWithId(view.get(), QStringLiteral("nps-card")).size(), c.card ? 1 : 0) << c.name;
        EXPECT_EQ(view->didEmitNPSShown(), c.card) << c.name;
        done();
        auto events = names(capture.events());
        if (c.gateUsed)
            events.erase(events.begin());  // the other host's "nps_shown"
        EXPECT_EQ(events, c.events) << c.name;
    }
}

TEST_F(SimplifiedCompletionTest, NPSShownGoesOutOncePerRunAcrossHostsAndTheCardLeavesAtTheThankYou) {
    open();
    open();  // a second host in the same run
    EXPECT_EQ(telemetry.events("nps_shown").size(), 1u);
    EXPECT_TRUE(view->didEmitNPSShown());

    QTest::mouseClick(view->findChild<NPSFeedbackCard*>()->scoreButton(10), Qt::LeftButton);
    press("nps-submit");
    EXPECT_TRUE(view->didSubmitNPSThisVisit()) << "the answer counts at the press";
    EXPECT_EQ(visibleWithId(view.get(), QStringLiteral("nps-card")).size(), 1) << "visible while submitting";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return visibleWithId(view.get(), QStringLiteral("nps-card")).isEmpty(); }, 5000));
    EXPECT_FALSE(view->showNPS());
    test::saveGrab(view.get(), QStringLiteral("completion-after-thanks"));
    done();
    EXPECT_TRUE(telemetry.events("nps_dismissed").empty());
}

}  // namespace
}  // namespace quill::ui
