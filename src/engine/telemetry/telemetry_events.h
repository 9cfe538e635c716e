#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/java/completion_surface.h"
#include "engine/java/diagnosis.h"
#include "engine/java/remediation.h"
#include "engine/services/java_facts.h"
#include "engine/services/system_profile.h"
#include "engine/setup/disk_readiness.h"
#include "engine/setup/network_readiness_probe.h"
#include "engine/setup/setup_remediation.h"
#include "engine/telemetry/json_value.h"

namespace quill {

/// An event as a builder makes it: a snake_case name and its data.
struct NamedEvent {
    std::string name;
    JSONObject data;

    bool operator==(const NamedEvent&) const = default;
};

/// The telemetry form of a Java diagnosis: a stable code and a short phrase.
struct DiagnosisCode {
    std::string code;
    std::string phrase;

    bool operator==(const DiagnosisCode&) const = default;
};

/// The catalogue of anonymous usage events and the one way to send them. Builders apply the privacy rules
/// (event_privacy.h): the home folder is masked in paths and free texts, free texts are cut to fixed lengths,
/// an unknown shell's name is never sent. Senders send at once; makers return the event for the caller to
/// send. Nothing here blocks or fails: a send hands the event to the shared service and returns.
namespace TelemetryEvents {

/// Hands one event to the shared telemetry service (or to the active `ScopedTelemetryCapture`). Returns
/// at once.
void send(std::string name, JSONObject data);
void send(NamedEvent event);

/// Sends "nps_shown" with empty data unless it was already sent in this process; true when this call sent
/// it. The check and the mark happen in one step under one lock, so concurrent screens send it once.
/// While a `ScopedTelemetryCapture` lives, the gate is the capture's own and starts open.
bool sendNPSShownOnce();

// Senders.
void outcomeReported(const std::optional<std::string>& engineOutcome, const std::string& selfReport);
void claudeOutcomeReported(const std::optional<std::string>& engineOutcome, const std::string& selfReport);
void remediationApplied(const Remediation& remediation);
void remediationApplied(const SetupRemediation& setupRemediation);
void remediationCompleted(const Remediation& remediation, int exitCode);
void remediationCompleted(const SetupRemediation& setupRemediation, int exitCode);
void javaVerifyFailed(std::string_view output, int exitCode);
void verifyFailed(const std::string& engineOutcome, int exitCode);
void chooserShown(const std::string& screen, int defaultOffered);
void buildIntentPromptShown(BuildIntentSurface surface);
void buildIntentOptedIn(BuildIntentSurface surface);
void auditOutboundClicked(const std::string& tool, const std::string& url);
/// `outcome`: "ready", "still_blocked" or "unsure".
void nextStepSelected(const std::string& nextStep, const std::string& outcome,
                      const std::optional<std::string>& goal, const std::string& surface);

// Makers.
/// The facts of the Mac without anything that identifies it: versions, architecture, the shell's kind and
/// which tools are present.
NamedEvent appLaunched(const SystemProfile& profile);
NamedEvent javaDiagnosisReached(const Diagnosis& diagnosis, const SystemProfile& profile);
NamedEvent terminalDiagnosisReached(const std::string& reason, std::int64_t fixableCount,
                                    std::int64_t blockedCount, const std::vector<std::string>& terminalIDs);
/// `entry`: "heuristic", "build_intent", "next_step_course", "next_step_build_software" or
/// "next_step_not_sure".
/// `reason` is masked and cut to 160 characters.
NamedEvent remediationFailed(const Remediation& remediation, int exitCode, std::string_view reason);
NamedEvent remediationFailed(const SetupRemediation& setupRemediation, int exitCode, std::string_view reason);
NamedEvent verifyPassed(std::string_view output);
NamedEvent verifyPassedWithLegacy(std::string_view output, const std::filesystem::path& jdkPath);
/// `entry`: how the audit was entered: "heuristic", "build_intent", "next_step_course",
/// "next_step_build_software" or "next_step_not_sure".
NamedEvent auditReached(const SystemProfile& profile, const std::string& entry);
NamedEvent auditStageOutcome(const std::string& stageID, int status);
NamedEvent npsSubmitted(int score, const std::optional<std::string>& reason);
NamedEvent networkCheck(const NetworkReadinessResult& result);
/// `action`: the user's answer as the readiness gate names it ("continue" or "stop").
NamedEvent networkWarningAction(const std::string& action, NetworkVerdict verdict);
NamedEvent diskSpaceCheck(const DiskReadinessResult& result);
NamedEvent diskWarningAction(const std::string& action, DiskVerdict verdict);

// Pure functions.
/// The code and phrase of a diagnosis; an unknown diagnosis's reason is masked and cut to 120 characters.
DiagnosisCode diagnosisCode(const Diagnosis& diagnosis);
/// How a Java or terminal fix installs or configures: "brew", "sdkman", "mise", "pkg", "pkg+jenv",
/// "zprofile_write", "jenv", "zprofile_write_legacy", "homebrew+brew" or "homebrew".
std::string remediationMethod(const Remediation& remediation);
/// "path" (masked), "major_version" (null when unparsable) and "vendor" (null when empty) of one JDK.
JSONObject jdkSummary(const JDKInfo& jdk);
}  // namespace TelemetryEvents

/// While alive, `TelemetryEvents::send` records every event here instead of handing it to the shared service.
/// For tests of the screens and flows that send events; one capture at a time. Thread-safe.
class ScopedTelemetryCapture {
  public:
    ScopedTelemetryCapture();
    ~ScopedTelemetryCapture();
    ScopedTelemetryCapture(const ScopedTelemetryCapture&) = delete;
    ScopedTelemetryCapture& operator=(const ScopedTelemetryCapture&) = delete;

    /// The events sent so far, in the order they were sent.
    [[nodiscard]] std::vector<NamedEvent> events() const;
    /// The events sent so far with this name.
    [[nodiscard]] std::vector<NamedEvent> events(std::string_view name) const;

  private:
    friend void TelemetryEvents::send(std::string name, JSONObject data);
    friend bool TelemetryEvents::sendNPSShownOnce();
    void record(NamedEvent event);

    mutable std::mutex m_mutex;
    std::vector<NamedEvent> m_events;
    ScopedTelemetryCapture* m_previous = nullptr;
    bool m_npsShown = false;  // the NPS-shown gate while this capture is active
};

}  // namespace quill
