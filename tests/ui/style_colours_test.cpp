#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/ui/ui_test_support.h"
#include "ui/common/build_intent_prompt_view.h"
#include "ui/common/labels.h"
#include "ui/common/nps_feedback_card.h"
#include "ui/common/screen_scaffold.h"
#include "ui/common/style.h"

namespace quill::ui::test {
namespace {

/// The web's accessibility guidelines' relative luminance and contrast ratio, worked out here rather than
/// taken from the style that is under test.
double relativeLuminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor& one, const QColor& other) {
    const double a = relativeLuminance(one) + 0.05;
    const double b = relativeLuminance(other) + 0.05;
    return std::max(a, b) / std::min(a, b);
}

/// `colour` as drawn over the opaque `under`.
QColor drawnOver(const QColor& colour, const QColor& under) {
    const double alpha = colour.alphaF();
    const auto mix = [alpha](int top, int bottom) {
        return static_cast<int>(std::lround(top * alpha + bottom * (1 - alpha)));
    };
    return {mix(colour.red(), under.red()), mix(colour.green(), under.green()),
            mix(colour.blue(), under.blue())};
}

bool near(const QColor& one, const QColor& other) {
    return std::abs(one.red() - other.red()) <= 1 && std::abs(one.green() - other.green()) <= 1 &&
           std::abs(one.blue() - other.blue()) <= 1;
}

QPalette withColours(QPalette palette, std::initializer_list<std::pair<QPalette::ColorRole, QRgb>> colours) {
    for (const auto& [role, rgba] : colours)
        palette.setColor(role, QColor::fromRgba(rgba));
    return palette;
}

class StyleColoursTest : public UiTest {
  protected:
    ~StyleColoursTest() override { QApplication::setPalette(m_original); }

  private:
    QPalette m_original = QApplication::palette();
};

TEST_F(StyleColoursTest, SmallTextReadsOnWhatItIsDrawnOnInEveryPaletteAndFollowsAChange) {
    const QPalette standard = QApplication::palette();
    struct Case {
        const char* name;
        QPalette palette;
    };
    const std::vector<Case> palettes = {
        {"the standard light palette", standard},
        {"a dark palette, its placeholder a faint white",
         withColours(standard, {{QPalette::Window, 0xff323232},
                                {QPalette::WindowText, 0xffdfdfdf},
                                {QPalette::Text, 0xffdfdfdf},
                                {QPalette::Base, 0xff1e1e1e},
                                {QPalette::Button, 0xff505050},
                                {QPalette::ButtonText, 0xffdfdfdf},
                                {QPalette::Highlight, 0xff3f638b},
                                {QPalette::HighlightedText, 0xffffffff},
                                {QPalette::PlaceholderText, 0x40ffffff}})},
        {"a light palette whose own colours read",
         withColours(standard, {{QPalette::Highlight, 0xff0b4a94}, {QPalette::PlaceholderText, 0xff505050}})},
        {"a grey palette whose text reads at less than 4.5:1",
         withColours(standard, {{QPalette::Window, 0xff808080},
                                {QPalette::WindowText, 0xff303030},
                                {QPalette::Text, 0xff303030},
                                {QPalette::PlaceholderText, 0x80303030}})},
    };

    QWidget page;
    auto* layout = new QVBoxLayout(&page);
    auto* scaffold = new ScreenScaffold(context, &page);
    scaffold->setTitle(QStringLiteral("Title"));
    scaffold->setExplainer(QStringLiteral("What this screen is for."));
    layout->addWidget(scaffold);
    auto* card = new NPSFeedbackCard(context, {}, {}, &page);
    layout->addWidget(card);
    auto* intent = new BuildIntentPromptView({}, &page);
    layout->addWidget(intent);
    // Made secondary before it has a parent, then put on a card: measured against the card.
    auto* late = plainLabel(QStringLiteral("Placed on the card later"));
    Style::makeSecondary(late);
    intent->layout()->addWidget(late);
    auto* install = new QPushButton(QStringLiteral("Install selected"), &page);
    Style::apply(install, ButtonStyle::prominent, ControlSize::large);
    install->setEnabled(false);
    layout->addWidget(install);
    showWindow(&page);

    const auto foreground = [](QWidget* w) {
        return qobject_cast<QPushButton*>(w) != nullptr ? w->palette().color(QPalette::ButtonText)
                                                        : w->palette().color(QPalette::WindowText);
    };
    struct Subject {
        const char* name;
        QString text;
        QPalette::ColorRole from;  // the palette's colour it is derived from
    };
    const std::vector<Subject> subjects = {
        {"the article link", QStringLiteral("Read the article on Fernwick"), QPalette::Highlight},
        {"the explainer", QStringLiteral("What this screen is for."), QPalette::PlaceholderText},
        {"a caption on the feedback card", QStringLiteral("Not at all likely"), QPalette::PlaceholderText},
        {"a link on the feedback card", QStringLiteral("Dismiss"), QPalette::Highlight},
        {"the body of a card in the quaternary fill",
         QStringLiteral(
             "Whether starting out or setting up a new Mac, we'll check if you have everything you "
             "need."),
         QPalette::PlaceholderText},
        {"a secondary text placed on a card after it was made", QStringLiteral("Placed on the card later"),
         QPalette::PlaceholderText},
    };
    for (const auto& row : palettes) {
        SCOPED_TRACE(row.name);
        QApplication::setPalette(row.palette);
        QCoreApplication::sendPostedEvents();
        const QImage shown = page.grab().toImage();
        const QColor text = row.palette.color(QPalette::WindowText);
        for (const auto& subject : subjects) {
            SCOPED_TRACE(subject.name);
            QWidget* widget = byText(&page, subject.text);
            for (auto* label : page.findChildren<QLabel*>()) {
                if (widget == nullptr && label->isVisible() && label->text().contains(subject.text))
                    widget = label;  // a label that renders Markdown holds its text as markup
            }
            ASSERT_NE(widget, nullptr);
            // What lies under it, beside its text.
            const QPoint beside = widget->mapTo(&page, QPoint(-1, widget->height() / 2));
            const QColor under = shown.pixelColor(beside);
            const QColor drawn = drawnOver(foreground(widget), under);
            const QColor own = drawnOver(row.palette.color(subject.from), under);
            const QColor plain = drawnOver(text, under);
            const double ratio = contrastRatio(drawn, under);
            if (contrastRatio(own, under) >= 4.5) {
                EXPECT_TRUE(near(drawn, own)) << "a colour that reads is kept: " << drawn.name().toStdString()
                                              << " for " << own.name().toStdString();
            } else if (contrastRatio(plain, under) < 4.5) {
                EXPECT_TRUE(near(drawn, plain))
                    << "no further than the text colour: " << drawn.name().toStdString() << " for "
                    << plain.name().toStdString();
            } else {
                EXPECT_GE(ratio, 4.5) << drawn.name().toStdString() << " on " << under.name().toStdString();
                EXPECT_LT(ratio, contrastRatio(plain, under) - 0.1) << "moved all the way to the text colour";
            }
        }
        // The disabled button keeps its fill, the text colour at 10 %, and its label reads on it at 3:1.
        const QColor window = row.palette.color(QPalette::Window);
        const QColor fill = shown.pixelColor(install->mapTo(&page, QPoint(4, install->height() / 2)));
        QColor tenth = text;
        tenth.setAlphaF(0.1F);
        EXPECT_TRUE(near(fill, drawnOver(tenth, window))) << fill.name().toStdString();
        const QColor label =
            drawnOver(install->palette().color(QPalette::Disabled, QPalette::ButtonText), fill);
        EXPECT_GE(contrastRatio(label, fill), std::min(3.0, contrastRatio(drawnOver(text, fill), fill)))
            << label.name().toStdString() << " on " << fill.name().toStdString();
        saveGrab(&page, QStringLiteral("small-text-") + QString::number(&row - palettes.data()));
    }
}

}  // namespace
}  // namespace quill::ui::test
