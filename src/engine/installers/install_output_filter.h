#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

/// Turns raw installer output into the lines shown to the user: drops the unified-log lines of macOS tools,
/// explains Homebrew's old-macOS warning, and hides the "==> Next steps:" block that asks terminal users to
/// edit shell files (the program does that itself). Any line length is fine: the scan is linear and flat.
struct InstallOutputFilter {
    /// The filter over a whole list of lines, from the normal state. Pure; thread-safe.
    static std::vector<std::string> filter(const std::vector<std::string>& lines);

    /// The same filter one line at a time, for output that arrives as it is produced: one state per run,
    /// and the lines it returns over any split of the input are those `filter` returns for all of it.
    /// Not thread-safe; keep one per producer.
    class Streaming {
      public:
        /// Feeds one line and appends the lines it lets through (none, the line, or the line and a note).
        void feed(const std::string& line, std::vector<std::string>& shown);

      private:
        bool m_inNextSteps = false;
        int m_hiddenCount = 0;
    };
};

}  // namespace quill
