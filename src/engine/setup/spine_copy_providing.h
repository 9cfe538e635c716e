#pragma once

#include <optional>
#include <string>

#include "engine/setup/setup_diagnosis.h"

namespace quill {

/// The texts of one stage screen.
struct SpineScreenCopy {
    std::string windowTitle;
    std::string headline;
    std::string body;
    std::optional<std::string> footer;

    bool operator==(const SpineScreenCopy&) const = default;
};

/// A product's screen texts for the setup flow. Pure; thread-safe.
class SpineCopyProviding {
  public:
    virtual ~SpineCopyProviding() = default;

    /// The texts of `domainID`'s screen; `diagnosis` is nothing when only the window title is wanted. Nothing
    /// means: show the diagnosis texts under `diagnosisWindowTitle`.
    [[nodiscard]] virtual std::optional<SpineScreenCopy> screenCopy(
        const std::string& domainID, const std::optional<SetupDiagnosis>& diagnosis) const = 0;
    /// The one-line status of `domainID` in the diagnosis summary.
    [[nodiscard]] virtual std::string statusLine(const std::string& domainID,
                                                 const SetupDiagnosis& diagnosis) const = 0;

    [[nodiscard]] virtual std::string diagnosisWindowTitle() const = 0;
    [[nodiscard]] virtual std::string diagnosisHeadline() const = 0;
    [[nodiscard]] virtual std::string consentReassurance() const = 0;
    [[nodiscard]] virtual std::string primaryArticlePath() const = 0;
    [[nodiscard]] virtual std::string verifyingTitle() const = 0;
    [[nodiscard]] virtual std::string continueWindowTitle() const = 0;
    [[nodiscard]] virtual std::string continueHeadline() const = 0;
    [[nodiscard]] virtual std::string continueBody() const = 0;
    [[nodiscard]] virtual std::string doneButtonLabel() const = 0;
    [[nodiscard]] virtual std::string completionHeadline() const = 0;
    [[nodiscard]] virtual std::string allVerifiedText() const = 0;
    [[nodiscard]] virtual std::string someUnverifiedText() const = 0;
    [[nodiscard]] virtual std::string completionNote() const = 0;
    [[nodiscard]] virtual std::string feedbackQuestion() const = 0;
    [[nodiscard]] virtual std::string updateArticlePath() const = 0;
    [[nodiscard]] virtual std::string troubleshootingArticlePath() const = 0;
    [[nodiscard]] virtual std::string finalQuestionWindowTitle() const = 0;
    /// The prompt of the folder-choice panel for the project folder.
    [[nodiscard]] virtual std::string projectFolderPrompt() const { return "Choose a folder to work in"; }
};

}  // namespace quill
