#include "engine/java/diagnosis.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "engine/java/inert_diagnosis_profile.h"

namespace quill {
namespace {

JDKInfo jdk(std::string version, std::string vendor, std::string architecture, std::string home) {
    return JDKInfo{std::move(version), std::move(vendor), std::move(architecture), std::move(home)};
}

const std::string kTemurin21Home = "/Library/Java/JavaVirtualMachines/temurin-21.jdk/Contents/Home";

TEST(DiagnosisTest, HeadlinesAndFixedDetails) {
    EXPECT_EQ(Diagnosis(Diagnosis::D1_NoJDK{}).headline(), "Java is not installed");
    EXPECT_EQ(
        Diagnosis(Diagnosis::D1_NoJDK{}).detail(),
        "Java is not installed on this Mac. We'll install Eclipse Temurin (a free, well-maintained Java "
        "distribution) for you. Java 25 is the current LTS and a good default; if you work or study "
        "somewhere "
        "that uses a specific Java version, check with your team before choosing.");
    EXPECT_EQ(Diagnosis(Diagnosis::NoErrorsFound{}).headline(), "Java is installed");
    EXPECT_EQ(Diagnosis(Diagnosis::NoErrorsFound{}).detail(),
              "Java is installed and JAVA_HOME is set. Let us know if we should do more.");
    EXPECT_EQ(Diagnosis(Diagnosis::Unknown{"x"}).headline(), "Couldn't auto-diagnose");

    const JDKInfo modern = jdk("21.0.2", "Eclipse Adoptium", "arm64", kTemurin21Home);
    EXPECT_EQ(Diagnosis(Diagnosis::D2_HomeUnset{modern}).headline(), "JAVA_HOME isn't set");
    EXPECT_EQ(Diagnosis(Diagnosis::D3_LegacyOnly{modern}).headline(), "Java is installed, but it's too old");
    EXPECT_EQ(Diagnosis(Diagnosis::D4_ModernHomeSet{modern}).headline(), "Java is set up correctly");
}

TEST(DiagnosisTest, DetailsNameTheDetectedJDK) {
    const JDKInfo modern = jdk("21.0.2", "Eclipse Adoptium", "arm64", kTemurin21Home);
    // D4 names the major, D2 the raw version with vendor and architecture.
    EXPECT_EQ(
        Diagnosis(Diagnosis::D4_ModernHomeSet{modern}).detail(),
        "Java 21 is installed at " + kTemurin21Home + ", and JAVA_HOME is pointing at it. Nothing to fix.");
    EXPECT_EQ(Diagnosis(Diagnosis::D2_HomeUnset{modern}).detail(),
              "Java 21.0.2 (Eclipse Adoptium, arm64) is installed at " + kTemurin21Home +
                  ", but JAVA_HOME isn't set in your shell. Many build tools (Maven, Gradle, some IDE "
                  "plugins) depend "
                  "on JAVA_HOME pointing at the Java installation.");

    // Found only in the JVM folder: empty vendor and architecture are inserted as they are.
    const JDKInfo bare = jdk("17", "", "", "/Library/Java/JavaVirtualMachines/x.jdk/Contents/Home");
    EXPECT_EQ(Diagnosis(Diagnosis::D2_HomeUnset{bare}).detail().substr(0, 36),
              "Java 17 (, ) is installed at /Librar");

    // The old numbering counts by its second number, and the path sits between backquotes.
    const std::string zuluHome = "/Users/ana/Library/Java/JavaVirtualMachines/zulu-8.jdk/Contents/Home";
    EXPECT_EQ(
        Diagnosis(Diagnosis::D3_LegacyOnly{jdk("1.8.0_392", "Azul Systems, Inc.", "x86_64", zuluHome)})
            .detail(),
        "We found Java 8 on your Mac (at `" + zuluHome +
            "`). Most modern Java software requires Java 21 or newer. We recommend Java 25 if you have no "
            "specific requirement; if you work or study somewhere that uses a specific Java version, check "
            "with your team before choosing.");

    // Without a major the raw version stands in its place.
    const JDKInfo odd = jdk("abc", "", "", "/opt/odd");
    EXPECT_EQ(Diagnosis(Diagnosis::D3_LegacyOnly{odd}).detail().substr(0, 28),
              "We found Java abc on your Ma");
    EXPECT_EQ(Diagnosis(Diagnosis::D4_ModernHomeSet{odd}).detail(),
              "Java abc is installed at /opt/odd, and JAVA_HOME is pointing at it. Nothing to fix.");
}

TEST(DiagnosisTest, UnknownShowsItsReasonUnchanged) {
    const std::string reason = "Entries (é, \"x\") — odd\n";
    EXPECT_EQ(Diagnosis(Diagnosis::Unknown{reason}).detail(), reason);
}

TEST(DiagnosisTest, ResultCategories) {
    const JDKInfo modern = jdk("21.0.2", "Eclipse Adoptium", "arm64", kTemurin21Home);
    const CompletionSurface postFix = CompletionSurface::Prompt{BuildIntentSurface::postFix};
    EXPECT_EQ(Diagnosis(Diagnosis::D1_NoJDK{}).resultCategory(), postFix);
    EXPECT_EQ(Diagnosis(Diagnosis::D2_HomeUnset{modern}).resultCategory(), postFix);
    EXPECT_EQ(Diagnosis(Diagnosis::D3_LegacyOnly{modern}).resultCategory(), postFix);
    EXPECT_EQ(Diagnosis(Diagnosis::D4_ModernHomeSet{modern}).resultCategory(),
              CompletionSurface(CompletionSurface::Prompt{BuildIntentSurface::modernHomeSet}));
    EXPECT_EQ(Diagnosis(Diagnosis::NoErrorsFound{}).resultCategory(),
              CompletionSurface(CompletionSurface::Prompt{BuildIntentSurface::noErrorsFound}));
    EXPECT_EQ(Diagnosis(Diagnosis::Unknown{"r"}).resultCategory(),
              CompletionSurface(CompletionSurface::Excluded{}));
}

TEST(DiagnosisTest, EqualityCoversCaseAndEveryPayloadField) {
    const JDKInfo a = jdk("21.0.2", "Eclipse Adoptium", "arm64", kTemurin21Home);
    JDKInfo otherVendor = a;
    otherVendor.vendor = "Azul Systems, Inc.";
    EXPECT_NE(Diagnosis(Diagnosis::D2_HomeUnset{a}), Diagnosis(Diagnosis::D2_HomeUnset{otherVendor}));
    EXPECT_NE(Diagnosis(Diagnosis::D2_HomeUnset{a}), Diagnosis(Diagnosis::D4_ModernHomeSet{a}));
    EXPECT_NE(Diagnosis(Diagnosis::Unknown{"a"}), Diagnosis(Diagnosis::Unknown{"b"}));
    EXPECT_EQ(Diagnosis(Diagnosis::D3_LegacyOnly{a}), Diagnosis(Diagnosis::D3_LegacyOnly{a}));

    // JDKs hash consistently with equality, so they can key sets.
    std::unordered_set<JDKInfo> set = {a, a, otherVendor};
    EXPECT_EQ(set.size(), 2U);
    EXPECT_EQ(a.id(), std::filesystem::path(kTemurin21Home));
}

TEST(DiagnosisTest, BuildIntentSurfaceRawValuesRoundTrip) {
    for (auto surface : {BuildIntentSurface::postFix, BuildIntentSurface::modernHomeSet,
                         BuildIntentSurface::noErrorsFound}) {
        EXPECT_EQ(fromRawBuildIntentSurface(toRaw(surface)), surface);
    }
    EXPECT_EQ(toRaw(BuildIntentSurface::postFix), "post_fix");
    EXPECT_EQ(toRaw(BuildIntentSurface::modernHomeSet), "modern_home_set");
    EXPECT_EQ(toRaw(BuildIntentSurface::noErrorsFound), "no_errors_found");
    EXPECT_EQ(fromRawBuildIntentSurface("postFix"), std::nullopt);
    EXPECT_EQ(fromRawBuildIntentSurface(""), std::nullopt);
}

TEST(DiagnosisTest, InertProfileAlwaysFindsNoErrors) {
    ProbeBundle bundle;
    EXPECT_EQ(InertDiagnosisProfile{}.diagnose(bundle), Diagnosis(Diagnosis::NoErrorsFound{}));
    bundle.jvmDirContents = {"broken.jdk"};
    EXPECT_EQ(InertDiagnosisProfile{}.diagnose(bundle), Diagnosis(Diagnosis::NoErrorsFound{}));
}

}  // namespace
}  // namespace quill
