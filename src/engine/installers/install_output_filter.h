#pragma once

#include <string>
#include <vector>

namespace quill {

/// Turns raw installer output into the lines shown to the user: drops the unified-log lines of macOS tools,
/// explains Homebrew's old-macOS warning, and hides the "==> Next steps:" block that asks terminal users to
/// edit shell files (the program does that itself). Pure; thread-safe.
struct InstallOutputFilter {
    static std::vector<std::string> filter(const std::vector<std::string>& lines);
};

}  // namespace quill
