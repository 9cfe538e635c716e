#pragma once

#include <QAbstractButton>

class QLabel;

namespace quill::ui {

/// One row of a single-choice list: the style's radio indicator and a wrapping plain label, the whole row
/// reacting to clicks. Clicking does not check it: the owner sets `setChecked` from its model's selection.
class ChoiceRow : public QAbstractButton {
    Q_OBJECT

  public:
    explicit ChoiceRow(const QString& text, QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override;

  private:
    [[nodiscard]] QRect indicatorRect() const;

    QLabel* m_label;
};

}  // namespace quill::ui
