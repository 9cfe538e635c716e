#pragma once

#include <functional>
#include <string>

#include "engine/setup/product_copy.h"
#include "ui/common/screen.h"

namespace quill::ui {

class ScreenPage;
struct ScreenContext;

/// The pages the navigation path leads to, one builder per kind of screen, each given exactly what its screen
/// is built with. An empty builder stands for a screen that does not exist yet.
struct DestinationRegistry {
    using Plain = std::function<ScreenPage*(ScreenContext&)>;
    using WithOffer = std::function<ScreenPage*(ScreenContext&, const std::string& offerID)>;

    Plain diagnose;
    Plain setupWorkflow;
    std::function<ScreenPage*(ScreenContext&, const AuditContext& context)> audit;
    /// Built with no option selected.
    std::function<ScreenPage*(ScreenContext&, const NextStepPrompt& prompt)> nextStep;
    /// Built with its shown event not yet sent.
    WithOffer contentOffer;
    /// Built with its shown event not yet sent and no unavailability notice.
    WithOffer guidedHelpOffer;
    /// Built with its shown event not yet sent.
    WithOffer aiCodingOffer;

    /// The application's screens.
    static DestinationRegistry standard();
};

/// The offer identifiers under which the guided-help and AI-coding offers are looked up.
inline constexpr const char* kGuidedHelpOfferID = "guided_help_plan";
inline constexpr const char* kAICodingOfferID = "ai_coding_setup";

}  // namespace quill::ui
