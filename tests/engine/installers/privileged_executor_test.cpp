#include "engine/installers/privileged_executor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "engine/services/live_file_system.h"
#include "engine/services/live_process_runner.h"
#include "engine/setup/product_config.h"
#include "tests/engine/installers/installer_test_kit.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::modeOf;

TEST(PrivilegedExecutorTest, AskpassHandsTheDialogItsTextLiterally) {
    test::StandInPath standIns;
    standIns.add("osascript", "cat > \"" + (standIns.temporary() / "received").string() +
                                  "\"\necho marker-password-4711\n");
    ProductConfig product = ProductConfig::javaDiagnostic();
    product.displayName = "Tolvane \"for\" Java";
    ScopedProductConfig scoped(product);

    const fs::path touched = standIns.temporary() / "x";
    const std::string prompt = "Back\\slash \"quoted\" $(touch " + touched.string() + ") `touch " +
                               touched.string() + "`\nEOF\nafter";
    const PrivilegedExecutor executor{std::make_shared<LiveFileSystem>()};
    auto prepared = executor.prepareEnvironment(prompt);
    ASSERT_TRUE(prepared) << prepared.error().message;

    const fs::path folder = prepared->folder;
    EXPECT_EQ(folder.parent_path(), standIns.temporary());
    EXPECT_TRUE(folder.filename().string().starts_with("tvn-priv-"));
    EXPECT_EQ(prepared->variables.size(), 2u);
    EXPECT_EQ(prepared->variables.at("SUDO_ASKPASS"), (folder / "askpass.sh").string());
    EXPECT_EQ(prepared->variables.at("PATH"), folder.string() + ":" + std::getenv("PATH"));
    EXPECT_EQ(modeOf(folder / "askpass.sh"), 0700u);
    EXPECT_EQ(modeOf(folder / "sudo"), 0700u);
    EXPECT_EQ(test::readFile(folder / "sudo"), "#!/bin/bash\nexec /usr/bin/sudo -A \"$@\"");

    LiveProcessRunner runner;
    auto ran = runner.run("/bin/bash", {(folder / "askpass.sh").string()});
    ASSERT_TRUE(ran) << ran.error().message;
    EXPECT_EQ(ran->exitCode, 0);
    EXPECT_EQ(ran->stdout_, "marker-password-4711\n");
    EXPECT_EQ(
        test::readFile(standIns.temporary() / "received"),
        "activate\n"
        "display dialog \"Back\\\\slash \\\"quoted\\\" $(touch " +
            touched.string() + ") `touch " + touched.string() +
            "` EOF after\" default answer \"\" with hidden answer with title \"Tolvane \\\"for\\\" Java\" "
            "with icon caution buttons {\"Cancel\", \"OK\"} default button \"OK\"\n"
            "return text returned of result\n");
    EXPECT_FALSE(fs::exists(touched));

    prepared->cleanup();
    EXPECT_FALSE(fs::exists(folder));
    prepared->cleanup();  // already gone: no error
}

TEST(PrivilegedExecutorTest, FallsBackToTheSystemPathAndReportsFileSystemErrors) {
    test::StandInPath standIns;
    {
        test::ScopedVariable noPath("PATH", std::nullopt);
        const PrivilegedExecutor executor{std::make_shared<LiveFileSystem>()};
        auto prepared = executor.prepareEnvironment("Enter Mac password to install Homebrew.");
        ASSERT_TRUE(prepared);
        EXPECT_EQ(prepared->variables.at("PATH"),
                  prepared->folder.string() + ":/usr/bin:/bin:/usr/sbin:/sbin");
        prepared->cleanup();
    }
    const auto failing =
        std::make_shared<test::FaultyFileSystem>([](std::string_view operation, const fs::path& path) {
            return operation == "write" && path.filename() == "sudo";
        });
    auto refused = PrivilegedExecutor{failing}.prepareEnvironment("prompt");
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().message.ends_with("/sudo: Input/output error")) << refused.error().message;
}

TEST(PrivilegedExecutorTest, MakesANewOwnerOnlyFolderAndSweepsOnlyStaleFoldersOfItsOwn) {
    test::StandInPath standIns;
    const fs::path& temporary = standIns.temporary();
    const auto daysAgo = [](int days) {
        return fs::file_time_type::clock::now() - std::chrono::hours(24 * days);
    };
    const auto make = [&](const char* name, int days) {
        fs::create_directories(temporary / name);
        fs::last_write_time(temporary / name, daysAgo(days));
    };
    fs::create_directories(temporary / "tvn-priv-stale");
    fs::create_symlink(temporary / "elsewhere", temporary / "tvn-priv-stale" / "escape");
    make("tvn-priv-stale", 2);
    make("tvn-priv-fresh", 0);
    make("elsewhere", 2);
    make("other-stale", 2);
    fs::create_directory_symlink(temporary / "elsewhere", temporary / "tvn-priv-link");
    std::ofstream(temporary / "tvn-priv-file").flush();
    fs::last_write_time(temporary / "tvn-priv-file", daysAgo(2));

    const auto mask = ::umask(0);
    auto prepared = PrivilegedExecutor{std::make_shared<LiveFileSystem>()}.prepareEnvironment("prompt");
    ::umask(mask);
    ASSERT_TRUE(prepared) << prepared.error().message;
    EXPECT_EQ(modeOf(prepared->folder), 0700u);

    EXPECT_FALSE(fs::exists(temporary / "tvn-priv-stale"));
    for (const auto* kept : {"tvn-priv-fresh", "elsewhere", "other-stale", "tvn-priv-link", "tvn-priv-file"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(temporary / kept))) << kept;
    prepared->cleanup();
}

}  // namespace
}  // namespace quill
