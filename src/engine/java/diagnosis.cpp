#include "engine/java/diagnosis.h"

#include "engine/core/overloaded.h"
#include "engine/services/java_version_parser.h"

namespace quill {

namespace {

/// The major version written in decimal, or the raw version when it has none.
std::string majorOrVersion(const JDKInfo& jdk) {
    const auto major = JavaVersionParser::majorVersionOfBareVersion(jdk.version);
    return major ? std::to_string(*major) : jdk.version;
}

}  // namespace

std::string Diagnosis::headline() const {
    return std::visit(
        Overloaded{
            [](const D1_NoJDK&) -> std::string { return "Java is not installed"; },
            [](const D2_HomeUnset&) -> std::string { return "JAVA_HOME isn't set"; },
            [](const D3_LegacyOnly&) -> std::string { return "Java is installed, but it's too old"; },
            [](const D4_ModernHomeSet&) -> std::string { return "Java is set up correctly"; },
            [](const Unknown&) -> std::string { return "Couldn't auto-diagnose"; },
            [](const NoErrorsFound&) -> std::string { return "Java is installed"; },
        },
        value);
}

// Each text stays on one line so that it can be found as users see it.
// clang-format off
std::string Diagnosis::detail() const {
    return std::visit(
        Overloaded{
            [](const D1_NoJDK&) {
                return "Java is not installed on this Mac. We'll install Eclipse Temurin (a free, well-maintained Java distribution) for you. Java " +
                       std::to_string(kCurrentLTSJavaMajor) +
                       " is the current LTS and a good default; if you work or study somewhere that uses a specific Java version, check with your team before choosing.";
            },
            [](const D2_HomeUnset& d) {
                const JDKInfo& jdk = d.detectedJDK;
                return "Java " + jdk.version + " (" + jdk.vendor + ", " + jdk.architecture +
                       ") is installed at " + jdk.path.string() +
                       ", but JAVA_HOME isn't set in your shell. Many build tools (Maven, Gradle, some IDE plugins) depend on JAVA_HOME pointing at the Java installation.";
            },
            [](const D3_LegacyOnly& d) {
                return "We found Java " + majorOrVersion(d.detectedJDK) + " on your Mac (at `" +
                       d.detectedJDK.path.string() + "`). Most modern Java software requires Java " +
                       std::to_string(kModernJavaMajor) + " or newer. We recommend Java " +
                       std::to_string(kCurrentLTSJavaMajor) +
                       " if you have no specific requirement; if you work or study somewhere that uses a specific Java version, check with your team before choosing.";
            },
            [](const D4_ModernHomeSet& d) {
                return "Java " + majorOrVersion(d.detectedJDK) + " is installed at " +
                       d.detectedJDK.path.string() + ", and JAVA_HOME is pointing at it. Nothing to fix.";
            },
            [](const Unknown& d) { return d.reason; },
            [](const NoErrorsFound&) -> std::string {
                return "Java is installed and JAVA_HOME is set. Let us know if we should do more.";
            },
        },
        value);
}

// clang-format on

CompletionSurface Diagnosis::resultCategory() const {
    // The three diagnoses that offer a fix end, once it has run, on the completion after a fix.
    const auto afterFix = [] { return CompletionSurface::Prompt{BuildIntentSurface::postFix}; };
    return std::visit(Overloaded{
                          [&](const D1_NoJDK&) -> CompletionSurface { return afterFix(); },
                          [&](const D2_HomeUnset&) -> CompletionSurface { return afterFix(); },
                          [&](const D3_LegacyOnly&) -> CompletionSurface { return afterFix(); },
                          [](const D4_ModernHomeSet&) -> CompletionSurface {
                              return CompletionSurface::Prompt{BuildIntentSurface::modernHomeSet};
                          },
                          [](const NoErrorsFound&) -> CompletionSurface {
                              return CompletionSurface::Prompt{BuildIntentSurface::noErrorsFound};
                          },
                          [](const Unknown&) -> CompletionSurface { return CompletionSurface::Excluded{}; },
                      },
                      value);
}

}  // namespace quill
