#include "engine/installers/install_output_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace quill
