// Messages of the queue: send, read and the waiting receive. Every look at
// or change of the segment happens under the queue lock, including the reset
// of the reader's own event; senders mark events while holding it (and wake
// sleepers right after releasing it), so no wake-up is lost.
#include "connection/platform/winnt_extprog.h"

#include <cstring>
#include <sched.h>
#include <unistd.h>

#include "connection/platform/ipc_queue_internal.h"
#include "connection/platform/queue_names.h"

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
