#pragma once

#include "engine/java/diagnosis_profile.h"

namespace quill {

/// The profile of products that do not diagnose Java: every bundle yields `NoErrorsFound`.
class InertDiagnosisProfile final : public DiagnosisProfile {
  public:
    [[nodiscard]] Diagnosis diagnose(const ProbeBundle& /*bundle*/) const override {
        return Diagnosis::NoErrorsFound{};
    }
};

}  // namespace quill
