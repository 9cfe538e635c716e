#include <fcntl.h>
#include <signal.h>
#include <sys/event.h>
#include <sys/proc.h>
#include <sys/sysctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "engine/services/child_process_platform.h"

namespace quill::detail {

FileDescriptor openExitDescriptor(pid_t pid) {
    // A kqueue watching the process for its exit is readable once the event has fired.
    FileDescriptor queue(::kqueue());
    if (!queue.valid())
        return FileDescriptor();
    ::fcntl(queue.get(), F_SETFD, FD_CLOEXEC);
    struct kevent change;
    EV_SET(&change, static_cast<uintptr_t>(pid), EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0, nullptr);
    if (::kevent(queue.get(), &change, 1, nullptr, 0, nullptr) != 0)
        return FileDescriptor();
    return queue;
}

bool groupHasRunningMembers(pid_t group) {
    if (::kill(-group, 0) != 0 && errno == ESRCH)
        return false;
    // The group has members, which may all be zombies: ask the kernel for each one's state.
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PGRP, group};
    std::size_t size = 0;
    if (::sysctl(query, 4, nullptr, &size, nullptr, 0) != 0)
        return false;
    // Room for a few more, should the group grow between the two calls.
    std::vector<kinfo_proc> members(size / sizeof(kinfo_proc) + 4);
    size = members.size() * sizeof(kinfo_proc);
    if (::sysctl(query, 4, members.data(), &size, nullptr, 0) != 0)
        return errno == ENOMEM;
    members.resize(size / sizeof(kinfo_proc));
    return std::any_of(members.begin(), members.end(),
                       [](const kinfo_proc& member) { return member.kp_proc.p_stat != SZOMB; });
}

int openPipe(int fds[2], bool nonBlocking) {
    if (::pipe(fds) != 0)
        return errno;
    // Another thread's spawn between pipe() and here cannot inherit the ends: every child is started with
    // POSIX_SPAWN_CLOEXEC_DEFAULT.
    for (int i = 0; i < 2; ++i) {
        ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
        if (nonBlocking)
            ::fcntl(fds[i], F_SETFL, ::fcntl(fds[i], F_GETFL) | O_NONBLOCK);
    }
    return 0;
}

int closeOtherDescriptors(posix_spawnattr_t& /*attributes*/, posix_spawn_file_actions_t& /*actions*/,
                          short& flags) {
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
    return 0;
}

}  // namespace quill::detail
