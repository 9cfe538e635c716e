#include "engine/services/live_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/path_mapping_file_system.h"
#include "tests/support/scripted_file_system.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/temporary_home.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

FileAttributes permissions(unsigned mode) {
    FileAttributes attributes;
    attributes.posixPermissions = mode;
    return attributes;
}

std::vector<std::string> sortedNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class LiveFileSystemTest : public ::testing::Test {
  protected:
    test::TemporaryDirectory dir;
    LiveFileSystem files;
};

TEST_F(LiveFileSystemTest, WriteReplacesTheTargetOfALinkAndKeepsItsMode) {
    const fs::path real = dir.write("dotfiles/zshrc", "old\n");
    fs::permissions(real, fs::perms(0640));
    const fs::path link = dir.path() / ".zshrc";
    fs::create_symlink("dotfiles/zshrc", link);

    for (const WriteMode mode : {WriteMode::atomically, WriteMode::inPlace}) {
        const std::string text = mode == WriteMode::atomically ? "atomic ✓\n" : "in place\n";
        ASSERT_TRUE(files.write(text, link, mode, 0600)) << text;
        EXPECT_TRUE(fs::is_symlink(link)) << "the link itself stays";
        EXPECT_EQ(test::readFile(real), text);
        EXPECT_EQ(modeOf(real), 0640u) << "an existing file keeps its mode";
    }
    // Unless the mode is to be set, from the first byte; a copy replaces the link itself, not its target.
    ASSERT_TRUE(files.write("private\n", link, WriteMode::atomicallyWithPermissions, 0600));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(modeOf(real), 0600u);
    ASSERT_TRUE(files.write("copy\n", link, WriteMode::replacingItem, 0640));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(modeOf(link), 0640u);
    EXPECT_EQ(test::readFile(real), "private\n");
    // No temporary file is left beside the target.
    EXPECT_EQ(sortedNames(dir.path() / "dotfiles"), std::vector<std::string>{"zshrc"});

    // A link to a file that does not exist yet creates that file.
    fs::create_symlink("dotfiles/new-file", dir.path() / "dangling");
    ASSERT_TRUE(files.write("fresh", dir.path() / "dangling", WriteMode::atomically));
    EXPECT_EQ(test::readFile(dir.path() / "dotfiles/new-file"), "fresh");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
}

TEST_F(LiveFileSystemTest, NewFilesGetTheModeAskedForOrTheDefaultAndFailuresLeaveNothingBehind) {
    struct Case {
        const char* name = nullptr;
        WriteMode mode = WriteMode::atomically;
        std::optional<unsigned> permissions;
        unsigned expected = 0;
    };
    const Case cases[] = {
        {"atomic.txt", WriteMode::atomically, std::nullopt, 0644},
        {"plain.txt", WriteMode::inPlace, std::nullopt, 0644},
        {"atomic-secret", WriteMode::atomically, 0600, 0600},
        {"plain-secret", WriteMode::inPlace, 0600, 0600},
        {"group-write", WriteMode::atomically, 0664, 0664},  // more than the umask lets through
    };
    const mode_t previous = ::umask(022);
    for (const auto& c : cases)
        ASSERT_TRUE(files.write("a", dir.path() / c.name, c.mode, c.permissions)) << c.name;
    ::umask(previous);
    for (const auto& c : cases)
        EXPECT_EQ(modeOf(dir.path() / c.name), c.expected) << c.name;
    for (const auto& c : cases)
        ASSERT_TRUE(fs::remove(dir.path() / c.name));

    // A missing folder is not created.
    auto missing = files.write("x", dir.path() / "no-such-folder/file", WriteMode::atomically);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().domain, "FileSystem");
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_NE(missing.error().message.find("no-such-folder/file"), std::string::npos);

    // A folder in the way is not replaced, and no temporary file stays behind.
    dir.makeDirectory("taken");
    EXPECT_FALSE(files.write("x", dir.path() / "taken", WriteMode::atomically));
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken"));
    EXPECT_EQ(sortedNames(dir.path()), std::vector<std::string>{"taken"});
}

TEST_F(LiveFileSystemTest, AnAtomicWriteFlushesBeforeTheRenameAndAFailedFlushChangesNothing) {
    const fs::path file = dir.write("settings.json", "old");
    auto& calls = detail::atomicWriteCalls();
    const detail::AtomicWriteCalls live = calls;
    struct Restore {
        const detail::AtomicWriteCalls& live;
        ~Restore() { detail::atomicWriteCalls() = live; }
    } restore{live};

    std::vector<std::string> order;
    calls.fsync = [&](int fd) {
        order.emplace_back("fsync");
        return live.fsync(fd);
    };
    calls.rename = [&](const char* from, const char* to) {
        order.emplace_back("rename");
        return live.rename(from, to);
    };
    ASSERT_TRUE(files.write("new", file, WriteMode::atomically));
    EXPECT_EQ(order, (std::vector<std::string>{"fsync", "rename"}));

    calls.fsync = [](int) {
        errno = EIO;
        return -1;
    };
    const auto failed = files.write("lost", file, WriteMode::atomically);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().code, EIO);
    EXPECT_EQ(test::readFile(file), "new");
    EXPECT_EQ(sortedNames(dir.path()), std::vector<std::string>{"settings.json"});
}

TEST_F(LiveFileSystemTest, ReadsBytesAndOnlyValidUtf8AsText) {
    const fs::path text = dir.write("text", "héllo\n");
    const fs::path binary = dir.write("binary", std::string("ok\xC0\xAF", 4));  // an overlong '/'
    EXPECT_EQ(files.readString(text).value(), "héllo\n");
    EXPECT_EQ(files.readData(binary).value(), std::string("ok\xC0\xAF", 4));

    auto invalid = files.readString(binary);
    ASSERT_FALSE(invalid);
    EXPECT_EQ(invalid.error().domain, "FileSystem");
    EXPECT_NE(invalid.error().message.find(binary.string()), std::string::npos);

    auto absent = files.readString(dir.path() / "absent");
    ASSERT_FALSE(absent);
    EXPECT_EQ(absent.error().code, ENOENT);
    EXPECT_FALSE(files.readData(dir.path()));  // a folder is not a file

    const std::string large(300000, 'z');  // more than one read
    EXPECT_EQ(files.readData(dir.write("large", large)).value(), large);
}

TEST_F(LiveFileSystemTest, AWriteRemovesOnlyItsOwnStaleTemporaries) {
    using namespace std::chrono_literals;
    struct Case {
        const char* name;
        std::chrono::seconds age;
        bool removed;
    };
    const Case cases[] = {
        {".zshrc.quill-0123456789ab", 120s, true},
        {".zshrc.quill-0123456789ac", 0s, false},    // a write may still be running
        {".other.quill-0123456789ab", 120s, false},  // another file's
        {".zshrc.quill-0123", 120s, false},          // not the pattern
        {".zshrc.quill-0123456789aX", 120s, false},
        {"zshrc.quill-0123456789ae", 120s, false},
    };
    for (const auto& c : cases)
        fs::last_write_time(dir.write(c.name, "partial"), fs::file_time_type::clock::now() - c.age);
    ASSERT_TRUE(files.write("x", dir.path() / "zshrc", WriteMode::atomically));
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(dir.path() / c.name), !c.removed) << c.name;
}

TEST_F(LiveFileSystemTest, ReadsRefuseAnythingButARegularFileAtOnce) {
    for (const test::NotAFile kind : test::kEveryNotAFile) {
        const fs::path path = dir.makeNotAFile("settings.json", kind);
        const auto started = std::chrono::steady_clock::now();
        const auto data = files.readData(path);
        const auto text = files.readString(path);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << toString(kind);
        ASSERT_FALSE(data) << toString(kind);
        EXPECT_EQ(data.error(), text.error());
        EXPECT_EQ(data.error().message, "Couldn't read " + path.string() + ": it is not a regular file");
        EXPECT_EQ(data.error().code, kind == test::NotAFile::folder ? EISDIR : EINVAL);
    }
}

TEST_F(LiveFileSystemTest, ReadsAtMost64MiB) {
    // Sparse files: no disk is spent on the zeros.
    const fs::path atTheLimit = dir.write("at-limit", "");
    fs::resize_file(atTheLimit, kMaximumReadSize);
    const fs::path overTheLimit = dir.write("over-limit", "");
    fs::resize_file(overTheLimit, kMaximumReadSize + 1);

    EXPECT_EQ(kMaximumReadSize, 64u * 1024 * 1024);
    EXPECT_EQ(files.readData(atTheLimit).value().size(), kMaximumReadSize);
    for (const auto& tooLarge : {files.readData(overTheLimit), files.readString(overTheLimit)}) {
        ASSERT_FALSE(tooLarge);
        EXPECT_EQ(tooLarge.error().code, EFBIG);
        EXPECT_EQ(tooLarge.error().message,
                  "Couldn't read " + overTheLimit.string() + ": it is larger than 64 MiB");
    }
}

TEST_F(LiveFileSystemTest, ExistenceAndListing) {
    const fs::path missing = dir.path() / "missing";
    EXPECT_FALSE(files.fileExists(missing));
    EXPECT_EQ(files.itemKind(missing), ItemKind::missing);
    auto listing = files.contentsOfDirectory(missing);
    ASSERT_FALSE(listing);
    EXPECT_EQ(listing.error().code, ENOENT);

    dir.write("jdk/bin/java", "#!/bin/sh\n");
    dir.write("jdk/release", "JAVA_VERSION=\"21\"\n");
    fs::permissions(dir.path() / "jdk/bin/java", fs::perms(0755));
    const fs::path jdk = dir.path() / "jdk";
    EXPECT_EQ(files.itemKind(jdk), ItemKind::directory);
    EXPECT_EQ(files.itemKind(jdk / "release"), ItemKind::file);

    auto names = files.contentsOfDirectory(jdk);
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{"bin", "release"}));

    EXPECT_TRUE(files.isExecutableFile(jdk / "bin/java"));
    EXPECT_FALSE(files.isExecutableFile(jdk / "release"));
    EXPECT_FALSE(files.isExecutableFile(jdk / "bin"));  // a folder is not an executable file
    EXPECT_FALSE(files.isExecutableFile(missing));

    fs::create_symlink("missing", dir.path() / "dangling");
    EXPECT_FALSE(files.fileExists(dir.path() / "dangling"));
    EXPECT_EQ(files.itemKind(dir.path() / "dangling"), ItemKind::missing);
}

TEST_F(LiveFileSystemTest, CreateRemoveMoveAndAttributes) {
    const fs::path nested = dir.path() / "a/b/c";
    EXPECT_FALSE(files.createDirectory(nested, CreateDirectoryMode::parentMustExist));
    ASSERT_TRUE(files.createDirectory(nested, CreateDirectoryMode::withIntermediates));
    EXPECT_TRUE(files.createDirectory(nested, CreateDirectoryMode::withIntermediates))
        << "an existing folder is fine";
    EXPECT_TRUE(files.createDirectory(nested, CreateDirectoryMode::parentMustExist));
    const fs::path file = dir.write("plain", "x");
    EXPECT_FALSE(files.createDirectory(file, CreateDirectoryMode::withIntermediates))
        << "a file is not a folder";

    // A private folder is always a new one, made owner-only whatever the mask.
    const auto mask = ::umask(0);
    ASSERT_TRUE(files.createDirectory(dir.path() / "private", CreateDirectoryMode::newPrivate));
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.path() / "private"), 0700u);
    fs::create_directory_symlink(dir.path() / "a", dir.path() / "private-link");
    for (const auto* taken : {"private", "private-link", "plain"}) {
        auto refused = files.createDirectory(dir.path() / taken, CreateDirectoryMode::newPrivate);
        ASSERT_FALSE(refused) << taken;
        EXPECT_EQ(refused.error().code, EEXIST) << taken;
    }

    dir.write("a/b/c/inside", "y");
    ASSERT_TRUE(files.removeItem(dir.path() / "a"));
    EXPECT_FALSE(fs::exists(dir.path() / "a"));
    auto again = files.removeItem(dir.path() / "a");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, ENOENT);

    // Removing a link removes the link, never what it points to.
    const fs::path keep = dir.write("keep/precious", "p");
    fs::create_directory_symlink(dir.path() / "keep", dir.path() / "link");
    ASSERT_TRUE(files.removeItem(dir.path() / "link"));
    EXPECT_EQ(test::readFile(keep), "p");

    ASSERT_TRUE(files.moveItem(file, dir.path() / "moved"));
    EXPECT_EQ(test::readFile(dir.path() / "moved"), "x");
    EXPECT_FALSE(fs::exists(file));
    const fs::path other = dir.write("other", "o");
    auto clash = files.moveItem(other, dir.path() / "moved");
    ASSERT_FALSE(clash);
    EXPECT_EQ(clash.error().code, EEXIST);
    EXPECT_EQ(test::readFile(dir.path() / "moved"), "x") << "moving never overwrites";
    EXPECT_FALSE(files.moveItem(dir.path() / "absent", dir.path() / "anywhere"));

    ASSERT_TRUE(files.setAttributes(permissions(0600), other));
    auto attributes = files.attributesOfItem(other);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->posixPermissions, 0600u);
    EXPECT_EQ(attributes->size, 1u);
    EXPECT_EQ(attributes->type, fs::file_type::regular);
    EXPECT_EQ(files.attributesOfItem(dir.path())->type, fs::file_type::directory);
    EXPECT_FALSE(files.attributesOfItem(dir.path() / "absent"));
    EXPECT_FALSE(files.setAttributes(permissions(0600), dir.path() / "absent"));
}

TEST(UserFoldersTest, FollowTheHomeAndXdgVariables) {
    test::TemporaryHome home;
    LiveFileSystem files;
    EXPECT_EQ(files.homeDirectory(), home.path());

    auto caches = files.userDirectory(UserDirectory::caches, IfMissing::leave);
    ASSERT_TRUE(caches);
    EXPECT_EQ(*caches, home / ".cache");
    EXPECT_FALSE(fs::exists(*caches));
    ASSERT_TRUE(files.userDirectory(UserDirectory::caches, IfMissing::create));
    EXPECT_TRUE(fs::is_directory(*caches));
}

TEST(PathMappingFileSystemTest, KeepsFixedFoldersInsideTheTemporaryTree) {
    test::TemporaryDirectory root;
    test::PathMappingFileSystem files(std::make_shared<LiveFileSystem>(), root.path());

    EXPECT_EQ(files.mapped("/Applications/Tool.app"), root.path() / "Applications/Tool.app");
    EXPECT_EQ(files.mapped("/Library/Java/JavaVirtualMachines"),
              root.path() / "Library/Java/JavaVirtualMachines");
    EXPECT_EQ(files.mapped("/usr/local"), root.path() / "usr/local");
    EXPECT_EQ(files.mapped("/usr/localized"), fs::path("/usr/localized"));
    EXPECT_EQ(files.mapped("/tmp/x"), fs::path("/tmp/x"));

    ASSERT_TRUE(files.createDirectory("/Library/Java/JavaVirtualMachines/temurin-21.jdk",
                                      CreateDirectoryMode::withIntermediates));
    EXPECT_FALSE(files.write("v", "/opt/homebrew/bin/brew", WriteMode::inPlace))
        << "its folder does not exist yet";
    ASSERT_TRUE(files.createDirectory("/opt/homebrew/bin", CreateDirectoryMode::withIntermediates));
    ASSERT_TRUE(files.write("#!/bin/sh\n", "/opt/homebrew/bin/brew", WriteMode::atomically));
    EXPECT_EQ(files.itemKind("/opt/homebrew/bin"), ItemKind::directory);
    EXPECT_TRUE(fs::exists(root.path() / "opt/homebrew/bin/brew"));
    EXPECT_EQ(files.contentsOfDirectory("/Library/Java/JavaVirtualMachines").value(),
              std::vector<std::string>{"temurin-21.jdk"});
    EXPECT_EQ(files.readString("/opt/homebrew/bin/brew").value(), "#!/bin/sh\n");
}

TEST(ScriptedFileSystemTest, FailsWithTheLiveFileSystemsWords) {
    test::TemporaryDirectory dir;
    const LiveFileSystem live;
    test::ScriptedFileSystem scripted;
    const std::string absent = (dir.path() / "absent").string();
    const fs::path binary = dir.write("binary", "\xFF");
    scripted.addFile(binary.string(), "\xFF");

    EXPECT_EQ(scripted.readData(absent).error(), live.readData(absent).error());
    EXPECT_EQ(scripted.readString(absent).error(), live.readString(absent).error());
    EXPECT_EQ(scripted.contentsOfDirectory(absent).error(), live.contentsOfDirectory(absent).error());
    EXPECT_EQ(scripted.attributesOfItem(absent).error(), live.attributesOfItem(absent).error());
    EXPECT_EQ(scripted.readString(binary).error(), live.readString(binary).error());

    const fs::path folder = dir.makeDirectory("folder");
    scripted.addDirectory(folder.string(), {});
    EXPECT_EQ(scripted.readData(folder).error(), live.readData(folder).error());
    const fs::path large = dir.write("large", "");
    fs::resize_file(large, kMaximumReadSize + 1);
    scripted.addFile(large.string(), std::string(kMaximumReadSize + 1, '\0'));
    EXPECT_EQ(scripted.readData(large).error(), live.readData(large).error());
}

}  // namespace
}  // namespace quill
