// The client's records of open message queues: open, detach, hanging paths
// on program descriptors, and send / receive through the platform layer.
#include "connection/extprog.h"

#include <cstdlib>
#include <cstring>

#include "connection/platform/winnt_extprog.h"

IPCPath *externProg_findPathByKey(int32_t key)
{
    for (ExternProgDescr *d = firstExtProgP; d; d = d->next)
        for (IPCPath *p = d->ipcPaths; p; p = p->next)
            if (p->key == key)
                return p;
    return nullptr;
}

int externProg_openIPCPath(IPCPath **path, int32_t *key, int mode)
{
    if (!path || !key)
        return EXTPROG_STATUS_NO_MEMORY;
    *path = nullptr;
    if (*key != 0) {
        IPCPath *known = externProg_findPathByKey(*key);
        if (known) {
            if (mode == EXTPROG_OPEN_CREATE)
                return EXTPROG_STATUS_PATH_OPEN;
            IPCPath *copy = static_cast<IPCPath *>(malloc(sizeof *copy));
            if (!copy)
                return EXTPROG_STATUS_NO_MEMORY;
            *copy = *known;
            copy->next = nullptr;
            copy->active = 1;
            *path = copy;
            return 0;
        }
    }
    IPCPath *p = static_cast<IPCPath *>(calloc(1, sizeof *p));
    if (!p)
        return EXTPROG_STATUS_NO_MEMORY;
    p->active = 1;
    int rc = winNTExtProg_openIPCPath(p, *key, mode == EXTPROG_OPEN_CREATE);
    if (rc != 0) {
        free(p);
        return rc;
    }
    *key = p->key;
    *path = p;
    return 0;
}

void externProg_connectIPCToProgram(IPCPath *path, ExternProgDescr *descriptor,
                                    uint32_t requester, int serviceType,
                                    IPCMessageHandler handler)
{
    if (!path || !descriptor)
        return;
    path->requester = requester;
    path->serviceType = (uint8_t)serviceType;
    path->handler = handler;
    path->next = descriptor->ipcPaths;
    descriptor->ipcPaths = path;
}

// Frees a path record that is no longer in any list, detaching the platform
// side when no other known path shares it.
static void releasePath(IPCPath *path)
{
    int shared = 0;
    for (ExternProgDescr *d = firstExtProgP; d && !shared; d = d->next)
        for (IPCPath *p = d->ipcPaths; p; p = p->next)
            if (p != path && p->platformPath == path->platformPath) {
                shared = 1;
                break;
            }
    if (!shared)
        winNTExtProg_removeIPCPath(path->platformPath);
    free(path);
}

void externProg_removeIPCPath(ExternProgDescr *descriptor, IPCPath *path, uint32_t requester)
{
    if (!descriptor) {
        // A path that was never hung on a descriptor.
        if (path)
            releasePath(path);
        return;
    }
    IPCPath **link = &descriptor->ipcPaths;
    while (*link) {
        IPCPath *p = *link;
        if ((!path || p == path) && (requester == 0 || p->requester == requester)) {
            *link = p->next;
            p->next = nullptr;
            releasePath(p);
        } else {
            link = &p->next;
        }
    }
}

int externProg_sendMessage(void *message, int size, IPCPath *path, ExternProgDescr *ignored1,
                           int ignored2, ExternProgDescr *peer)
{
    (void)ignored1;
    (void)ignored2;
    return winNTExtProg_sendMessage(message, size, path, peer);
}

int externProg_receiveMessage(int *status, void *buffer, int capacity, int type,
                              IPCPath *path, int wait, int timeoutSeconds, int ignored,
                              ExternProgCheckFunc check, void *checkArg,
                              ExternProgDescr *watched)
{
    (void)ignored;
    if (!path || !path->platformPath) {
        if (status)
            *status = EXTPROG_STATUS_NO_MEMORY;
        return 1;
    }
    return winNTExtProg_receiveMessage(status, buffer, capacity, type, path, wait, timeoutSeconds,
                                       check, checkArg, watched);
}
