#include "engine/installers/version_manager_runners.h"

#include <gtest/gtest.h>

#include "engine/core/shell_quote.h"
#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/fake_bin.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

/// The output lines of a finished stream, and its exit code (-2 when it ended without one).
std::pair<std::vector<std::string>, int> finish(Stream<StreamEvent> stream) {
    std::pair<std::vector<std::string>, int> result{{}, -2};
    for (auto& event : drain(stream)) {
        if (auto* output = std::get_if<StreamEvent::Output>(&event.value))
            result.first.push_back(output->text);
        else if (auto* completed = std::get_if<StreamEvent::Completed>(&event.value))
            result.second = completed->exitCode;
    }
    return result;
}

TEST(VersionManagerRunnersTest, ScriptsForOrdinaryValues) {
    // A login shell that prints its script instead of running it.
    test::FakeBin bin;
    bin.add("/bin/zsh", "[ \"$1\" = -lc ] && printf '%s\\n' \"$2\"");
    const ShellRunner shell{bin.runner()};
    using Lines = std::vector<std::string>;
    EXPECT_EQ(
        finish(JEnvRunner{"/j", shell, {}}.addAndSetGlobal("/L/temurin-21.jdk/Contents/Home", 21)).first,
        (Lines{"set -e", "jenv enable-plugin export || true",
               "jenv add \"/L/temurin-21.jdk/Contents/Home\" || true", "jenv rehash", "jenv global 21"}));
    EXPECT_EQ(finish(MiseRunner{"/m", shell, {}}.installJava("temurin-21")).first,
              Lines{"mise install java@\"temurin-21\" && mise use -g java@\"temurin-21\""});
    EXPECT_EQ(finish(SDKMANRunner{"/Users/me/.sdkman", shell, {}}.run("install java \"21-tem\"")).first,
              Lines{"source \"/Users/me/.sdkman/bin/sdkman-init.sh\" && sdk install java \"21-tem\""});
}

TEST(VersionManagerRunnersTest, HostileFolderNamesReachTheToolsLiterallyThroughZsh) {
    test::TemporaryHome home;
    test::StandInPath standIns;
    test::TemporaryDirectory state;
    const fs::path log = state.path() / "log";
    const fs::path touched = state.path() / "touched";
    const std::string record = "printf '%s|' \"$@\" >> " + shellSingleQuoted(log.string()) + "; echo >> " +
                               shellSingleQuoted(log.string()) + "\n";
    standIns.add("jenv", record);
    standIns.add("mise", record);
    const std::string hostile =
        "a \"b\" \\c $(touch " + touched.string() + ") `touch " + touched.string() + "`";
    const fs::path sdkmanRoot = state.makeDirectory(hostile);
    state.write(sdkmanRoot.lexically_relative(state.path()) / "bin" / "sdkman-init.sh",
                "sdk() { " + record + "}\n");

    const ShellRunner shell{std::make_shared<LiveProcessRunner>()};
    const auto files = std::make_shared<LiveFileSystem>();
    const fs::path jdk = state.path() / hostile / "Contents" / "Home";
    EXPECT_EQ(finish(JEnvRunner{home / ".jenv", shell, files}.addAndSetGlobal(jdk, 17)).second, 0);
    EXPECT_EQ(finish(MiseRunner{"mise", shell, files}.installJava(hostile)).second, 0);
    EXPECT_EQ(finish(MiseRunner{"mise", shell, files}.useGlobalJava(hostile)).second, 0);
    EXPECT_EQ(
        finish(SDKMANRunner{sdkmanRoot, shell, files}.run("default java " + versionManagerQuoted(hostile)))
            .second,
        0);
    EXPECT_EQ(test::readFile(log), "enable-plugin|export|\nadd|" + jdk.string() +
                                       "|\nrehash|\nglobal|17|\ninstall|java@" + hostile + "|\nuse|-g|java@" +
                                       hostile + "|\nuse|-g|java@" + hostile + "|\ndefault|java|" + hostile +
                                       "|\n");
    EXPECT_FALSE(fs::exists(touched));
}

TEST(VersionManagerRunnersTest, MissingZshrcLinesCountOnlyActiveLines) {
    const std::string path = "export PATH=\"$HOME/.jenv/bin:$PATH\"";
    const std::string init = "eval \"$(jenv init -)\"";
    const std::string activate = "eval \"$(mise activate zsh)\"";
    struct Case {
        const char* name;
        std::string zshrc;  // "/": a folder
        std::vector<std::string> jenv;
        std::vector<std::string> mise;
    };
    const std::vector<Case> cases = {
        {"both jEnv lines, mise active", path + "\n" + init + "\n" + activate, {}, {}},
        {"PATH line only", path + "\n", {init}, {activate}},
        {"init line only", init + "\n", {path}, {activate}},
        {"neither", "alias ll='ls -l'\n", {path, init}, {activate}},
        {"commented out", "# " + path + "\n  # " + init + "\n#" + activate + "\n", {path, init}, {activate}},
        {"a folder", "/", {path, init}, {activate}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryHome home;
        if (c.zshrc == "/")
            fs::create_directory(home / ".zshrc");
        else
            home.write(".zshrc", c.zshrc);
        const auto files = std::make_shared<LiveFileSystem>();
        EXPECT_EQ((JEnvRunner{home / ".jenv", {}, files}.missingZshrcLines()), c.jenv);
        EXPECT_EQ((MiseRunner{"mise", {}, files}.missingZshrcLines()), c.mise);
    }
}

}  // namespace
}  // namespace quill
