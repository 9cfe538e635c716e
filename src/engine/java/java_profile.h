#pragma once

#include "engine/java/diagnosis_profile.h"

namespace quill {

/// The Java diagnostic product's rules: no JDK, a listing that contradicts `java_home`, only legacy JDKs,
/// `JAVA_HOME` at a modern JDK, or a modern JDK that `JAVA_HOME` does not point at. Never fails.
class JavaProfile final : public DiagnosisProfile {
  public:
    [[nodiscard]] Diagnosis diagnose(const ProbeBundle& bundle) const override;
};

}  // namespace quill
