#pragma once

// The process record that sysctl(3) reports, as far as Darwin's <sys/proc.h> declares what the sources use.

#ifdef __cplusplus
extern "C" {
#endif

struct extern_proc {
    char p_stat;  // the process's state: SZOMB once it has exited and waits for its parent's wait
};

#define SZOMB 5

#ifdef __cplusplus
}
#endif
