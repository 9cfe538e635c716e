#include "ui/setupflow/setup_flow_model.h"

#include <QTimer>
#include <algorithm>
#include <utility>

#include "engine/core/overloaded.h"
#include "engine/core/text.h"
#include "engine/products/claude/agent_skill_catalog.h"
#include "engine/products/load_setup.h"
#include "engine/products/outcome_audit.h"
#include "engine/services/shell_runner.h"
#include "engine/setup/disk_readiness.h"
#include "engine/setup/language_remediations.h"
#include "engine/telemetry/event_privacy.h"
#include "engine/telemetry/telemetry_events.h"
#include "ui/common/profile_holder.h"
#include "ui/common/screen_context.h"
#include "ui/common/settings.h"

namespace quill::ui {

namespace {

constexpr std::size_t kVersionExcerptLimit = 200;

NetworkReadinessResult liveNetwork(const AppServices& services, const NetworkReadinessConfig& config) {
    return NetworkReadinessProbe{services.http}.measure(config);
}

}  // namespace

SetupFlowModel::SetupFlowModel(std::shared_ptr<const ProductConfig> config, ScreenContext& context,
                               Seams seams, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_context(context), m_seams(std::move(seams)) {
    if (!m_seams.profiler)
        m_seams.profiler = products::liveSystemProfile;
    if (!m_seams.freeSpace)
        m_seams.freeSpace = availableDiskBytes;
    if (!m_seams.measureNetwork)
        m_seams.measureNetwork = liveNetwork;
    if (!m_seams.strategies)
        m_seams.strategies = products::productStrategies;
}

SetupFlowModel::~SetupFlowModel() = default;

AppServices SetupFlowModel::services() const {
    return m_context.services;
}

std::optional<SystemProfile> SetupFlowModel::fallbackProfile() const {
    return m_context.profile.profile();
}

products::ProductStrategies SetupFlowModel::strategies() const {
    return m_seams.strategies(*m_config);
}

// MARK: - Step and its entry work

void SetupFlowModel::setStep(Step step) {
    if (step == m_step)
        return;
    if (m_step.is<Step::Outcome>())
        m_auditTasks.cancelAll();
    m_step = std::move(step);
    ++m_stepSerial;
    // Running from the step's first showing: the checks themselves start once this operation is over.
    m_outcomeAuditRunning = m_step.is<Step::Outcome>() && m_verifyResult && m_verifyResult->passed;
    emit stepChanged();
    postEntryWork();
}

void SetupFlowModel::postEntryWork() {
    const bool entersWork = m_step.is<Step::Stage>() || m_step.is<Step::Verifying>() ||
                            m_step.is<Step::Outcome>() || m_step.is<Step::Interstitial>();
    if (!entersWork)
        return;
    // Posted so that the operation that changed the step finishes first; run only while the step holds.
    QTimer::singleShot(0, this, [this, serial = m_stepSerial] {
        if (serial != m_stepSerial)
            return;
        if (const auto* stage = m_step.as<Step::Stage>())
            stageAppeared(stage->domainID);
        else if (m_step.is<Step::Verifying>())
            verify();
        else if (m_step.is<Step::Outcome>())
            loadOutcomeAudit();
        else if (m_step.is<Step::Interstitial>() && !m_config->spinePolicy.postPrimaryInterstitial)
            setStep(Step::verifying());
    });
}

void SetupFlowModel::goToStep(const Step& step) {
    setStep(step);
}

void SetupFlowModel::setRefreshing(bool refreshing) {
    if (std::exchange(m_refreshing, refreshing) != refreshing)
        emit refreshingChanged();
}

// MARK: - Loading

void SetupFlowModel::loadProfileAndProbes(std::function<void(std::optional<Loaded>)> onDone) {
    std::optional<SystemProfile> known = m_profile ? m_profile : fallbackProfile();
    m_tasks.start(
        [services = services(), known = std::move(known), profiler = m_seams.profiler,
         strategies = strategies()](std::stop_token stop) {
            return products::loadSetup(strategies, services, known, std::move(stop), profiler);
        },
        std::move(onDone));
}

void SetupFlowModel::publish(Loaded loaded) {
    m_profile = std::move(loaded.profile);
    emit profileChanged();
    m_probes = std::move(loaded.probes);
    emit probesChanged();
    m_workflow = std::move(loaded.workflow);
    emit workflowChanged();
}

void SetupFlowModel::start() {
    if (m_config->experienceQuestion && !m_experienceAsked) {
        const auto stored = services().store->string(productKey(".experience_bucket"));
        if (!stored) {
            setStep(Step::experienceQuestion());
            return;
        }
    }
    loadProfileAndProbes([this](std::optional<Loaded> loaded) {
        if (!loaded)
            return;
        publish(std::move(*loaded));
        emitDiagnosisIfNeeded(*m_workflow);
        setStep(Step::diagnosisSummary());
    });
}

void SetupFlowModel::answerExperienceQuestion(const std::string& bucket) {
    if (m_experienceAsked)
        return;
    m_experienceAsked = true;
    services().store->setString(productKey(".experience_bucket"), bucket);
    TelemetryEvents::send("experience_bucket", {{"bucket", bucket}});
    start();
}

void SetupFlowModel::emitDiagnosisIfNeeded(const SetupWorkflow& workflow) {
    if (std::exchange(m_didEmitDiagnosis, true))
        return;
    std::int64_t fixable = 0;
    std::int64_t blocked = 0;
    for (const auto& step : workflow.steps) {
        if (step.placement != DomainPlacement::primary)
            continue;
        const auto classification = step.stage->diagnosis().classification;
        fixable += classification == SetupDiagnosisClassification::fixable ? 1 : 0;
        blocked += classification == SetupDiagnosisClassification::blocked ? 1 : 0;
    }
    const char* reason = blocked > 0 ? "blocked" : fixable > 0 ? "fixable" : "ready";
    std::vector<std::string> terminals;
    if (m_profile)
        terminals = m_profile->terminals.installedIDs();
    std::ranges::sort(terminals);
    TelemetryEvents::send(TelemetryEvents::terminalDiagnosisReached(reason, fixable, blocked, terminals));
}

// MARK: - Stages

SetupFlowModel::Step SetupFlowModel::afterPrimaryStages() const {
    return m_config->spinePolicy.postPrimaryInterstitial ? Step::interstitial() : Step::verifying();
}

void SetupFlowModel::beginPrimaryStages() {
    enterStages(DomainPlacement::primary, afterPrimaryStages());
}

void SetupFlowModel::enterStages(DomainPlacement placement, const Step& fallback) {
    std::optional<std::string> next;
    if (m_workflow)
        next = m_workflow->nextDomainNeedingAction(placement);
    setStep(next ? Step::stage(*next) : fallback);
}

void SetupFlowModel::enterOptionalStages() {
    enterStages(DomainPlacement::optional, Step::outcome());
}

void SetupFlowModel::advance(const std::string& domainID) {
    const auto placement = m_workflow ? m_workflow->placement(domainID) : std::nullopt;
    if (!placement) {
        setStep(afterPrimaryStages());
        return;
    }
    const auto next = m_workflow->nextDomainNeedingAction(*placement, domainID);
    if (next) {
        setStep(Step::stage(*next));
        return;
    }
    switch (*placement) {
        case DomainPlacement::primary:
            setStep(afterPrimaryStages());
            break;
        case DomainPlacement::offer:
            setStep(Step::keepGoingGate());
            break;
        case DomainPlacement::optional:
            setStep(Step::outcome());
            break;
    }
}

void SetupFlowModel::stageAppeared(const std::string& domainID) {
    if (!m_workflow)
        return;
    const auto found = std::ranges::find_if(
        m_workflow->steps, [&](const WorkflowStep& step) { return step.stage->domainID() == domainID; });
    if (found == m_workflow->steps.end())
        return;
    const auto classification = found->stage->diagnosis().classification;
    const auto& policy = m_config->spinePolicy;
    if (classification == SetupDiagnosisClassification::blocked && m_probes &&
        !m_emittedBlockedDomains.contains(domainID)) {
        m_emittedBlockedDomains.insert(domainID);
        if (policy.onStageBlocked)
            policy.onStageBlocked(domainID, *m_probes);
    }
    if (classification == SetupDiagnosisClassification::ready) {
        advance(domainID);
        return;
    }
    const auto offer = policy.offers.find(domainID);
    if (offer != policy.offers.end() && !m_emittedOfferDomains.contains(domainID)) {
        m_emittedOfferDomains.insert(domainID);
        TelemetryEvents::send("offer_shown", {{"offer_id", offer->second.offerID},
                                              {"offer_surface", offer->second.offerSurface},
                                              {"eligibility_reason", offer->second.eligibilityReason},
                                              {"next_step", JSONValue()},
                                              {"goal", JSONValue()}});
    }
}

void SetupFlowModel::recordOfferAction(const std::string& domainID) {
    const auto& offers = m_config->spinePolicy.offers;
    const auto offer = offers.find(domainID);
    if (offer == offers.end() || m_actedOfferDomains.contains(domainID))
        return;
    m_actedOfferDomains.insert(domainID);
    TelemetryEvents::send("offer_action", {{"offer_id", offer->second.offerID},
                                           {"offer_surface", offer->second.offerSurface},
                                           {"action", "selected"},
                                           {"result", JSONValue()},
                                           {"next_step", JSONValue()}});
}

void SetupFlowModel::skipStage(const std::string& domainID) {
    const auto& offers = m_config->spinePolicy.offers;
    const auto offer = offers.find(domainID);
    if (offer != offers.end() && !m_actedOfferDomains.contains(domainID)) {
        m_actedOfferDomains.insert(domainID);
        TelemetryEvents::send("offer_action", {{"offer_id", offer->second.offerID},
                                               {"offer_surface", offer->second.offerSurface},
                                               {"action", "dismissed"},
                                               {"result", JSONValue()},
                                               {"next_step", JSONValue()}});
    }
    advance(domainID);
}

void SetupFlowModel::setPendingInstall(std::optional<PendingInstall> install) {
    if (install) {
        const auto* stage = m_step.as<Step::Stage>();
        m_installStage = stage ? std::optional(stage->domainID) : std::nullopt;
    }
    if (install == m_pendingInstall)
        return;
    m_pendingInstall = std::move(install);
    emit pendingInstallChanged();
}

// MARK: - Stage choices

void SetupFlowModel::changeSelections(const std::function<void(StageSelections&)>& change) {
    auto changed = m_selections;
    change(changed);
    if (changed == m_selections)
        return;
    m_selections = std::move(changed);
    emit selectionsChanged();
}

namespace {

template <class T>
void setMember(std::set<T>& set, const T& value, bool member) {
    if (member)
        set.insert(value);
    else
        set.erase(value);
}

}  // namespace

void SetupFlowModel::setLanguageSelected(QuillLanguage language, bool selected) {
    changeSelections([&](StageSelections& s) { setMember(s.languages, language, selected); });
}

void SetupFlowModel::setSkillSelected(const std::string& slug, bool selected) {
    changeSelections([&](StageSelections& s) { setMember(s.skills, slug, selected); });
}

void SetupFlowModel::seedSkills(const std::set<std::string>& slugs) {
    changeSelections([&](StageSelections& s) {
        if (!std::exchange(s.skillsSeeded, true))
            s.skills.insert(slugs.begin(), slugs.end());
    });
}

void SetupFlowModel::setMCPServerSelected(const std::string& slug, bool selected) {
    changeSelections([&](StageSelections& s) { setMember(s.mcpServers, slug, selected); });
}

void SetupFlowModel::setMCPAPIKey(const std::string& slug, const std::string& key) {
    changeSelections([&](StageSelections& s) { s.mcpAPIKeys[slug] = key; });
}

void SetupFlowModel::setGitName(const std::string& name) {
    changeSelections([&](StageSelections& s) { s.gitName = name; });
}

void SetupFlowModel::setGitEmail(const std::string& email) {
    changeSelections([&](StageSelections& s) { s.gitEmail = email; });
}

void SetupFlowModel::setGitFixSelected(const std::string& fixID, bool selected) {
    changeSelections([&](StageSelections& s) { setMember(s.gitFixes, fixID, selected); });
}

void SetupFlowModel::setCaskSelected(const std::string& fixID, bool selected) {
    changeSelections([&](StageSelections& s) { setMember(s.casks, fixID, selected); });
}

void SetupFlowModel::seedCasks(const std::string& stageID, const std::vector<std::string>& fixIDs) {
    changeSelections([&](StageSelections& s) {
        if (s.caskSeededStages.insert(stageID).second)
            s.casks.insert(fixIDs.begin(), fixIDs.end());
    });
}

std::optional<SetupFlowModel::PendingInstall> SetupFlowModel::pendingInstallFor(
    const StageOffer& stage) const {
    using Policy = SpineRenderPolicy;
    const auto kind = m_config->spinePolicy.specialStages.find(stage.stageID);
    if (kind == m_config->spinePolicy.specialStages.end())
        return std::nullopt;
    const auto& chosen = m_selections;
    const auto pending = [&](std::vector<SetupRemediation> fixes, bool continues) {
        return PendingInstall{stage.stageID, stage.title, std::move(fixes), continues};
    };
    return std::visit(
        Overloaded{
            [&](const Policy::CaskMultiselect& casks) -> std::optional<PendingInstall> {
                std::vector<SetupRemediation> fixes;
                for (const auto& item : casks.items) {
                    if (!chosen.casks.contains(item.remediationID))
                        continue;
                    const auto fix = std::ranges::find_if(
                        stage.remediations,
                        [&](const SetupRemediation& offered) { return offered.id() == item.remediationID; });
                    if (fix != stage.remediations.end())
                        fixes.push_back(*fix);
                }
                return PendingInstall{casks.installID, casks.title, std::move(fixes), true};
            },
            [&](const Policy::LanguagesMultiselect&) -> std::optional<PendingInstall> {
                return pending(remediations(chosen.languages), true);
            },
            [&](const Policy::SkillsMultiselect&) -> std::optional<PendingInstall> {
                std::vector<SetupRemediation> fixes;
                for (const auto& skill : agentSkillCatalog(m_profile && m_profile->isLikelyDeveloper())) {
                    if (chosen.skills.contains(skill.slug))
                        fixes.push_back(SetupRemediation::installSkill(skill));
                }
                return pending(std::move(fixes), true);
            },
            [&](const Policy::MCPMultiselect&) -> std::optional<PendingInstall> {
                std::vector<SetupRemediation> fixes;
                for (const auto& server : offeredMCPServers()) {
                    if (!chosen.mcpServers.contains(server.slug))
                        continue;
                    std::optional<std::string> key;
                    const auto typed = chosen.mcpAPIKeys.find(server.slug);
                    if (typed != chosen.mcpAPIKeys.end() && !trimWhitespaceAndNewlines(typed->second).empty())
                        key = trimWhitespaceAndNewlines(typed->second);
                    fixes.push_back(SetupRemediation::addMCPServer(server, key));
                }
                return pending(std::move(fixes), true);
            },
            [&](const Policy::GitActions&) -> std::optional<PendingInstall> {
                std::vector<SetupRemediation> fixes;
                const auto name = trimWhitespaceAndNewlines(chosen.gitName);
                const auto email = trimWhitespaceAndNewlines(chosen.gitEmail);
                auto configure = SetupRemediation::configureGit(name, email);
                if (chosen.gitFixes.contains(configure.id()) && !name.empty() && !email.empty())
                    fixes.push_back(std::move(configure));
                for (auto fix : {SetupRemediation::installGh(), SetupRemediation::githubAuth()}) {
                    if (chosen.gitFixes.contains(fix.id()))
                        fixes.push_back(std::move(fix));
                }
                return pending(std::move(fixes), false);
            },
            // Stages without choices: their own buttons install, not "Install selected".
            [](const Policy::GroupedInstall&) -> std::optional<PendingInstall> { return std::nullopt; },
            [](const Policy::ProjectActions&) -> std::optional<PendingInstall> { return std::nullopt; },
        },
        kind->second);
}

const std::vector<MCPServer>& offeredMCPServers() {
    static const std::vector<MCPServer> kServers;
    return kServers;
}

void SetupFlowModel::installDidFinish(InstallRun::Outcome outcome) {
    const auto stage = std::exchange(m_installStage, std::nullopt);
    // The return acts on the stage the install was made on, and only while it is still shown.
    if (!stage || m_step != Step::stage(*stage))
        return;
    const bool movesOn = outcome == InstallRun::Outcome::success ||
                         (outcome == InstallRun::Outcome::failure &&
                          m_config->spinePolicy.advanceOnPartialFailureDomains.contains(*stage));
    if (movesOn)
        refreshAndAdvance(*stage);
}

void SetupFlowModel::refreshAndAdvance(const std::string& domainID) {
    setRefreshing(true);
    loadProfileAndProbes([this, domainID](std::optional<Loaded> loaded) {
        setRefreshing(false);
        if (loaded)
            publish(std::move(*loaded));
        if (m_step == Step::stage(domainID))
            advance(domainID);
    });
}

// MARK: - Readiness

void SetupFlowModel::checkReadinessAndBegin() {
    if (!m_step.is<Step::DiagnosisSummary>() || m_gateRunning)
        return;
    const auto& policy = m_config->spinePolicy;
    const auto services = this->services();
    if (services.isFixtureMode || (!policy.networkReadiness && !policy.diskReadiness)) {
        beginPrimaryStages();
        return;
    }
    m_gateRunning = true;
    setStep(Step::loading());
    struct Measured {
        std::optional<NetworkReadinessResult> network;
        std::optional<DiskReadinessResult> disk;
    };
    m_tasks.start(
        [services, network = policy.networkReadiness, disk = policy.diskReadiness,
         measureNetwork = m_seams.measureNetwork, freeSpace = m_seams.freeSpace](std::stop_token) {
            Measured measured;
            if (network)
                measured.network = measureNetwork(services, *network);
            if (disk)
                measured.disk = disk->evaluate(freeSpace(services.fs->homeDirectory()));
            return measured;
        },
        [this, serial = m_stepSerial](Measured measured) {
            m_gateRunning = false;
            if (serial != m_stepSerial)
                return;
            std::vector<ReadinessWarning> warnings;
            if (measured.network) {
                TelemetryEvents::send(TelemetryEvents::networkCheck(*measured.network));
                if (measured.network->needsAttention())
                    warnings.emplace_back(ReadinessWarning::Network{*measured.network});
            }
            if (measured.disk) {
                TelemetryEvents::send(TelemetryEvents::diskSpaceCheck(*measured.disk));
                if (measured.disk->needsAttention())
                    warnings.emplace_back(ReadinessWarning::Disk{*measured.disk});
            }
            presentReadinessWarnings(std::move(warnings));
        });
}

void SetupFlowModel::presentReadinessWarnings(std::vector<ReadinessWarning> warnings) {
    if (warnings.empty()) {
        if (!m_pendingReadiness.empty()) {
            m_pendingReadiness.clear();
            emit pendingReadinessChanged();
        }
        beginPrimaryStages();
        return;
    }
    auto first = warnings.front();
    m_pendingReadiness.assign(std::next(warnings.begin()), warnings.end());
    emit pendingReadinessChanged();
    setStep(Step::readinessWarning(first));
}

void SetupFlowModel::emitReadinessDecision(const ReadinessWarning& warning, const std::string& action) {
    std::visit(
        Overloaded{
            [&](const ReadinessWarning::Network& network) {
                TelemetryEvents::send(TelemetryEvents::networkWarningAction(action, network.result.verdict));
            },
            [&](const ReadinessWarning::Disk& disk) {
                TelemetryEvents::send(TelemetryEvents::diskWarningAction(action, disk.result.verdict));
            },
        },
        warning.value);
}

void SetupFlowModel::continueAfterReadinessWarning() {
    const auto* shown = m_step.as<Step::ReadinessWarning>();
    if (!shown)
        return;
    emitReadinessDecision(shown->warning, "continue");
    presentReadinessWarnings(m_pendingReadiness);
}

void SetupFlowModel::stopAtReadinessWarning() {
    if (const auto* shown = m_step.as<Step::ReadinessWarning>())
        emitReadinessDecision(shown->warning, "stop");
    if (!m_pendingReadiness.empty()) {
        m_pendingReadiness.clear();
        emit pendingReadinessChanged();
    }
    emit leaveRequested();
}

// MARK: - Verification, outcome and feedback

void SetupFlowModel::verify() {
    if (!m_step.is<Step::Verifying>())
        return;
    m_tasks.start(
        [services = services(), profile = m_profile, verifier = strategies().verifier](std::stop_token stop) {
            return verifier->verify(profile, ShellRunner{services.processRunner}, *services.fs, stop);
        },
        [this, serial = m_stepSerial](const SetupVerificationResult& result) {
            if (serial != m_stepSerial)
                return;
            m_verifyResult = result;
            emit verifyResultChanged();
            emitVerifyEvent(result);
            if (!result.passed)
                setStep(Step::outcome());
            else
                enterStages(DomainPlacement::offer, Step::keepGoingGate());
        });
}

void SetupFlowModel::emitVerifyEvent(const SetupVerificationResult& result) {
    if (std::exchange(m_didEmitVerify, true))
        return;
    const auto engineOutcome = result.engineOutcome.value_or("");
    if (result.passed) {
        const auto excerpt = prefixGraphemes(trimWhitespaceAndNewlines(maskHomeFolder(result.rawOutput)),
                                             kVersionExcerptLimit);
        TelemetryEvents::send("verify_passed",
                              {{"cli_version_excerpt", excerpt}, {"engine_outcome", engineOutcome}});
    } else {
        TelemetryEvents::verifyFailed(engineOutcome, result.exitCode.value_or(-1));
    }
}

void SetupFlowModel::loadOutcomeAudit() {
    if (!m_step.is<Step::Outcome>() || !m_verifyResult || !m_verifyResult->passed)
        return;
    m_auditTasks.cancelAll();
    m_auditTasks.start(
        [services = services(), profile = m_profile](std::stop_token stop) {
            return buildOutcomeAudit(profile, *services.processRunner, *services.fs, stop);
        },
        [this, serial = m_stepSerial](std::vector<OutcomeAuditSection> sections) {
            if (serial != m_stepSerial)
                return;
            m_outcomeAudit = std::move(sections);
            m_outcomeAuditRunning = false;
            emit outcomeAuditChanged();
        });
}

bool SetupFlowModel::reportOutcome(const std::string& answer) {
    if (std::exchange(m_outcomeReported, true))
        return false;
    if (const auto& hook = m_config->spinePolicy.onOutcomeReported)
        hook(m_verifyResult ? m_verifyResult->engineOutcome : std::nullopt, answer);
    if (services().store->boolean(productKey(".nps_submitted")).value_or(false)) {
        emit leaveRequested();
        return true;
    }
    TelemetryEvents::sendNPSShownOnce();
    setStep(Step::nps());
    return false;
}

void SetupFlowModel::resolveNPS() {
    m_npsResolved = true;
}

void SetupFlowModel::dismissNPS() {
    if (!std::exchange(m_npsResolved, true))
        TelemetryEvents::send("nps_dismissed", {});
    emit leaveRequested();
}

}  // namespace quill::ui
