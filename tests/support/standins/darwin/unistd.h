#pragma once

// The system's unistd.h with Darwin's confstr(3) names for the per-user folders. The GNU-only calls a Mac
// lacks are poisoned, so that a macOS source that uses one fails here as it would there.

#include_next <unistd.h>

#define _CS_DARWIN_USER_DIR 65536
#define _CS_DARWIN_USER_TEMP_DIR 65537
#define _CS_DARWIN_USER_CACHE_DIR 65538

#pragma GCC poison pipe2 dup3 close_range execvpe
