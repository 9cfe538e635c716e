#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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

bool groupHasRunningMembers(pid_t group) {
    if (::kill(-group, 0) != 0 && errno == ESRCH)
        return false;
    // The group has members, which may all be zombies: look at each process's state and group in
    // /proc/<pid>/stat ("<pid> (<name>) <state> <parent> <group> …").
    const std::unique_ptr<DIR, int (*)(DIR*)> processes(::opendir("/proc"), ::closedir);
    if (!processes)
        return false;
    while (const dirent* entry = ::readdir(processes.get())) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const FileDescriptor stat(
            ::open(("/proc/" + std::string(entry->d_name) + "/stat").c_str(), O_RDONLY | O_CLOEXEC));
        char text[512];
        const ssize_t size = stat.valid() ? ::read(stat.get(), text, sizeof text - 1) : -1;
        if (size <= 0)
            continue;
        text[size] = '\0';
        // The name may hold anything, parentheses included: the fields start after the last ')'.
        const char* fields = std::strrchr(text, ')');
        char state = 0;
        int parent = 0;
        int processGroup = 0;
        if (fields && std::sscanf(fields + 1, " %c %d %d", &state, &parent, &processGroup) == 3 &&
            processGroup == group && state != 'Z' && state != 'X')
            return true;
    }
    return false;
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
