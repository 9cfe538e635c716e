#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "engine/core/paths.h"
#include "engine/core/text.h"
#include "tests/ui/ui_test_support.h"
#include "ui/app/goal_prompt_model.h"
#include "ui/app/goal_prompt_view.h"

namespace quill::ui {
namespace {

using test::visibleById;

// Built from parts so that no escape runs into the next character.
const std::string kFamily = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
const std::string kThumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";
const std::string kZeroWidthSpace = "\xE2\x80\x8B";  // Cf
const std::string kLineSeparator = "\xE2\x80\xA8";   // Zl: white space, trimmed only at the ends

TEST(GoalDetailTest, CleaningRemovesControlsMasksTrimsAndCuts) {
    const std::string login = homeDirectoryPath().filename().string();
    struct Case {
        const char* name;
        std::string detail;
        int limit;
        JSONValue sent;
    };
    const std::vector<Case> cases = {
        {"empty", "", 10, nullptr},
        {"spaces only", "    ", 10, nullptr},
        {"line breaks and tabs only", "\n\t\r\n", 10, nullptr},
        {"format characters only", kZeroWidthSpace + kZeroWidthSpace, 10, nullptr},
        {"a line break joins its two parts", "to do\nlist", 20, "to dolist"},
        {"tabs vanish without a trace", "a\tb", 20, "ab"},
        {"format characters inside", "co" + kZeroWidthSpace + "de", 20, "code"},
        {"trimmed at both ends", "  an app " + kLineSeparator, 20, "an app"},
        {"exactly at the limit", "abcde", 5, "abcde"},
        {"one past the limit", "abcdef", 5, "abcde"},
        {"modified emoji count once", kThumb + kThumb + "ab", 3, kThumb + kThumb + "a"},
        // Removing the joiners splits the family into three people, which the cut then counts.
        {"joined emoji split by the cleaning", kFamily + "!", 2,
         std::string("\xF0\x9F\x91\xA8\xF0\x9F\x91\xA9")},
        {"the home folder is masked", "/Users/" + login + "/apps", 40, "/Users/~/apps"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GoalPromptModel::cleanDetail(c.detail, c.limit), c.sent) << c.name;
}

class GoalPromptTest : public test::UiTest {
  protected:
    GoalPromptTest() {
        view = std::make_unique<GoalPromptView>(context, prompt,
                                                [this](const std::string& key) { continued.push_back(key); });
        showWindow(view.get());
    }

    void choose(const char* key) {
        QTest::mouseClick(visibleById(view.get(), QStringLiteral("goal-option-") + QLatin1String(key)),
                          Qt::LeftButton);
    }
    QLineEdit* field() { return visibleById<QLineEdit>(view.get(), QStringLiteral("goal-detail-field")); }

    GoalPrompt prompt{"What brings you here?",
                      "Pick one.",
                      "welcome_goal",
                      5,
                      {{"learn", "Learn to code", std::nullopt},
                       {"build", "Build an app", "What app?"},
                       {"fix", "Fix my setup", "What is broken?"}}};
    std::unique_ptr<GoalPromptView> view;
    std::vector<std::string> continued;
};

TEST_F(GoalPromptTest, SendsTheGoalWithItsDetailAndSurfaceBeforeContinuing) {
    auto* button = visibleById<QPushButton>(view.get(), QStringLiteral("goal-continue"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(test::shownText(button), QStringLiteral("Check my setup"));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(test::visibleWithId(view.get(), QStringLiteral("goal-detail-field")).isEmpty());
    EXPECT_NE(test::byText(view.get(),
                           QStringLiteral("Nothing changes on your Mac until you review and approve it.")),
              nullptr);

    choose("build");
    ASSERT_NE(field(), nullptr);
    EXPECT_EQ(field()->placeholderText(), QStringLiteral("What app?"));
    EXPECT_EQ(field()->accessibleName(), QStringLiteral("What app?"));
    QTest::keyClicks(field(), QStringLiteral(" A"));
    field()->insert(QStringLiteral("\tgame "));  // typing a tab would move the focus
    // Typed under one option that asks for a detail, kept under another that asks too.
    choose("fix");
    EXPECT_EQ(field()->text(), QStringLiteral(" A\tga"));
    EXPECT_EQ(field()->placeholderText(), QStringLiteral("What is broken?"));
    QTest::mouseClick(button, Qt::LeftButton);

    EXPECT_EQ(telemetry.events(),
              (std::vector<NamedEvent>{
                  {"goal_selected", {{"goal", "fix"}, {"detail", "Aga"}, {"surface", "welcome_goal"}}}}));
    EXPECT_EQ(continued, std::vector<std::string>{"fix"});

    // An option without a detail prompt empties the detail, and the event sends null.
    choose("learn");
    EXPECT_TRUE(test::visibleWithId(view.get(), QStringLiteral("goal-detail-field")).isEmpty());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(
        telemetry.events().back(),
        (NamedEvent{"goal_selected", {{"goal", "learn"}, {"detail", nullptr}, {"surface", "welcome_goal"}}}));
    choose("build");
    EXPECT_EQ(field()->text(), QString());
    EXPECT_EQ(continued, (std::vector<std::string>{"fix", "learn"}));
}

TEST_F(GoalPromptTest, TheFieldNeverHoldsMoreThanTheLimit) {
    choose("build");
    struct Case {
        const char* name;
        std::function<void(QLineEdit*)> enter;
        QString kept;
    };
    const QString thumb = QString::fromStdString(kThumb);
    const std::vector<Case> cases = {
        {"typed", [](QLineEdit* f) { QTest::keyClicks(f, QStringLiteral("abcdefgh")); },
         QStringLiteral("abcde")},
        {"typed, exactly the limit", [](QLineEdit* f) { QTest::keyClicks(f, QStringLiteral("abcde")); },
         QStringLiteral("abcde")},
        {"pasted",
         [](QLineEdit* f) {
             QApplication::clipboard()->setText(QStringLiteral("123456789"));
             f->paste();
         },
         QStringLiteral("12345")},
        {"emoji count as one each", [thumb](QLineEdit* f) { f->insert(thumb.repeated(7)); },
         thumb.repeated(5)},
    };
    for (const auto& c : cases) {
        field()->clear();
        c.enter(field());
        EXPECT_EQ(field()->text(), c.kept) << c.name;
        EXPECT_EQ(field()->cursorPosition(), c.kept.size()) << c.name;
        EXPECT_EQ(view->model().detail(), c.kept.toStdString()) << c.name;
    }
    test::flushDeletes();
}

}  // namespace
}  // namespace quill::ui
