#pragma once

// sysctl(3) and sysctlbyname(3), and the process table query, as Darwin declares them.

#include <stddef.h>
#include <sys/proc.h>

#ifdef __cplusplus
extern "C" {
#endif

// The names of the process table queries by process id and by process group.
#define CTL_KERN 1
#define KERN_PROC 14
#define KERN_PROC_PID 1
#define KERN_PROC_PGRP 2

// One process of the process table, as KERN_PROC answers it.
struct kinfo_proc {
    struct extern_proc kp_proc;
};

int sysctl(int* name, unsigned int namelen, void* oldp, size_t* oldlenp, void* newp, size_t newlen);
int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen);

#ifdef __cplusplus
}
#endif
