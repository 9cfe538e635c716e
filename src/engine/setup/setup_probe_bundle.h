#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

/// What a product's prober found in one run of its login-shell checks. Plain data; probers never fail, so
/// every field has a value for "nothing found".
struct SetupProbeBundle {
    std::vector<std::string> pathVisiblePrimaryTools;        ///< the primary tool as found on the login PATH
    std::vector<std::string> installedPrimaryToolLocations;  ///< the primary tool as found in known places
    std::optional<std::string> versionOutput;                ///< output of the primary tool's version command
    std::optional<std::int32_t> versionExitCode;             ///< exit status of that command
    bool companionToolPresent = false;
    bool shellConfigured = false;
    bool agentDocNeeded = false;
    bool projectExists = false;
    bool ghPresent = false;
    bool gitIdentitySet = false;
    bool ghAuthed = false;

    /// Every location of the primary tool, without duplicates, in ascending byte order. Two or more mean
    /// conflicting installs; none means the tool is missing.
    [[nodiscard]] std::vector<std::string> allPrimaryToolLocations() const;

    bool operator==(const SetupProbeBundle&) const = default;
};

}  // namespace quill
