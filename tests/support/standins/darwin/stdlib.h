#pragma once

// The system's stdlib.h without quick_exit and at_quick_exit, which Darwin's C library lacks. libc++'s
// <cstdlib> names both in a using-declaration, so they cannot be poisoned: a use of either reaches a name
// that nothing declares instead, and fails to compile, with or without std::.

#include_next <stdlib.h>

#define quick_exit quick_exit_which_darwin_lacks
#define at_quick_exit at_quick_exit_which_darwin_lacks
