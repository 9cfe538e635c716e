#pragma once

// The system's spawn.h with Darwin's own posix_spawnattr_setflags(3) flags. The GNU-only file action a Mac
// lacks is poisoned.

#include_next <spawn.h>

#define POSIX_SPAWN_SETEXEC 0x0040
#define POSIX_SPAWN_START_SUSPENDED 0x0080
#define POSIX_SPAWN_CLOEXEC_DEFAULT 0x4000

#pragma GCC poison posix_spawn_file_actions_addclosefrom_np
