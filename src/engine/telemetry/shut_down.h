#pragma once

#include <chrono>

namespace quill {

/// How long the program's exit may take: running work stops and queued usage events are saved.
inline constexpr std::chrono::milliseconds kShutDownBudget{2000};

/// The one way out of the engine: stops telemetry posting, stops every task and waits until `deadline` for
/// them and for queued usage events to reach their file, SIGKILLs the group of every child not yet reaped
/// (children terminated from then on are killed at once), writes the settings changes still waiting for
/// their file (`LiveKeyValueStore::saveBeforeExit`; while any wait, the wait for the tasks ends up to a
/// second earlier to leave them that time), and, if a task still runs (that last write among them, when it
/// stalls), ends the process at once with `std::_Exit(EXIT_SUCCESS)`, so that no static value is destroyed
/// under it and no exit handler runs. Safe to call again; must not be called from a task.
void shutDown(std::chrono::steady_clock::time_point deadline);

}  // namespace quill
