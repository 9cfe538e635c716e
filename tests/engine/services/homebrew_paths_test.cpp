#include "engine/services/homebrew_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/services/live_file_system.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

TEST(HomebrewPathsTest, BrewIsTheFirstInTheFolderOrderThatPassesTheCheck) {
    using enum HomebrewToolCheck;
    const std::string native(kAppleSiliconBrewPath);
    const std::string intel(kIntelBrewPath);
    struct Case {
        const char* name;
        std::vector<std::string> plainFiles;
        std::vector<std::string> executables;
        HomebrewToolCheck check;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"both prefixes: the Apple-silicon one", {}, {native, intel}, executable, native},
        {"the Intel prefix alone", {}, {intel}, exists, intel},
        {"a plain file exists", {native}, {intel}, exists, native},
        {"a plain file is not executable", {native}, {intel}, executable, intel},
        {"neither prefix", {}, {}, exists, std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        test::TemporaryDirectory root;
        const test::PathMappingFileSystem fs(std::make_shared<LiveFileSystem>(), root.path());
        const auto put = [&](const std::string& path, std::filesystem::perms permissions) {
            const auto real = fs.mapped(path);
            std::filesystem::create_directories(real.parent_path());
            std::ofstream(real) << "#!/bin/sh\n";
            std::filesystem::permissions(real, permissions);
        };
        for (const auto& path : row.plainFiles)
            put(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        for (const auto& path : row.executables)
            put(path, std::filesystem::perms::owner_all);
        EXPECT_EQ(homebrewExecutable(fs, row.check), row.expected);
    }
}

}  // namespace
}  // namespace quill
