#pragma once

#include <string>
#include <string_view>

#include "engine/setup/spine_copy_providing.h"

namespace quill {

/// The screen texts every product shares; each product's texts derive from it and add their own.
class StandardSpineCopy : public SpineCopyProviding {
  public:
    [[nodiscard]] std::string diagnosisWindowTitle() const override { return "Diagnosis"; }
    [[nodiscard]] std::string diagnosisHeadline() const override {
        return "Here's what the system check found";
    }
    [[nodiscard]] std::string consentReassurance() const override {
        return "Nothing changes on your Mac without your okay.";
    }
    [[nodiscard]] std::string doneButtonLabel() const override { return "Done"; }
    [[nodiscard]] std::string allVerifiedText() const override { return "All tools are verified as working"; }
    [[nodiscard]] std::string someUnverifiedText() const override {
        return "Some tools could not be verified. You can re-run the setup, or continue and try again.";
    }
    [[nodiscard]] std::string completionNote() const override { return {}; }
    [[nodiscard]] std::string feedbackQuestion() const override {
        return "Did this pretty much complete what you came to do?";
    }
};

/// The word of the status line for a classification: "installed", "not installed", "needs attention" or
/// "unknown".
std::string_view statusWord(SetupDiagnosisClassification classification);

}  // namespace quill
