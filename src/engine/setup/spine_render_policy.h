#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "engine/services/system_profile.h"
#include "engine/setup/disk_readiness.h"
#include "engine/setup/network_readiness_probe.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/setup_verification_result.h"

namespace quill {

/// How the setup flow presents and drives a product's workflow: special stage views, the Homebrew gate, the
/// diagnosis summary, offers, article links, password-dialog reasons, fix captions, readiness checks and
/// hooks. Every product starts from the default value and overwrites what it needs. It holds hooks, so it has
/// no equality; the hooks may be called from any thread.
struct SpineRenderPolicy {
    /// The offer attached to a stage.
    struct SpineOffer {
        std::string offerID;
        std::string offerSurface;
        std::string eligibilityReason;
        bool operator==(const SpineOffer&) const = default;
    };

    /// The screen shown after the primary stages.
    struct InterstitialScreen {
        std::string windowTitle;
        std::string headline;
        std::string body;
        std::string buttonLabel;
        std::optional<std::string> disclosure;
        std::string articlePath;
        bool operator==(const InterstitialScreen&) const = default;
    };

    /// An application the outcome screen offers to open; `appName` is the bundle's file name, ".app"
    /// included.
    struct OpenableApp {
        std::string label;
        std::string appName;
        bool operator==(const OpenableApp&) const = default;
    };

    /// One row of a cask multi-select stage; choosing it installs the fix `remediationID`.
    struct CaskChoice {
        std::string label;
        std::optional<std::string> subtitle;
        std::string remediationID;
        std::string accessibilityID;
        bool operator==(const CaskChoice&) const = default;
    };

    /// One button that installs all of the stage's fixes in one sheet.
    struct GroupedInstall {
        std::string title;
        std::string installID;
        std::string accessibilityID;
        bool operator==(const GroupedInstall&) const = default;
    };
    /// A checkbox per choice; the chosen fixes install in one sheet that continues past a failure.
    struct CaskMultiselect {
        std::string title;
        std::string installID;
        std::vector<CaskChoice> items;
        bool operator==(const CaskMultiselect&) const = default;
    };
    struct LanguagesMultiselect {
        bool operator==(const LanguagesMultiselect&) const = default;
    };
    struct ProjectActions {
        bool operator==(const ProjectActions&) const = default;
    };
    struct SkillsMultiselect {
        bool operator==(const SkillsMultiselect&) const = default;
    };
    struct MCPMultiselect {
        bool operator==(const MCPMultiselect&) const = default;
    };
    struct GitActions {
        bool operator==(const GitActions&) const = default;
    };
    /// The special view a stage is drawn with.
    using SpecialStageKind = std::variant<GroupedInstall, CaskMultiselect, LanguagesMultiselect,
                                          ProjectActions, SkillsMultiselect, MCPMultiselect, GitActions>;

    using StageBlockedHook = std::function<void(const std::string& domainID, const SetupProbeBundle& probes)>;
    using OutcomeReportedHook =
        std::function<void(const std::optional<std::string>& engineOutcome, const std::string& answer)>;
    using OpenableAppsProvider =
        std::function<std::vector<OpenableApp>(const std::optional<SystemProfile>& profile,
                                               const std::optional<SetupVerificationResult>& verification)>;

    std::set<std::string> summaryExcludedDomains;
    std::map<std::string, SpineOffer> offers;
    std::set<std::string> homebrewIndependentDomains{"clt", "homebrew"};
    std::set<std::string> advanceOnPartialFailureDomains;
    std::map<std::string, std::string> stageArticlePaths;
    std::string fallbackArticlePath;
    std::optional<std::string> privilegedActionReason;
    std::map<std::string, std::string> privilegedReasons;
    StageBlockedHook onStageBlocked;  ///< empty when absent
    std::optional<InterstitialScreen> postPrimaryInterstitial;
    std::optional<NetworkReadinessConfig> networkReadiness;
    std::optional<DiskReadinessConfig> diskReadiness;
    std::map<std::string, std::string> remediationCaptions;
    OutcomeReportedHook onOutcomeReported;     ///< empty when absent
    OpenableAppsProvider outcomeOpenableApps;  ///< empty when absent
    std::map<std::string, SpecialStageKind> specialStages;

    /// The article path of `domainID`'s stage: its entry in `stageArticlePaths`, even an empty one, else
    /// `fallbackArticlePath`. Resolve it with `ProductURLs::articleURL`.
    [[nodiscard]] const std::string& articlePath(const std::string& domainID) const;

    /// The sentence of the password dialog for the fix `remediationID`: its entry in `privilegedReasons`,
    /// else `privilegedActionReason`, else the product's `displayName`.
    [[nodiscard]] std::string privilegedReason(const std::string& remediationID,
                                               const std::string& displayName) const;

    /// The caption under the fix `remediationID`: its entry in `remediationCaptions`, even an empty one, else
    /// the fix's own caption.
    [[nodiscard]] std::string caption(const std::string& remediationID, const std::string& ownCaption) const;
};

}  // namespace quill
