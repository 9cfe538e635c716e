#include <signal.h>
#include <sys/proc.h>
#include <sys/sysctl.h>

#include <cstddef>

#include "tests/support/process_watch.h"

namespace quill::test {

bool processIsRunning(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    // kill() reaches a zombie too, and an orphan waits as one until launchd reaps it: ask the kernel for the
    // process's state. A pid reaped in between answers with no record; either way it has ended.
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid};
    kinfo_proc record{};
    std::size_t size = sizeof(record);
    if (::sysctl(query, 4, &record, &size, nullptr, 0) != 0)
        return true;
    return size >= sizeof(record) && record.kp_proc.p_stat != SZOMB;
}

}  // namespace quill::test
