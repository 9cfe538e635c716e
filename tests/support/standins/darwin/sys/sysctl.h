#pragma once

// sysctl(3) and sysctlbyname(3), as Darwin declares them.

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

int sysctl(int* name, unsigned int namelen, void* oldp, size_t* oldlenp, void* newp, size_t newlen);
int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen);

#ifdef __cplusplus
}
#endif
