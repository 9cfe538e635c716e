#pragma once

#include <string>
#include <vector>

namespace quill {

/// What a configuration writer reports to the fix runner: the lines for the progress log, and whether it
/// succeeded (exit code 0) or failed (exit code 1). A setting already present is a success.
struct WriterOutcome {
    std::vector<std::string> messages;
    bool succeeded = true;

    bool operator==(const WriterOutcome&) const = default;
};

}  // namespace quill
