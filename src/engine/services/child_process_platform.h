#pragma once

// The platform's part of starting and watching a child; only the process runner's own files include this.

#include <spawn.h>
#include <sys/types.h>

#include "engine/core/file_descriptor.h"

namespace quill::detail {

/// Opens a pipe whose ends are close-on-exec (and non-blocking when asked); 0 or an `errno` value.
int openPipe(int fds[2], bool nonBlocking);
/// Adds the platform's way of keeping every descriptor but the standard three from a child.
int closeOtherDescriptors(posix_spawnattr_t& attributes, posix_spawn_file_actions_t& actions, short& flags);
/// A descriptor that becomes readable once `pid` has exited, or an invalid one.
FileDescriptor openExitDescriptor(pid_t pid);
/// Whether a member of process group `group` still runs. A zombie has ended: only its parent's wait is
/// missing, and an orphan's reaper may take its time. False when the platform cannot tell.
bool groupHasRunningMembers(pid_t group);

}  // namespace quill::detail
