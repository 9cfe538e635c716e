#include "engine/services/language_detector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/services/live_file_system.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using State = LanguageInstallState;

/// A temporary home and a temporary stand-in for the machine's fixed folders, /usr/bin included.
class LanguageDetectorTest : public ::testing::Test {
  protected:
    static std::vector<std::string> prefixes() {
        auto list = test::PathMappingFileSystem::defaultPrefixes();
        list.emplace_back("/usr/bin");
        return list;
    }

    /// A folder under the home folder, with one entry when `withEntry` is true.
    void homeFolder(const std::string& relative, bool withEntry = true) {
        fs::create_directories(home / relative);
        if (withEntry)
            fs::create_directories(home / relative / "3.12.1");
    }
    void homeFile(const std::string& relative) { home.write(relative, ""); }
    /// A file or folder at an absolute path of the machine.
    void machineFile(const std::string& path) { machine.write(fs::path(path).relative_path(), ""); }
    void machineFolder(const std::string& path) { machine.makeDirectory(fs::path(path).relative_path()); }

    [[nodiscard]] State detect(QuillLanguage language) const { return detector.detectInstallation(language); }

    test::TemporaryHome home;
    test::TemporaryDirectory machine;
    std::shared_ptr<const FileSystemOperating> files = std::make_shared<test::PathMappingFileSystem>(
        std::make_shared<LiveFileSystem>(), machine.path(), prefixes());
    LanguageDetector detector{files};
};

struct Step {
    std::string what;
    std::function<void()> arrange;
    State expected;
};

/// Adds each finding from the weakest to the strongest: every new one must win over all found before it.
void expectEachEarlierCheckWins(const LanguageDetector& detector, QuillLanguage language,
                                const std::vector<Step>& steps) {
    EXPECT_EQ(detector.detectInstallation(language), State(State::NotInstalled{})) << toRaw(language);
    for (const auto& step : steps) {
        step.arrange();
        EXPECT_EQ(detector.detectInstallation(language), step.expected)
            << toRaw(language) << ": " << step.what;
    }
}

TEST_F(LanguageDetectorTest, PythonChecksRunInOrderAndTheFirstFindingDecides) {
    expectEachEarlierCheckWins(
        detector, QuillLanguage::python,
        {
            {"system", [&] { machineFile("/usr/bin/python3"); }, State::OutdatedSystemInstall{}},
            {"anaconda", [&] { homeFolder("anaconda3", false); }, State::ManagedBy{"conda"}},
            {"empty asdf folder", [&] { homeFolder(".asdf/installs/python", false); },
             State::ManagedBy{"asdf"}},
            {"empty pyenv", [&] { homeFolder(".pyenv/versions", false); }, State::ManagedBy{"asdf"}},
            {"pyenv", [&] { homeFolder(".pyenv/versions"); }, State::ManagedBy{"pyenv"}},
            {"uv", [&] { homeFolder(".local/share/uv/python"); }, State::AlreadySetUp{"uv"}},
        });
}

TEST_F(LanguageDetectorTest, NodeChecksRunInOrderAndTheFirstFindingDecides) {
    expectEachEarlierCheckWins(
        detector, QuillLanguage::node,
        {
            {"homebrew", [&] { machineFile("/usr/local/bin/node"); }, State::OutdatedSystemInstall{}},
            {"fnm in Application Support", [&] { homeFolder("Library/Application Support/fnm", false); },
             State::ManagedBy{"fnm"}},
            {"asdf", [&] { homeFolder(".asdf/installs/nodejs", false); }, State::ManagedBy{"asdf"}},
            {"volta", [&] { homeFile(".volta/bin/node"); }, State::ManagedBy{"volta"}},
            {"nvm", [&] { homeFolder(".nvm/versions/node"); }, State::ManagedBy{"nvm"}},
            {"empty mise", [&] { homeFolder(".local/share/mise/installs/node", false); },
             State::ManagedBy{"nvm"}},
            {"mise", [&] { homeFolder(".local/share/mise/installs/node"); }, State::AlreadySetUp{"mise"}},
        });
}

TEST_F(LanguageDetectorTest, RubyAndRustChecksRunInOrderAndTheFirstFindingDecides) {
    expectEachEarlierCheckWins(
        detector, QuillLanguage::ruby,
        {
            {"system", [&] { machineFile("/usr/bin/ruby"); }, State::OutdatedSystemInstall{}},
            {"asdf", [&] { homeFolder(".asdf/installs/ruby", false); }, State::ManagedBy{"asdf"}},
            {"chruby", [&] { homeFolder(".rubies"); }, State::ManagedBy{"chruby"}},
            {"rvm", [&] { homeFolder(".rvm/rubies"); }, State::ManagedBy{"rvm"}},
            {"rbenv", [&] { homeFolder(".rbenv/versions"); }, State::ManagedBy{"rbenv"}},
            {"mise", [&] { homeFolder(".local/share/mise/installs/ruby"); }, State::AlreadySetUp{"mise"}},
        });
    expectEachEarlierCheckWins(
        detector, QuillLanguage::rust,
        {
            {"homebrew", [&] { machineFile("/opt/homebrew/bin/rustc"); }, State::OutdatedSystemInstall{}},
            {"cargo without rustup", [&] { homeFile(".cargo/bin/rustc"); }, State::AlreadySetUp{"rustup"}},
        });
}

TEST_F(LanguageDetectorTest, JavaLooksAtTheBundlesBeforeAndAfterTheVersionManagers) {
    const std::string jvm = "/Library/Java/JavaVirtualMachines";
    // An unreadable JVM folder is no finding at all.
    EXPECT_EQ(detect(QuillLanguage::java), State(State::NotInstalled{}));

    // Only bundles ending in ".jdk" count.
    machineFolder(jvm + "/openjdk-17.jdk.bak");
    machineFile(jvm + "/notes.txt");
    EXPECT_EQ(detect(QuillLanguage::java), State(State::NotInstalled{}));

    machineFolder(jvm + "/openjdk-17.jdk");
    EXPECT_EQ(detect(QuillLanguage::java), State(State::OutdatedSystemInstall{}));

    homeFolder(".jenv/versions");
    EXPECT_EQ(detect(QuillLanguage::java), State(State::ManagedBy{"jenv"}));
    homeFolder(".sdkman/candidates/java");
    EXPECT_EQ(detect(QuillLanguage::java), State(State::ManagedBy{"SDKMAN"}));

    // A Temurin bundle wins over everything, whatever else is installed beside it.
    machineFolder(jvm + "/temurin-21.jdk");
    EXPECT_EQ(detect(QuillLanguage::java), State(State::AlreadySetUp{"Temurin"}));
}

TEST(LanguageInstallStateTest, StatusLinesNameTheFinding) {
    EXPECT_EQ(LanguageDetector::statusLine(State::AlreadySetUp{"uv"}), "already set up (uv)");
    EXPECT_EQ(LanguageDetector::statusLine(State::ManagedBy{"pyenv"}),
              "managed by pyenv — installing ours may conflict");
    EXPECT_EQ(LanguageDetector::statusLine(State::OutdatedSystemInstall{}),
              "upgrade recommended (an outdated system install was found)");
    EXPECT_EQ(LanguageDetector::statusLine(State::NotInstalled{}), std::nullopt);
    EXPECT_NE(State(State::AlreadySetUp{"mise"}), State(State::ManagedBy{"mise"}));
}

}  // namespace
}  // namespace quill
