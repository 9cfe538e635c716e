#pragma once

// The system's sys/socket.h without what Darwin's socket(2) and accept(2) lack: the type takes no
// SOCK_CLOEXEC or SOCK_NONBLOCK (set them afterwards with fcntl), and there is no accept4.

#include_next <sys/socket.h>

#pragma GCC poison SOCK_CLOEXEC SOCK_NONBLOCK accept4
