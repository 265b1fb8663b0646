// Names of the queue's shared objects and of a program's signal events.
#ifndef NW_CONNECTION_PLATFORM_QUEUE_NAMES_H
#define NW_CONNECTION_PLATFORM_QUEUE_NAMES_H

#include <cstdint>
#include <cstdio>

#include "connection/platform/named_objects.h"

// "qMem%08lx": the shared segment of queue key.
static inline void queueSegmentName(char *out, int32_t key)
{
    snprintf(out, NAMED_OBJECT_NAME_BYTES, "qMem%08lx", (unsigned long)(uint32_t)key);
}

// "qMtex%08lx": the queue's lock.
static inline void queueLockName(char *out, int32_t key)
{
    snprintf(out, NAMED_OBJECT_NAME_BYTES, "qMtex%08lx", (unsigned long)(uint32_t)key);
}

// "qEvnt%08lx_%02x": wake-up event of receiver id.
static inline void queueEventName(char *out, int32_t key, int32_t id)
{
    snprintf(out, NAMED_OBJECT_NAME_BYTES, "qEvnt%08lx_%02x", (unsigned long)(uint32_t)key,
             (unsigned)id);
}

// "p1Event%08x" / "p2Event%08x": signal events of a program, from a pid.
static inline void signalEventName(char *out, int which, int32_t pid)
{
    snprintf(out, NAMED_OBJECT_NAME_BYTES, "p%dEvent%08x", which, (unsigned)pid);
}

#endif
