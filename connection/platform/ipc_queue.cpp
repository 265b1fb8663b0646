// The message queue's attachments: creating and opening a queue, receiver
// slots and their liveness, detaching, and the removal of a queue's names by
// the last process that leaves it.
#include "connection/platform/winnt_extprog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <unistd.h>

#include "connection/platform/ipc_queue_internal.h"
#include "connection/platform/queue_names.h"

static WinNTIPCPath *openPaths = nullptr;   // this process's attached queues
static int exitHookInstalled = 0;
static pid_t exitHookPid = 0;

// ---- segment helpers (caller holds the lock) ----

int validBlock(int32_t index)
{
    return index >= 0 && index < IPC_BLOCK_COUNT;
}

static void initialiseSegment(IPCQueueSegment *seg)
{
    seg->freeBlock = 0;
    seg->messageCount = 0;
    for (int i = 0; i < IPC_BLOCK_COUNT - 1; ++i)
        seg->blocks[i].nextBlock = i + 1;
    seg->blocks[IPC_BLOCK_COUNT - 1].nextBlock = -1;
}

// True when the table and the chains account for every block exactly once.
// Checked after taking over the lock from a holder that died.
static int segmentConsistent(const IPCQueueSegment *seg)
{
    if (seg->messageCount < 0 || seg->messageCount > IPC_MAX_MESSAGES)
        return 0;
    unsigned char seen[IPC_BLOCK_COUNT];
    memset(seen, 0, sizeof seen);
    int total = 0;
    for (int m = -1; m < seg->messageCount; ++m) {
        int32_t b = m < 0 ? seg->freeBlock : seg->messageTable[m].firstBlock;
        int blocks = 0;
        while (b != -1) {
            if (!validBlock(b) || seen[b])
                return 0;
            seen[b] = 1;
            ++blocks;
            b = seg->blocks[b].nextBlock;
        }
        if (m >= 0) {
            int32_t len = seg->messageTable[m].length;
            if (len <= 0 || blocks != (len + IPC_BLOCK_DATA - 1) / IPC_BLOCK_DATA)
                return 0;
        }
        total += blocks;
    }
    return total == IPC_BLOCK_COUNT;
}

// Takes the queue lock; a segment left half-changed by a holder that died is
// started afresh (its queued messages are lost, the queue stays usable).
int takeQueueLock(WinNTIPCPath *pp)
{
    int r = namedLock_take(&pp->lock, winNTExtProg_lockTimeoutMs);
    if (r == LOCK_TIMED_OUT)
        return 0;
    if (r == LOCK_TAKEN_OWNER_DIED && pp->view && !segmentConsistent(pp->view))
        initialiseSegment(pp->view);
    return 1;
}

// ---- liveness of the other receivers ----

// Clears the slots of receivers whose processes have ended and removes their
// events. Caller holds the lock.
static int reapDeadSlots(WinNTIPCPath *pp)
{
    int32_t *pids = namedLock_slotPids(&pp->lock);
    int reaped = 0;
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s) {
        if (s == pp->slot || pp->view->receiverIds[s] == 0 || pids[s] == 0)
            continue;
        if (winNTExtProg_processAlive(pids[s]))
            continue;
        char name[NAMED_OBJECT_NAME_BYTES];
        queueEventName(name, pp->key, pp->view->receiverIds[s]);
        namedObject_unlink(name);
        pp->view->receiverIds[s] = 0;
        pids[s] = 0;
        ++reaped;
    }
    return reaped;
}

// Whether the other side of the queue is gone: some receiver was attached
// (now or earlier) and none is alive any more. Dead receivers' slots are
// cleared on the way.
int peerEnded(WinNTIPCPath *pp)
{
    int32_t *pids = namedLock_slotPids(&pp->lock);
    int live = 0, dead = 0;
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s) {
        if (s == pp->slot)
            continue;
        int32_t id = __atomic_load_n(&pp->view->receiverIds[s], __ATOMIC_ACQUIRE);
        if (id == 0)
            continue;
        int32_t pid = __atomic_load_n(&pids[s], __ATOMIC_ACQUIRE);
        if (pid == 0 || winNTExtProg_processAlive(pid))
            ++live;
        else
            ++dead;
    }
    if (live > 0) {
        pp->peerSeen = 1;
        return 0;
    }
    if (dead > 0) {
        pp->peerSeen = 1;
        if (takeQueueLock(pp)) {
            reapDeadSlots(pp);
            namedLock_release(&pp->lock);
        }
    }
    return pp->peerSeen;
}

// ---- attach / detach ----

static void closePeerEvents(WinNTIPCPath *pp)
{
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s) {
        if (namedEvent_isOpen(&pp->peerEvents[s].event))
            namedEvent_close(&pp->peerEvents[s].event);
        pp->peerEvents[s].receiverId = 0;
    }
}

// Removes every name of the queue. Caller holds the lock and is the last
// live process attached.
static void removeQueueNames(WinNTIPCPath *pp)
{
    char name[NAMED_OBJECT_NAME_BYTES];
    int32_t *pids = namedLock_slotPids(&pp->lock);
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s) {
        if (pp->view->receiverIds[s] != 0) {
            queueEventName(name, pp->key, pp->view->receiverIds[s]);
            namedObject_unlink(name);
            pp->view->receiverIds[s] = 0;
        }
        if (pids[s] != 0 && pids[s] != getpid() && !winNTExtProg_processAlive(pids[s])) {
            signalEventName(name, 1, pids[s]);
            namedObject_unlink(name);
            signalEventName(name, 2, pids[s]);
            namedObject_unlink(name);
        }
        pids[s] = 0;
    }
    queueSegmentName(name, pp->key);
    namedObject_unlink(name);
    namedLock_markRemoved(&pp->lock);
    queueLockName(name, pp->key);
    namedObject_unlink(name);
}

static void unlinkOpenPath(WinNTIPCPath *pp)
{
    for (WinNTIPCPath **link = &openPaths; *link; link = &(*link)->nextOpen) {
        if (*link == pp) {
            *link = pp->nextOpen;
            break;
        }
    }
}

void winNTExtProg_removeIPCPath(WinNTIPCPath *pp)
{
    if (!pp)
        return;
    if (pp->lock.data && pp->view && pp->slot >= 0 && takeQueueLock(pp)) {
        int32_t *pids = namedLock_slotPids(&pp->lock);
        char name[NAMED_OBJECT_NAME_BYTES];
        queueEventName(name, pp->key, pp->receiverId);
        namedObject_unlink(name);
        pp->view->receiverIds[pp->slot] = 0;
        pids[pp->slot] = 0;
        reapDeadSlots(pp);
        int others = 0;
        for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
            if (pp->view->receiverIds[s] != 0)
                ++others;
        if (others == 0 && !namedLock_isRemoved(&pp->lock))
            removeQueueNames(pp);
        namedLock_release(&pp->lock);
    } else if (pp->slot < 0 && pp->mapping.created && pp->view) {
        // A queue this process created but never attached to: nobody else
        // knows its key yet, so its names go with it.
        char name[NAMED_OBJECT_NAME_BYTES];
        queueEventName(name, pp->key, pp->receiverId);
        if (pp->receiverId != 0)
            namedObject_unlink(name);
        queueSegmentName(name, pp->key);
        namedObject_unlink(name);
        queueLockName(name, pp->key);
        namedObject_unlink(name);
    }
    pp->slot = -1;
    closePeerEvents(pp);
    if (namedEvent_isOpen(&pp->event))
        namedEvent_close(&pp->event);
    namedMapping_close(&pp->mapping);
    pp->view = nullptr;
    namedLock_close(&pp->lock);
    unlinkOpenPath(pp);
    free(pp);
}

// Detaches what is still attached when the process ends normally without
// detaching (a run that exits early), so the other side sees it leave.
static void detachAtExit(void)
{
    if (getpid() != exitHookPid)
        return;  // a forked child that never attached itself
    while (openPaths)
        winNTExtProg_removeIPCPath(openPaths);
    for (ExternProgDescr *d = firstExtProgP; d; d = d->next) {
        WinNTExtProgInfo *info = d->platformInfo;
        if (info && info->createdSignalEvents) {
            char name[NAMED_OBJECT_NAME_BYTES];
            signalEventName(name, 1, info->signalPid);
            namedObject_unlink(name);
            signalEventName(name, 2, info->signalPid);
            namedObject_unlink(name);
            info->createdSignalEvents = 0;
        }
    }
}

void winNTExtProg_installExitHook(void)
{
    if (!exitHookInstalled) {
        exitHookInstalled = 1;
        exitHookPid = getpid();
        atexit(detachAtExit);
    }
}

int winNTExtProg_generateIPCKey(int32_t *key)
{
    uint32_t candidate = (uint32_t)getpid() + 0x10000u;
    for (int tries = 0; tries < 128; ++tries, candidate += 0x10000u) {
        int known = 0;
        for (ExternProgDescr *d = firstExtProgP; d && !known; d = d->next)
            for (IPCPath *p = d->ipcPaths; p; p = p->next)
                if ((uint32_t)p->key == candidate) {
                    known = 1;
                    break;
                }
        for (WinNTIPCPath *pp = openPaths; pp && !known; pp = pp->nextOpen)
            if ((uint32_t)pp->key == candidate)
                known = 1;
        if (!known && candidate != 0) {
            *key = (int32_t)candidate;
            return 0;
        }
    }
    return EXTPROG_STATUS_NO_FREE_KEY;
}

// Creates the lock and the segment of a new queue under key, stepping to the
// next candidate key while the names belong to a live queue of another
// process. 0, NO_FREE_KEY or NO_MEMORY.
static int createQueueObjects(WinNTIPCPath *pp, int32_t *key)
{
    char name[NAMED_OBJECT_NAME_BYTES];
    uint32_t candidate = (uint32_t)*key;
    for (int tries = 0; tries < 128; ++tries, candidate += 0x10000u) {
        if (candidate == 0)
            continue;
        queueLockName(name, (int32_t)candidate);
        int rc = namedLock_create(&pp->lock, name);
        if (rc == EEXIST)
            continue;
        if (rc != 0)
            return EXTPROG_STATUS_NO_MEMORY;
        char segName[NAMED_OBJECT_NAME_BYTES];
        queueSegmentName(segName, (int32_t)candidate);
        rc = namedMapping_create(&pp->mapping, segName, IPC_SEGMENT_BYTES);
        if (rc != 0) {
            namedObject_unlink(name);
            namedLock_close(&pp->lock);
            if (rc == EEXIST)
                continue;
            return EXTPROG_STATUS_NO_MEMORY;
        }
        *key = (int32_t)candidate;
        return 0;
    }
    return EXTPROG_STATUS_NO_FREE_KEY;
}

int winNTExtProg_openIPCPath(IPCPath *path, int32_t key, int create)
{
    int creating = 0;
    if (key == 0) {
        if (!create)
            return EXTPROG_STATUS_NO_KEY;
        int rc = winNTExtProg_generateIPCKey(&key);
        if (rc != 0)
            return rc;
        creating = 1;
    }
    WinNTIPCPath *pp = static_cast<WinNTIPCPath *>(calloc(1, sizeof *pp));
    if (!pp)
        return EXTPROG_STATUS_NO_MEMORY;
    pp->slot = -1;
    pp->ownPid = getpid();
    char name[NAMED_OBJECT_NAME_BYTES];
    if (creating) {
        winNTExtProg_sweepStaleObjects();
        int rc = createQueueObjects(pp, &key);
        if (rc != 0) {
            free(pp);
            return rc;
        }
    } else {
        queueSegmentName(name, key);
        if (namedMapping_open(&pp->mapping, name, IPC_SEGMENT_BYTES) != 0) {
            free(pp);
            return EXTPROG_STATUS_NO_MEMORY;
        }
        queueLockName(name, key);
        if (namedLock_open(&pp->lock, name) != 0) {
            namedMapping_close(&pp->mapping);
            free(pp);
            return EXTPROG_STATUS_ATTACH_FAILED;
        }
    }
    pp->key = key;
    pp->view = static_cast<IPCQueueSegment *>(pp->mapping.address);
    pp->nextOpen = openPaths;
    openPaths = pp;
    winNTExtProg_installExitHook();

    if (creating)
        winNTExtProg_clearMessages(pp, 0);
    if (!takeQueueLock(pp)) {
        winNTExtProg_removeIPCPath(pp);
        return EXTPROG_STATUS_ATTACH_FAILED;
    }
    if (namedLock_isRemoved(&pp->lock)) {
        // The last process left while this one was opening: the queue is gone.
        namedLock_release(&pp->lock);
        winNTExtProg_removeIPCPath(pp);
        return EXTPROG_STATUS_NO_MEMORY;
    }
    IPCQueueSegment *seg = pp->view;
    if (creating)
        seg->nextReceiverId = 1;
    pp->receiverId = seg->nextReceiverId;
    seg->nextReceiverId += 1;
    int slot = -1;
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
        if (seg->receiverIds[s] == 0) {
            slot = s;
            break;
        }
    if (slot < 0 && reapDeadSlots(pp) > 0) {
        for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
            if (seg->receiverIds[s] == 0) {
                slot = s;
                break;
            }
    }
    if (slot < 0) {
        namedLock_release(&pp->lock);
        winNTExtProg_removeIPCPath(pp);
        return EXTPROG_STATUS_ATTACH_FAILED;
    }
    queueEventName(name, key, pp->receiverId);
    if (namedEvent_open(&pp->event, name, 1) != 0) {
        namedLock_release(&pp->lock);
        winNTExtProg_removeIPCPath(pp);
        return EXTPROG_STATUS_ATTACH_FAILED;
    }
    namedEvent_reset(&pp->event);
    seg->receiverIds[slot] = pp->receiverId;
    namedLock_slotPids(&pp->lock)[slot] = (int32_t)getpid();
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
        if (s != slot && seg->receiverIds[s] != 0)
            pp->peerSeen = 1;  // attaching to a queue someone already serves
    pp->slot = slot;
    namedLock_release(&pp->lock);

    path->key = key;
    snprintf(path->keyString, sizeof path->keyString, "%08x", (unsigned)key);
    path->id = key;
    path->platformPath = pp;
    return 0;
}

int winNTExtProg_clearMessages(WinNTIPCPath *pp, int type)
{
    if (!pp || !pp->view)
        return EXTPROG_STATUS_NO_MEMORY;
    if (type != 0)
        return 0;
    if (!takeQueueLock(pp))
        return EXTPROG_STATUS_LOCK_TIMEOUT;
    initialiseSegment(pp->view);
    namedLock_release(&pp->lock);
    return 0;
}
