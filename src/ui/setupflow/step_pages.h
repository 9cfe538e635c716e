#pragma once

#include <QWidget>

#include "ui/setupflow/setup_flow_model.h"

class QAbstractButton;

namespace quill::ui {

class SetupWorkflowView;

/// The page of one step of the setup flow. It shows the model and calls one model operation per control;
/// `refresh()` brings it up to date with the model in place when something other than the step changed.
class StepPage : public QWidget {
    Q_OBJECT

  public:
    explicit StepPage(QWidget* parent = nullptr);

    virtual void refresh() {}
    /// The button Return presses; none by default.
    [[nodiscard]] virtual QAbstractButton* defaultButton() const { return nullptr; }
};

/// The page of `step`.
StepPage* makeStepPage(SetupWorkflowView& view, const SetupFlowModel::Step& step, QWidget* parent);

}  // namespace quill::ui
