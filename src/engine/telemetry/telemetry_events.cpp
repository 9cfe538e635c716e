#include "engine/telemetry/telemetry_events.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <shared_mutex>
#include <utility>

#include "engine/core/text.h"
#include "engine/services/app_services.h"
#include "engine/services/java_version_parser.h"
#include "engine/setup/product_config.h"
#include "engine/telemetry/event_privacy.h"
#include "engine/telemetry/telemetry_service.h"

namespace quill {

namespace {

constexpr std::size_t kUnknownReasonLimit = 120;
constexpr std::size_t kFailureReasonLimit = 160;
constexpr std::size_t kNPSReasonLimit = 500;

// The process-wide gate that lets "nps_shown" go out once per run, whichever screen shows the card first.
std::mutex npsShownLock;
bool npsShownThisSession = false;

std::shared_mutex captureLock;
ScopedTelemetryCapture* activeCapture = nullptr;

JSONValue outcomeOrBlocked(const std::optional<std::string>& engineOutcome) {
    return engineOutcome ? JSONValue(*engineOutcome) : JSONValue("blocked");
}

/// A text for an event that must stay text: masked and cut to `limit` user-perceived characters, possibly
/// empty. Cutting by characters keeps an emoji with its modifiers whole, as the screens count it.
std::string limitedText(std::string_view text, std::size_t limit) {
    return prefixGraphemes(maskHomeFolder(text), limit);
}

JSONValue optionalMajor(std::optional<int> major) {
    return major ? JSONValue(*major) : JSONValue();
}

JSONArray texts(const std::vector<std::string>& values) {
    return JSONArray(values.begin(), values.end());
}

}  // namespace

void TelemetryEvents::send(std::string name, JSONObject data) {
    {
        std::shared_lock lock(captureLock);
        if (activeCapture) {
            activeCapture->record(NamedEvent{std::move(name), std::move(data)});
            return;
        }
    }
    TelemetryService::shared().track(std::move(name), std::move(data));
}

void TelemetryEvents::send(NamedEvent event) {
    send(std::move(event.name), std::move(event.data));
}

bool TelemetryEvents::sendNPSShownOnce() {
    bool wasShown = false;
    {
        // A capture brings a gate of its own, fresh, so that tests of the screens never depend on their
        // order.
        std::shared_lock captured(captureLock);
        if (activeCapture) {
            std::lock_guard lock(activeCapture->m_mutex);
            wasShown = std::exchange(activeCapture->m_npsShown, true);
        } else {
            std::lock_guard lock(npsShownLock);
            wasShown = std::exchange(npsShownThisSession, true);
        }
    }
    if (wasShown)
        return false;
    send("nps_shown", {});
    return true;
}

void TelemetryEvents::outcomeReported(const std::optional<std::string>& engineOutcome,
                                      const std::string& selfReport) {
    send("outcome_reported",
         {{"engine_outcome", outcomeOrBlocked(engineOutcome)}, {"self_report", selfReport}});
}

void TelemetryEvents::claudeOutcomeReported(const std::optional<std::string>& engineOutcome,
                                            const std::string& selfReport) {
    send("claude_outcome_reported",
         {{"engine_outcome", outcomeOrBlocked(engineOutcome)}, {"self_report", selfReport}});
}

void TelemetryEvents::remediationApplied(const Remediation& remediation) {
    send("remediation_applied",
         {{"remediation_id", maskHomeFolder(remediation.id())}, {"method", remediationMethod(remediation)}});
}

void TelemetryEvents::remediationCompleted(const Remediation& remediation, int exitCode) {
    send("remediation_completed",
         {{"remediation_id", maskHomeFolder(remediation.id())}, {"exit_code", exitCode}});
}

void TelemetryEvents::remediationApplied(const SetupRemediation& setupRemediation) {
    send("remediation_applied", {{"remediation_id", maskHomeFolder(setupRemediation.id())},
                                 {"method", setupRemediation.telemetryAction()}});
}

void TelemetryEvents::remediationCompleted(const SetupRemediation& setupRemediation, int exitCode) {
    send("remediation_completed",
         {{"remediation_id", maskHomeFolder(setupRemediation.id())}, {"exit_code", exitCode}});
}

void TelemetryEvents::javaVerifyFailed(std::string_view output, int exitCode) {
    send("verify_failed", {{"exit_code", exitCode}, {"java_version_excerpt", versionExcerpt(output)}});
}

void TelemetryEvents::verifyFailed(const std::string& engineOutcome, int exitCode) {
    send("verify_failed", {{"engine_outcome", engineOutcome}, {"exit_code", exitCode}});
}

void TelemetryEvents::chooserShown(const std::string& screen, int defaultOffered) {
    send("chooser_shown", {{"screen", screen}, {"default_offered", defaultOffered}});
}

void TelemetryEvents::buildIntentPromptShown(BuildIntentSurface surface) {
    send("build_intent_prompt_shown", {{"surface", toRaw(surface)}});
}

void TelemetryEvents::buildIntentOptedIn(BuildIntentSurface surface) {
    send("build_intent_opted_in", {{"surface", toRaw(surface)}});
}

void TelemetryEvents::auditOutboundClicked(const std::string& tool, const std::string& url) {
    send("audit_outbound_clicked", {{"tool", tool}, {"url", url}});
}

void TelemetryEvents::nextStepSelected(const std::string& nextStep, const std::string& outcome,
                                       const std::optional<std::string>& goal, const std::string& surface) {
    send("next_step_selected", {{"next_step", nextStep},
                                {"outcome", outcome},
                                {"goal", goal ? JSONValue(*goal) : JSONValue()},
                                {"surface", surface}});
}

NamedEvent TelemetryEvents::terminalDiagnosisReached(const std::string& reason, std::int64_t fixableCount,
                                                     std::int64_t blockedCount,
                                                     const std::vector<std::string>& terminalIDs) {
    return {"diagnosis_reached",
            {{"reason", reason},
             {"fixable_count", fixableCount},
             {"blocked_count", blockedCount},
             {"terminal_count", static_cast<std::int64_t>(terminalIDs.size())},
             {"terminals", texts(terminalIDs)}}};
}

NamedEvent TelemetryEvents::appLaunched(const SystemProfile& profile) {
    const char* arch = profile.architecture == Architecture::appleSilicon ? "arm64"
                       : profile.architecture == Architecture::intel      ? "x86_64"
                                                                          : "unknown";
    // Only the kind of shell: the name of another shell could be a path of the user's own.
    struct ShellKind {
        const char* operator()(const Shell::Zsh&) const { return "zsh"; }
        const char* operator()(const Shell::Bash&) const { return "bash"; }
        const char* operator()(const Shell::Fish&) const { return "fish"; }
        const char* operator()(const Shell::Other&) const { return "other"; }
    };
    return {"app_launched",
            {{"macos_major", profile.macosVersion.majorVersion},
             {"macos_minor", profile.macosVersion.minorVersion},
             {"arch", arch},
             {"shell", std::visit(ShellKind{}, profile.shell.value)},
             {"has_homebrew", profile.homebrewPrefix.has_value()},
             {"has_sdkman", profile.sdkmanRoot.has_value()},
             {"has_mise", profile.miseExecutable.has_value()},
             {"has_jenv", profile.jenvRoot.has_value()},
             {"has_asdf", profile.asdfRoot.has_value()},
             {"has_xcode_clt", profile.xcodeCommandLineToolsPath.has_value()}}};
}

NamedEvent TelemetryEvents::auditReached(const SystemProfile& profile, const std::string& entry) {
    const auto tools = profile.aiTooling.installedToolIDs();
    const auto terminals = profile.terminals.installedIDs();
    return {"audit_reached",
            {{"ai_tool_count", static_cast<std::int64_t>(tools.size())},
             {"terminal_count", static_cast<std::int64_t>(terminals.size())},
             {"ai_tools", texts(tools)},
             {"terminals", texts(terminals)},
             {"entry", entry}}};
}

NamedEvent TelemetryEvents::javaDiagnosisReached(const Diagnosis& diagnosis, const SystemProfile& profile) {
    const auto& javaState = profile.javaState;
    auto [code, phrase] = diagnosisCode(diagnosis);
    JSONArray discovered;
    for (const auto& jdk : javaState.installedJDKs)
        discovered.emplace_back(jdkSummary(jdk));
    int firstMajor = 0;
    if (!javaState.installedJDKs.empty()) {
        firstMajor =
            JavaVersionParser::majorVersionOfBareVersion(javaState.installedJDKs.front().version).value_or(0);
    }
    const auto& javaHome = javaState.javaHomeInActiveShell;
    return {"diagnosis_reached",
            {{"diagnosis", std::move(code)},
             {"reason", std::move(phrase)},
             {"java_major_version", firstMajor},
             {"discovered_jdks", std::move(discovered)},
             {"current_java_home",
              javaHome && !javaHome->empty() ? JSONValue(maskHomeFolder(*javaHome)) : JSONValue()}}};
}

NamedEvent TelemetryEvents::remediationFailed(const Remediation& remediation, int exitCode,
                                              std::string_view reason) {
    return {"remediation_failed",
            {{"remediation_id", maskHomeFolder(remediation.id())},
             {"exit_code", exitCode},
             {"reason", limitedText(reason, kFailureReasonLimit)}}};
}

NamedEvent TelemetryEvents::remediationFailed(const SetupRemediation& setupRemediation, int exitCode,
                                              std::string_view reason) {
    return {"remediation_failed",
            {{"remediation_id", maskHomeFolder(setupRemediation.id())},
             {"exit_code", exitCode},
             {"reason", limitedText(reason, kFailureReasonLimit)}}};
}

NamedEvent TelemetryEvents::verifyPassed(std::string_view output) {
    auto excerpt = versionExcerpt(output);
    auto major = optionalMajor(JavaVersionParser::majorVersion(excerpt));
    return {"verify_passed",
            {{"java_version_excerpt", std::move(excerpt)}, {"java_major_version", std::move(major)}}};
}

NamedEvent TelemetryEvents::verifyPassedWithLegacy(std::string_view output,
                                                   const std::filesystem::path& jdkPath) {
    auto excerpt = versionExcerpt(output);
    auto major = optionalMajor(JavaVersionParser::majorVersion(excerpt));
    return {"verify_passed_with_legacy",
            {{"java_version_excerpt", std::move(excerpt)},
             {"java_major_version", std::move(major)},
             {"chosen_path", maskHomeFolder(jdkPath.string())}}};
}

NamedEvent TelemetryEvents::auditStageOutcome(const std::string& stageID, int status) {
    const char* outcome = status == 0   ? "rendered"
                          : status == 1 ? "skipped_already_ok"
                                        : "skipped_missing_blocked";
    return {"audit_stage_outcome", {{"stage_id", stageID}, {"outcome", outcome}}};
}

NamedEvent TelemetryEvents::npsSubmitted(int score, const std::optional<std::string>& reason) {
    return {"nps_submitted",
            {{"score", score}, {"reason", reason ? cleanedText(*reason, kNPSReasonLimit) : JSONValue()}}};
}

NamedEvent TelemetryEvents::networkCheck(const NetworkReadinessResult& result) {
    JSONObject data{{"verdict", toRaw(result.verdict)},
                    {"endpoints_reachable", result.endpointsReachable},
                    {"endpoints_total", result.endpointsTotal}};
    if (result.downMbps)
        data.emplace("down_mbps", roundedToTenth(*result.downMbps));
    if (result.estimatedInstallSeconds)
        data.emplace("estimated_install_seconds", *result.estimatedInstallSeconds);
    return {"network_check", std::move(data)};
}

NamedEvent TelemetryEvents::networkWarningAction(const std::string& action, NetworkVerdict verdict) {
    return {"network_warning_action", {{"action", action}, {"verdict", toRaw(verdict)}}};
}

NamedEvent TelemetryEvents::diskSpaceCheck(const DiskReadinessResult& result) {
    JSONObject data{{"verdict", toRaw(result.verdict)},
                    {"worst_case_gb", roundedGigabytes(result.worstCaseBytes)},
                    {"headroom_gb", roundedGigabytes(result.headroomBytes)}};
    if (result.availableBytes)
        data.emplace("available_gb", roundedGigabytes(*result.availableBytes));
    return {"disk_space_check", std::move(data)};
}

NamedEvent TelemetryEvents::diskWarningAction(const std::string& action, DiskVerdict verdict) {
    return {"disk_warning_action", {{"action", action}, {"verdict", toRaw(verdict)}}};
}

DiagnosisCode TelemetryEvents::diagnosisCode(const Diagnosis& diagnosis) {
    struct Visitor {
        DiagnosisCode operator()(const Diagnosis::D1_NoJDK&) const {
            return {"D1_NoJDK", "no JDK installed"};
        }
        DiagnosisCode operator()(const Diagnosis::D2_HomeUnset&) const {
            return {"D2_HomeUnset", "JDK installed, JAVA_HOME unset"};
        }
        DiagnosisCode operator()(const Diagnosis::D3_LegacyOnly&) const {
            return {"D3_LegacyOnly", "only legacy JDK installed"};
        }
        DiagnosisCode operator()(const Diagnosis::D4_ModernHomeSet&) const {
            return {"D4_ModernHomeSet", "modern JDK installed, JAVA_HOME set"};
        }
        DiagnosisCode operator()(const Diagnosis::Unknown& unknown) const {
            return {"unknown", limitedText(unknown.reason, kUnknownReasonLimit)};
        }
        DiagnosisCode operator()(const Diagnosis::NoErrorsFound&) const {
            return {"no_errors_found", "JDK installed, JAVA_HOME set"};
        }
    };
    return std::visit(Visitor{}, diagnosis.value);
}

std::string TelemetryEvents::remediationMethod(const Remediation& remediation) {
    using R = Remediation;
    struct Visitor {
        std::string operator()(const R::InstallTemurinViaBrew&) const { return "brew"; }
        std::string operator()(const R::InstallWarpViaBrew&) const { return "brew"; }
        std::string operator()(const R::InstallViaSDKMAN&) const { return "sdkman"; }
        std::string operator()(const R::SetJavaHomeViaSDKMAN&) const { return "sdkman"; }
        std::string operator()(const R::InstallViaMise&) const { return "mise"; }
        std::string operator()(const R::SetJavaHomeViaMise&) const { return "mise"; }
        std::string operator()(const R::InstallViaPKG&) const { return "pkg"; }
        std::string operator()(const R::InstallViaPKGThenJEnv&) const { return "pkg+jenv"; }
        std::string operator()(const R::WriteJavaHomeToZprofile&) const { return "zprofile_write"; }
        std::string operator()(const R::SetJavaHomeViaJenv&) const { return "jenv"; }
        std::string operator()(const R::KeepCurrentLegacyJava&) const { return "zprofile_write_legacy"; }
        std::string operator()(const R::InstallHomebrewThenTemurin&) const { return "homebrew+brew"; }
        std::string operator()(const R::InstallHomebrewThenWarp&) const { return "homebrew+brew"; }
        std::string operator()(const R::InstallHomebrew&) const { return "homebrew"; }
    };
    return std::visit(Visitor{}, remediation.value);
}

JSONObject TelemetryEvents::jdkSummary(const JDKInfo& jdk) {
    return {{"path", maskHomeFolder(jdk.path.string())},
            {"major_version", optionalMajor(JavaVersionParser::majorVersionOfBareVersion(jdk.version))},
            {"vendor", jdk.vendor.empty() ? JSONValue() : JSONValue(jdk.vendor)}};
}

ScopedTelemetryCapture::ScopedTelemetryCapture() {
    std::unique_lock lock(captureLock);
    m_previous = std::exchange(activeCapture, this);
}

ScopedTelemetryCapture::~ScopedTelemetryCapture() {
    std::unique_lock lock(captureLock);
    activeCapture = m_previous;
}

std::vector<NamedEvent> ScopedTelemetryCapture::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<NamedEvent> ScopedTelemetryCapture::events(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    std::vector<NamedEvent> named;
    for (const auto& event : m_events) {
        if (event.name == name)
            named.push_back(event);
    }
    return named;
}

void ScopedTelemetryCapture::record(NamedEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

}  // namespace quill
