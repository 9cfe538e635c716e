#include "engine/java/java_profile.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

JDKInfo jdk(std::string version, std::string home, std::string vendor = "Eclipse Adoptium") {
    return JDKInfo{std::move(version), std::move(vendor), "arm64", std::move(home)};
}

Diagnosis diagnose(const ProbeBundle& bundle) {
    return JavaProfile{}.diagnose(bundle);
}

const std::string kVMs = "/Library/Java/JavaVirtualMachines/";

TEST(JavaProfileTest, NothingInstalled) {
    EXPECT_EQ(diagnose(ProbeBundle{}), Diagnosis(Diagnosis::D1_NoJDK{}));

    // Hidden entries are not JDK bundles: they neither make the folder non-empty nor show in the reason.
    ProbeBundle hiddenOnly;
    hiddenOnly.jvmDirContents = {".DS_Store", ".localized"};
    EXPECT_EQ(diagnose(hiddenOnly), Diagnosis(Diagnosis::D1_NoJDK{}));
}

TEST(JavaProfileTest, FolderEntriesWithoutParsedJDKsAreUnknown) {
    ProbeBundle bundle;
    bundle.jvmDirContents = {"temurin-21.jdk", ".DS_Store", "zulu-17.jdk"};
    const Diagnosis result = diagnose(bundle);
    EXPECT_EQ(
        result,
        Diagnosis(Diagnosis::Unknown{
            "JavaVirtualMachines directory has entries (temurin-21.jdk, zulu-17.jdk) but "
            "/usr/libexec/java_home couldn't parse any JDKs \xE2\x80\x94 possible malformed install."}));
}

TEST(JavaProfileTest, LegacyOnlyPicksTheNewestAtTheModernBoundary) {
    ProbeBundle bundle;
    bundle.installedJDKs = {
        jdk("1.8.0_392", kVMs + "zulu-8.jdk/Contents/Home"), jdk("20.0.2", kVMs + "a-20.jdk/Contents/Home"),
        jdk("20", kVMs + "b-20.jdk/Contents/Home"), jdk("abc", kVMs + "odd.jdk/Contents/Home")};
    bundle.javaHomeInActiveShell = kVMs + "a-20.jdk/Contents/Home";
    // Major 20 is not modern; of the two 20s the first in list order wins.
    EXPECT_EQ(diagnose(bundle), Diagnosis(Diagnosis::D3_LegacyOnly{bundle.installedJDKs[1]}));

    // 1.8 counts as 8, which is newer than 7.
    ProbeBundle old;
    old.installedJDKs = {jdk("1.7.0_80", "/a"), jdk("1.8.0_392", "/b"), jdk("nonsense", "/c")};
    EXPECT_EQ(diagnose(old), Diagnosis(Diagnosis::D3_LegacyOnly{old.installedJDKs[1]}));

    // Versions without a major still yield a verdict.
    ProbeBundle unreadable;
    unreadable.installedJDKs = {jdk("abc", "/a"), jdk("def", "/b")};
    EXPECT_EQ(diagnose(unreadable), Diagnosis(Diagnosis::D3_LegacyOnly{unreadable.installedJDKs[0]}));
}

TEST(JavaProfileTest, ModernHomeSetWhenJavaHomeIsAModernJDK) {
    ProbeBundle bundle;
    bundle.installedJDKs = {jdk("25", kVMs + "temurin-25.jdk/Contents/Home"),
                            jdk("21.0.2", kVMs + "temurin-21.jdk/Contents/Home"),
                            jdk("17.0.10", kVMs + "temurin-17.jdk/Contents/Home")};
    bundle.javaHomeInActiveShell = kVMs + "temurin-21.jdk/Contents/Home";
    EXPECT_EQ(diagnose(bundle), Diagnosis(Diagnosis::D4_ModernHomeSet{bundle.installedJDKs[1]}));

    // A trailing slash on either side names the same home.
    bundle.javaHomeInActiveShell = kVMs + "temurin-21.jdk/Contents/Home/";
    EXPECT_EQ(diagnose(bundle), Diagnosis(Diagnosis::D4_ModernHomeSet{bundle.installedJDKs[1]}));
    bundle.installedJDKs[1].path = kVMs + "temurin-21.jdk/Contents/Home/";
    bundle.javaHomeInActiveShell = kVMs + "temurin-21.jdk/Contents/Home";
    EXPECT_EQ(diagnose(bundle), Diagnosis(Diagnosis::D4_ModernHomeSet{bundle.installedJDKs[1]}));
}

TEST(JavaProfileTest, HomeUnsetPointsAtTheNewestModernJDK) {
    ProbeBundle bundle;
    bundle.installedJDKs = {jdk("17.0.10", kVMs + "temurin-17.jdk/Contents/Home"),
                            jdk("21.0.2", kVMs + "temurin-21.jdk/Contents/Home"),
                            jdk("25.0.1", kVMs + "temurin-25.jdk/Contents/Home"),
                            jdk("25", kVMs + "zulu-25.jdk/Contents/Home", "Azul Systems, Inc.")};
    EXPECT_EQ(diagnose(bundle), Diagnosis(Diagnosis::D2_HomeUnset{bundle.installedJDKs[2]}));

    // JAVA_HOME at a legacy JDK, at something unknown, or at a prefix of a home does not count.
    for (const std::string& home : {kVMs + "temurin-17.jdk/Contents/Home", std::string("/usr/local/java"),
                                    kVMs + "temurin-21.jdk", std::string("")}) {
        bundle.javaHomeInActiveShell = home;
        EXPECT_EQ(diagnose(bundle), Diagnosis(Diagnosis::D2_HomeUnset{bundle.installedJDKs[2]})) << home;
    }

    // Exactly 21 is modern.
    ProbeBundle boundary;
    boundary.installedJDKs = {jdk("20.0.2", "/a"), jdk("21", "/b")};
    EXPECT_EQ(diagnose(boundary), Diagnosis(Diagnosis::D2_HomeUnset{boundary.installedJDKs[1]}));
}

}  // namespace
}  // namespace quill
