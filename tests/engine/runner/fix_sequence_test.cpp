#include "engine/runner/fix_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/overloaded.h"
#include "engine/services/homebrew_paths.h"
#include "engine/services/live_file_system.h"
#include "tests/support/path_mapping_file_system.h"
#include "tests/support/scripted_fix_run.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using Event = SetupRemediationRunner::Event;
using Fix = SetupRemediation;
using E = FixSequenceEvent;

/// The sequence's events in short, with each fix's place in the list: "start 1", "end 1 7", "cancel 1",
/// "finish 7", or the line itself.
std::vector<std::string> runAll(const std::vector<Fix>& fixes, bool continuesPastFailure,
                                const test::FixScripts& scripts) {
    auto stream = runFixes(
        fixes, [fixes, scripts](std::size_t index) { return test::scriptedFixRun(scripts, fixes[index]); },
        continuesPastFailure);
    std::vector<std::string> lines;
    while (auto event = stream.next()) {
        lines.push_back(std::visit(
            Overloaded{
                [](const E::FixStarted& started) { return "start " + std::to_string(started.index); },
                [](const E::Output& output) { return output.text; },
                [](const E::OpenBrowser& browser) { return "browser " + browser.request.url; },
                [](const E::FixEnded& ended) {
                    return (ended.canceled ? "cancel " : "end ") + std::to_string(ended.index) +
                           (ended.canceled ? "" : " " + std::to_string(ended.exitCode));
                },
                [](const E::Finished& finished) { return "finish " + std::to_string(finished.exitCode); },
            },
            event->value));
    }
    return lines;
}

TEST(FixSequenceTest, RunsInOrderSkipsWhatNeedsAFailedMiseAndStopsAsThePolicySays) {
    const auto uv = Fix::installUv();
    const auto mise = Fix::installMise();
    const auto node = Fix::installNodeViaMise();
    const auto gh = Fix::installGh();
    const auto skipped = "Skipping " + node.displayLabel() + " — it needs a step that didn't finish.";
    struct Case {
        const char* name;
        std::vector<Fix> fixes;
        bool continuesPastFailure;
        test::FixScripts scripts;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"mise fails: its languages are skipped, the rest runs, the first failure's code is kept",
         {uv, mise, node, gh},
         true,
         {{mise.id(), {Event::Output{"boom"}, Event::Completed{7}}}, {gh.id(), {Event::Completed{3}}}},
         {"start 0", "end 0 0", "start 1", "boom", "end 1 7", skipped, "start 3", "end 3 3", "finish 7"}},
        {"without continuing past a failure the rest is neither run nor reported",
         {uv, mise, gh},
         false,
         {{mise.id(), {Event::Completed{5}}}},
         {"start 0", "end 0 0", "start 1", "end 1 5", "finish 5"}},
        {"an end without completion fails with -1; a browser request passes through",
         {uv},
         true,
         {{uv.id(), {Event::OpenBrowser{"https://github.com/login/device", "AB-12"}}}},
         {"start 0", "browser https://github.com/login/device", "end 0 -1", "finish -1"}},
        {"a fix that reports cancellation ends the run without a finish",
         {uv, gh},
         true,
         {{uv.id(), {Event::Output{"asked"}, Event::Canceled{}}}},
         {"start 0", "asked", "cancel 0"}},
        {"an empty list finishes at once", {}, false, {}, {"finish 0"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runAll(row.fixes, row.continuesPastFailure, row.scripts), row.expected);
    }
}

TEST(FixSequenceTest, EachRunnerStartsTheExecutableHomebrewOfItsMoment) {
    test::TemporaryDirectory root;
    AppServices services;
    const auto mapped =
        std::make_shared<test::PathMappingFileSystem>(std::make_shared<LiveFileSystem>(), root.path());
    services.fs = mapped;
    // A runner made before Homebrew arrives does not see it; the next one does, and passes over a brew it
    // could not start.
    EXPECT_FALSE(makeRemediationRunner(services).brewPath);
    for (const auto path : {kAppleSiliconBrewPath, kIntelBrewPath}) {
        const auto real = mapped->mapped(path);
        std::filesystem::create_directories(real.parent_path());
        std::ofstream(real) << "#!/bin/sh\n";
        if (path == kIntelBrewPath)
            std::filesystem::permissions(real, std::filesystem::perms::owner_all);
    }
    EXPECT_EQ(makeRemediationRunner(services).brewPath, std::filesystem::path(kIntelBrewPath));
}

}  // namespace
}  // namespace quill
