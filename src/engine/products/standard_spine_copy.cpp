#include "engine/products/standard_spine_copy.h"

namespace quill {

std::string_view statusWord(SetupDiagnosisClassification classification) {
    switch (classification) {
        case SetupDiagnosisClassification::ready:
            return "installed";
        case SetupDiagnosisClassification::fixable:
            return "not installed";
        case SetupDiagnosisClassification::blocked:
            return "needs attention";
        case SetupDiagnosisClassification::unknown:
            break;
    }
    return "unknown";
}

}  // namespace quill
