// The ".bak" copies that the configuration writers keep of the files they edit.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "engine/core/text.h"
#include "engine/installers/agent_env_doc.h"
#include "engine/installers/file_append_writer.h"
#include "engine/installers/mcp_config_writer.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileSystem;
using test::modeOf;
using test::readFile;

/// A writer that edits `file` in the home folder, keeping its old text as `file` + ".bak" (best effort: the
/// edit goes on without it); `edit` answers whether it succeeded, and the lines it reported.
struct Writer {
    std::string file;
    bool bestEffortBackup = false;
    std::function<std::pair<bool, std::string>(std::shared_ptr<const FileSystemOperating>)> edit;
};

std::vector<Writer> writers(const fs::path& home) {
    return {
        {".zprofile", false,
         [home](std::shared_ptr<const FileSystemOperating> files) {
             const FileAppendWriter writer{home / ".zprofile", std::move(files)};
             auto result = writer.append("export PATH=\"$HOME/.local/bin:$PATH\"", "uv PATH", ".local/bin",
                                         FileAppendWriter::NeedleScope::activeLines);
             return std::pair{result.has_value(), result ? std::string() : result.error().message};
         }},
        {".claude/CLAUDE.md", false,
         [home](const std::shared_ptr<const FileSystemOperating>& files) {
             std::vector<std::string> messages;
             bool succeeded = true;
             AgentEnvDoc{*files}.write(home / ".claude/CLAUDE.md", "block", "Claude", messages, succeeded);
             return std::pair{succeeded, join(messages, "\n")};
         }},
        {".codex/config.toml", true,
         [](std::shared_ptr<const FileSystemOperating> files) {
             const auto outcome = MCPConfigWriter{std::move(files)}.addToCodexConfig("ctx", "https://h/");
             return std::pair{outcome.succeeded, join(outcome.lines, "\n")};
         }},
    };
}

class BackupTest : public ::testing::Test {
  protected:
    /// Puts `text` in `writer`'s file (private) and an older, wider-mode copy beside it.
    void prepare(const Writer& writer, const std::string& text) const {
        fs::remove_all(home / (writer.file + ".bak"));
        const auto file = home.write(writer.file, text);
        fs::permissions(file, fs::perms(0600));
        fs::permissions(home.write(writer.file + ".bak", kOlder), fs::perms(0644));
    }

    static constexpr const char* kOriginal = "# mine\n";
    static constexpr const char* kOlder = "# the copy of an earlier edit\n";
    test::TemporaryHome home;
    ScopedProductConfig product{test::installerProduct()};
    std::shared_ptr<const FileSystemOperating> live = std::make_shared<LiveFileSystem>();
};

TEST_F(BackupTest, AFailedEditKeepsTheEarlierCopy) {
    for (const auto& writer : writers(home.path())) {
        const fs::path file = home / writer.file;
        const fs::path backup = home / (writer.file + ".bak");
        for (const bool failCopy : {true, false}) {
            SCOPED_TRACE(writer.file + (failCopy ? ": the copy fails" : ": the edit fails"));
            prepare(writer, kOriginal);
            const fs::path failing = failCopy ? backup : file;
            const auto [succeeded, lines] = writer.edit(
                std::make_shared<FaultyFileSystem>([&](std::string_view operation, const fs::path& path) {
                    return operation == "write" && path == failing;
                }));
            EXPECT_EQ(succeeded, failCopy && writer.bestEffortBackup) << lines;
            // A copy is replaced only by a whole new one, and the edit never goes ahead without one.
            EXPECT_EQ(readFile(backup), failCopy ? kOlder : kOriginal);
            if (!writer.bestEffortBackup || !failCopy) {
                EXPECT_EQ(readFile(file), kOriginal);
            }
        }

        // A file-size limit fails the copy half-way (the file is larger than the limit, the older copy not).
        SCOPED_TRACE(writer.file + ": under a file-size limit");
        const std::string large(8192, '#');
        prepare(writer, large + "\n");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            (void)writer.edit(live);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(readFile(backup), kOlder);
        EXPECT_EQ(readFile(file), large + "\n");
    }
}

TEST_F(BackupTest, TheCopyTakesTheFilesModeReplacesALinkAndNeverReplacesAFolder) {
    for (const auto& writer : writers(home.path())) {
        SCOPED_TRACE(writer.file);
        const fs::path file = home / writer.file;
        const fs::path backup = home / (writer.file + ".bak");

        // An older, readable copy does not make the new copy of a private file readable.
        prepare(writer, kOriginal);
        EXPECT_TRUE(writer.edit(live).first);
        EXPECT_EQ(readFile(backup), kOriginal);
        EXPECT_EQ(modeOf(backup), 0600U);

        // A link under the copy's name is replaced by the copy; what it leads to is not written through it.
        prepare(writer, kOriginal);
        fs::remove(backup);
        const auto elsewhere = home.write("elsewhere/kept", "kept\n");
        fs::create_symlink(elsewhere, backup);
        EXPECT_TRUE(writer.edit(live).first);
        EXPECT_FALSE(fs::is_symlink(backup));
        EXPECT_EQ(readFile(backup), kOriginal);
        EXPECT_EQ(readFile(elsewhere), "kept\n");

        // A folder under the copy's name stays with everything in it.
        prepare(writer, kOriginal);
        fs::remove(backup);
        home.write(writer.file + ".bak/keep", "kept\n");
        const auto [succeeded, lines] = writer.edit(live);
        EXPECT_EQ(readFile(backup / "keep"), "kept\n");
        if (writer.bestEffortBackup) {
            EXPECT_TRUE(succeeded);
        } else {
            EXPECT_FALSE(succeeded);
            EXPECT_EQ(readFile(file), kOriginal);
            EXPECT_TRUE(contains(lines, "Couldn't write " + backup.string() + ": Is a directory")) << lines;
        }
    }
}

TEST_F(BackupTest, ABlankFileLeavesTheUsersOwnCopyAsItIs) {
    const std::pair<const char*, std::string> blanks[] = {
        {"white space", " \n\t\n"},
        {"NULs", std::string(3, '\0')},
        {"a byte-order mark", "\xEF\xBB\xBF"},
        {"a byte-order mark and a newline", "\xEF\xBB\xBF\n"},
        {"two byte-order marks", "\xEF\xBB\xBF\xEF\xBB\xBF"},
        {"NULs then a byte-order mark", std::string(2, '\0') + "\xEF\xBB\xBF"}};
    for (const auto& writer : writers(home.path())) {
        for (const auto& [name, blank] : blanks) {
            SCOPED_TRACE(writer.file + ": " + name);
            prepare(writer, blank);
            const auto [succeeded, lines] = writer.edit(live);
            EXPECT_TRUE(succeeded) << lines;
            EXPECT_EQ(readFile(home / (writer.file + ".bak")), kOlder);
            EXPECT_TRUE(readFile(home / writer.file).starts_with(blank));
        }
    }
}

}  // namespace
}  // namespace quill
