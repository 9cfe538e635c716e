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
using Files = std::map<std::string, std::string>;
using Lines = std::vector<std::string>;
using test::readFile;

/// Everything under `root` by relative path: a file's contents, "/" for a folder, "->" for a link.
Files treeOf(const fs::path& root) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        files[fs::relative(entry.path(), root).string()] = entry.is_symlink()     ? "->"
                                                           : entry.is_directory() ? "/"
                                                                                  : readFile(entry.path());
    }
    return files;
}

class TreeCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source.write("SKILL.md", "s");
        source.write(".hidden", "h");
        source.write("dot.d/dot.e/x.md", "x");
        fs::create_symlink(outside.write("secret", "!"), source.path() / "leak");
    }
    /// The live file system, with writes of files named `name` failing.
    static std::shared_ptr<const FileSystemOperating> failingWritesOf(const std::string& name) {
        return std::make_shared<test::FaultyFileSystem>(
            [name](std::string_view operation, const fs::path& path) {
                return operation == "write" && path.filename() == name;
            });
    }

    test::TemporaryHome home;
    test::TemporaryDirectory source;
    test::TemporaryDirectory outside;
    std::shared_ptr<const FileSystemOperating> live = std::make_shared<LiveFileSystem>();
    const Files copied{
        {".hidden", "h"}, {"SKILL.md", "s"}, {"dot.d", "/"}, {"dot.d/dot.e", "/"}, {"dot.d/dot.e/x.md", "x"}};
};

TEST_F(TreeCopyTest, InstallsASkillForEachAgentThatLacksItWithoutItsLinks) {
    const SkillFolderInstaller installer{live};
    EXPECT_EQ(installer.install(source.path(), "s"),
              (SkillFolderInstaller::Outcome{
                  {"No AI agent is set up yet — nothing to install s into."}, true, {}}));
    EXPECT_FALSE(installer.isInstalled("s"));

    home.write(".claude/settings.json", "{}");
    home.write(".codex/skills/s/mine.md", "mine");
    home.write(".agents/skills/s", "a file of the user's counts too");
    EXPECT_FALSE(installer.isInstalled("s")) << "Claude still lacks it";
    EXPECT_EQ(installer.install(source.path(), "s"),
              (SkillFolderInstaller::Outcome{
                  {"Installed s for Claude.", "Codex, Zed already had s — left as is."}, true, {"Claude"}}));
    EXPECT_EQ(treeOf(home / ".claude/skills/s"), copied);
    EXPECT_EQ(treeOf(home / ".codex/skills/s"), (Files{{"mine.md", "mine"}}));
    EXPECT_TRUE(installer.isInstalled("s"));
}

TEST_F(TreeCopyTest, AFailedSkillCopyLeavesNothingBehindAndARetrySucceeds) {
    home.write(".claude/x", "");
    home.write(".codex/x", "");
    // A copy killed a while ago left its staging folder; one just started may still be running.
    const auto stale = ".quillstart-staging-s-00000000-0000-0000-0000-000000000000";
    const auto fresh = ".quillstart-staging-s-11111111-1111-1111-1111-111111111111";
    fs::create_directories(home / ".codex" / stale);
    fs::create_directories(home / ".codex" / fresh);
    fs::last_write_time(home / ".codex" / stale, fs::file_time_type::clock::now() - std::chrono::minutes(5));

    const auto outcome = SkillFolderInstaller{failingWritesOf("x.md")}.install(source.path(), "s");
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.messages.at(0).starts_with("Couldn't install s: "));
    EXPECT_EQ(treeOf(home / ".claude"), (Files{{"skills", "/"}, {"x", ""}}));

    EXPECT_EQ(SkillFolderInstaller{live}.install(source.path(), "s").installed, (Lines{"Claude", "Codex"}));
    EXPECT_TRUE(treeOf(home / ".codex").contains(fresh));
    EXPECT_FALSE(treeOf(home / ".codex").contains(stale));
}

TEST_F(TreeCopyTest, CreatesAProjectWholeWithDotNamesRestored) {
    const TemplateTreeCopier copier{live};
    const auto failed =
        TemplateTreeCopier{failingWritesOf("x.md")}.copyTemplate(source.path(), home / "Docs/P", false);
    EXPECT_FALSE(failed.succeeded);
    EXPECT_TRUE(failed.messages.at(0).starts_with("Couldn't create the project at ~/Docs/P: "));
    EXPECT_TRUE(treeOf(home / "Docs").empty());

    EXPECT_EQ(copier.copyTemplate(source.path(), home / "Docs/P", false),
              (WriterOutcome{{"Created your project at ~/Docs/P."}, true}));
    EXPECT_EQ(treeOf(home / "Docs/P"),
              (Files{{".d", "/"}, {".d/.e", "/"}, {".d/.e/x.md", "x"}, {".hidden", "h"}, {"SKILL.md", "s"}}));
    EXPECT_EQ(copier.copyTemplate(source.path(), home / "Docs/P", false).messages,
              Lines{"A project already exists at ~/Docs/P — leaving it as is."});
    // "~" stands for the home folder only, not for a longer name that starts like it.
    EXPECT_EQ(copier.displayedPath(home.path().string() + "ice/P"), home.path().string() + "ice/P");
}

TEST_F(TreeCopyTest, AddsExamplesBesideTheUsersInstructionFiles) {
    for (const char* name : {"CLAUDE.md", "AGENTS.md", "README.md"}) {
        source.write(name, "template");
        home.write(fs::path("mine") / name, "user's");
    }
    const TemplateTreeCopier copier{live};
    const WriterOutcome expected{{"Added the example files to ~/mine.",
                                  "You already had AGENTS.md and CLAUDE.md — wrote AGENTS-example.md and "
                                  "CLAUDE-example.md instead (your files are untouched)."},
                                 true};
    EXPECT_EQ(copier.copyTemplate(source.path(), home / "mine", true), expected);
    home.write("mine/CLAUDE-example.md", "edited");
    EXPECT_EQ(copier.copyTemplate(source.path(), home / "mine", true), expected);
    const auto files = treeOf(home / "mine");
    EXPECT_EQ(files.at("CLAUDE.md") + files.at("README.md"), "user'suser's");
    EXPECT_EQ(files.at("AGENTS-example.md") + files.at("CLAUDE-example.md"), "templateedited");
    EXPECT_FALSE(files.contains("README-example.md") || files.contains("leak"));
}

/// The live file system refusing, with `code`, to create or write anything inside `folder`, as macOS refuses
/// a protected folder that the user has not let the app into (EPERM).
class RefusingFileSystem final : public test::ForwardingFileSystem {
  public:
    RefusingFileSystem(fs::path folder, int code)
        : ForwardingFileSystem(std::make_shared<LiveFileSystem>()),
          m_folder(std::move(folder)),
          m_code(code) {}

    Result<void> createDirectory(const fs::path& path, CreateDirectoryMode mode) const override {
        if (refuses(path))
            return fail(fileSystemErrors::failed(m_code, "create the folder", path));
        return ForwardingFileSystem::createDirectory(path, mode);
    }
    Result<void> write(std::string_view text, const fs::path& path, WriteMode mode,
                       std::optional<unsigned> newFilePermissions) const override {
        if (refuses(path))
            return fail(fileSystemErrors::failed(m_code, "write", path));
        return ForwardingFileSystem::write(text, path, mode, newFilePermissions);
    }

  private:
    bool refuses(const fs::path& path) const {
        const auto relative = path.lexically_relative(m_folder);
        return !relative.empty() && *relative.begin() != ".." && relative != ".";
    }

    fs::path m_folder;
    int m_code;
};

TEST_F(TreeCopyTest, ARefusedDocumentsFolderSaysWhereToAllowIt) {
    const std::string allow =
        "macOS didn't let the app into your Documents folder — you can allow it in System Settings › Privacy "
        "& "
        "Security › Files and Folders, then try again.";
    struct Case {
        const char* refused;
        int code;
        const char* destination;
        bool chosen;
        Lines explained;
    };
    for (const auto& [refused, code, destination, chosen, explained] :
         {Case{"Documents", EPERM, "Documents/P", false, {allow}},
          Case{"Documents", EPERM, "Documents/mine/P", true, {allow}},
          Case{"Documents", EACCES, "Documents/P", false, {}}, Case{"Docs", EPERM, "Docs/P", false, {}}}) {
        SCOPED_TRACE(destination);
        const auto outcome =
            TemplateTreeCopier{std::make_shared<RefusingFileSystem>(home / refused, code)}.copyTemplate(
                source.path(), home / destination, chosen);
        EXPECT_FALSE(outcome.succeeded);
        ASSERT_FALSE(outcome.messages.empty());
        EXPECT_TRUE(outcome.messages[0].starts_with(chosen ? "Couldn't add the example files to ~/"
                                                           : "Couldn't create the project at ~/"));
        EXPECT_EQ(Lines(outcome.messages.begin() + 1, outcome.messages.end()), explained);
    }
}

TEST(ShippedResourcesTest, TemplatesAndSkillsHaveTheirFilesAndNoLinks) {
    const auto resources = ResourceLocator::resourcesDirectory();
    for (const char* project : {"AI-Simple-Project", "AI-Coding-Project"}) {
        for (const char* file : {"CLAUDE.md", "AGENTS.md", "README.md"})
            EXPECT_TRUE(fs::is_regular_file(resources / "example-projects" / project / file))
                << project << file;
    }
    for (const char* skill : {"avoid-ai-writing", "downloads-cleanup"})
        EXPECT_TRUE(fs::is_regular_file(resources / "skills" / skill / "SKILL.md")) << skill;
    for (const auto& entry : fs::recursive_directory_iterator(resources)) {
        const auto name = TemplateTreeCopier::outputName(entry.path().filename().string());
        EXPECT_FALSE(entry.is_symlink() || name == "." || name == "..") << entry.path();
    }
}

}  // namespace
}  // namespace quill
