#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quill {

/// A product verifier's answer after the fixes. `SetupVerificationResult{output, passed}` leaves the rest
/// empty.
struct SetupVerificationResult {
    std::string rawOutput;  ///< the verifier's command output
    bool passed = false;
    std::optional<std::int32_t> exitCode;
    std::optional<std::string>
        engineOutcome;  ///< a short outcome code forwarded to telemetry and the outcome screen
    std::vector<std::string> verifiedItems;  ///< names of what was verified
    std::map<std::string, std::string> details;

    bool operator==(const SetupVerificationResult&) const = default;
};

/// One group of the outcome checklist.
struct OutcomeAuditSection {
    std::string title;
    std::vector<std::string> items;

    bool operator==(const OutcomeAuditSection&) const = default;
};

}  // namespace quill
