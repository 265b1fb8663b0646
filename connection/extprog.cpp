// Registry of external programs: descriptors, program start, waiting for a
// program's end and the sweep that frees ended or released programs.
#include "connection/extprog.h"

#include <cstdlib>
#include <cstring>

#include "connection/platform/winnt_extprog.h"

static int sweepRunning = 0;

int externProg_createDescriptor(ExternProgDescr **descriptor, int size, int kind,
                                const char *name, intptr_t value,
                                ExternProgTerminateFunc onTerminate,
                                ExternProgReleaseFunc onRelease)
{
    if (descriptor)
        *descriptor = nullptr;
    size_t bytes = size > (int)sizeof(ExternProgDescr) ? (size_t)size : sizeof(ExternProgDescr);
    ExternProgDescr *d = static_cast<ExternProgDescr *>(calloc(1, bytes));
    if (!d)
        return EXTPROG_STATUS_NO_MEMORY;
    if (name) {
        strncpy(d->name, name, sizeof d->name - 1);
        d->name[sizeof d->name - 1] = '\0';
    }
    d->state = EXTPROG_STATE_CREATED;
    d->kind = kind;
    d->value = value;
    d->onTerminate = onTerminate;
    d->onRelease = onRelease;
    if (winNTExtProg_createPlatformInfo(d) != 0) {
        free(d);
        return EXTPROG_STATUS_NO_MEMORY;
    }
    d->next = firstExtProgP;
    firstExtProgP = d;
    if (descriptor)
        *descriptor = d;
    return 0;
}

static void unlinkDescriptor(ExternProgDescr *descriptor)
{
    for (ExternProgDescr **link = &firstExtProgP; *link; link = &(*link)->next) {
        if (*link == descriptor) {
            *link = descriptor->next;
            break;
        }
    }
    descriptor->next = nullptr;
}

int externProg_removeDescriptor(ExternProgDescr *descriptor)
{
    if (!descriptor)
        return 0;
    unlinkDescriptor(descriptor);
    winNTExtProg_cleanupProgram(descriptor);
    free(descriptor);
    return 0;
}

int externProg_startSpecifiedProgram(ExternProgDescr **descriptor, int create, int size,
                                     int kind, const char *path,
                                     const char *const *argv, int argc,
                                     const char *const *env, int envCount,
                                     intptr_t value, ExternProgTerminateFunc onTerminate,
                                     ExternProgReleaseFunc onRelease)
{
    externProg_checkTerminatedPrograms(nullptr);
    if (!descriptor || !path)
        return EXTPROG_STATUS_NO_MEMORY;
    if (create) {
        int rc = externProg_createDescriptor(descriptor, size, kind, path, value, onTerminate,
                                             onRelease);
        if (rc != 0)
            return rc;
    }
    if (!*descriptor)
        return EXTPROG_STATUS_NO_MEMORY;
    int rc = winNTExtProg_startProgram(*descriptor, path, argv, argc, env, envCount);
    if (rc != 0) {
        externProg_removeDescriptor(*descriptor);
        *descriptor = nullptr;
    }
    return rc;
}

int externProg_cleanupProgram(ExternProgDescr *descriptor)
{
    if (!descriptor)
        return 0;
    unlinkDescriptor(descriptor);
    externProg_removeIPCPath(descriptor, nullptr, 0);
    winNTExtProg_cleanupProgram(descriptor);
    free(descriptor);
    return 0;
}

int externProg_checkTerminatedPrograms(ExternProgDescr *descriptor)
{
    if (sweepRunning)
        return 0;
    if (!descriptor && !haveTerminatedProgram)
        return 0;
    sweepRunning = 1;
    if (!descriptor)
        haveTerminatedProgram = 0;
    int cleaned = 0;
    ExternProgDescr *d = firstExtProgP;
    while (d) {
        ExternProgDescr *next = d->next;
        if ((!descriptor || d == descriptor) && d->state < 0) {
            externProg_cleanupProgram(d);
            cleaned = 1;
        }
        d = next;
    }
    sweepRunning = 0;
    return cleaned;
}

int externProg_terminateProgram(ExternProgDescr *descriptor)
{
    if (!descriptor)
        return 0;
    if (descriptor->state == EXTPROG_STATE_RUNNING)
        winNTExtProg_killProgram(descriptor);
    descriptor->state = EXTPROG_STATE_RELEASED;
    return externProg_checkTerminatedPrograms(descriptor);
}

int externProg_wait(int *exitStatus, ExternProgDescr *descriptor)
{
    if (!descriptor)
        return 0;
    WinNTWatchEntry list[IPC_MAX_WAIT_OBJECTS];
    while (descriptor->state != EXTPROG_STATE_ENDED) {
        WinNTExtProgInfo *info = descriptor->platformInfo;
        if (!info || (info->process <= 0 && info->foreignPid <= 0)) {
            // Nothing of this program can be watched (a server this client
            // did not start and whose process id it was not told): waiting
            // would never end.
            descriptor->state = EXTPROG_STATE_ENDED;
            break;
        }
        externProgramSignal = 0;
        int count = winNTExtProg_getObjectList(list, IPC_MAX_WAIT_OBJECTS, nullptr, nullptr);
        int fired = winNTExtProg_waitForObjects(nullptr, list, count, -1);
        if (fired >= 0)
            list[fired].handler(&list[fired]);
    }
    if (exitStatus)
        *exitStatus = descriptor->exitStatus;
    descriptor->state = EXTPROG_STATE_RELEASED;
    externProg_checkTerminatedPrograms(descriptor);
    return 0;
}

ExternProgDescr *externProg_getFirst(void)
{
    return firstExtProgP;
}

ExternProgDescr *externProg_getNext(ExternProgDescr *descriptor)
{
    return descriptor ? descriptor->next : nullptr;
}
