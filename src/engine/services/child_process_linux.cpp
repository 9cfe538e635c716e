#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "engine/services/child_process_platform.h"

namespace quill::detail {

FileDescriptor openExitDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
    // A pidfd is readable once the process has exited, and is always close-on-exec.
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0)
        return FileDescriptor(static_cast<int>(fd));
#else
    (void)pid;
#endif
    return FileDescriptor();
}

int openPipe(int fds[2], bool nonBlocking) {
    return ::pipe2(fds, O_CLOEXEC | (nonBlocking ? O_NONBLOCK : 0)) == 0 ? 0 : errno;
}

int closeOtherDescriptors(posix_spawnattr_t& /*attributes*/, posix_spawn_file_actions_t& actions,
                          short& /*flags*/) {
    // Descriptors opened elsewhere in the program without close-on-exec stay out of the child as well.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#else
    (void)actions;
    return 0;
#endif
}

}  // namespace quill::detail
