#include "engine/telemetry/shut_down.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "engine/core/task.h"
#include "engine/services/child_process.h"
#include "engine/services/live_key_value_store.h"
#include "engine/telemetry/telemetry_service.h"

namespace quill {

namespace {

/// The part of the budget kept for writing the settings changes that have not reached their files.
constexpr std::chrono::milliseconds kSettingsShare{1000};

std::chrono::milliseconds timeLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds{0});
}

}  // namespace

void shutDown(std::chrono::steady_clock::time_point deadline) {
    static std::mutex serial;
    const std::lock_guard lock(serial);

    // Settings changes not yet in their files (another app process's lock, a file that could not be read or
    // written) keep up to a second of the budget for their last try, whatever a task that ignores its stop
    // takes.
    const auto tasksDeadline = LiveKeyValueStore::changesPending()
                                   ? deadline - std::min(kSettingsShare, timeLeft(deadline) / 2)
                                   : deadline;
    // No further post starts: one cut off at exit could reach the backend and be sent again by the next run.
    if (auto* telemetry = TelemetryService::sharedIfCreated())
        telemetry->stopPosting();
    // First, so that a child terminated by a stopping task is killed at once rather than given a grace
    // period that would outlast the deadline.
    ChildProcess::killGroupsInGrace();
    TaskTracker::stopAll(timeLeft(tasksDeadline));
    if (auto* telemetry = TelemetryService::sharedIfCreated()) {
        telemetry->stopPosting();  // a task may have created it meanwhile
        telemetry->waitUntilIdle(timeLeft(tasksDeadline));
    }
    // Whatever still runs (a child of a task that did not stop, or of a thread that is no task) goes now.
    ChildProcess::killAllGroups();
    // Once the tasks have had their time (the store's retry among them), the last try at the settings, on a
    // task of its own that the forced exit below ends if its write stalls.
    LiveKeyValueStore::saveBeforeExit(deadline);
    // Ends the process without running exit handlers or static destructors, which a live task may still use.
    if (TaskTracker::runningCount() > 0)
        std::_Exit(EXIT_SUCCESS);
}

}  // namespace quill
