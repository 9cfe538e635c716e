#pragma once

#include "engine/products/cli/cli_spine_copy.h"

namespace quill {

/// The coding product's screen texts: the command-line stage screens and status lines in its own words.
class CodeSpineCopy final : public CommandLineSpineCopy {
  public:
    [[nodiscard]] std::string primaryArticlePath() const override { return "quillstart/coming-soon"; }
    [[nodiscard]] std::string verifyingTitle() const override { return "Verifying your coding setup…"; }
    [[nodiscard]] std::string continueWindowTitle() const override { return "Ready for more?"; }
    [[nodiscard]] std::string continueHeadline() const override { return "Your coding foundation is ready"; }
    [[nodiscard]] std::string completionHeadline() const override { return "Your Mac is ready for coding"; }
    [[nodiscard]] std::string updateArticlePath() const override { return "quillstart/coming-soon"; }
    [[nodiscard]] std::string troubleshootingArticlePath() const override { return "quillstart/coming-soon"; }
};

}  // namespace quill
