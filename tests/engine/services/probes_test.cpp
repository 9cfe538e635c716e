#include "engine/services/probes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/fake_bin.h"
#include "tests/support/fake_process_runner.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using test::FakeProcessRunner;
using test::processResult;

const std::filesystem::path kData = std::filesystem::path(QUILL_TEST_DATA_DIR) / "java";
const std::string kVMs = "/Library/Java/JavaVirtualMachines/";
const std::string kShellScript = "echo __TVN_JAVA_HOME__:$JAVA_HOME";

std::string home(const std::string& bundle) {
    return kVMs + bundle + "/Contents/Home";
}

TEST(ProbesTest, ParsesARealJavaHomeListing) {
    const auto jdks = Probes::parseJavaHomeList(test::readFile(kData / "java_home_several.txt"));
    const std::vector<JDKInfo> expected = {
        {"25.0.1", "Eclipse Adoptium", "arm64", home("temurin-25.jdk")},
        {"21.0.2", "Eclipse Adoptium", "arm64", home("temurin-21.jdk")},
        {"17.0.10", "Azul Systems, Inc.", "x86_64",
         "/Users/ana/Library/Java/JavaVirtualMachines/zulu-17.jdk/Contents/Home"},
        {"1.8.0_392", "Amazon.com Inc.", "arm64", home("corretto-8.jdk")},
    };
    EXPECT_EQ(jdks, expected);
}

TEST(ProbesTest, JavaHomeLinesMustHaveEveryPart) {
    const auto one = [](const std::string& line) { return Probes::parseJavaHomeList(line); };
    const std::string good = "    21 (arm64) \"V\" - \"N\" /j/Home";
    ASSERT_EQ(one(good).size(), 1U);

    EXPECT_TRUE(one("21 (arm64) \"V\" - \"N\" /j/Home").empty()) << "not indented";
    EXPECT_TRUE(one("    21 () \"V\" - \"N\" /j/Home").empty()) << "empty architecture";
    EXPECT_TRUE(one("    21 (arm64) V - \"N\" /j/Home").empty()) << "unquoted vendor";
    EXPECT_TRUE(one("    21 (arm64) \"V\" \"N\" /j/Home").empty()) << "no dash";
    EXPECT_TRUE(one("    21 (arm64) \"V\" - \"N\" j/Home").empty()) << "relative home";
    EXPECT_TRUE(one("    21 (arm64) \"V\" - \"N\" /").empty()) << "the root alone";
    EXPECT_TRUE(one("    21 (arm64) \"V\" - \"N\"/j/Home").empty()) << "no space before the home";
    EXPECT_TRUE(one("    21 (arm64) \"V\" - \"N\" /j\r/Home").empty()) << "a break inside the home";

    // An empty vendor is allowed; spaces inside the parts are kept; a final carriage return and trailing
    // spaces are not part of the home.
    EXPECT_EQ(one("\t21 (arm 64) \"\" - \"My JDK\" /My Java/Home  \r\n"),
              (std::vector<JDKInfo>{{"21", "", "arm 64", "/My Java/Home"}}));
    // Unicode spaces count as white space.
    EXPECT_EQ(one("\xC2\xA0"
                  "21\xE2\x80\x83(arm64) \"V\" - \"N\" /j"),
              (std::vector<JDKInfo>{{"21", "V", "arm64", "/j"}}));
}

TEST(ProbesTest, ReadsTheJavaHomeMarkerOnItsOwn) {
    // The parser is public so that other login-shell readers can share it; it must link and agree with the
    // probe.
    EXPECT_EQ(Probes::parseJavaHomeMarker("motd\n__TVN_JAVA_HOME__:\t/opt/jdk \nbye\n"), "/opt/jdk");
    EXPECT_EQ(Probes::parseJavaHomeMarker("__TVN_JAVA_HOME__:/a\n__TVN_JAVA_HOME__: \t\n"), std::nullopt);
    EXPECT_EQ(Probes::parseJavaHomeMarker("JAVA_HOME=/opt/jdk\n"), std::nullopt);
    EXPECT_EQ(Probes::parseJavaHomeMarker(""), std::nullopt);
    // A carriage return the variable really holds is kept: only echo's line feed ends the line.
    EXPECT_EQ(Probes::parseJavaHomeMarker("motd\r\n__TVN_JAVA_HOME__:/opt/jdk\r\n"), "/opt/jdk\r");
}

struct ProbeFixture : ::testing::Test {
    std::shared_ptr<FakeProcessRunner> runner = std::make_shared<FakeProcessRunner>();
    std::shared_ptr<test::ScriptedFileSystem> fs = std::make_shared<test::ScriptedFileSystem>();

    ProbeBundle probe() const { return Probes{ShellRunner{runner}, fs}.probe(); }
    void javaHomeOutput(const std::string& output, int code = 0) {
        runner->whenRun(FakeProcessRunner::exactly("/bin/zsh", {"-lc", kShellScript}),
                        processResult(code, output));
    }
};

TEST_F(ProbeFixture, GathersEveryFactWithinTimeLimits) {
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/which", {"java"}),
                    processResult(0, "  /usr/bin/java\n"));
    // The listing arrives on standard error, whatever the exit code.
    runner->whenRun(FakeProcessRunner::exactly("/usr/libexec/java_home", {"-V"}),
                    processResult(1, "", test::readFile(kData / "java_home_several.txt")));
    javaHomeOutput("Last login: today\n__TVN_JAVA_HOME__:\t" + home("temurin-21.jdk") + " \n");
    fs->addDirectory("/Library/Java/JavaVirtualMachines",
                     {"temurin-25.jdk", ".DS_Store", "zulu-8.jdk", "temurin-21.jdk", "corretto-8.jdk"});
    fs->addFileFrom(home("zulu-8.jdk") + "/release", kData / "unnumbered.release");
    fs->addFileFrom(kVMs + "zulu-8.jdk/Contents/Info.plist", kData / "zulu-8.Info.plist");
    // Listed by java_home, so its release file is never read.
    fs->addFileFrom(home("temurin-21.jdk") + "/release", kData / "zulu-17.release");

    const ProbeBundle bundle = probe();
    EXPECT_EQ(bundle.whichJava, "/usr/bin/java");
    EXPECT_EQ(bundle.javaHomeInActiveShell, home("temurin-21.jdk"));
    EXPECT_EQ(bundle.jvmDirContents, (std::vector<std::string>{"temurin-25.jdk", ".DS_Store", "zulu-8.jdk",
                                                               "temurin-21.jdk", "corretto-8.jdk"}));
    ASSERT_EQ(bundle.installedJDKs.size(), 5U);
    EXPECT_EQ(bundle.installedJDKs[2].path,
              "/Users/ana/Library/Java/JavaVirtualMachines/zulu-17.jdk/Contents/Home");
    EXPECT_EQ(bundle.installedJDKs[4], (JDKInfo{"1.8.0_392", "", "", home("zulu-8.jdk")}));

    for (const auto& call : runner->calls()) {
        EXPECT_FALSE(call.environment.has_value()) << call.executable;
        const auto expected = call.executable == "/bin/zsh" ? kLoginShellProbeTimeLimit : kToolProbeTimeLimit;
        EXPECT_EQ(call.timeLimit, expected) << call.executable;
    }
    EXPECT_EQ(runner->calls().size(), 3U);
    const auto accessed = fs->accessedPaths();
    EXPECT_EQ(std::count(accessed.begin(), accessed.end(), home("temurin-21.jdk") + "/release"), 0);
}

TEST_F(ProbeFixture, NothingFoundWhenEverythingFails) {
    // Unscripted commands fail to start, and the folder is missing.
    EXPECT_EQ(probe(), ProbeBundle{});

    // Commands that run into their time limit read as nothing found too.
    for (const auto* tool : {"/usr/bin/which", "/usr/libexec/java_home", "/bin/zsh"}) {
        runner->whenRun(FakeProcessRunner::anyCallTo(tool), fail(processTimedOut(tool)));
    }
    EXPECT_EQ(probe(), ProbeBundle{});
}

TEST_F(ProbeFixture, WhichCountsOnlyWhenItSucceedsWithOutput) {
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/which", {"java"}),
                    processResult(1, "/usr/bin/java\n"));
    EXPECT_EQ(probe().whichJava, std::nullopt);
    runner->whenRun(FakeProcessRunner::exactly("/usr/bin/which", {"java"}), processResult(0, " \n\t"));
    EXPECT_EQ(probe().whichJava, std::nullopt);
}

TEST_F(ProbeFixture, JavaHomeComesFromTheLastMarkerLine) {
    javaHomeOutput("__TVN_JAVA_HOME__:/first\nnoise\n__TVN_JAVA_HOME__:   \n\n");
    EXPECT_EQ(probe().javaHomeInActiveShell, std::nullopt) << "the last marker line decides, even when empty";

    javaHomeOutput(
        "__TVN_JAVA_HOME__:/first\nbanner __TVN_JAVA_HOME__:/second __TVN_JAVA_HOME__:x\ntrailing\n", 1);
    EXPECT_EQ(probe().javaHomeInActiveShell, "/second __TVN_JAVA_HOME__:x")
        << "after the first marker of the line";

    javaHomeOutput("JAVA_HOME=/somewhere\n");
    EXPECT_EQ(probe().javaHomeInActiveShell, std::nullopt);
}

TEST(ProbesLiveTest, ReadsRealChildrenThroughStandIns) {
    test::FakeBin bin;
    bin.add("/usr/libexec/java_home",
            "cat >&2 <<'EOF'\nMatching Java Virtual Machines (1):\n"
            "    21.0.2 (arm64) \"Eclipse Adoptium\" - \"OpenJDK 21.0.2\" " +
                home("temurin-21.jdk") + "\nEOF\nexit 1\n");
    bin.addPrinting("/usr/bin/which", "/usr/bin/java\n");
    // The login shell runs the probe's own command line, with JAVA_HOME set as a user's start-up file would.
    bin.add("/bin/zsh", "JAVA_HOME=/opt/jdk/ exec /bin/sh -c \"$2\"\n");
    auto fs = std::make_shared<test::ScriptedFileSystem>();

    const ProbeBundle bundle = Probes{ShellRunner{bin.runner()}, fs}.probe();
    EXPECT_EQ(bundle.whichJava, "/usr/bin/java");
    EXPECT_EQ(bundle.javaHomeInActiveShell, "/opt/jdk/");
    EXPECT_EQ(bundle.installedJDKs,
              (std::vector<JDKInfo>{{"21.0.2", "Eclipse Adoptium", "arm64", home("temurin-21.jdk")}}));
}

}  // namespace
}  // namespace quill
