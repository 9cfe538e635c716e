#pragma once

#include <QColor>
#include <QFont>
#include <QStringView>
#include <functional>

class QAbstractButton;
class QWidget;

namespace quill::ui {

/// Text roles, sized against the application font as 13 points.
enum class TextRole { largeTitle, title2, headline, body, callout, subheadline, footnote, caption };

enum class ButtonStyle { prominent, bordered, borderless, plain };
enum class ControlSize { regular, large };

/// What a rounded card paints under its content, translucent over the window: the quaternary fill (the text
/// colour at 10 %) or the secondary colour at 8 %.
enum class CardFill { quaternary, secondary };

/// The one place for looks: fonts, colours, button styles and the shared spacings.
class Style {
  public:
    static constexpr int kPagePadding = 32;
    static constexpr int kScaffoldSpacing = 20;

    /// The font of a role; the headline is semibold.
    [[nodiscard]] static QFont font(TextRole role);
    /// The font of a role with the given weight.
    [[nodiscard]] static QFont font(TextRole role, QFont::Weight weight);
    static void setFont(QWidget* widget, TextRole role);

    /// The secondary colour as the palette gives it (its placeholder colour), for fills and borders.
    [[nodiscard]] static QColor secondary(const QWidget* widget);
    /// The accent: the palette's highlight.
    [[nodiscard]] static QColor accent(const QWidget* widget);
    /// `colour` at `opacity` (0 to 1), for fills and borders given at a percentage.
    [[nodiscard]] static QColor tinted(QColor colour, double opacity);
    /// Shows the widget's text in the secondary text colour, and again whenever the palette changes or the
    /// widget moves to another parent.
    static void makeSecondary(QWidget* widget);

    /// Small text reads at this ratio against what it is drawn on, at least; a disabled label at
    /// `kDisabledContrast`.
    static constexpr double kTextContrast = 4.5;
    static constexpr double kDisabledContrast = 3.0;
    /// Secondary text, opaque, as drawn on `widget`'s background: the palette's placeholder colour moved
    /// toward the text colour until it reads at `kTextContrast` (at most to the text colour).
    [[nodiscard]] static QColor secondaryText(const QWidget* widget);
    /// Link text, opaque, as drawn on `widget`'s background: the accent moved toward the text colour until it
    /// reads at `kTextContrast` (at most to the text colour).
    [[nodiscard]] static QColor link(const QWidget* widget);
    /// What `widget` is drawn on, opaque: the window colour, under the fills of the cards it sits on.
    [[nodiscard]] static QColor background(const QWidget* widget);
    /// Marks `card` as painting `fill` under its content, so that text on it is measured against the fill.
    static void setCardFill(QWidget* card, CardFill fill);
    /// The fill `card` paints, translucent, from the application's palette.
    [[nodiscard]] static QColor cardFill(const QWidget* card);
    /// `colour` composited over the opaque `background`.
    [[nodiscard]] static QColor over(const QColor& colour, const QColor& background);
    /// `colour` as drawn on the opaque `background`, moved toward `text` as drawn there until it reads at
    /// `ratio` against the background; `text` as drawn when nothing short of it does.
    [[nodiscard]] static QColor readable(const QColor& colour, const QColor& text, const QColor& background,
                                         double ratio);

    /// The focus ring's colour: the accent deepened, to stand out from its fill and from the window at 3:1 or
    /// more.
    [[nodiscard]] static QColor focusRing(const QWidget* widget);
    /// The contrast ratio of two colours as the web's accessibility guidelines measure it, 1 to 21.
    [[nodiscard]] static double contrast(const QColor& one, const QColor& other);
    /// Draws a ring around whichever control of the application has the keyboard focus, where the platform's
    /// style draws none (`platformDrawsFocusRing`).
    static void installFocusRing();
    /// Whether the style named `styleName` draws its own focus ring around `control`: Qt's macOS style does
    /// for fields and for native buttons, check boxes and radio buttons; a control with a style sheet of its
    /// own, a flat or a custom button, and every control under any other style get ours.
    [[nodiscard]] static bool platformDrawsFocusRing(const QWidget* control, QStringView styleName);

    /// Runs `restyle` on `widget` now and again whenever the application's palette or theme changes, so that
    /// colours it bakes in (style sheets, explicit palette roles) follow a switch between light and dark. One
    /// per widget: a later call replaces an earlier one.
    static void follow(QWidget* widget, std::function<void(QWidget*)> restyle);
    /// The palette `widget`'s own colours are taken from: the application's for its kind, current when a
    /// change is heard, and untouched by what a style sheet or an explicit colour sets on the widget.
    [[nodiscard]] static QPalette basePalette(const QWidget* widget);

    /// Prominent: an accent fill with highlighted text and rounded corners; disabled, the quaternary fill
    /// with a label that reads at `kDisabledContrast` on it. Bordered: the native push button, at least as
    /// wide as its text with a margin each side. Borderless and plain: flat, without a frame, the text in the
    /// link colour. Large: at least 32 high.
    static void apply(QAbstractButton* button, ButtonStyle style, ControlSize size = ControlSize::regular);
};

}  // namespace quill::ui
