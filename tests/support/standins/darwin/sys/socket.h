#pragma once

// The system's sys/socket.h without what Darwin's socket(2) and accept(2) lack: the type takes no
// SOCK_CLOEXEC or SOCK_NONBLOCK (set them afterwards with fcntl), and there is no accept4. The flags are not
// poisoned, so that `#ifdef SOCK_CLOEXEC` reads false as it does on Darwin; the system declares them as
// enumerators too, which the names below take while it is read, so that a use finds nothing.

#define SOCK_CLOEXEC quill_no_SOCK_CLOEXEC
#define SOCK_NONBLOCK quill_no_SOCK_NONBLOCK

#include_next <sys/socket.h>

#undef SOCK_CLOEXEC
#undef SOCK_NONBLOCK

#pragma GCC poison accept4
