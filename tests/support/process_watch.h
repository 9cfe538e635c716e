#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace quill::test {

/// The path of the scriptable child program of the process tests.
inline const std::string kTestChild = QUILL_TEST_CHILD;

/// Whether `pid` names a process that still runs (a zombie counts as ended).
bool processIsRunning(pid_t pid);

/// Waits up to `timeout` for `pid` to stop running; true when it did.
bool waitUntilEnded(pid_t pid, std::chrono::milliseconds timeout);

}  // namespace quill::test
