#include "tests/support/process_watch.h"

#include "tests/support/eventually.h"

namespace quill::test {

bool waitUntilEnded(pid_t pid, std::chrono::milliseconds timeout) {
    return eventually([pid] { return !processIsRunning(pid); }, timeout);
}

}  // namespace quill::test
