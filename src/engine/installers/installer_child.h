#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/environment.h"
#include "engine/core/stream.h"
#include "engine/installers/installer_event.h"
#include "engine/services/process_cancellation.h"
#include "engine/services/process_running.h"

namespace quill {

/// The most of a child's output an installer keeps for matching phrases: its last lines up to 1 MiB. The
/// phrases that decide what happens next come at the end of a run.
inline constexpr std::size_t kMaximumTranscriptSize = std::size_t{1} << 20;

/// What one streamed child of an installer came to.
struct InstallerChildOutcome {
    int exitCode = -1;           ///< -1 when no status was reported
    bool failedToStart = false;  ///< then `exitCode` is -1
    /// The last lines, lower-cased, each ending in "\n", at most `kMaximumTranscriptSize` bytes in all.
    std::string transcript;
};

/// Runs `executable` registered in `holder` and relays each of its lines to `sink` as output; a child that
/// cannot start gives the line "Failed to start <what>: <message>". A stop, or a cancel of `holder`,
/// terminates the child; either way this returns once the child has ended (`readChild`). Blocking.
InstallerChildOutcome relayInstallerChild(const ProcessRunning& process, const std::string& executable,
                                          const std::vector<std::string>& arguments,
                                          const Environment& environment, CancellableProcess& holder,
                                          const StreamSink<InstallerEvent>& sink, const std::stop_token& stop,
                                          std::string_view what);

}  // namespace quill
