#include <gtest/gtest.h>

#include <chrono>

#include "engine/core/paths.h"
#include "engine/installers/skill_folder_installer.h"
#include "engine/installers/template_tree_copier.h"
#include "engine/services/live_file_system.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileSystem;
using test::readFile;

/// Every file under `root` (links included, as links), with its contents, by relative path.
std::map<std::string, std::string> treeOf(const fs::path& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const auto relative = fs::relative(entry.path(), root).string();
        if (entry.is_symlink())
            files[relative] = "-> link";
        else if (entry.is_regular_file())
            files[relative] = readFile(entry.path());
    }
    return files;
}

/// Names in `folder` that contain "staging".
std::vector<std::string> stagingIn(const fs::path& folder) {
    std::vector<std::string> found;
    if (fs::exists(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().find("staging") != std::string::npos)
                found.push_back(entry.path().filename().string());
        }
    }
    return found;
}

class TreeCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source.write("SKILL.md", "# skill\n");
        source.write(".hidden", "h");
        source.write("dot.claude/dot.inner/x.md", "x");
        source.write("docs/b.md", "b");
        fs::create_symlink(outside.write("secret", "s"), source.path() / "leak");
    }
    static std::shared_ptr<const FileSystemOperating> failingWritesOf(std::string name) {
        return std::make_shared<FaultyFileSystem>([name](std::string_view operation, const fs::path& path) {
            return operation == "write" && path.filename() == name;
        });
    }

    test::TemporaryHome home;
    test::TemporaryDirectory source;
    test::TemporaryDirectory outside;
    std::shared_ptr<const FileSystemOperating> live = std::make_shared<LiveFileSystem>();
};

TEST_F(TreeCopyTest, InstallsASkillForEachAgentThatLacksItAndSkipsLinks) {
    const SkillFolderInstaller installer{live};
    EXPECT_EQ(installer.install(source.path(), "s"),
              (SkillFolderInstaller::Outcome{
                  {"No AI agent is set up yet — nothing to install s into."}, true, {}}));
    EXPECT_FALSE(installer.isInstalled("s"));
    EXPECT_EQ(installer.install(home / "nowhere", "s").messages,
              std::vector<std::string>{"Couldn't find the skill files for s."});

    home.write(".claude/settings.json", "{}");
    home.write(".codex/skills/s/mine.md", "mine");
    home.write(".agents/skills/s", "a file of the user's counts too");
    EXPECT_EQ(installer.install(source.path(), "s"),
              (SkillFolderInstaller::Outcome{
                  {"Installed s for Claude.", "Codex, Zed already had s — left as is."}, true, {"Claude"}}));
    EXPECT_EQ(treeOf(home / ".claude/skills/s"),
              (std::map<std::string, std::string>{{".hidden", "h"},
                                                  {"SKILL.md", "# skill\n"},
                                                  {"docs/b.md", "b"},
                                                  {"dot.claude/dot.inner/x.md", "x"}}));
    EXPECT_EQ(treeOf(home / ".codex/skills/s"), (std::map<std::string, std::string>{{"mine.md", "mine"}}));
    EXPECT_TRUE(installer.isInstalled("s"));
    EXPECT_EQ(installer.install(source.path(), "s").messages,
              std::vector<std::string>{"Claude, Codex, Zed already had s — left as is."});
}

TEST_F(TreeCopyTest, AFailedSkillCopyLeavesNothingBehindAndARetrySucceeds) {
    home.write(".claude/x", "");
    home.write(".codex/x", "");
    // A copy killed a while ago left its staging folder; one just started may still be running.
    const auto stale = home / ".codex/.quillstart-staging-s-00000000-0000-0000-0000-000000000000";
    const auto fresh = home / ".codex/.quillstart-staging-s-11111111-1111-1111-1111-111111111111";
    fs::create_directories(stale);
    fs::create_directories(fresh);
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(5));

    const SkillFolderInstaller failing{failingWritesOf("b.md")};
    auto outcome = failing.install(source.path(), "s");
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.messages.at(0).starts_with("Couldn't install s: "));
    EXPECT_TRUE(outcome.installed.empty());
    EXPECT_FALSE(fs::exists(home / ".claude/skills/s"));
    EXPECT_TRUE(stagingIn(home / ".claude").empty());

    outcome = SkillFolderInstaller{live}.install(source.path(), "s");
    EXPECT_EQ(outcome.installed, (std::vector<std::string>{"Claude", "Codex"}));
    EXPECT_EQ(stagingIn(home / ".codex"), std::vector<std::string>{fresh.filename().string()});
}

TEST_F(TreeCopyTest, CreatesAProjectWithDotNamesRestoredOrLeavesAnExistingOneAlone) {
    const TemplateTreeCopier copier{live};
    const auto destination = home / "Documents/P";
    EXPECT_EQ(copier.copyTemplate(source.path(), destination, false),
              (WriterOutcome{{"Created your project at ~/Documents/P."}, true}));
    EXPECT_EQ(
        treeOf(destination),
        (std::map<std::string, std::string>{
            {".claude/.inner/x.md", "x"}, {".hidden", "h"}, {"SKILL.md", "# skill\n"}, {"docs/b.md", "b"}}));
    EXPECT_EQ(copier.copyTemplate(source.path(), destination, false),
              (WriterOutcome{{"A project already exists at ~/Documents/P — leaving it as is."}, true}));
    EXPECT_EQ(copier.copyTemplate(home / "none", destination, false).messages,
              std::vector<std::string>{"Couldn't find the bundled project template at " +
                                       (home / "none").string() + "."});

    // A failure mid-copy leaves neither the project nor its staging folder.
    const auto second = home / "Documents/Q";
    const auto outcome =
        TemplateTreeCopier{failingWritesOf("b.md")}.copyTemplate(source.path(), second, false);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.messages.at(0).starts_with("Couldn't create the project at ~/Documents/Q: "));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(stagingIn(home / "Documents").empty());
    EXPECT_TRUE(copier.copyTemplate(source.path(), second, false).succeeded);

    // "~" stands for the home folder only, not for a longer name that starts like it.
    EXPECT_EQ(copier.displayedPath(home.path().string() + "ice/P"), home.path().string() + "ice/P");
}

TEST_F(TreeCopyTest, AddsExamplesBesideTheUsersInstructionFiles) {
    source.write("CLAUDE.md", "template claude");
    source.write("AGENTS.md", "template agents");
    source.write("README.md", "template readme");
    const auto chosen = home / "work/mine";
    home.write("work/mine/CLAUDE.md", "my claude");
    home.write("work/mine/AGENTS.md", "my agents");
    home.write("work/mine/README.md", "my readme");

    const TemplateTreeCopier copier{live};
    const WriterOutcome expected{{"Added the example files to ~/work/mine.",
                                  "You already had AGENTS.md and CLAUDE.md — wrote AGENTS-example.md and "
                                  "CLAUDE-example.md instead (your files are untouched)."},
                                 true};
    EXPECT_EQ(copier.copyTemplate(source.path(), chosen, true), expected);
    home.write("work/mine/CLAUDE-example.md", "edited example");
    EXPECT_EQ(copier.copyTemplate(source.path(), chosen, true), expected);
    const auto files = treeOf(chosen);
    EXPECT_EQ(files.at("CLAUDE.md"), "my claude");
    EXPECT_EQ(files.at("README.md"), "my readme");
    EXPECT_EQ(files.at("AGENTS-example.md"), "template agents");
    EXPECT_EQ(files.at("CLAUDE-example.md"), "edited example");
    EXPECT_FALSE(files.contains("README-example.md"));
    EXPECT_FALSE(files.contains("leak"));

    EXPECT_EQ(copier.copyTemplate(source.path(), home / "new/place", true).messages,
              std::vector<std::string>{"Added the example files to ~/new/place."});
}

TEST(ShippedResourcesTest, TemplatesAndSkillsHaveTheirFilesAndNoLinks) {
    const auto resources = ResourceLocator::resourcesDirectory();
    const std::map<std::string, std::vector<std::string>> required = {
        {"example-projects/AI-Simple-Project", {"CLAUDE.md", "AGENTS.md", "README.md"}},
        {"example-projects/AI-Coding-Project", {"CLAUDE.md", "AGENTS.md", "README.md"}},
        {"skills/avoid-ai-writing", {"SKILL.md"}},
        {"skills/downloads-cleanup", {"SKILL.md"}},
    };
    for (const auto& [folder, files] : required) {
        for (const auto& file : files)
            EXPECT_TRUE(fs::is_regular_file(resources / folder / file)) << folder << "/" << file;
    }
    for (const auto& entry : fs::recursive_directory_iterator(resources)) {
        const auto name = TemplateTreeCopier::outputName(entry.path().filename().string());
        EXPECT_FALSE(entry.is_symlink()) << entry.path();
        EXPECT_TRUE(name != "." && name != "..") << entry.path();
    }
}

}  // namespace
}  // namespace quill
