#include "engine/products/cli/cli_verifier.h"

#include "engine/core/text.h"
#include "engine/core/unicode_text.h"
#include "engine/products/login_shell_check.h"

namespace quill {

namespace {

SetupVerificationResult blocked(std::string rawOutput, int exitCode) {
    SetupVerificationResult result;
    result.rawOutput = std::move(rawOutput);
    result.exitCode = exitCode;
    result.engineOutcome = "blocked";
    return result;
}

bool answered(const ProcessResult& run) {
    return run.exitCode == 0 && !trimWhitespaceAndNewlines(run.stdout_).empty();
}

}  // namespace

SetupVerificationResult CliVerifier::verify(const std::optional<SystemProfile>& /*profile*/,
                                            const ShellRunner& shell, const FileSystemOperating& /*fs*/,
                                            std::stop_token stop) const {
    const auto tools = runLoginShellCheck(shell, "xcode-select -p 2>&1", stop);
    if (!tools)
        return blocked("", -1);
    if (!answered(*tools))
        return blocked(tools->stdout_, tools->exitCode);

    const auto git = runLoginShellCheck(shell, "git --version 2>&1", stop);
    if (!git)
        return blocked("", -1);
    if (!answered(*git))
        return blocked(git->stdout_, git->exitCode);

    SetupVerificationResult result;
    result.rawOutput = git->stdout_;
    result.passed = true;
    result.exitCode = git->exitCode;
    result.engineOutcome = "likely_resolved";
    result.verifiedItems.emplace_back("Command Line Tools installed");
    const auto lines = nonEmptyLines(git->stdout_);
    if (!lines.empty()) {
        if (const auto first = trimSpacesAndTabs(lines.front()); !first.empty())
            result.verifiedItems.emplace_back(first);
    }
    return result;
}

}  // namespace quill
