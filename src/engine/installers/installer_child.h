#pragma once

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

/// What one streamed child of an installer came to.
struct InstallerChildOutcome {
    int exitCode = -1;           ///< -1 when no status was reported
    bool failedToStart = false;  ///< then `exitCode` is -1
    std::string transcript;      ///< every line lower-cased, each ending in "\n", for matching phrases
};

/// Runs `executable` registered in `holder` and relays each of its lines to `sink` as output; a child that
/// cannot start gives the line "Failed to start <what>: <message>". Returns once the child has ended, or at
/// once when `stop` is requested (the child is then terminated). Blocking.
InstallerChildOutcome relayInstallerChild(const ProcessRunning& process, const std::string& executable,
                                          const std::vector<std::string>& arguments,
                                          const Environment& environment, CancellableProcess& holder,
                                          const StreamSink<InstallerEvent>& sink, const std::stop_token& stop,
                                          std::string_view what);

}  // namespace quill
