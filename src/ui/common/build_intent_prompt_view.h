#pragma once

#include <QWidget>
#include <functional>

class QPushButton;

namespace quill::ui {

/// The card under a completion result that asks whether the user wants to build software on this Mac. It
/// keeps no state and sends nothing: each press of "See recommendations →" calls `onSeeRecommendations`
/// once; its host announces it and navigates.
class BuildIntentPromptView : public QWidget {
    Q_OBJECT

  public:
    explicit BuildIntentPromptView(std::function<void()> onSeeRecommendations, QWidget* parent = nullptr);

    [[nodiscard]] QPushButton* optInButton() const { return m_optIn; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<void()> m_onSeeRecommendations;
    QPushButton* m_optIn;
};

}  // namespace quill::ui
