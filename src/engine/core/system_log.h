#pragma once

#include <string_view>

namespace quill {

/// Writes one line to the system log (syslog on Linux, the unified log on macOS). Never blocks for long and
/// never fails visibly.
void systemLog(std::string_view text);

}  // namespace quill
