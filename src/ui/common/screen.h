#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "engine/core/tagged_union.h"
#include "engine/java/completion_surface.h"
#include "engine/setup/product_copy.h"

namespace quill::ui {

/// How the user came to the system audit. The raw values are the `entry` of "audit_reached".
enum class AuditEntry { heuristic, buildIntent, nextStepCourse, nextStepBuildSoftware, nextStepNotSure };

std::string_view toRaw(AuditEntry entry);
/// Exact, case-sensitive; any other text gives nothing.
std::optional<AuditEntry> fromRawAuditEntry(std::string_view raw);

/// The audit reached from the next-step question: the chosen step, the goal picked before, and where the flow
/// leads after the audit.
struct QuillAuditContext {
    std::string nextStep;
    std::optional<std::string> goal;
    std::optional<OfferRoute> thenRoute;

    bool operator==(const QuillAuditContext&) const = default;
};

/// How the system audit was reached and which completion screen ends it.
struct AuditContext {
    AuditEntry entry = AuditEntry::heuristic;
    CompletionSurface completionSurface;
    std::optional<QuillAuditContext> quill;

    bool operator==(const AuditContext&) const = default;
};

/// The cases of `Screen`.
struct ScreenCases {
    struct Diagnose {
        bool operator==(const Diagnose&) const = default;
    };
    struct SetupWorkflow {
        bool operator==(const SetupWorkflow&) const = default;
    };
    struct Audit {
        AuditContext context;
        bool operator==(const Audit&) const = default;
    };
    struct NextStep {
        bool operator==(const NextStep&) const = default;
    };
    struct ContentOffer {
        std::string offerID;
        bool operator==(const ContentOffer&) const = default;
    };
    struct GuidedHelpOffer {
        bool operator==(const GuidedHelpOffer&) const = default;
    };
    struct AICodingOffer {
        bool operator==(const AICodingOffer&) const = default;
    };
    using Case =
        std::variant<Diagnose, SetupWorkflow, Audit, NextStep, ContentOffer, GuidedHelpOffer, AICodingOffer>;
};

/// One element of the navigation path: the screen to show above the welcome screen. Equal when the case and
/// every payload field, nested routes included, are equal.
struct Screen : TaggedUnion<ScreenCases> {
    using TaggedUnion::TaggedUnion;

    static Screen diagnose() { return Diagnose{}; }
    static Screen setupWorkflow() { return SetupWorkflow{}; }
    static Screen audit(AuditContext context) { return Audit{std::move(context)}; }
    static Screen nextStep() { return NextStep{}; }
    static Screen contentOffer(std::string offerID) { return ContentOffer{std::move(offerID)}; }
    static Screen guidedHelpOffer() { return GuidedHelpOffer{}; }
    static Screen aiCodingOffer() { return AICodingOffer{}; }
};

}  // namespace quill::ui
