// The message queue: attach and detach, the segment's free chain and message
// table, send, read and the waiting receive. Every look at or change of the
// segment happens under the queue lock, including the reset of the reader's
// own event; senders set events while holding it, so no wake-up is lost.
#include "connection/platform/winnt_extprog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <unistd.h>

#include "connection/platform/queue_names.h"

static WinNTIPCPath *openPaths = nullptr;   // this process's attached queues
static int exitHookInstalled = 0;
static pid_t exitHookPid = 0;

// ---- segment helpers (caller holds the lock) ----

static int validBlock(int32_t index)
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
static int takeQueueLock(WinNTIPCPath *pp)
{
    int r = namedLock_take(&pp->lock, winNTExtProg_lockTimeoutMs);
    if (r == LOCK_TIMED_OUT)
        return 0;
    if (r == LOCK_TAKEN_OWNER_DIED && pp->view && !segmentConsistent(pp->view))
        initialiseSegment(pp->view);
    return 1;
}

// Returns a message's chain to the front of the free chain and removes its
// table entry, keeping the order of the later ones.
static void dropEntry(IPCQueueSegment *seg, int index)
{
    IPCMessageEntry *e = &seg->messageTable[index];
    int32_t first = e->firstBlock;
    if (validBlock(first)) {
        int32_t last = first;
        for (int guard = 0; guard < IPC_BLOCK_COUNT && validBlock(seg->blocks[last].nextBlock);
             ++guard)
            last = seg->blocks[last].nextBlock;
        seg->blocks[last].nextBlock = seg->freeBlock;
        seg->freeBlock = first;
    }
    for (int i = index; i + 1 < seg->messageCount; ++i)
        seg->messageTable[i] = seg->messageTable[i + 1];
    seg->messageCount -= 1;
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
static int peerEnded(WinNTIPCPath *pp)
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

// ---- send / read ----

static int32_t headerWord(const void *message, int offset)
{
    int32_t v;
    memcpy(&v, static_cast<const unsigned char *>(message) + offset, 4);
    return v;
}

// Signals every other attached receiver's event. Caller holds the lock;
// wakeReceivers delivers the wake-ups after its release.
static void signalReceivers(WinNTIPCPath *pp)
{
    char name[NAMED_OBJECT_NAME_BYTES];
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s) {
        if (s == pp->slot)
            continue;
        WinNTPeerEvent *pe = &pp->peerEvents[s];
        int32_t id = pp->view->receiverIds[s];
        if (id != pe->receiverId) {
            if (namedEvent_isOpen(&pe->event))
                namedEvent_close(&pe->event);
            pe->receiverId = id;
            // A receiver creates its event before its id appears in a slot,
            // so opening (never creating) suffices and leaves no stray name.
            if (id != 0) {
                queueEventName(name, pp->key, id);
                namedEvent_open(&pe->event, name, 0);
            }
        }
        if (namedEvent_isOpen(&pe->event))
            namedEvent_mark(&pe->event);
    }
}

static int wakeReceivers(WinNTIPCPath *pp)
{
    int woken = 0;
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
        if (s != pp->slot && namedEvent_isOpen(&pp->peerEvents[s].event))
            woken += namedEvent_wake(&pp->peerEvents[s].event);
    return woken;
}

int winNTExtProg_sendMessage(void *message, int size, IPCPath *path, ExternProgDescr *peer)
{
    WinNTIPCPath *pp = path ? path->platformPath : nullptr;
    if (!pp || !pp->view || !message)
        return EXTPROG_STATUS_NO_MEMORY;
    // A message holds at least its 16-byte header.
    if (size < 16)
        return EXTPROG_STATUS_NO_BLOCKS;
    int32_t pid = (int32_t)pp->ownPid;
    memcpy(static_cast<unsigned char *>(message) + 8, &pid, 4);
    int32_t *cpus = namedLock_slotCpus(&pp->lock);
    int cpu = sched_getcpu();
    if (cpus && pp->slot >= 0 && cpu >= 0)
        cpus[pp->slot] = cpu + 1;
    int32_t type = headerWord(message, 0);

    if (!takeQueueLock(pp))
        return EXTPROG_STATUS_LOCK_TIMEOUT;
    IPCQueueSegment *seg = pp->view;
    if (seg->messageCount >= IPC_MAX_MESSAGES) {
        namedLock_release(&pp->lock);
        return EXTPROG_STATUS_QUEUE_FULL;
    }
    int32_t first = seg->freeBlock, last = -1, after = seg->freeBlock;
    long counted = 0;
    int blocks = 0;
    while (counted < size && validBlock(after) && blocks < IPC_BLOCK_COUNT) {
        last = after;
        after = seg->blocks[last].nextBlock;
        counted += IPC_BLOCK_DATA;
        ++blocks;
    }
    if (counted < size) {
        namedLock_release(&pp->lock);
        return EXTPROG_STATUS_NO_BLOCKS;
    }
    IPCMessageEntry *e = &seg->messageTable[seg->messageCount];
    e->firstBlock = first;
    e->length = size;
    e->type = type;
    seg->messageCount += 1;
    seg->freeBlock = after;
    seg->blocks[last].nextBlock = -1;

    uint32_t tag;
    if (type == EXTPROG_MSG_REPLY) {
        tag = pp->lastReadTag;
    } else {
        pp->nextSequence = (pp->nextSequence % 0xFFFFu) + 1;  // 1..65535
        tag = ((uint32_t)pp->receiverId << 16) | pp->nextSequence;
        pp->awaitedTag = tag;
    }
    seg->blocks[first].tag = (int32_t)tag;

    const unsigned char *src = static_cast<const unsigned char *>(message);
    int32_t b = first;
    for (long done = 0; done < size; done += IPC_BLOCK_DATA) {
        long n = size - done < IPC_BLOCK_DATA ? size - done : (long)IPC_BLOCK_DATA;
        memcpy(seg->blocks[b].data, src + done, (size_t)n);
        b = seg->blocks[b].nextBlock;
    }
    signalReceivers(pp);
    NamedEvent *peerEvent = nullptr;
    if (peer && peer->platformInfo && namedEvent_isOpen(&peer->platformInfo->sendEvent)) {
        peerEvent = &peer->platformInfo->sendEvent;
        namedEvent_mark(peerEvent);
    }
    namedLock_release(&pp->lock);
    int woken = wakeReceivers(pp);
    if (peerEvent)
        woken += namedEvent_wake(peerEvent);
    // On one processor the woken receiver can only run when this process
    // stops: let it take and answer the message now, instead of being
    // preempted later while this process holds the lock for its next look.
    if (woken > 0 && !winNTExtProg_multiProcessor())
        sched_yield();
    return 0;
}

// Whether a reply can never be taken: left over from an exchange of this
// receiver that was given up (its tag is ours but not the awaited one), or
// addressed to a receiver that is no longer attached.
static int staleReply(const WinNTIPCPath *pp, uint32_t tag)
{
    uint32_t owner = tag >> 16;
    if (owner == ((uint32_t)pp->receiverId & 0xFFFFu))
        return 1;
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
        if (pp->view->receiverIds[s] != 0 && ((uint32_t)pp->view->receiverIds[s] & 0xFFFFu) == owner)
            return 0;
    return 1;
}

int winNTExtProg_readMessageNoWait(void *buffer, int capacity, int type, IPCPath *path)
{
    WinNTIPCPath *pp = path ? path->platformPath : nullptr;
    if (!pp || !pp->view)
        return EXTPROG_STATUS_NO_MEMORY;
    if (!takeQueueLock(pp))
        return EXTPROG_STATUS_LOCK_TIMEOUT;
    IPCQueueSegment *seg = pp->view;
    int result = EXTPROG_STATUS_NO_MESSAGE;
    int count = seg->messageCount;
    if (count < 0 || count > IPC_MAX_MESSAGES)
        count = 0;
    for (int i = 0; i < count;) {
        IPCMessageEntry *e = &seg->messageTable[i];
        if (!validBlock(e->firstBlock) || (type != 0 && e->type != type)) {
            ++i;
            continue;
        }
        uint32_t tag = (uint32_t)seg->blocks[e->firstBlock].tag;
        if (e->type == EXTPROG_MSG_REPLY && type == EXTPROG_MSG_REPLY && tag != 0 &&
            tag != pp->awaitedTag && pp->awaitedTag != 0) {
            if (staleReply(pp, tag)) {
                dropEntry(seg, i);
                --count;
            } else {
                ++i;  // the answer to another receiver's request
            }
            continue;
        }
        if (e->length > capacity || e->length < 0) {
            result = EXTPROG_STATUS_TOO_LONG;
            break;
        }
        unsigned char *dst = static_cast<unsigned char *>(buffer);
        int32_t b = e->firstBlock;
        for (long done = 0; done < e->length && validBlock(b); done += IPC_BLOCK_DATA) {
            long n = e->length - done < IPC_BLOCK_DATA ? e->length - done : (long)IPC_BLOCK_DATA;
            memcpy(dst + done, seg->blocks[b].data, (size_t)n);
            b = seg->blocks[b].nextBlock;
        }
        if (e->type != EXTPROG_MSG_REPLY)
            pp->lastReadTag = tag;
        if (e->length >= 12 && headerWord(buffer, 8) != (int32_t)pp->ownPid)
            pp->peerSeen = 1;  // the other side has shown itself
        dropEntry(seg, i);
        result = 0;
        break;
    }
    namedEvent_reset(&pp->event);
    namedLock_release(&pp->lock);
    return result;
}

// ---- waiting receive ----

// Records the processor this receiver runs on and tells how to wait: busy
// looks are useless when another receiver last ran on the same processor.
static int spinMode(WinNTIPCPath *pp)
{
    int32_t *cpus = namedLock_slotCpus(&pp->lock);
    int cpu = sched_getcpu();
    if (!cpus || pp->slot < 0 || cpu < 0)
        return EVENT_SPIN;
    cpus[pp->slot] = cpu + 1;  // 0 = unknown
    for (int s = 0; s < IPC_MAX_RECEIVERS; ++s)
        if (s != pp->slot && pp->view->receiverIds[s] != 0 && cpus[s] == cpu + 1)
            return EVENT_SPIN_YIELD;
    return EVENT_SPIN;
}

static int pollPeer(void *arg)
{
    return peerEnded(static_cast<WinNTIPCPath *>(arg));
}

int winNTExtProg_receiveMessage(int *status, void *buffer, int capacity, int type,
                                IPCPath *path, int wait, int timeoutSeconds,
                                ExternProgCheckFunc check, void *checkArg,
                                ExternProgDescr *watched)
{
    int st = winNTExtProg_readMessageNoWait(buffer, capacity, type, path);
    if (status)
        *status = st;
    if (!wait || st != EXTPROG_STATUS_NO_MESSAGE)
        return 0;
    WinNTIPCPath *pp = path->platformPath;
    long timeoutMs = timeoutSeconds > 0 ? (long)timeoutSeconds * winNTExtProg_msPerTimeoutSecond : -1;
    WinNTWatchEntry list[IPC_MAX_WAIT_OBJECTS];
    int rebuild = 1, count = 0;
    for (;;) {
        if (check && rebuild) {
            count = winNTExtProg_getObjectList(list, IPC_MAX_WAIT_OBJECTS - 1, watched, &pp->event);
            rebuild = 0;
        }
        int fired = winNTExtProg_waitForObjectsPolling(&pp->event, list, check ? count : 0,
                                                       timeoutMs, pollPeer, pp, spinMode(pp));
        if (fired == WAIT_TIMED_OUT)
            return 1;  // status stays NO_MESSAGE
        if (fired == WAIT_POLL_STOPPED) {
            // The other side ended; take what it may have sent before.
            st = winNTExtProg_readMessageNoWait(buffer, capacity, type, path);
            if (st == EXTPROG_STATUS_NO_MESSAGE)
                st = EXTPROG_STATUS_PEER_ENDED;
            if (status)
                *status = st;
            return st == 0 ? 0 : 1;
        }
        int checkResult = 0;
        if (fired >= 0) {
            int signal = list[fired].handler(&list[fired]);
            rebuild = 1;  // a handler may have closed the object
            checkResult = check(signal, &externProgramSignal, checkArg, list[fired].descriptor);
        }
        st = winNTExtProg_readMessageNoWait(buffer, capacity, type, path);
        if (status)
            *status = st;
        if (checkResult != 0)
            return checkResult;
        // A message that does not fit, or a lock that cannot be had, will not
        // change by waiting longer.
        if (st != EXTPROG_STATUS_NO_MESSAGE)
            return st == 0 ? 0 : 1;
    }
}
