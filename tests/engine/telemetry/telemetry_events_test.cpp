#include "engine/telemetry/telemetry_events.h"
#include "engine/telemetry/event_privacy.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/core/paths.h"

namespace quill {
namespace {

std::vector<std::string> keysOf(const JSONObject& data) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : data)
        keys.push_back(key);
    return keys;
}

/// The one event `send` produced.
NamedEvent sentBy(const std::function<void()>& sender) {
    ScopedTelemetryCapture capture;
    sender();
    const auto events = capture.events();
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? NamedEvent{} : events.front();
}

JDKInfo jdk(std::string version, std::string vendor, std::string path) {
    return JDKInfo{std::move(version), std::move(vendor), "arm64", std::move(path)};
}

TEST(TelemetryEvents, EveryBuilderSendsItsNameWithExactlyItsKeys) {
    const SetupRemediation mise = SetupRemediation::InstallMise{};
    SystemProfile profile;
    profile.javaState.installedJDKs = {jdk("21.0.2", "Eclipse Adoptium", "/opt/jdk-21")};
    struct Case {
        NamedEvent event;
        std::string name;
        std::vector<std::string> keys;  // sorted
    };
    const Case cases[] = {
        {sentBy([] { TelemetryEvents::outcomeReported("likely_resolved", "resolved"); }),
         "outcome_reported",
         {"engine_outcome", "self_report"}},
        {sentBy([] { TelemetryEvents::claudeOutcomeReported(std::nullopt, "not_resolved"); }),
         "claude_outcome_reported",
         {"engine_outcome", "self_report"}},
        {sentBy([&] { TelemetryEvents::remediationApplied(mise); }),
         "remediation_applied",
         {"method", "remediation_id"}},
        {sentBy([&] { TelemetryEvents::remediationCompleted(mise, 0); }),
         "remediation_completed",
         {"exit_code", "remediation_id"}},
        {sentBy([] { TelemetryEvents::javaVerifyFailed("openjdk version \"21\"", 1); }),
         "verify_failed",
         {"exit_code", "java_version_excerpt"}},
        {sentBy([] { TelemetryEvents::verifyFailed("blocked", 2); }),
         "verify_failed",
         {"engine_outcome", "exit_code"}},
        {sentBy([] { TelemetryEvents::chooserShown("d1", 25); }),
         "chooser_shown",
         {"default_offered", "screen"}},
        {sentBy([] { TelemetryEvents::buildIntentPromptShown(BuildIntentSurface::postFix); }),
         "build_intent_prompt_shown",
         {"surface"}},
        {sentBy([] { TelemetryEvents::buildIntentOptedIn(BuildIntentSurface::noErrorsFound); }),
         "build_intent_opted_in",
         {"surface"}},
        {sentBy([] { TelemetryEvents::auditOutboundClicked("Warp", "https://warp.example/"); }),
         "audit_outbound_clicked",
         {"tool", "url"}},
        {sentBy([] { TelemetryEvents::nextStepSelected("course", "ready", std::nullopt, "post_audit"); }),
         "next_step_selected",
         {"goal", "next_step", "outcome", "surface"}},
        {TelemetryEvents::appLaunched(profile),
         "app_launched",
         {"arch", "has_asdf", "has_homebrew", "has_jenv", "has_mise", "has_sdkman", "has_xcode_clt",
          "macos_major", "macos_minor", "shell"}},
        {TelemetryEvents::auditReached(profile, "heuristic"),
         "audit_reached",
         {"ai_tool_count", "ai_tools", "entry", "terminal_count", "terminals"}},
        {TelemetryEvents::javaDiagnosisReached(Diagnosis::D1_NoJDK{}, profile),
         "diagnosis_reached",
         {"current_java_home", "diagnosis", "discovered_jdks", "java_major_version", "reason"}},
        {TelemetryEvents::terminalDiagnosisReached("fixable", 2, 0, {"iterm2"}),
         "diagnosis_reached",
         {"blocked_count", "fixable_count", "reason", "terminal_count", "terminals"}},
        {TelemetryEvents::remediationFailed(mise, 1, "nonzero_exit"),
         "remediation_failed",
         {"exit_code", "reason", "remediation_id"}},
        {TelemetryEvents::verifyPassed("openjdk version \"21.0.2\""),
         "verify_passed",
         {"java_major_version", "java_version_excerpt"}},
        {TelemetryEvents::verifyPassedWithLegacy("java version \"1.8.0_392\"", "/opt/jdk8"),
         "verify_passed_with_legacy",
         {"chosen_path", "java_major_version", "java_version_excerpt"}},
        {TelemetryEvents::auditStageOutcome("foundations", 0),
         "audit_stage_outcome",
         {"outcome", "stage_id"}},
        {TelemetryEvents::npsSubmitted(9, "great"), "nps_submitted", {"reason", "score"}},
        {TelemetryEvents::networkCheck({NetworkVerdict::slow, 12.34, 400, 2, 3}),
         "network_check",
         {"down_mbps", "endpoints_reachable", "endpoints_total", "estimated_install_seconds", "verdict"}},
        {TelemetryEvents::networkWarningAction("continue", NetworkVerdict::slow),
         "network_warning_action",
         {"action", "verdict"}},
        {TelemetryEvents::diskSpaceCheck({DiskVerdict::low, 20'000'000'000, 8'000'000'000, 3'000'000'000}),
         "disk_space_check",
         {"available_gb", "headroom_gb", "verdict", "worst_case_gb"}},
        {TelemetryEvents::diskWarningAction("stop", DiskVerdict::critical),
         "disk_warning_action",
         {"action", "verdict"}},
    };
    for (const auto& [event, name, keys] : cases) {
        EXPECT_EQ(event.name, name);
        EXPECT_EQ(keysOf(event.data), keys) << name;
    }
}

TEST(TelemetryEvents, BuildersReportTheValuesTheBackendExpects) {
    const SetupRemediation mise = SetupRemediation::InstallMise{};
    EXPECT_EQ(sentBy([&] { TelemetryEvents::remediationApplied(mise); }).data,
              (JSONObject{{"remediation_id", "brew:mise"}, {"method", "brew"}}));
    EXPECT_EQ(sentBy([] { TelemetryEvents::claudeOutcomeReported(std::nullopt, "not_resolved"); }).data,
              (JSONObject{{"engine_outcome", "blocked"}, {"self_report", "not_resolved"}}));
    EXPECT_EQ(
        sentBy([] { TelemetryEvents::nextStepSelected("build", "unsure", "learn", "s"); }).data.at("goal"),
        JSONValue("learn"));
    EXPECT_EQ(sentBy([] {
                  TelemetryEvents::buildIntentPromptShown(BuildIntentSurface::modernHomeSet);
              }).data.at("surface"),
              JSONValue("modern_home_set"));
    EXPECT_EQ(TelemetryEvents::terminalDiagnosisReached("ready", 0, 1, {"ghostty", "warp"}).data,
              (JSONObject{{"reason", "ready"},
                          {"fixable_count", 0},
                          {"blocked_count", 1},
                          {"terminal_count", 2},
                          {"terminals", JSONArray{"ghostty", "warp"}}}));
    EXPECT_EQ(TelemetryEvents::auditStageOutcome("s", 1).data.at("outcome"), JSONValue("skipped_already_ok"));
    EXPECT_EQ(TelemetryEvents::auditStageOutcome("s", 7).data.at("outcome"),
              JSONValue("skipped_missing_blocked"));
    EXPECT_EQ(TelemetryEvents::remediationFailed(mise, 3, std::string(170, 'x')).data.at("reason"),
              JSONValue(std::string(160, 'x')));
}

TEST(TelemetryEvents, LaunchAndAuditDescribeTheMacWithoutIdentifyingIt) {
    SystemProfile profile;
    profile.architecture = Architecture::appleSilicon;
    profile.macosVersion = {15, 2, 1};
    profile.shell = Shell::Other{"/Users/dev/bin/myshell"};
    profile.homebrewPrefix = "/opt/homebrew/bin/brew";
    profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
    profile.terminals.warp = true;
    profile.terminals.iterm = true;
    profile.aiTooling.codexCLI = true;
    EXPECT_EQ(TelemetryEvents::appLaunched(profile).data, (JSONObject{{"macos_major", 15},
                                                                      {"macos_minor", 2},
                                                                      {"arch", "arm64"},
                                                                      {"shell", "other"},
                                                                      {"has_homebrew", true},
                                                                      {"has_sdkman", false},
                                                                      {"has_mise", false},
                                                                      {"has_jenv", false},
                                                                      {"has_asdf", false},
                                                                      {"has_xcode_clt", true}}));
    const std::pair<Architecture, const char*> architectures[] = {{Architecture::intel, "x86_64"},
                                                                  {Architecture::unknown, "unknown"}};
    for (const auto& [architecture, raw] : architectures) {
        profile.architecture = architecture;
        EXPECT_EQ(TelemetryEvents::appLaunched(profile).data.at("arch"), JSONValue(raw));
    }
    const std::pair<Shell, const char*> shells[] = {
        {Shell::Zsh{}, "zsh"}, {Shell::Bash{}, "bash"}, {Shell::Fish{}, "fish"}};
    for (const auto& [shell, raw] : shells) {
        profile.shell = shell;
        EXPECT_EQ(TelemetryEvents::appLaunched(profile).data.at("shell"), JSONValue(raw));
    }

    EXPECT_EQ(TelemetryEvents::auditReached(profile, "build_intent").data,
              (JSONObject{{"ai_tool_count", 1},
                          {"terminal_count", 2},
                          {"ai_tools", JSONArray{"codex-cli"}},
                          {"terminals", JSONArray{"iterm2", "warp"}},
                          {"entry", "build_intent"}}));
}

TEST(TelemetryEvents, JavaFixesReportTheirMethodAndAMaskedIdentifier) {
    using R = Remediation;
    const std::pair<Remediation, std::string> methods[] = {
        {R::InstallTemurinViaBrew{"temurin@25"}, "brew"},
        {R::InstallWarpViaBrew{"warp"}, "brew"},
        {R::InstallViaSDKMAN{"25-tem"}, "sdkman"},
        {R::SetJavaHomeViaSDKMAN{"25-tem"}, "sdkman"},
        {R::InstallViaMise{"temurin-25"}, "mise"},
        {R::SetJavaHomeViaMise{"temurin-25"}, "mise"},
        {R::InstallViaPKG{25}, "pkg"},
        {R::InstallViaPKGThenJEnv{25}, "pkg+jenv"},
        {R::WriteJavaHomeToZprofile{"/opt/jdk"}, "zprofile_write"},
        {R::SetJavaHomeViaJenv{"/opt/jdk", 17}, "jenv"},
        {R::KeepCurrentLegacyJava{"/opt/jdk8"}, "zprofile_write_legacy"},
        {R::InstallHomebrewThenTemurin{"temurin@25"}, "homebrew+brew"},
        {R::InstallHomebrewThenWarp{"warp"}, "homebrew+brew"},
        {R::InstallHomebrew{}, "homebrew"},
    };
    for (const auto& [remediation, method] : methods) {
        EXPECT_EQ(TelemetryEvents::remediationMethod(remediation), method) << remediation.id();
    }

    const auto home = homeDirectoryPath();
    const auto applied =
        sentBy([&] { TelemetryEvents::remediationApplied(R::WriteJavaHomeToZprofile{home / "jdk"}); });
    const auto* id = applied.data.at("remediation_id").string();
    ASSERT_NE(id, nullptr);
    EXPECT_TRUE(id->ends_with("/~/jdk")) << *id;
    EXPECT_EQ(id->find(home.string() + "/"), std::string::npos) << *id;
    EXPECT_EQ(applied.data.at("method"), JSONValue("zprofile_write"));
}

TEST(TelemetryEvents, FixEventsAndFreeTextsMaskAPathUnderHome) {
    const auto home = homeDirectoryPath();
    const std::string tools = (home / ".local/bin").string();
    const SetupRemediation fix = SetupRemediation::RepairPath{tools};
    struct Row {
        const char* name = nullptr;
        NamedEvent event;
        const char* key = nullptr;
    };
    const Row rows[] = {
        {"applied", sentBy([&] { TelemetryEvents::remediationApplied(fix); }), "remediation_id"},
        {"completed", sentBy([&] { TelemetryEvents::remediationCompleted(fix, 0); }), "remediation_id"},
        {"failed", TelemetryEvents::remediationFailed(fix, 1, "exit 1"), "remediation_id"},
        {"nps reason", TelemetryEvents::npsSubmitted(4, "it broke " + tools), "reason"},
        {"verify excerpt", TelemetryEvents::verifyPassed("zsh: not found: " + tools), "java_version_excerpt"},
    };
    for (const auto& row : rows) {
        const auto* text = row.event.data.at(row.key).string();
        ASSERT_NE(text, nullptr) << row.name;
        EXPECT_TRUE(text->ends_with("/~/.local/bin")) << row.name << ": " << *text;
        EXPECT_EQ(text->find(home.string() + "/"), std::string::npos) << row.name << ": " << *text;
    }
}

TEST(TelemetryEvents, JavaDiagnosisCarriesCodesSummariesAndTheMaskedHome) {
    auto empty = TelemetryEvents::javaDiagnosisReached(Diagnosis::D1_NoJDK{}, SystemProfile{}).data;
    EXPECT_EQ(empty.at("java_major_version"), JSONValue(0));
    EXPECT_EQ(empty.at("discovered_jdks"), JSONValue(JSONArray{}));
    EXPECT_EQ(empty.at("current_java_home"), JSONValue());
    EXPECT_EQ(empty.at("reason"), JSONValue("no JDK installed"));

    SystemProfile two;
    two.javaState.installedJDKs = {jdk("1.8.0_392", "", "/opt/jdk8"), jdk("garbled", "Azul", "/opt/odd")};
    two.javaState.javaHomeInActiveShell = "";
    auto data =
        TelemetryEvents::javaDiagnosisReached(Diagnosis::D3_LegacyOnly{two.javaState.installedJDKs[0]}, two)
            .data;
    EXPECT_EQ(data.at("java_major_version"), JSONValue(8));
    EXPECT_EQ(data.at("current_java_home"), JSONValue()) << "an empty JAVA_HOME counts as unset";
    EXPECT_EQ(data.at("discovered_jdks"),
              JSONValue(JSONArray{
                  JSONObject{{"path", "/opt/jdk8"}, {"major_version", 8}, {"vendor", nullptr}},
                  JSONObject{{"path", "/opt/odd"}, {"major_version", nullptr}, {"vendor", "Azul"}}}));

    const std::pair<Diagnosis, DiagnosisCode> codes[] = {
        {Diagnosis::D1_NoJDK{}, {"D1_NoJDK", "no JDK installed"}},
        {Diagnosis::D2_HomeUnset{}, {"D2_HomeUnset", "JDK installed, JAVA_HOME unset"}},
        {Diagnosis::D3_LegacyOnly{}, {"D3_LegacyOnly", "only legacy JDK installed"}},
        {Diagnosis::D4_ModernHomeSet{}, {"D4_ModernHomeSet", "modern JDK installed, JAVA_HOME set"}},
        {Diagnosis::NoErrorsFound{}, {"no_errors_found", "JDK installed, JAVA_HOME set"}},
        {Diagnosis::Unknown{std::string(121, 'r')}, {"unknown", std::string(120, 'r')}},
    };
    for (const auto& [diagnosis, code] : codes)
        EXPECT_EQ(TelemetryEvents::diagnosisCode(diagnosis), code);
}

TEST(TelemetryEvents, VerificationExcerptPicksTheVersionLine) {
    EXPECT_EQ(versionExcerpt(""), "");
    EXPECT_EQ(versionExcerpt("\n \n\t\r\n"), "");
    EXPECT_EQ(versionExcerpt("Picked up _JAVA_OPTIONS\nopenjdk version \"21.0.2\" 2024-01-16\nmore"),
              "openjdk version \"21.0.2\" 2024-01-16");
    EXPECT_EQ(versionExcerpt("\n\nno version here\nsecond"), "no version here");
    EXPECT_EQ(versionExcerpt(std::string(250, 'v')), std::string(200, 'v'));

    auto unparsable = TelemetryEvents::verifyPassed("command not found").data;
    EXPECT_EQ(unparsable.at("java_major_version"), JSONValue());
    EXPECT_EQ(TelemetryEvents::verifyPassed("openjdk version \"17.0.1\"").data.at("java_major_version"),
              JSONValue(17));
}

TEST(TelemetryEvents, MasksTheHomeFolderWhereverItStandsAsAWholeFolder) {
    const auto mask = [](std::string_view text, std::string_view home = "/Users/dev") {
        return maskHomeFolder(text, "dev", home);
    };
    EXPECT_EQ(mask("/Users/dev/Library/Java/jdk-21"), "/Users/~/Library/Java/jdk-21");
    EXPECT_EQ(mask("/Users/dev"), "/Users/~");
    EXPECT_EQ(mask("JAVA_HOME=/Users/dev/jdk and /Users/dev"), "JAVA_HOME=/Users/~/jdk and /Users/~");
    EXPECT_EQ(mask("Error: /Users/dev: not found"), "Error: /Users/~: not found");
    EXPECT_EQ(mask("cannot write /Users/dev."), "cannot write /Users/~.");
    EXPECT_EQ(mask("in /Users/dev... or /Users/dev.\nnext"), "in /Users/~... or /Users/~.\nnext");
    EXPECT_EQ(mask("/Users/dev.old/jdk"), "/Users/dev.old/jdk");
    EXPECT_EQ(mask("/Users/developer/jdk"), "/Users/developer/jdk");
    EXPECT_EQ(mask("/Users/dev2/jdk"), "/Users/dev2/jdk");
    EXPECT_EQ(mask("/Users/other/jdk"), "/Users/other/jdk");
    EXPECT_EQ(mask("/home/dev/.sdkman/candidates/java", "/home/dev"), "/home/~/.sdkman/candidates/java");
    EXPECT_EQ(mask("/home/dev", "/home/dev/"), "/home/~");
    EXPECT_EQ(maskHomeFolder("/Users/dev/x", "", ""), "/Users/dev/x");

    // Any letter case (a volume may ignore it), and a name ended by anything a login name cannot hold.
    struct Case {
        std::string text;
        std::string masked;
        std::string home = "/Users/dev";
    };
    const std::vector<Case> cases = {
        {"/users/DEV/Library", "/Users/~/Library"},
        {"/USERS/Dev", "/Users/~"},
        {"/Users/devé/x", "/Users/~é/x"},
        {"at /Users/dev\xC2\xA0now", "at /Users/~\xC2\xA0now"},
        {"/Users/dev\xFF", "/Users/~\xFF"},
        {"/Users/dev.é", "/Users/~.é"},
        {"/Users/Dev_2/x", "/Users/Dev_2/x"},
        {"/Users/deV-x", "/Users/deV-x"},
        {"/HOME/Dev/x", "/home/~/x", "/home/dev"},
        // Percent-encoded, as in a URL's query, once, again to any depth, or only in part: masked in the
        // text's own spelling of each encoded byte, hex digits in either case.
        {"%2FUsers%2Fdev%2Fx", "%2FUsers%2F~%2Fx"},
        {"?p=%2fusers%2fDEV", "?p=%2fUsers%2f~"},
        {"%252FUsers%252Fdev%252Fx", "%252FUsers%252F~%252Fx"},
        {"u=%25252fUsers%25252Fdev&", "u=%25252fUsers%25252F~&"},
        {"/Users%2Fdev%2Fx", "/Users%2F~%2Fx"},
        {"%2FUsers/dev/x", "%2FUsers/~/x"},
        {"/Users%252fdev/x", "/Users%252f~/x"},
        {"%2Fhome%2Fdev%2F.cache", "%2Fhome%2F~%2F.cache", "/home/dev"},
        {"/home/Jo%20Dev/x and %2Fhome%2FJo%2520Dev", "/home/~/x and %2Fhome%2F~", "/home/Jo Dev"},
        // Nothing else: another name, a "%" that encodes no "/", a letter no encoder writes as "%XX".
        {"%2FUsers%2Fdevx", "%2FUsers%2Fdevx"},
        {"%252FUsers%252Fdev2", "%252FUsers%252Fdev2"},
        {"%2GUsers%2Fdev", "%2GUsers%2Fdev"},
        {"%25Users%25dev", "%25Users%25dev"},
        {"%2F%55sers%2Fdev", "%2F%55sers%2Fdev"},
        {"50%25 off /Users/dev", "50%25 off /Users/~"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(maskHomeFolder(c.text, "dev", c.home), c.masked) << c.text;

    // The running user's own home folder, whatever the platform calls it.
    const auto home = homeDirectoryPath().string();
    const auto masked = maskHomeFolder(home + "/.sdkman/candidates/java");
    EXPECT_TRUE(masked.ends_with("/~/.sdkman/candidates/java")) << masked;
    EXPECT_EQ(TelemetryEvents::verifyPassedWithLegacy("", home + "/jdk8").data.at("chosen_path"),
              JSONValue(masked.substr(0, masked.size() - std::string("/.sdkman/candidates/java").size()) +
                        "/jdk8"));
}

TEST(TelemetryEvents, CleansFreeTextAndRoundsMeasurements) {
    EXPECT_EQ(TelemetryEvents::npsSubmitted(3, " \n\t ").data.at("reason"), JSONValue());
    EXPECT_EQ(TelemetryEvents::npsSubmitted(3, std::nullopt).data.at("reason"), JSONValue());
    EXPECT_EQ(TelemetryEvents::npsSubmitted(3, "  slow  \n").data.at("reason"), JSONValue("slow"));
    EXPECT_EQ(TelemetryEvents::npsSubmitted(3, std::string(600, 'a')).data.at("reason"),
              JSONValue(std::string(500, 'a')));
    EXPECT_EQ(TelemetryEvents::npsSubmitted(3, std::string(499, 'a') + "éz").data.at("reason"),
              JSONValue(std::string(499, 'a') + "é"))
        << "cut by characters, not bytes";

    EXPECT_EQ(roundedGigabytes(1'499'999'999), 1);
    EXPECT_EQ(roundedGigabytes(1'500'000'000), 2);
    EXPECT_EQ(roundedGigabytes(-1'500'000'000), -2);
    EXPECT_EQ(roundedGigabytes(0), 0);
    EXPECT_DOUBLE_EQ(roundedToTenth(12.34), 12.3);
    EXPECT_DOUBLE_EQ(roundedToTenth(12.25), 12.3);
    EXPECT_DOUBLE_EQ(roundedToTenth(-12.25), -12.3);

    const auto unknownSpeed =
        TelemetryEvents::networkCheck({NetworkVerdict::unmeasured, std::nullopt, std::nullopt, 0, 3});
    EXPECT_EQ(unknownSpeed.data.count("down_mbps"), 0u);
    EXPECT_EQ(unknownSpeed.data.count("estimated_install_seconds"), 0u);
    const auto unknownSpace = TelemetryEvents::diskSpaceCheck({DiskVerdict::unmeasured, std::nullopt, 1, 2});
    EXPECT_EQ(unknownSpace.data.count("available_gb"), 0u);
    EXPECT_EQ(TelemetryEvents::networkCheck({NetworkVerdict::ok, 12.25, 60, 3, 3}).data.at("down_mbps"),
              JSONValue(12.3));
}

TEST(TelemetryEvents, TextLimitsCutWholeUserPerceivedCharacters) {
    // A joined family and a thumb with a skin tone: several code points each, one character each.
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";
    const auto times = [](const std::string& unit, std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += unit;
        return text;
    };
    const auto textOf = [](const JSONValue& value) {
        return value.string() != nullptr ? *value.string() : std::string("<not text>");
    };
    const SetupRemediation mise = SetupRemediation::InstallMise{};
    struct Limit {
        const char* name;
        std::size_t limit;
        std::function<std::string(const std::string&)> cut;
    };
    const std::vector<Limit> limits = {
        {"unknown diagnosis", 120,
         [](const std::string& text) {
             return TelemetryEvents::diagnosisCode(Diagnosis::Unknown{text}).phrase;
         }},
        {"failure reason", 160,
         [&](const std::string& text) {
             return textOf(TelemetryEvents::remediationFailed(mise, 1, text).data.at("reason"));
         }},
        {"version excerpt", 200, [](const std::string& text) { return versionExcerpt(text); }},
        {"NPS reason", 500,
         [&](const std::string& text) {
             return textOf(TelemetryEvents::npsSubmitted(9, text).data.at("reason"));
         }},
    };
    for (const auto& l : limits) {
        const std::string lastIsFamily = std::string(l.limit - 1, 'a') + family;
        EXPECT_EQ(l.cut(lastIsFamily + "b"), lastIsFamily) << l.name;
        EXPECT_EQ(l.cut(times(thumb, l.limit + 1)), times(thumb, l.limit)) << l.name;
        EXPECT_EQ(l.cut(times(thumb, l.limit)), times(thumb, l.limit)) << l.name;
    }
}

}  // namespace
}  // namespace quill
