#include "engine/setup/setup_diagnosis.h"

#include "engine/core/raw_value_table.h"

namespace quill {

namespace {
using enum SetupDiagnosisClassification;
constexpr detail::RawValueTable<SetupDiagnosisClassification, 4> kClassifications{{
    {ready, "ready"},
    {fixable, "fixable"},
    {blocked, "blocked"},
    {unknown, "unknown"},
}};
}  // namespace

std::string_view toRaw(SetupDiagnosisClassification classification) {
    return detail::rawValueOf(kClassifications, classification);
}

std::optional<SetupDiagnosisClassification> fromRawSetupDiagnosisClassification(std::string_view raw) {
    return detail::valueOfRaw(kClassifications, raw);
}

}  // namespace quill
