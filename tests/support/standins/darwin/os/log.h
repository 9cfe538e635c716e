#pragma once

// The unified logging calls of os_log(3). As on a Mac, the format must be a literal that matches its
// arguments, in os_log's own format language ("%{public}s"), which clang checks.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct quill_os_log_s* os_log_t;
typedef uint8_t os_log_type_t;

#define OS_LOG_TYPE_DEFAULT 0x00
#define OS_LOG_TYPE_INFO 0x01
#define OS_LOG_TYPE_DEBUG 0x02
#define OS_LOG_TYPE_ERROR 0x10
#define OS_LOG_TYPE_FAULT 0x11

extern struct quill_os_log_s quill_os_log_default;
#define OS_LOG_DEFAULT (&quill_os_log_default)

os_log_t os_log_create(const char* subsystem, const char* category);
void quill_os_log_with_type(os_log_t log, os_log_type_t type, const char* format, ...)
    __attribute__((format(os_log, 3, 4)));

#define os_log_with_type(log, type, format, ...) \
    quill_os_log_with_type(log, type, format __VA_OPT__(, ) __VA_ARGS__)
#define os_log(log, format, ...) os_log_with_type(log, OS_LOG_TYPE_DEFAULT, format __VA_OPT__(, ) __VA_ARGS__)
#define os_log_info(log, format, ...) \
    os_log_with_type(log, OS_LOG_TYPE_INFO, format __VA_OPT__(, ) __VA_ARGS__)
#define os_log_debug(log, format, ...) \
    os_log_with_type(log, OS_LOG_TYPE_DEBUG, format __VA_OPT__(, ) __VA_ARGS__)
#define os_log_error(log, format, ...) \
    os_log_with_type(log, OS_LOG_TYPE_ERROR, format __VA_OPT__(, ) __VA_ARGS__)
#define os_log_fault(log, format, ...) \
    os_log_with_type(log, OS_LOG_TYPE_FAULT, format __VA_OPT__(, ) __VA_ARGS__)

#ifdef __cplusplus
}
#endif
