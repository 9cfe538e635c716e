#include "engine/installers/install_output_filter.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/text.h"
#include "tests/support/temporary_directory.h"

namespace quill {
namespace {

using Lines = std::vector<std::string>;

const std::string kOldVersionNote =
    "Note: that Homebrew message is about macOS 13 being an older version. It is not an error — the install "
    "continues normally.";

TEST(InstallOutputFilterTest, HidesTheNextStepsBlockLogLinesAndExplainsTheOldVersionWarning) {
    Lines thirtyIndented(30, "    echo >> ~/.zprofile");
    Lines longBlock{"==> Next steps:"};
    longBlock.insert(longBlock.end(), thirtyIndented.begin(), thirtyIndented.end());
    longBlock.emplace_back("    31st indented line");
    longBlock.emplace_back("    32nd indented line");
    // Two blocks of 20 instructions in one run, each ended by its documentation link: the count starts anew.
    Lines twoBlocks;
    for (int block = 0; block < 2; ++block) {
        twoBlocks.emplace_back("==> Next steps:");
        for (int i = 0; i < 20; ++i)
            twoBlocks.push_back("    instruction " + std::to_string(block) + "." + std::to_string(i));
        twoBlocks.emplace_back("  https://docs.brew.sh");
    }
    twoBlocks.emplace_back("after both");

    struct Case {
        const char* name;
        Lines input;
        Lines shown;
    };
    const std::vector<Case> cases = {
        {"next-steps block up to the first ordinary line",
         {"==> Installation successful!", "  ==> Next steps:", "- Run these commands in your terminal:",
          "    (echo; echo 'eval ...') >> ~/.zprofile", "", "\teval \"$(/opt/homebrew/bin/brew shellenv)\"",
          "Ordinary line", "    indented after the block"},
         {"==> Installation successful!", "Ordinary line", "    indented after the block"}},
        {"the documentation link ends the block and is hidden",
         {"==> Next steps:", "- Further documentation:", "    https://docs.brew.sh", "    shown again"},
         {"    shown again"}},
        {"the 31st line of a block is shown and ends it",
         longBlock,
         {"    31st indented line", "    32nd indented line"}},
        {"a second block is hidden as the first", twoBlocks, {"after both"}},
        {"unified-log lines need at least three fraction digits",
         {"2024-05-01 10:11:12.123456 installer[123:4567] Package Authoring",
          "2024-05-01 10:11:12.12 installer[123:4567] kept: two fraction digits",
          "x 2024-05-01 10:11:12.123 installer[1:2] kept: not at the start",
          "2024-05-01 10:11:12.123 installer[1:2]no space"},
         {"2024-05-01 10:11:12.12 installer[123:4567] kept: two fraction digits",
          "x 2024-05-01 10:11:12.123 installer[1:2] kept: not at the start",
          "2024-05-01 10:11:12.123 installer[1:2]no space"}},
        {"old-version warning",
         {"Warning: We do not provide support for this old version.",
          "Do Not Provide Support For This Old Version"},
         {"Warning: We do not provide support for this old version.", kOldVersionNote,
          "Do Not Provide Support For This Old Version"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InstallOutputFilter::filter(c.input), c.shown);
    }
}

Lines transcript(const std::string& name) {
    return splitLines(quill::test::readFile(std::filesystem::path(QUILL_TEST_DATA_DIR) / "homebrew" / name));
}

TEST(InstallOutputFilterTest, ShowsTheClosingTranscriptsOfTheHomebrewInstallerTheSameLineByLine) {
    struct Case {
        const char* file;
        Lines shown;
    };
    const std::vector<Case> cases = {
        {"install-apple-silicon.txt",
         {"==> Pouring portable-ruby-3.3.7.arm64_big_sur.bottle.tar.gz",
          "==> /opt/homebrew/bin/brew update --force --quiet", "==> Installation successful!", "",
          "==> Homebrew has enabled anonymous aggregate formulae and cask analytics.",
          "Read the analytics documentation (and how to opt-out) here:", "  https://docs.brew.sh/Analytics",
          "No analytics data has been sent yet (nor will any be during this install run).", "",
          "==> Homebrew is run entirely by unpaid volunteers. Please consider donating:",
          "  https://github.com/Homebrew/brew#donations", "", "", "Added Homebrew to your shell profile."}},
        {"install-old-macos.txt",
         {"==> Checking for `sudo` access (which may request your password)...",
          "Warning: You are using macOS 13.", "We (and Apple) do not provide support for this old version.",
          kOldVersionNote,
          "It is expected behaviour that some formulae will fail to build in this old version.",
          "==> Downloading and installing Homebrew...", "Warning: /usr/local/bin is not in your PATH.",
          "==> Installation successful!", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Lines input = transcript(c.file);
        ASSERT_FALSE(input.empty());
        EXPECT_EQ(InstallOutputFilter::filter(input), c.shown);

        // Fed in chunks of every size, the lines shown after each chunk are the list filter's over what
        // has arrived so far.
        for (std::size_t size = 1; size <= input.size(); ++size) {
            SCOPED_TRACE(size);
            InstallOutputFilter::Streaming streaming;
            Lines shown;
            for (std::size_t start = 0; start < input.size(); start += size) {
                const auto end = std::min(input.size(), start + size);
                for (std::size_t i = start; i < end; ++i)
                    streaming.feed(input[i], shown);
                ASSERT_EQ(shown, InstallOutputFilter::filter(Lines(input.begin(), input.begin() + end)));
            }
        }
    }
}

TEST(InstallOutputFilterTest, TakesLinesOfAMebibyteOnASmallStack) {
    constexpr std::size_t kMebibyte = std::size_t{1} << 20;
    constexpr std::size_t kStackSize = std::size_t{512} << 10;
    const std::string prefix = "2024-05-01 10:00:00.000 ";
    struct Case {
        std::string name;
        std::string line;
        bool shown;
    };
    const std::vector<Case> cases = {
        {"a name without a process tag", prefix + std::string(kMebibyte, 'x'), true},
        {"a long name with a process tag", prefix + std::string(kMebibyte, 'x') + "[1:2] text", false},
        {"digits after the date", "2024-05-01 " + std::string(kMebibyte, '7'), true},
        {"fraction digits", "2024-05-01 10:00:00." + std::string(kMebibyte, '7') + " tool[1:2] text", false},
    };
    struct Work {
        const std::vector<Case>* cases;
        std::vector<bool> shown;
    } work{&cases, {}};

    // macOS worker threads have small stacks: the scan must not grow with the line.
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kStackSize), 0);
    pthread_t thread;
    const auto run = [](void* argument) -> void* {
        auto* job = static_cast<Work*>(argument);
        for (const auto& c : *job->cases)
            job->shown.push_back(!InstallOutputFilter::filter({c.line}).empty());
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);

    ASSERT_EQ(work.shown.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(work.shown[i], cases[i].shown) << cases[i].name;
}

}  // namespace
}  // namespace quill
