#include "engine/installers/file_append_writer.h"

#include <gtest/gtest.h>

#include <ctime>

#include "engine/services/live_file_system.h"
#include "tests/engine/installers/installer_test_kit.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileSystem;
using test::modeOf;
using test::readFile;

constexpr const char* kUvLine = "export PATH=\"$HOME/.local/bin:$PATH\"";
constexpr const char* kUvBlock = "# Quillstart — uv PATH\nexport PATH=\"$HOME/.local/bin:$PATH\"\n";

class FileAppendWriterTest : public ::testing::Test {
  protected:
    FileAppendWriter writer(std::shared_ptr<const FileSystemOperating> fileSystem = nullptr) const {
        if (!fileSystem)
            fileSystem = std::make_shared<LiveFileSystem>();
        return FileAppendWriter{home / ".zprofile", std::move(fileSystem)};
    }
    Result<FileAppendWriter::Appended> appendUv(const FileAppendWriter& w) const {
        return w.append(kUvLine, "uv PATH", "HOME/.local/bin", FileAppendWriter::NeedleScope::anywhere);
    }

    test::TemporaryHome home;
    ScopedProductConfig product{test::installerProduct()};
};

TEST_F(FileAppendWriterTest, PutsOneBlankLineBeforeTheBlockAndBacksUpOnlyTheUsersText) {
    struct Case {
        const char* name;
        std::optional<std::string> original;  // nothing: no file
        std::string separator;
        std::optional<std::string> backup = std::nullopt;  // a ".bak" there before
        bool keepsBackup = false;                          // that ".bak" stays as it was
    };
    const std::vector<Case> cases = {
        {"missing file", std::nullopt, ""},
        {"empty file", "", ""},
        {"no final newline", "# my settings\nexport A=1", "\n\n"},
        {"one final newline", "export A=1\n", "\n", "older copy\n"},
        {"two final newlines", "export A=1\n\n", ""},
        {"whitespace only", "  \t\n", "\n"},
        {"CR LF ending", "export A=1\r\n", "\n\n"},
        {"CR LF then LF", "export A=1\r\n\n", "\n"},
        // A file set aside by hand is the user's, and nothing of a missing or blank file is worth a copy.
        {"missing file beside the user's .bak", std::nullopt, "", "export MINE=1\n", true},
        {"missing file beside an empty .bak", std::nullopt, "", "", true},
        {"empty file beside the user's .bak", "", "", "export MINE=1\n", true},
        {"whitespace only beside the user's .bak", " \n\t\n", "\n", "export MINE=1\n", true},
        {"NULs only beside the user's .bak", std::string(3, '\0'), "\n\n", "export MINE=1\n", true},
        {"a byte-order mark only beside the user's .bak", "\xEF\xBB\xBF", "\n\n", "export MINE=1\n", true},
        {"a byte-order mark and a newline beside the user's .bak", "\xEF\xBB\xBF\n", "\n", "export MINE=1\n",
         true},
        // Only those: another character that 0xEF leads, or text past a NUL, is the user's.
        {"U+FF01 only beside an older copy", "\xEF\xBC\x81", "\n\n", "older copy\n"},
        {"a NUL then an export beside an older copy", std::string(1, '\0') + "export A=1", "\n\n",
         "older copy\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(home / ".zprofile");
        fs::remove(home / ".zprofile.bak");
        if (c.original)
            home.write(".zprofile", *c.original);
        if (c.backup)
            home.write(".zprofile.bak", *c.backup);
        auto appended = appendUv(writer());
        ASSERT_TRUE(appended) << appended.error().message;
        const auto& preview = appended->preview;
        const std::string original = c.original.value_or("");
        EXPECT_EQ(preview.proposedContents, original + c.separator + kUvBlock);
        EXPECT_EQ(readFile(home / ".zprofile"), preview.proposedContents);
        EXPECT_EQ(appended->backupWritten, !c.keepsBackup);
        EXPECT_TRUE(fs::is_regular_file(home / ".zprofile.bak"));
        EXPECT_EQ(readFile(home / ".zprofile.bak"), c.keepsBackup ? *c.backup : original);
        EXPECT_EQ(preview.wasCreated, !c.original.has_value());
        EXPECT_EQ(preview.linesAdded, (std::vector<std::string>{"# Quillstart — uv PATH", kUvLine}));
        EXPECT_EQ(preview.backupPath, home / ".zprofile.bak");
    }

    // The JAVA_HOME block applied by hand keeps the same rule.
    fs::remove(home / ".zprofile");
    home.write(".zprofile.bak", "export MINE=1\n");
    const ZprofileWriter zprofile{writer()};
    EXPECT_EQ(zprofile.writer.apply(zprofile.preview(true)), Result<bool>(false));
    EXPECT_EQ(readFile(home / ".zprofile.bak"), "export MINE=1\n");
    EXPECT_TRUE(zprofile.hasJavaHomeExport(readFile(home / ".zprofile")));
    fs::remove(home / ".zprofile");
    fs::remove(home / ".zprofile.bak");
    EXPECT_EQ(zprofile.writer.apply(zprofile.preview(true)), Result<bool>(true));
    EXPECT_EQ(readFile(home / ".zprofile.bak"), "");
}

TEST_F(FileAppendWriterTest, KeepsModesAndReplacesALinksTarget) {
    // A private file gets a private backup.
    const auto file = home.write(".zprofile", "export SECRET=1\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    home.write(".zprofile.bak", "older backup\n");
    ASSERT_TRUE(appendUv(writer()));
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(modeOf(home / ".zprofile.bak"), 0600u);
    EXPECT_EQ(readFile(home / ".zprofile.bak"), "export SECRET=1\n");

    // A link stays a link; its target gets the text, the backup sits beside the link.
    fs::remove(file);
    fs::remove(home / ".zprofile.bak");
    const auto target = home.write("dotfiles/zprofile", "export A=1\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(target, home / ".zprofile");
    ASSERT_TRUE(appendUv(writer()));
    EXPECT_TRUE(fs::is_symlink(home / ".zprofile"));
    EXPECT_EQ(readFile(target), std::string("export A=1\n\n") + kUvBlock);
    EXPECT_EQ(readFile(home / ".zprofile.bak"), "export A=1\n");
    EXPECT_EQ(modeOf(home / ".zprofile.bak"), 0600u);
}

TEST_F(FileAppendWriterTest, AlreadySetWritesNothing) {
    home.write(".zprofile", "# export PATH=\"$HOME/.local/bin:$PATH\"\n");
    home.write(".zprofile.bak", "earlier\n");
    // The plain test sees the commented line; the active-line test does not.
    auto plain = appendUv(writer());
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->preview.alreadySet);
    EXPECT_FALSE(plain->backupWritten);
    EXPECT_TRUE(plain->preview.linesAdded.empty());
    EXPECT_EQ(plain->preview.proposedContents, plain->preview.originalContents);
    EXPECT_EQ(readFile(home / ".zprofile.bak"), "earlier\n");

    auto active =
        writer().append(kUvLine, "uv PATH", "HOME/.local/bin", FileAppendWriter::NeedleScope::activeLines);
    ASSERT_TRUE(active);
    EXPECT_FALSE(active->preview.alreadySet);
    EXPECT_EQ(readFile(home / ".zprofile.bak"), "# export PATH=\"$HOME/.local/bin:$PATH\"\n");
}

TEST_F(FileAppendWriterTest, AFailureAtAnyStepLeavesTheFileAsItWas) {
    struct Case {
        const char* operation;
        const char* file;
        int code;
        const char* prefix;
    };
    const std::vector<Case> cases = {
        {"write", ".zprofile.bak", 1, "Couldn't write backup file: "},
        {"write", ".zprofile", 2, "Couldn't write file: "},
    };
    const std::string original = "# settings\r\nexport A=1";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " " + c.file);
        home.write(".zprofile", original);
        home.write(".zprofile.bak", "earlier\n");
        const fs::path failing = home / c.file;
        auto faulty =
            std::make_shared<FaultyFileSystem>([&](std::string_view operation, const fs::path& path) {
                return operation == c.operation && path == failing;
            });
        auto result = appendUv(writer(faulty));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().domain, FileAppendWriter::WriteError::kDomain);
        EXPECT_EQ(result.error().code, c.code);
        EXPECT_EQ(result.error().message, c.prefix + FaultyFileSystem::injectedError(failing).message);
        EXPECT_EQ(readFile(home / ".zprofile"), original);
    }
}

TEST_F(FileAppendWriterTest, ApplyRefusesAFileThatChangedOrCannotBeRead) {
    const auto zprofile = home / ".zprofile";
    struct Case {
        const char* name;
        std::optional<std::string> atPreview;                          // nothing: no file
        std::function<void()> between;                                 // what happens before apply
        std::function<bool(std::string_view, const fs::path&)> fault;  // injected into apply's reads
    };
    const auto never = [](std::string_view, const fs::path&) { return false; };
    const std::vector<Case> cases = {
        {"edited after the preview", "export A=1\n", [&] { home.write(".zprofile", "export B=2\n"); }, never},
        {"removed after the preview", "export A=1\n", [&] { fs::remove(zprofile); }, never},
        {"created after the preview", std::nullopt, [&] { home.write(".zprofile", "export B=2\n"); }, never},
        {"not UTF-8", "export A=\xff\xfe\n", [] {}, never},
        {"unreadable", "export A=1\n", [] {},
         [&](std::string_view operation, const fs::path& path) {
             return operation == "read" && path == zprofile;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(zprofile);
        home.write(".zprofile.bak", "earlier\n");
        if (c.atPreview)
            home.write(".zprofile", *c.atPreview);
        auto faulty = std::make_shared<FaultyFileSystem>(c.fault);
        const auto w = writer(faulty);
        const auto preview = w.preview({kUvLine}, "uv PATH", [](const std::string&) { return false; });
        c.between();
        const bool existed = fs::exists(zprofile);
        const std::string before = existed ? readFile(zprofile) : "";
        auto applied = w.apply(preview);
        ASSERT_FALSE(applied);
        EXPECT_EQ(applied.error().code, 2);
        EXPECT_TRUE(applied.error().message.starts_with("Couldn't write file: ")) << applied.error().message;
        EXPECT_EQ(fs::exists(zprofile), existed);
        EXPECT_EQ(existed ? readFile(zprofile) : "", before);
        EXPECT_EQ(readFile(home / ".zprofile.bak"), "earlier\n");
    }
}

TEST(FileAppendWriterRules, ActiveLinesSplitAtEveryLineBreakAndSkipComments) {
    struct Case {
        std::string text;
        bool found;
    };
    const std::vector<Case> cases = {
        {"eval \"$(/opt/homebrew/bin/brew shellenv)\"", true},
        {"  \t eval \"$(brew shellenv)\"  \n", true},
        {"# eval \"$(brew shellenv)\"\n", false},
        {"   # eval \"$(brew shellenv)\"", false},
        {"export A=1 # later: brew shellenv", true},
        {"# note\vbrew shellenv", true},
        {"# note\fbrew shellenv", true},
        {"# note\xC2\x85 brew shellenv", true},
        {"# note\xE2\x80\xA8 brew shellenv", true},
        {"# note\rbrew shellenv", true},
        {"# note\r\nbrew shellenv", true},
        {"\xC2\xA0# brew shellenv", false},
        {"", false},
        {"Brew Shellenv", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FileAppendWriter::containsActiveLine(c.text, "brew shellenv"), c.found);
    }
    EXPECT_TRUE(FileAppendWriter::containsActiveLine("mise activate zsh",
                                                     std::vector<std::string>{"nothing", "activate"}));
}

TEST(FileAppendWriterRules, JavaHomeExportIsAnyActiveExport) {
    struct Case {
        std::string text;
        bool found;
    };
    const std::vector<Case> cases = {
        {"export JAVA_HOME=/opt/jdk", true},
        {" \t export JAVA_HOME=$(/usr/libexec/java_home -v 21)\n", true},
        {"# export JAVA_HOME=/opt/jdk", false},
        {"export JAVA_HOMEDIR=/opt/jdk", false},
        {"JAVA_HOME=/opt/jdk", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ZprofileWriter::hasJavaHomeExport(c.text), c.found);
    }
}

TEST_F(FileAppendWriterTest, JavaBlockCarriesTheDatedHeaderWhenTheProductDatesIt) {
    ScopedProductConfig dated(ProductConfig::javaDiagnostic());  // "Tolvane", dated
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 16;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    const auto noon = std::chrono::system_clock::from_time_t(std::mktime(&local));
    EXPECT_EQ(FileAppendWriter::blockHeader("Java configuration", noon, *ProductConfig::current()),
              "# 2026-05-16 Tolvane — Java configuration");

    const ZprofileWriter zprofile{writer()};
    const auto withPath = zprofile.preview(true);
    ASSERT_EQ(withPath.linesAdded.size(), 3u);
    EXPECT_EQ(withPath.linesAdded[0].size(), std::string("# 2026-05-16 Tolvane — Java configuration").size());
    EXPECT_EQ(withPath.linesAdded[2], "export PATH=\"$JAVA_HOME/bin:$PATH\"");
    EXPECT_EQ(zprofile.preview(false).linesAdded.size(), 2u);
    EXPECT_FALSE(fs::exists(home / ".zprofile"));  // previews never write

    home.write(".zprofile", "\texport JAVA_HOME=/elsewhere\n");
    EXPECT_TRUE(zprofile.preview(true).alreadySet);
}

}  // namespace
}  // namespace quill
