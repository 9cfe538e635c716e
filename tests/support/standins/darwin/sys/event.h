#pragma once

// kqueue(2) and kevent(2), as Darwin declares them.

#include <stdint.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

struct kevent {
    uintptr_t ident;
    int16_t filter;
    uint16_t flags;
    uint32_t fflags;
    intptr_t data;
    void* udata;
};

#define EVFILT_READ (-1)
#define EVFILT_WRITE (-2)
#define EVFILT_PROC (-5)
#define EVFILT_SIGNAL (-6)
#define EVFILT_TIMER (-7)

#define EV_ADD 0x0001
#define EV_DELETE 0x0002
#define EV_ENABLE 0x0004
#define EV_DISABLE 0x0008
#define EV_ONESHOT 0x0010
#define EV_CLEAR 0x0020
#define EV_RECEIPT 0x0040
#define EV_ERROR 0x4000
#define EV_EOF 0x8000

#define NOTE_EXIT 0x80000000U
#define NOTE_EXITSTATUS 0x04000000U
#define NOTE_FORK 0x40000000U
#define NOTE_EXEC 0x20000000U

#define EV_SET(event, identity, filterCode, flagBits, filterFlags, filterData, userData) \
    do {                                                                                 \
        struct kevent* quill_event = (event);                                            \
        quill_event->ident = (identity);                                                 \
        quill_event->filter = (filterCode);                                              \
        quill_event->flags = (flagBits);                                                 \
        quill_event->fflags = (filterFlags);                                             \
        quill_event->data = (filterData);                                                \
        quill_event->udata = (userData);                                                 \
    } while (0)

int kqueue(void);
int kevent(int kq, const struct kevent* changelist, int nchanges, struct kevent* eventlist, int nevents,
           const struct timespec* timeout);

#ifdef __cplusplus
}
#endif
