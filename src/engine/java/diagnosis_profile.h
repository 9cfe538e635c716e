#pragma once

#include "engine/java/diagnosis.h"
#include "engine/services/java_facts.h"

namespace quill {

/// Turns the Java facts of the Mac into a verdict. Synchronous and total: every bundle yields a diagnosis.
/// Implementations are immutable and thread-safe.
class DiagnosisProfile {
  public:
    virtual ~DiagnosisProfile() = default;

    [[nodiscard]] virtual Diagnosis diagnose(const ProbeBundle& bundle) const = 0;
};

}  // namespace quill
