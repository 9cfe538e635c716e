#include "engine/products/claude/claude_verifier.h"

#include <memory>
#include <utility>

#include "engine/core/text.h"
#include "engine/core/unicode_text.h"
#include "engine/products/login_shell_check.h"
#include "engine/services/system_profiler.h"

namespace quill {

std::optional<std::string> ClaudeVerifier::versionToken(std::string_view output) {
    const std::string trimmed = trimWhitespaceAndNewlines(output);
    const std::string_view text = trimmed;
    const auto start = text.find_first_not_of(" \n\t");
    if (start == std::string_view::npos)
        return std::nullopt;
    const auto word = text.substr(start, text.find_first_of(" \n\t", start) - start);
    if (!startsWithNumber(word))
        return std::nullopt;
    return std::string(word);
}

SetupVerificationResult ClaudeVerifier::result(const std::string& output, std::int32_t exitStatus,
                                               bool desktopPresent) {
    SetupVerificationResult verification;
    verification.rawOutput = output;
    verification.exitCode = exitStatus;
    verification.details["desktop_present"] = desktopPresent ? "true" : "false";
    verification.passed = exitStatus == 0 && !trimWhitespaceAndNewlines(output).empty();
    if (!verification.passed) {
        verification.engineOutcome = "blocked";
        return verification;
    }
    verification.engineOutcome = "likely_resolved";
    const auto version = versionToken(output);
    verification.verifiedItems.push_back(version ? "Claude Code CLI installed — version " + *version
                                                 : "Claude Code CLI installed");
    if (desktopPresent)
        verification.verifiedItems.emplace_back("Claude Desktop installed");
    return verification;
}

SetupVerificationResult ClaudeSetupVerifier::verify(const std::optional<SystemProfile>& /*profile*/,
                                                    const ShellRunner& shell, const FileSystemOperating& fs,
                                                    std::stop_token stop) const {
    // The profiler only reads through the service during this call, so it may borrow it without owning it.
    const SystemProfiler profiler{
        shell, std::shared_ptr<const FileSystemOperating>(std::shared_ptr<const FileSystemOperating>{}, &fs)};
    const bool desktopPresent = profiler.isAppInstalled("Claude.app");
    const auto run = runLoginShellCheck(shell, "claude --version 2>&1", std::move(stop));
    if (!run)
        return ClaudeVerifier::result("", -1, desktopPresent);
    return ClaudeVerifier::result(run->stdout_, run->exitCode, desktopPresent);
}

}  // namespace quill
