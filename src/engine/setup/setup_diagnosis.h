#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

/// How a stage stands: nothing to do, something the program can fix, something it cannot, or not known.
enum class SetupDiagnosisClassification { ready, fixable, blocked, unknown };

std::string_view toRaw(SetupDiagnosisClassification classification);
std::optional<SetupDiagnosisClassification> fromRawSetupDiagnosisClassification(std::string_view raw);

/// The finding of one stage, as shown on its screen and in the diagnosis summary.
struct SetupDiagnosis {
    std::string headline;
    std::string detail;
    SetupDiagnosisClassification classification = SetupDiagnosisClassification::unknown;

    bool operator==(const SetupDiagnosis&) const = default;
};

}  // namespace quill
