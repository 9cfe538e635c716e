#pragma once

#include <string>
#include <vector>

#include "engine/setup/setup_remediation.h"

class QWidget;

namespace quill::ui {

class SetupWorkflowView;

/// What a stage's section is built from.
struct StageSectionInput {
    /// The stage needs Homebrew and Homebrew is missing: the section is the Homebrew gate.
    bool homebrewGate = false;
    std::string stageID;
    /// The stage page's headline, the title of the stage's "Install selected" sheet.
    std::string headline;
    /// The fixes the stage offers, in order.
    std::vector<SetupRemediation> remediations;
    /// brew can be started (read from the disk by the caller, off the GUI thread).
    bool brewExecutable = false;
};

/// The interactive part of a fixable or unknown stage: the view its kind asks for (the generic list of
/// fixes, one grouped install, a cask, language, skill or MCP picker, the Git form) or the Homebrew gate,
/// always ending in "Skip". Choices are read from and written to the model's `selections()`. Installs go to
/// the model's `pendingInstall`.
QWidget* makeStageSection(SetupWorkflowView& view, const StageSectionInput& input, QWidget* parent);

}  // namespace quill::ui
