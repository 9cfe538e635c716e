#pragma once

#include "engine/products/cli/cli_spine_copy.h"

namespace quill {

/// The Homebrew product's screen texts: the command-line ones with its own Command Line Tools body, names
/// only for its three primary domains, and its own headlines and articles.
class BrewSpineCopy final : public CommandLineSpineCopy {
  public:
    [[nodiscard]] std::string primaryArticlePath() const override { return "homebrew"; }
    [[nodiscard]] std::string verifyingTitle() const override { return "Verifying Homebrew…"; }
    [[nodiscard]] std::string continueWindowTitle() const override { return "Homebrew is installed"; }
    [[nodiscard]] std::string continueHeadline() const override { return "Homebrew is set up"; }
    [[nodiscard]] std::string completionHeadline() const override { return "Your Mac is ready"; }
    [[nodiscard]] std::string updateArticlePath() const override { return "homebrew/update"; }
    [[nodiscard]] std::string troubleshootingArticlePath() const override { return "homebrew"; }

  protected:
    // Each text stays one whole literal, as people read it.
    // clang-format off
    [[nodiscard]] std::string cltBody() const override {
        return "Apple's Command Line Tools provide basic programs Homebrew needs. This can take many minutes; we'll continue automatically when it finishes.";
    }
    // clang-format on
    [[nodiscard]] std::optional<std::string> displayName(std::string_view domainID) const override {
        if (domainID == "shell-config" || domainID == "git")
            return std::nullopt;
        return CommandLineSpineCopy::displayName(domainID);
    }
};

}  // namespace quill
