#pragma once

#include <string>
#include <variant>

#include "engine/core/tagged_union.h"
#include "engine/java/completion_surface.h"
#include "engine/services/java_facts.h"

namespace quill {

/// The smallest major version that counts as a modern Java.
inline constexpr int kModernJavaMajor = 21;
/// The major version the texts recommend: the current long-term-support line.
inline constexpr int kCurrentLTSJavaMajor = 25;

/// The cases of `Diagnosis`.
struct DiagnosisCases {
    /// No JDK at all.
    struct D1_NoJDK {
        bool operator==(const D1_NoJDK&) const = default;
    };
    /// A modern JDK is installed but `JAVA_HOME` does not point at one; `detectedJDK` is the one to point it
    /// at.
    struct D2_HomeUnset {
        JDKInfo detectedJDK;
        bool operator==(const D2_HomeUnset&) const = default;
    };
    /// Only JDKs older than the modern line are installed; `detectedJDK` is the newest of them.
    struct D3_LegacyOnly {
        JDKInfo detectedJDK;
        bool operator==(const D3_LegacyOnly&) const = default;
    };
    /// `JAVA_HOME` points at the modern JDK `detectedJDK`.
    struct D4_ModernHomeSet {
        JDKInfo detectedJDK;
        bool operator==(const D4_ModernHomeSet&) const = default;
    };
    /// The facts contradict each other; `reason` is shown to the user unchanged.
    struct Unknown {
        std::string reason;
        bool operator==(const Unknown&) const = default;
    };
    /// The product does not diagnose Java.
    struct NoErrorsFound {
        bool operator==(const NoErrorsFound&) const = default;
    };
    using Case =
        std::variant<D1_NoJDK, D2_HomeUnset, D3_LegacyOnly, D4_ModernHomeSet, Unknown, NoErrorsFound>;
};

/// The verdict on the Mac's Java, with the texts the diagnosis screen shows for it. A plain value.
struct Diagnosis : TaggedUnion<DiagnosisCases> {
    using TaggedUnion::TaggedUnion;

    /// The title of the diagnosis screen.
    [[nodiscard]] std::string headline() const;
    /// The explanation under the headline.
    [[nodiscard]] std::string detail() const;
    /// The completion surface the system audit ends on when entered from this diagnosis.
    [[nodiscard]] CompletionSurface resultCategory() const;
};

}  // namespace quill
