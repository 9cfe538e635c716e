#include "engine/installers/homebrew_installer.h"

#include <gtest/gtest.h>

#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::canceled;
using test::completed;
using test::out;
using test::own;

constexpr const char* kShellenv = "eval \"$(/opt/homebrew/bin/brew shellenv)\"";

class HomebrewInstallerTest : public ::testing::Test {
  protected:
    HomebrewInstallerTest() { standIns.add("osascript", "echo marker-password-4711\n"); }

    /// Curl prints `script` (or fails with `curlStatus`); the installer runs under the real /bin/bash.
    std::vector<InstallerEvent> install(const std::string& script, int curlStatus = 0,
                                        test::FaultyFileSystem::Rule fault = {}) {
        if (curlStatus != 0)
            standIns.add("curl", "echo 'curl: (22) The requested URL returned error: 404' >&2\nexit " +
                                     std::to_string(curlStatus) + "\n");
        else
            standIns.add("curl", "[ \"$1\" = -fsSL ] || exit 2\ncat <<'SCRIPT'\n" + script + "\nSCRIPT\n");
        auto mapped =
            std::make_shared<test::PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), root.path());
        std::shared_ptr<const FileSystemOperating> fileSystem = mapped;
        if (fault)
            fileSystem = std::make_shared<test::FaultyFileSystem>(fault, mapped);
        const HomebrewInstaller installer{std::make_shared<LiveProcessRunner>(), fileSystem,
                                          PrivilegedExecutor{fileSystem}};
        auto stream = installer.install();
        auto events = drain(stream);
        EXPECT_TRUE(standIns.privateFolders().empty());
        return events;
    }
    void installBrew() const { root.write("opt/homebrew/bin/brew", "#!/bin/sh\n"); }

    test::TemporaryHome home;
    test::TemporaryDirectory root;
    test::StandInPath standIns;
    ScopedProductConfig product{test::installerProduct()};
};

TEST_F(HomebrewInstallerTest, AFailedDownloadFailsWithCurlsStatusAndEditsNothing) {
    EXPECT_EQ(install("", 22), (std::vector<InstallerEvent>{
                                   out("curl: (22) The requested URL returned error: 404"), completed(22)}));
    EXPECT_FALSE(fs::exists(home / ".zprofile"));
}

TEST_F(HomebrewInstallerTest, ARefusedPasswordIsACancellation) {
    for (const char* phrase :
         {"User Canceled", "execution error: user canceled", "SUDO_ASKPASS", "no askpass program",
          "sudo: A password is required", "Authentication failed"}) {
        SCOPED_TRACE(phrase);
        const auto events = install(std::string("echo '") + phrase + "'\nexit 1");
        EXPECT_EQ(events, (std::vector<InstallerEvent>{out(phrase), canceled()}));
    }
    EXPECT_EQ(install("echo 'Error: something else'\nexit 3"),
              (std::vector<InstallerEvent>{out("Error: something else"), completed(3)}));
}

TEST_F(HomebrewInstallerTest, ASuccessfulInstallAddsTheShellEnvironmentOnce) {
    // The script sees the wrapper first on PATH, the askpass script and the non-interactive switch; the
    // password answers the script, never the program.
    const std::string script =
        "[ \"$(command -v sudo)\" = \"$(dirname \"$SUDO_ASKPASS\")/sudo\" ] && echo wrapper-first\n"
        "echo \"NONINTERACTIVE=$NONINTERACTIVE\"\n"
        "[ \"$(\"$SUDO_ASKPASS\")\" = marker-password-4711 ] && echo askpass-answered\n"
        "exit 0";
    const std::vector<InstallerEvent> ran{out("wrapper-first"), out("NONINTERACTIVE=1"),
                                          out("askpass-answered")};
    auto expect = [&](std::vector<InstallerEvent> tail) {
        std::vector<InstallerEvent> all = ran;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };

    EXPECT_EQ(install(script),
              expect({own("Note: brew not found in expected locations after install; skipping "
                          "~/.zprofile shellenv append."),
                      completed(0)}));

    installBrew();
    home.write(".zprofile", std::string("# ") + kShellenv + "\n");
    EXPECT_EQ(
        install(script),
        expect({own("Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells)."),
                own("Appended. Backup at " + (home / ".zprofile.bak").string() + "."), completed(0)}));
    EXPECT_EQ(test::readFile(home / ".zprofile"),
              std::string("# ") + kShellenv + "\n\n# Quillstart — Homebrew shellenv\n" + kShellenv + "\n");

    fs::remove(home / ".zprofile.bak");
    EXPECT_EQ(install(script),
              expect({own("brew shellenv already active in ~/.zprofile — skipping."), completed(0)}));
    EXPECT_FALSE(fs::exists(home / ".zprofile.bak"));

    // A file the user set aside is not replaced by a copy of nothing, nor named.
    fs::remove(home / ".zprofile");
    home.write(".zprofile.bak", "export MINE=1\n");
    EXPECT_EQ(
        install(script),
        expect({own("Appending brew shellenv to ~/.zprofile (so brew is fully integrated in new shells)."),
                own("Appended."), completed(0)}));
    EXPECT_EQ(test::readFile(home / ".zprofile.bak"), "export MINE=1\n");

    home.write(".zprofile", "export A=1\n");
    const fs::path backup = home / ".zprofile.bak";
    auto events = install(script, 0, [&](std::string_view operation, const fs::path& path) {
        return operation == "write" && path == backup;
    });
    EXPECT_EQ(events,
              expect({own("Couldn't append brew shellenv to ~/.zprofile: Couldn't write backup file: " +
                          test::FaultyFileSystem::injectedError(backup).message),
                      completed(0)}));
    EXPECT_EQ(test::readFile(home / ".zprofile"), "export A=1\n");
}

}  // namespace
}  // namespace quill
