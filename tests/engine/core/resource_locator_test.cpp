#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/build_options.h"
#include "engine/core/paths.h"
#include "engine/services/live_file_system.h"
#include "engine/telemetry/telemetry_service.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBundleExecutable = "Quill.app/Contents/MacOS/quillstart";
constexpr const char* kBundleResources = "Quill.app/Contents/Resources";

TEST(ResourceLocatorTest, FindsTheResourcesOfABundleAndOfAPlainExecutable) {
    struct Case {
        const char* name;
        const char* executable;  // the file the program is started through
        std::optional<const char*> linkTo;
        const char* resources;
        bool hasSkills;
    };
    const std::vector<Case> cases = {
        {"inside an app bundle", kBundleExecutable, std::nullopt, kBundleResources, true},
        {"beside a plain executable", "prefix/bin/quillstart", std::nullopt, "prefix/share/quillstart", true},
        {"through a link to a bundle's executable", "links/quillstart", kBundleExecutable, kBundleResources,
         true},
        {"a bundle missing its skills", kBundleExecutable, std::nullopt, kBundleResources, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TemporaryDirectory tree;
        tree.write(c.linkTo.value_or(c.executable), "#!/bin/sh\n");
        if (c.linkTo) {
            tree.makeDirectory(fs::path(c.executable).parent_path());
            fs::create_symlink(tree.path() / *c.linkTo, tree.path() / c.executable);
        }
        tree.write(fs::path(c.resources) / "example-projects/AI-Simple-Project/CLAUDE.md", "rules");
        if (c.hasSkills)
            tree.write(fs::path(c.resources) / "skills/avoid-ai-writing/SKILL.md", "skill");

        const auto found = ResourceLocator::resourcesDirectory(tree.path() / c.executable);
        EXPECT_EQ(found, fs::canonical(tree.path() / c.resources));
        EXPECT_TRUE(fs::is_regular_file(found / "example-projects/AI-Simple-Project/CLAUDE.md"));
        // A missing folder is reported by the fix that needs it, never looked for elsewhere.
        EXPECT_EQ(fs::is_regular_file(found / "skills/avoid-ai-writing/SKILL.md"), c.hasSkills);
    }
}

std::string infoPlist(const std::string& entries) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>)" +
           entries + "</dict></plist>\n";
}

TEST(BundleAppVersionTest, ReadsTheBundlesKeysWithTheirDefaults) {
    struct Case {
        const char* name;
        std::optional<std::string> plist;  // absent: no Info.plist
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"both keys",
         infoPlist("<key>CFBundleShortVersionString</key><string>1.0.0</string>"
                   "<key>CFBundleVersion</key><string>1</string>"),
         "1.0.0 (1)"},
        {"keys missing", infoPlist("<key>CFBundleName</key><string>Quill</string>"), "0.0 (0)"},
        {"keys not text",
         infoPlist("<key>CFBundleShortVersionString</key><real>1.5</real>"
                   "<key>CFBundleVersion</key><integer>7</integer>"),
         "0.0 (0)"},
        {"not a property list", std::string("CFBundleVersion=1"), "0.0 (0)"},
        {"no Info.plist", std::nullopt, "0.0 (0)"},
    };
    const LiveFileSystem files;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TemporaryDirectory tree;
        const auto resources = tree.makeDirectory(kBundleResources);
        if (c.plist)
            tree.write("Quill.app/Contents/Info.plist", *c.plist);
        EXPECT_EQ(TelemetryService::Configuration::bundleAppVersion(files, resources), c.expected);
    }

    // Outside a bundle, this build's own version and build number.
    const test::TemporaryDirectory tree;
    EXPECT_EQ(
        TelemetryService::Configuration::bundleAppVersion(files, tree.makeDirectory("share/quillstart")),
        std::string(build::kAppVersion) + " (" + std::string(build::kBuildNumber) + ")");
}

}  // namespace
}  // namespace quill
