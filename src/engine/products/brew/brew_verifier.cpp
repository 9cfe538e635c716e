#include "engine/products/brew/brew_verifier.h"

#include <utility>

#include "engine/core/text.h"
#include "engine/core/unicode_text.h"
#include "engine/products/login_shell_check.h"

namespace quill {

std::optional<std::string> brewVersion(std::string_view output) {
    std::vector<std::string> words;
    for (const auto& line : nonEmptyLines(output)) {
        std::string_view rest = line;
        while (!rest.empty() && words.size() < 2) {
            const auto start = rest.find_first_not_of(' ');
            if (start == std::string_view::npos)
                break;
            rest.remove_prefix(start);
            const auto end = rest.find(' ');
            words.emplace_back(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        }
        if (words.size() >= 2)
            break;
    }
    if (words.size() < 2 || words.front() != "Homebrew")
        return std::nullopt;
    return words[1];
}

SetupVerificationResult BrewVerifier::verify(const std::optional<SystemProfile>& /*profile*/,
                                             const ShellRunner& shell, const FileSystemOperating& /*fs*/,
                                             std::stop_token stop) const {
    SetupVerificationResult result;
    result.engineOutcome = "blocked";
    const auto run = runLoginShellCheck(shell, "brew --version 2>&1", std::move(stop));
    if (!run) {
        result.exitCode = -1;
        return result;
    }
    result.rawOutput = run->stdout_;
    result.exitCode = run->exitCode;
    if (run->exitCode != 0 || trimWhitespaceAndNewlines(run->stdout_).empty())
        return result;
    result.passed = true;
    result.engineOutcome = "likely_resolved";
    const auto version = brewVersion(run->stdout_);
    result.verifiedItems.push_back(version ? "Homebrew installed — version " + *version
                                           : "Homebrew installed");
    return result;
}

}  // namespace quill
