#pragma once

#include <chrono>

namespace quill {

/// How long the program's exit may take: running work stops and queued usage events are saved.
inline constexpr std::chrono::milliseconds kShutDownBudget{2000};

/// The one way out of the engine: stops telemetry posting, stops every task and waits until `deadline` for
/// them and for queued usage events to reach their file, SIGKILLs the group of every child not yet reaped
/// (children terminated from then on are killed at once), and, if a task still runs, ends the
/// process with `std::quick_exit` so that no static value is destroyed under it. Safe to call again; must
/// not be called from a task.
void shutDown(std::chrono::steady_clock::time_point deadline);

}  // namespace quill
