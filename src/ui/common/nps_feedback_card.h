#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <variant>

#include "engine/core/tagged_union.h"

class QAbstractButton;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace quill::ui {

struct ScreenContext;

/// The 0–10 recommendation card with an optional reason. It never decides whether it is shown and never
/// announces itself: its host does both through `NpsHostVisit`. "Submit feedback" sends "nps_submitted",
/// writes `<prefix>.nps_submitted` as true and calls `onAnswered` at once; after the context's
/// `npsThanksDelay` (a timer the card owns, gone with the card) it thanks the user and calls `onSubmitted`.
/// "Dismiss" sends "nps_dismissed", hides the card for good and calls `onDismissed`; a pending thank-you
/// still follows. The card hides itself, never deletes itself. GUI thread only.
class NPSFeedbackCard : public QWidget {
    Q_OBJECT

  public:
    /// The cases of `Phase`.
    struct PhaseCases {
        struct Scored {
            int score = 0;
            bool operator==(const Scored&) const = default;
        };
        struct NotYet {
            bool operator==(const NotYet&) const = default;
        };
        struct Submitting {
            bool operator==(const Submitting&) const = default;
        };
        struct Thanks {
            bool operator==(const Thanks&) const = default;
        };
        using Case = std::variant<Scored, NotYet, Submitting, Thanks>;
    };

    /// Where the card stands. `scored` carries the chosen score, 0 to 10.
    struct Phase : TaggedUnion<PhaseCases> {
        using TaggedUnion::TaggedUnion;
        Phase() : TaggedUnion(NotYet{}) {}

        static Phase scored(int score) { return {Scored{score}}; }
        static Phase notYet() { return {NotYet{}}; }
        static Phase submitting() { return {Submitting{}}; }
        static Phase thanks() { return {Thanks{}}; }
    };

    static constexpr int kLowestScore = 0;
    static constexpr int kHighestScore = 10;

    /// Starts in `notYet` with an empty reason. `onSubmitted` and `onDismissed` may be empty.
    NPSFeedbackCard(ScreenContext& context, std::function<void()> onSubmitted,
                    std::function<void()> onDismissed, QWidget* parent = nullptr);

    /// Called right after "Submit feedback" has sent the answer and written the flag, before the thank-you.
    void setOnAnswered(std::function<void()> onAnswered) { m_onAnswered = std::move(onAnswered); }
    void setOnDismissed(std::function<void()> onDismissed) { m_onDismissed = std::move(onDismissed); }

    [[nodiscard]] const Phase& phase() const { return m_phase; }
    [[nodiscard]] QString reasonText() const;
    [[nodiscard]] bool didDismiss() const { return m_didDismiss; }

    /// A score button: chooses `score`, except while submitting or thanking.
    void selectScore(int score);
    /// "Submit feedback": only with a score chosen.
    void submit();
    /// "Dismiss": works in every phase.
    void dismiss();

    /// The score buttons, 0 to 10; they carry no identifiers.
    [[nodiscard]] QAbstractButton* scoreButton(int score) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void thank();
    void refresh();

    ScreenContext& m_context;
    std::function<void()> m_onSubmitted;
    std::function<void()> m_onDismissed;
    std::function<void()> m_onAnswered;
    Phase m_phase;
    bool m_didDismiss = false;

    std::array<QAbstractButton*, kHighestScore - kLowestScore + 1> m_scores{};
    QWidget* m_reasonBlock;
    QPlainTextEdit* m_reason;
    QPushButton* m_submit;
    QWidget* m_thanksRow;
    QTimer* m_thanksTimer;
};

}  // namespace quill::ui
