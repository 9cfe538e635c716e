#pragma once

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/core/tagged_union.h"
#include "engine/products/load_setup.h"
#include "engine/products/product_strategies.h"
#include "engine/services/app_services.h"
#include "engine/services/quill_language.h"
#include "engine/services/system_profile.h"
#include "engine/setup/mcp_server.h"
#include "engine/setup/product_config.h"
#include "engine/setup/setup_probe_bundle.h"
#include "engine/setup/setup_remediation.h"
#include "engine/setup/setup_verification_result.h"
#include "engine/setup/setup_workflow.h"
#include "ui/common/task_scope.h"
#include "ui/setupflow/install_run.h"

namespace quill::ui {

struct ScreenContext;

/// The state machine of the guided setup flow: loading, the experience question, the diagnosis summary,
/// the readiness warnings, one step per stage, verification, the keep-going gate, the outcome and the
/// feedback step. Screens render `step()` and call one operation per control; the model starts each step's
/// own work when the step begins. Blocking work runs on its tasks and a result that comes back after its
/// step has moved on is dropped. GUI thread only.
class SetupFlowModel : public QObject {
    Q_OBJECT

  public:
    /// The cases of `ReadinessWarning`.
    struct ReadinessWarningCases {
        struct Network {
            NetworkReadinessResult result;
            bool operator==(const Network&) const = default;
        };
        struct Disk {
            DiskReadinessResult result;
            bool operator==(const Disk&) const = default;
        };
        using Case = std::variant<Network, Disk>;
    };

    /// A readiness check that needs the user's attention before the first install.
    struct ReadinessWarning : TaggedUnion<ReadinessWarningCases> {
        using TaggedUnion::TaggedUnion;
    };

    /// The cases of `Step`.
    struct StepCases {
        struct ReadinessWarning {
            SetupFlowModel::ReadinessWarning warning;
            bool operator==(const ReadinessWarning&) const = default;
        };
        struct Stage {
            std::string domainID;
            bool operator==(const Stage&) const = default;
        };
        // clang-format off
        struct Loading { bool operator==(const Loading&) const = default; };
        struct ExperienceQuestion { bool operator==(const ExperienceQuestion&) const = default; };
        struct DiagnosisSummary { bool operator==(const DiagnosisSummary&) const = default; };
        struct Interstitial { bool operator==(const Interstitial&) const = default; };
        struct Verifying { bool operator==(const Verifying&) const = default; };
        struct KeepGoingGate { bool operator==(const KeepGoingGate&) const = default; };
        struct Outcome { bool operator==(const Outcome&) const = default; };
        struct Nps { bool operator==(const Nps&) const = default; };
        // clang-format on

        using Case = std::variant<ReadinessWarning, Stage, Loading, ExperienceQuestion, DiagnosisSummary,
                                  Interstitial, Verifying, KeepGoingGate, Outcome, Nps>;
    };

    /// The screen to show.
    struct Step : TaggedUnion<StepCases> {
        using TaggedUnion::TaggedUnion;

        // clang-format off
        static Step readinessWarning(const SetupFlowModel::ReadinessWarning& warning) { return ReadinessWarning{warning}; }
        static Step stage(std::string domainID) { return Stage{std::move(domainID)}; }
        static Step loading() { return Loading{}; }
        static Step experienceQuestion() { return ExperienceQuestion{}; }
        static Step diagnosisSummary() { return DiagnosisSummary{}; }
        static Step interstitial() { return Interstitial{}; }
        static Step verifying() { return Verifying{}; }
        static Step keepGoingGate() { return KeepGoingGate{}; }
        static Step outcome() { return Outcome{}; }
        static Step nps() { return Nps{}; }
        // clang-format on
    };

    /// The install the screen's sheet is to run.
    struct PendingInstall {
        std::string id;
        std::string title;
        std::vector<SetupRemediation> remediations;
        bool continuesPastFailure = false;
        bool operator==(const PendingInstall&) const = default;
    };

    /// What the user chose on the stages that offer choices. Kept for the whole flow, so that a stage shown
    /// again shows the same choices.
    struct StageSelections {
        std::set<QuillLanguage> languages;
        std::set<std::string> skills;
        bool skillsSeeded = false;  ///< the preselected skills were ticked once
        std::set<std::string> mcpServers;
        std::map<std::string, std::string> mcpAPIKeys;
        std::string gitName;
        std::string gitEmail;
        std::set<std::string> gitFixes;  ///< the ids of the Git stage's ticked rows
        std::set<std::string> casks;
        std::set<std::string> caskSeededStages;  ///< the stages whose offered casks were ticked once
        bool operator==(const StageSelections&) const = default;
    };

    /// A stage as its section offers it: what "Install selected" is made from.
    struct StageOffer {
        std::string stageID;
        /// The stage page's headline, the title of the install's sheet.
        std::string title;
        /// The fixes the stage offers, in order.
        std::vector<SetupRemediation> remediations;
    };

    /// The parts of the machine the model reaches, each replaceable in tests; an empty one is the live one.
    struct Seams {
        /// Surveys the Mac. Blocking; run on a worker, whose stop token ends the probes early.
        products::SystemProfiling profiler;
        /// The free bytes of the volume holding a path; nothing when they cannot be read. Blocking.
        std::function<std::optional<std::int64_t>(const std::filesystem::path&)> freeSpace;
        /// Samples the download servers. Blocking; run on a worker.
        std::function<NetworkReadinessResult(const AppServices&, const NetworkReadinessConfig&)>
            measureNetwork;
        /// The product's prober, provider, texts and verifier, with defaults for what it leaves unset.
        std::function<products::ProductStrategies(const ProductConfig&)> strategies;
    };

    SetupFlowModel(std::shared_ptr<const ProductConfig> config, ScreenContext& context, Seams seams = {},
                   QObject* parent = nullptr);
    ~SetupFlowModel() override;

    // Published state.
    [[nodiscard]] const ProductConfig& config() const { return *m_config; }
    [[nodiscard]] const std::optional<SystemProfile>& profile() const { return m_profile; }
    [[nodiscard]] const std::optional<SetupProbeBundle>& probes() const { return m_probes; }
    [[nodiscard]] const std::optional<SetupWorkflow>& workflow() const { return m_workflow; }
    [[nodiscard]] const Step& step() const { return m_step; }
    [[nodiscard]] const std::optional<SetupVerificationResult>& verifyResult() const {
        return m_verifyResult;
    }
    [[nodiscard]] const std::vector<OutcomeAuditSection>& outcomeAudit() const { return m_outcomeAudit; }
    /// True from entering the outcome after a passed verification until its checklist arrives.
    [[nodiscard]] bool outcomeAuditRunning() const { return m_outcomeAuditRunning; }
    [[nodiscard]] const std::optional<PendingInstall>& pendingInstall() const { return m_pendingInstall; }
    /// True while the stage an install came back to is probed again; the screen disables the stage.
    [[nodiscard]] bool refreshing() const { return m_refreshing; }
    [[nodiscard]] bool npsResolved() const { return m_npsResolved; }
    [[nodiscard]] const std::vector<ReadinessWarning>& pendingReadiness() const { return m_pendingReadiness; }
    [[nodiscard]] bool experienceAsked() const { return m_experienceAsked; }
    [[nodiscard]] bool didEmitDiagnosis() const { return m_didEmitDiagnosis; }
    [[nodiscard]] bool didEmitVerify() const { return m_didEmitVerify; }
    [[nodiscard]] const std::set<std::string>& emittedBlockedDomains() const {
        return m_emittedBlockedDomains;
    }
    [[nodiscard]] const std::set<std::string>& emittedOfferDomains() const { return m_emittedOfferDomains; }
    [[nodiscard]] const std::set<std::string>& actedOfferDomains() const { return m_actedOfferDomains; }
    [[nodiscard]] const StageSelections& selections() const { return m_selections; }

    // Start and the experience question.
    /// Asks the experience question when it is due, else loads the profile and probes, builds the workflow
    /// and shows the diagnosis summary.
    void start();
    /// Stores and sends the answer (a bucket value or the skip value), then starts; only the first counts.
    void answerExperienceQuestion(const std::string& bucket);

    // Stages.
    void beginPrimaryStages();
    void enterStages(DomainPlacement placement, const Step& fallback);
    void enterOptionalStages();
    void stageAppeared(const std::string& domainID);
    void advance(const std::string& domainID);
    void recordOfferAction(const std::string& domainID);
    void skipStage(const std::string& domainID);
    /// Set by the screen to open the install sheet, cleared when the sheet has finished. Setting one notes
    /// the stage it was made on, which its return then acts on.
    void setPendingInstall(std::optional<PendingInstall> install);
    // The stages' choices; each setter signals `selectionsChanged` when it changes something.
    void setLanguageSelected(QuillLanguage language, bool selected);
    void setSkillSelected(const std::string& slug, bool selected);
    /// Ticks `slugs` the first time only; later calls do nothing.
    void seedSkills(const std::set<std::string>& slugs);
    void setMCPServerSelected(const std::string& slug, bool selected);
    void setMCPAPIKey(const std::string& slug, const std::string& key);
    void setGitName(const std::string& name);
    void setGitEmail(const std::string& email);
    void setGitFixSelected(const std::string& fixID, bool selected);
    void setCaskSelected(const std::string& fixID, bool selected);
    /// Ticks `fixIDs` the first time `stageID` shows; later calls for it do nothing.
    void seedCasks(const std::string& stageID, const std::vector<std::string>& fixIDs);
    /// What "Install selected" installs on `stage`: the chosen fixes, in the order shown. Nothing for a stage
    /// without choices.
    [[nodiscard]] std::optional<PendingInstall> pendingInstallFor(const StageOffer& stage) const;
    /// The sheet's outcome: a success (or a failure where the policy moves on anyway) probes again and
    /// leaves the stage the install was made on, when that stage is still shown.
    void installDidFinish(InstallRun::Outcome outcome);
    void refreshAndAdvance(const std::string& domainID);
    /// The screen's direct moves: "Install Homebrew first", "Finish here" and the interstitial's button.
    void goToStep(const Step& step);

    // Readiness.
    /// The diagnosis summary's "Continue": measures what the policy asks for, then shows the warnings or
    /// enters the stages. Nothing unless the summary is shown and no check runs yet.
    void checkReadinessAndBegin();
    void presentReadinessWarnings(std::vector<ReadinessWarning> warnings);
    static void emitReadinessDecision(const ReadinessWarning& warning, const std::string& action);
    void continueAfterReadinessWarning();
    /// Sends "stop" for the warning shown, drops the rest and asks to leave the flow.
    void stopAtReadinessWarning();

    // Verification, outcome and feedback.
    void verify();
    void emitVerifyEvent(const SetupVerificationResult& result);
    void loadOutcomeAudit();
    /// "resolved" or "not_resolved". True when the user already gave a score: the model then asks to leave.
    /// Only the first answer counts; later ones return false and do nothing.
    bool reportOutcome(const std::string& answer);
    /// The feedback card answered or dismissed itself.
    void resolveNPS();
    /// The feedback step's "Done": sends "nps_dismissed" unless the card was resolved, then asks to leave.
    void dismissNPS();

  signals:
    void profileChanged();
    void probesChanged();
    void workflowChanged();
    void stepChanged();
    void verifyResultChanged();
    void outcomeAuditChanged();
    void pendingInstallChanged();
    void refreshingChanged();
    void pendingReadinessChanged();
    void selectionsChanged();
    /// The flow is over or abandoned: the screen empties the navigation path.
    void leaveRequested();

  private:
    using Loaded = products::LoadedSetup;

    void setStep(Step step);
    void postEntryWork();
    void setRefreshing(bool refreshing);
    void changeSelections(const std::function<void(StageSelections&)>& change);
    void publish(Loaded loaded);
    void loadProfileAndProbes(std::function<void(std::optional<Loaded>)> onDone);
    void emitDiagnosisIfNeeded(const SetupWorkflow& workflow);
    [[nodiscard]] Step afterPrimaryStages() const;
    [[nodiscard]] AppServices services() const;
    [[nodiscard]] std::optional<SystemProfile> fallbackProfile() const;
    [[nodiscard]] products::ProductStrategies strategies() const;

    std::shared_ptr<const ProductConfig> m_config;
    ScreenContext& m_context;
    Seams m_seams;

    std::optional<SystemProfile> m_profile;
    std::optional<SetupProbeBundle> m_probes;
    std::optional<SetupWorkflow> m_workflow;
    Step m_step = Step::loading();
    std::optional<SetupVerificationResult> m_verifyResult;
    std::vector<OutcomeAuditSection> m_outcomeAudit;
    bool m_outcomeAuditRunning = false;
    std::optional<PendingInstall> m_pendingInstall;
    std::set<std::string> m_emittedBlockedDomains;
    bool m_didEmitDiagnosis = false;
    bool m_didEmitVerify = false;
    std::set<std::string> m_emittedOfferDomains;
    std::set<std::string> m_actedOfferDomains;
    bool m_npsResolved = false;
    std::vector<ReadinessWarning> m_pendingReadiness;
    bool m_experienceAsked = false;
    StageSelections m_selections;

    std::optional<std::string> m_installStage;  // the stage the pending install was made on
    bool m_refreshing = false;
    bool m_gateRunning = false;
    bool m_outcomeReported = false;
    std::uint64_t m_stepSerial = 0;  // bumped on every change of step

    TaskScope m_tasks{this};
    TaskScope m_auditTasks{this};  // the checklist, stopped when the outcome step is left
};

/// The MCP servers the MCP stage offers, in the order shown.
const std::vector<MCPServer>& offeredMCPServers();

}  // namespace quill::ui
