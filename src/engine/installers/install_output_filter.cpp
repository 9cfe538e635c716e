#include "engine/installers/install_output_filter.h"

#include <regex>

#include "engine/core/endpoints.h"
#include "engine/core/text.h"

namespace quill {

namespace {

constexpr int kMaximumHiddenLines = 30;
// clang-format off
constexpr std::string_view kOldVersionNote = "Note: that Homebrew message is about macOS 13 being an older version. It is not an error — the install continues normally.";
// clang-format on

const std::regex& unifiedLogLine() {
    static const std::regex pattern(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3,} \S+\[\d+:\d+\] )");
    return pattern;
}

}  // namespace

std::vector<std::string> InstallOutputFilter::filter(const std::vector<std::string>& lines) {
    std::vector<std::string> shown;
    bool inNextSteps = false;
    int hiddenCount = 0;
    for (const auto& line : lines) {
        const std::string_view trimmed = trimSpacesAndTabs(line);
        if (inNextSteps) {
            ++hiddenCount;
            if (contains(line, endpoints::kHomebrewDocsHost)) {
                inNextSteps = false;
                continue;
            }
            const bool instruction = trimmed.empty() || trimmed.starts_with("-") ||
                                     (!line.empty() && (line.front() == ' ' || line.front() == '\t'));
            if (hiddenCount <= kMaximumHiddenLines && instruction)
                continue;
            inNextSteps = false;
            shown.push_back(line);
            continue;
        }
        if (trimmed.starts_with("==> Next steps:")) {
            inNextSteps = true;
            hiddenCount = 0;
            continue;
        }
        if (std::regex_search(line, unifiedLogLine()))
            continue;
        shown.push_back(line);
        if (contains(line, "do not provide support for this old version"))
            shown.emplace_back(kOldVersionNote);
    }
    return shown;
}

}  // namespace quill
