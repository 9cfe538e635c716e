#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/products/standard_spine_copy.h"

namespace quill {

/// The stage screens and status lines of the products with the Homebrew prober, and the fixed texts they
/// share. The two Homebrew findings that need the user's attention are shown with their own headline and
/// detail. Pure; thread-safe.
class CommandLineSpineCopy : public StandardSpineCopy {
  public:
    [[nodiscard]] std::optional<SpineScreenCopy> screenCopy(
        const std::string& domainID, const std::optional<SetupDiagnosis>& diagnosis) const override;
    [[nodiscard]] std::string statusLine(const std::string& domainID,
                                         const SetupDiagnosis& diagnosis) const override;

    // clang-format off
    [[nodiscard]] std::string continueBody() const override {
        return "Want to keep going and set up the rest of your developer environment? You can add a better editor, AI coding tools, and programming languages.";
    }
    // clang-format on
    [[nodiscard]] std::string finalQuestionWindowTitle() const override { return "One last question"; }

  protected:
    /// The body of the Command Line Tools screen.
    [[nodiscard]] virtual std::string cltBody() const;
    /// The name a domain's status line starts with; nothing shows the id itself.
    [[nodiscard]] virtual std::optional<std::string> displayName(std::string_view domainID) const;
};

/// The command-line product's screen texts.
class CliSpineCopy final : public CommandLineSpineCopy {
  public:
    [[nodiscard]] std::string primaryArticlePath() const override { return "commandlinetools"; }
    [[nodiscard]] std::string verifyingTitle() const override { return "Verifying the command line…"; }
    [[nodiscard]] std::string continueWindowTitle() const override { return "Ready for more?"; }
    [[nodiscard]] std::string continueHeadline() const override { return "Command line basics are ready"; }
    [[nodiscard]] std::string completionHeadline() const override { return "Your command line is ready"; }
    [[nodiscard]] std::string updateArticlePath() const override { return "commandlinetools"; }
    [[nodiscard]] std::string troubleshootingArticlePath() const override { return "commandlinetools"; }
};

}  // namespace quill
