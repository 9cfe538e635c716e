#include "ui/common/style.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>
#include <cmath>
#include <utility>
#include <vector>

namespace quill::ui {

namespace {

constexpr double kBaseSize = 13.0;
constexpr int kLargeControlHeight = 32;
constexpr int kProminentRadius = 6;
constexpr int kBorderedMargin = 16;
constexpr int kRingWidth = 2;
constexpr int kRingRadius = 5;
constexpr double kRingContrast = 3.0;
constexpr double kQuaternaryOpacity = 0.1;
constexpr double kSecondaryCardOpacity = 0.08;
constexpr const char* kCardFillProperty = "quillCardFill";

double points(TextRole role) {
    switch (role) {
        case TextRole::largeTitle:
            return 26;
        case TextRole::title2:
            return 17;
        case TextRole::headline:
        case TextRole::body:
            return 13;
        case TextRole::callout:
            return 12;
        case TextRole::subheadline:
            return 11;
        case TextRole::footnote:
        case TextRole::caption:
            return 10;
    }
    return kBaseSize;
}

double luminance(const QColor& colour) {
    auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

/// A ring drawn over the control with the focus, just inside its edge. It passes every mouse event through,
/// never takes the focus itself, and goes with its control.
class FocusRing final : public QWidget {
  public:
    explicit FocusRing(QWidget* control) : QWidget(control) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        control->installEventFilter(this);
        cover();
        show();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded))
            cover();
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Style::focusRing(this), kRingWidth));
        painter.setBrush(Qt::NoBrush);
        const double inset = kRingWidth / 2.0;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), kRingRadius,
                                kRingRadius);
    }

  private:
    void cover() {
        setGeometry(parentWidget()->rect());
        raise();  // above the control's own children, such as a row's label
    }
};

/// Moves the ring to whichever control takes the focus.
class FocusRingFollower final : public QObject {
  public:
    explicit FocusRingFollower(QApplication* app) : QObject(app) {
        connect(app, &QApplication::focusChanged, this, [this](QWidget* /*old*/, QWidget* now) {
            delete m_ring;
            if (now != nullptr && (now->focusPolicy() & Qt::TabFocus) != 0 &&
                !Style::platformDrawsFocusRing(now, now->style()->name()))
                m_ring = new FocusRing(now);
        });
    }

  private:
    QPointer<FocusRing> m_ring;
};

/// Restyles its widget when the application's palette or theme changes. A widget with a style sheet of its
/// own is not told of that (its palette is its sheet's), so the application is watched, once for all of them.
class Restyler final : public QObject {
  public:
    explicit Restyler(QWidget* widget) : QObject(widget) {
        watchers().push_back(this);
        widget->installEventFilter(this);  // colours measured against a background follow it to a new parent
    }
    ~Restyler() override { std::erase(watchers(), this); }
    Restyler(const Restyler&) = delete;
    Restyler& operator=(const Restyler&) = delete;

    void setRestyle(std::function<void(QWidget*)> restyle) {
        m_restyle = std::move(restyle);
        m_restyle(static_cast<QWidget*>(parent()));
    }

    static void restyleAll() {
        for (Restyler* restyler : std::vector<Restyler*>(watchers()))
            restyler->m_restyle(static_cast<QWidget*>(restyler->parent()));
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::ParentChange && m_restyle)
            m_restyle(static_cast<QWidget*>(watched));
        return false;
    }

  private:
    static std::vector<Restyler*>& watchers();

    std::function<void(QWidget*)> m_restyle;
};

/// Hears the application's palette and theme changes (GUI thread only) and restyles every follower.
class PaletteWatch final : public QObject {
  public:
    explicit PaletteWatch(QApplication* app) : QObject(app) { app->installEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() &&
            (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange))
            Restyler::restyleAll();
        return false;
    }
};

std::vector<Restyler*>& Restyler::watchers() {
    static std::vector<Restyler*> all;
    // Owned by the application object, once.
    static const QPointer<QObject> watch = new PaletteWatch(qApp);
    Q_UNUSED(watch);
    return all;
}

/// Sets `sheet` unless the widget has it already: setting a style sheet polishes the widget again, which
/// changes its palette.
void setStyleSheet(QWidget* widget, const QString& sheet) {
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

}  // namespace

QColor Style::focusRing(const QWidget* widget) {
    // Against the window, not the control: a filled button's own palette carries its fill.
    const QPalette& palette = widget->window()->palette();
    const QColor window = palette.color(QPalette::Window);
    const bool lightWindow = luminance(window) > 0.5;
    // A step deeper than the accent at least, or it would vanish on the accent's own fill.
    constexpr int kStep = 150;
    auto deepen = [&](const QColor& colour) {
        return lightWindow ? colour.darker(kStep) : colour.lighter(kStep);
    };
    QColor ring = deepen(palette.color(QPalette::Highlight));
    for (int tries = 0; tries < 8 && contrast(ring, window) < kRingContrast; ++tries)
        ring = deepen(ring);
    return ring;
}

double Style::contrast(const QColor& one, const QColor& other) {
    const double a = luminance(one);
    const double b = luminance(other);
    constexpr double kFlare = 0.05;
    return (std::max(a, b) + kFlare) / (std::min(a, b) + kFlare);
}

bool Style::platformDrawsFocusRing(const QWidget* control, QStringView styleName) {
    if (styleName.compare(QLatin1String("macos"), Qt::CaseInsensitive) != 0 ||
        !control->styleSheet().isEmpty())
        return false;
    if (qobject_cast<const QLineEdit*>(control) != nullptr ||
        qobject_cast<const QTextEdit*>(control) != nullptr ||
        qobject_cast<const QPlainTextEdit*>(control) != nullptr ||
        qobject_cast<const QAbstractSpinBox*>(control) != nullptr ||
        qobject_cast<const QComboBox*>(control) != nullptr)
        return true;
    if (const auto* push = qobject_cast<const QPushButton*>(control))
        return !push->isFlat();
    return qobject_cast<const QCheckBox*>(control) != nullptr ||
           qobject_cast<const QRadioButton*>(control) != nullptr;
}

void Style::follow(QWidget* widget, std::function<void(QWidget*)> restyle) {
    Restyler* restyler = nullptr;
    for (QObject* child : widget->children()) {
        restyler = dynamic_cast<Restyler*>(child);
        if (restyler != nullptr)
            break;
    }
    if (restyler == nullptr)
        restyler = new Restyler(widget);
    restyler->setRestyle(std::move(restyle));
}

QPalette Style::basePalette(const QWidget* widget) {
    return QApplication::palette(widget);
}

void Style::installFocusRing() {
    // Owned by the application object, once.
    static const QPointer<QObject> follower = new FocusRingFollower(qApp);
    Q_UNUSED(follower);
}

QFont Style::font(TextRole role) {
    return font(role, role == TextRole::headline ? QFont::DemiBold : QFont::Normal);
}

QFont Style::font(TextRole role, QFont::Weight weight) {
    QFont result = QApplication::font();
    const double base = result.pointSizeF() > 0 ? result.pointSizeF() : kBaseSize;
    result.setPointSizeF(base * points(role) / kBaseSize);
    result.setWeight(weight);
    return result;
}

void Style::setFont(QWidget* widget, TextRole role) {
    widget->setFont(font(role));
}

QColor Style::secondary(const QWidget* widget) {
    return widget->palette().color(QPalette::PlaceholderText);
}

QColor Style::over(const QColor& colour, const QColor& background) {
    const QColor top = colour.toRgb();
    const QColor under = background.toRgb();
    const double alpha = top.alphaF();
    auto mix = [alpha](double a, double b) { return a * alpha + b * (1 - alpha); };
    return QColor::fromRgbF(static_cast<float>(mix(top.redF(), under.redF())),
                            static_cast<float>(mix(top.greenF(), under.greenF())),
                            static_cast<float>(mix(top.blueF(), under.blueF())));
}

QColor Style::readable(const QColor& colour, const QColor& text, const QColor& background, double ratio) {
    const QColor from = over(colour, background);
    const QColor to = over(text, background);
    // The first step that reads, in whole channel values: the colour moves no further than it must. The path
    // may cross the background's lightness (a dark accent on a dark window, light text), so it is walked,
    // not bisected.
    constexpr int kSteps = 64;
    for (int step = 0; step < kSteps; ++step) {
        const double t = static_cast<double>(step) / kSteps;
        auto channel = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
        const QColor mixed(channel(from.red(), to.red()), channel(from.green(), to.green()),
                           channel(from.blue(), to.blue()));
        if (contrast(mixed, background) >= ratio)
            return mixed;
    }
    return to;
}

void Style::setCardFill(QWidget* card, CardFill fill) {
    card->setProperty(kCardFillProperty, static_cast<int>(fill));
}

QColor Style::cardFill(const QWidget* card) {
    const QVariant fill = card->property(kCardFillProperty);
    if (!fill.isValid())
        return Qt::transparent;
    const QPalette palette = basePalette(card);
    switch (static_cast<CardFill>(fill.toInt())) {
        case CardFill::quaternary:
            return tinted(palette.color(QPalette::WindowText), kQuaternaryOpacity);
        case CardFill::secondary:
            return tinted(palette.color(QPalette::PlaceholderText), kSecondaryCardOpacity);
    }
    return Qt::transparent;
}

QColor Style::background(const QWidget* widget) {
    // Cards lie over the window, inner over outer.
    std::vector<QColor> fills;
    for (const QWidget* w = widget; w != nullptr; w = w->isWindow() ? nullptr : w->parentWidget())
        fills.push_back(cardFill(w));
    QColor shown = basePalette(widget).color(QPalette::Window);
    shown.setAlpha(255);
    for (auto fill = fills.rbegin(); fill != fills.rend(); ++fill)
        shown = over(*fill, shown);
    return shown;
}

QColor Style::secondaryText(const QWidget* widget) {
    const QPalette palette = basePalette(widget);
    return readable(palette.color(QPalette::PlaceholderText), palette.color(QPalette::WindowText),
                    background(widget), kTextContrast);
}

QColor Style::link(const QWidget* widget) {
    const QPalette palette = basePalette(widget);
    return readable(palette.color(QPalette::Highlight), palette.color(QPalette::WindowText),
                    background(widget), kTextContrast);
}

QColor Style::accent(const QWidget* widget) {
    return widget->palette().color(QPalette::Highlight);
}

QColor Style::tinted(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

void Style::makeSecondary(QWidget* widget) {
    follow(widget, [](QWidget* w) {
        QPalette palette = w->palette();
        const QColor colour = secondaryText(w);
        palette.setColor(QPalette::WindowText, colour);
        palette.setColor(QPalette::Text, colour);
        w->setPalette(palette);
    });
}

void Style::apply(QAbstractButton* button, ButtonStyle style, ControlSize size) {
    if (size == ControlSize::large)
        button->setMinimumHeight(kLargeControlHeight);
    auto* push = qobject_cast<QPushButton*>(button);
    switch (style) {
        case ButtonStyle::prominent: {
            button->setProperty("buttonStyle", QStringLiteral("prominent"));
            follow(button, [](QWidget* w) {
                const QPalette palette = basePalette(w);
                // Disabled, the label keeps to the placeholder colour as far as it reads on the fill.
                const QColor disabledFill = tinted(palette.color(QPalette::WindowText), kQuaternaryOpacity);
                const QColor disabledLabel =
                    readable(palette.color(QPalette::PlaceholderText), palette.color(QPalette::WindowText),
                             over(disabledFill, background(w)), kDisabledContrast);
                setStyleSheet(
                    w, QStringLiteral(
                           "QPushButton[buttonStyle=\"prominent\"] { background-color: %1; color: %2; "
                           "border: none; border-radius: %3px; padding: 4px 16px; }"
                           "QPushButton[buttonStyle=\"prominent\"]:pressed { background-color: %4; }"
                           "QPushButton[buttonStyle=\"prominent\"]:disabled { background-color: %5; "
                           "color: %6; }")
                           .arg(palette.color(QPalette::Highlight).name(QColor::HexArgb),
                                palette.color(QPalette::HighlightedText).name(QColor::HexArgb))
                           .arg(kProminentRadius)
                           .arg(palette.color(QPalette::Highlight).darker(115).name(QColor::HexArgb),
                                disabledFill.name(QColor::HexArgb), disabledLabel.name(QColor::HexArgb)));
            });
            break;
        }
        case ButtonStyle::bordered: {
            // The native button pads a short label but lets a long one touch its frame.
            const QString shown = button->text().replace(QStringLiteral("&&"), QStringLiteral("&"));
            button->setMinimumWidth(button->fontMetrics().horizontalAdvance(shown) + 2 * kBorderedMargin);
            break;
        }
        case ButtonStyle::borderless:
        case ButtonStyle::plain:
            if (push != nullptr)
                push->setFlat(true);
            // Flat, the label sits at the start of its row in the accent, so that it reads as something to
            // press.
            button->setSizePolicy(QSizePolicy::Maximum, button->sizePolicy().verticalPolicy());
            follow(button, [](QWidget* w) {
                setStyleSheet(w, QStringLiteral("QPushButton { color: %1; border: none; padding: 4px 6px; }")
                                     .arg(link(w).name(QColor::HexArgb)));
            });
            break;
    }
}

}  // namespace quill::ui
