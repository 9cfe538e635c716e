#pragma once

#include <optional>
#include <string>

#include "engine/products/standard_spine_copy.h"

namespace quill {

/// The Claude Code product's per-domain texts.
namespace ClaudeSpineCopy {

/// The texts of one stage screen.
struct DomainScreen {
    std::string windowTitle;
    std::string headline;
    std::string body;
    std::optional<std::string> footer;

    bool operator==(const DomainScreen&) const = default;
};

/// The screen of one of the product's domains; nothing for any other id.
std::optional<DomainScreen> screenCopy(const std::string& domainID);
/// "<name>: <state>", where the five primary domains have a name and the others show their id.
std::string statusLine(const std::string& domainID, SetupDiagnosisClassification classification);

}  // namespace ClaudeSpineCopy

/// The Claude Code product's screen texts; also the engine's default when a product sets none. Pure;
/// thread-safe.
class ClaudeSpineCopyProvider final : public StandardSpineCopy {
  public:
    [[nodiscard]] std::optional<SpineScreenCopy> screenCopy(
        const std::string& domainID, const std::optional<SetupDiagnosis>& diagnosis) const override;
    [[nodiscard]] std::string statusLine(const std::string& domainID,
                                         const SetupDiagnosis& diagnosis) const override;

    [[nodiscard]] std::string primaryArticlePath() const override { return "claude-code/prerequisites"; }
    [[nodiscard]] std::string verifyingTitle() const override { return "Verifying Claude Code…"; }
    [[nodiscard]] std::string continueWindowTitle() const override { return "Keep going?"; }
    [[nodiscard]] std::string continueHeadline() const override { return "Check the developer environment?"; }
    // clang-format off
    [[nodiscard]] std::string continueBody() const override {
        return "Claude Code is set up. We'll continue with a check of shell configuration, editors, and programming languages.";
    }
    // clang-format on
    [[nodiscard]] std::string completionHeadline() const override {
        return "Your Mac is ready for Claude Code";
    }
    [[nodiscard]] std::string updateArticlePath() const override { return "claude-code/update"; }
    [[nodiscard]] std::string troubleshootingArticlePath() const override {
        return "claude-code/command-not-found";
    }
    [[nodiscard]] std::string finalQuestionWindowTitle() const override { return "One last thing"; }
    [[nodiscard]] std::string projectFolderPrompt() const override {
        return "Choose a folder for Claude to work in";
    }
};

}  // namespace quill
