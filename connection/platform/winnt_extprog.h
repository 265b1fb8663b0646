// Operating-system layer of the connection: the queue's named objects
// (shared segment, lock, wake-up events), the segment layout, the signal
// events of a program and process start / end. Built on POSIX shared memory,
// a robust process-shared mutex and futex-backed manual-reset events; the
// object names are those of the queue's wire format.
#ifndef NW_CONNECTION_PLATFORM_WINNT_EXTPROG_H
#define NW_CONNECTION_PLATFORM_WINNT_EXTPROG_H

#include <cstdint>
#include <sys/types.h>

#include "connection/platform/extprog_records.h"
#include "connection/platform/named_objects.h"

// ---- Queue segment (35468 bytes, little-endian) ----
enum {
    IPC_MAX_RECEIVERS = 32,
    IPC_MAX_MESSAGES = 128,
    IPC_BLOCK_COUNT = 128,
    IPC_BLOCK_DATA = 256,
    IPC_SEGMENT_BYTES = 35468,
    IPC_MAX_WAIT_OBJECTS = 64
};

struct IPCMessageEntry {
    int32_t firstBlock;
    int32_t length;
    int32_t type;
};

struct IPCBlock {
    int32_t nextBlock;
    // Spare word of the block. The first block of a message carries its
    // exchange tag here (see winNTExtProg_sendMessage); 0 = untagged.
    int32_t tag;
    uint8_t data[IPC_BLOCK_DATA];
};

struct IPCQueueSegment {
    int32_t receiverIds[IPC_MAX_RECEIVERS];
    int32_t freeBlock;
    int32_t messageCount;
    int32_t nextReceiverId;
    IPCMessageEntry messageTable[IPC_MAX_MESSAGES];
    IPCBlock blocks[IPC_BLOCK_COUNT];
};
static_assert(sizeof(IPCQueueSegment) == IPC_SEGMENT_BYTES, "queue segment layout");

// Cached wake-up event of another receiver.
struct WinNTPeerEvent {
    NamedEvent event;
    int32_t receiverId;
};

// Platform side of an open queue.
struct WinNTIPCPath {
    int32_t key;
    NamedMapping mapping;       // the segment "qMem%08lx"
    IPCQueueSegment *view;
    NamedLock lock;             // "qMtex%08lx"
    int32_t receiverId;
    int32_t slot;               // -1 while none
    NamedEvent event;           // own "qEvnt%08lx_%02x"
    WinNTPeerEvent peerEvents[IPC_MAX_RECEIVERS];
    // Exchange tags: a request carries a fresh tag, a reply the tag of the
    // request it answers; a reader of replies takes only the reply to its
    // last request and drops stale ones.
    uint32_t nextSequence;
    uint32_t awaitedTag;        // tag of the last request sent, 0 = none
    uint32_t lastReadTag;       // tag of the last request taken
    int peerSeen;               // another live receiver was seen attached
    pid_t ownPid;               // process that attached (written into senderPid)
    WinNTIPCPath *nextOpen;     // list of open platform paths of this process
};

// Platform information of a descriptor.
struct WinNTExtProgInfo {
    pid_t process;              // child started by this process, else 0
    pid_t foreignPid;           // a process not started here whose end is watched, else 0
    NamedEvent sendEvent;
    NamedEvent getEvent;
    int haveSignalEvents;
    int createdSignalEvents;    // this process created the names (removes them)
    int32_t signalPid;
    char commandLine[1024];     // the line the start built (for logging)
};

// One object of a wait list.
enum { WATCH_PROCESS = 1, WATCH_FOREIGN_PROCESS = 2, WATCH_EVENT = 3 };
struct WinNTWatchEntry;
typedef int (*WinNTWatchHandler)(WinNTWatchEntry *entry);
struct WinNTWatchEntry {
    int kind;                   // WATCH_*
    pid_t pid;                  // WATCH_PROCESS / WATCH_FOREIGN_PROCESS
    NamedEvent *event;          // WATCH_EVENT
    ExternProgDescr *descriptor;
    WinNTWatchHandler handler;  // yields the signal number
};

// ---- Transport ----
// Key of a new queue: own pid + 0x10000, stepping by 0x10000 past keys of
// paths this process already knows; 0 or EXTPROG_STATUS_NO_FREE_KEY.
int winNTExtProg_generateIPCKey(int32_t *key);
// Opens (key != 0) or creates (key == 0 and create != 0) the queue and
// attaches as a receiver. Fills path->platformPath, key, keyString, id.
// Returns 0, EXTPROG_STATUS_NO_KEY, NO_FREE_KEY, NO_MEMORY or ATTACH_FAILED.
int winNTExtProg_openIPCPath(IPCPath *path, int32_t key, int create);
// Frees the slot, closes every object and frees the platform record. The last
// live process attached to a queue removes its names.
void winNTExtProg_removeIPCPath(WinNTIPCPath *platformPath);
// Type 0: make every block free and the table empty (under the lock).
int winNTExtProg_clearMessages(WinNTIPCPath *platformPath, int type);
int winNTExtProg_sendMessage(void *message, int size, IPCPath *path, ExternProgDescr *peer);
int winNTExtProg_readMessageNoWait(void *buffer, int capacity, int type, IPCPath *path);
// Waiting receive. Besides the statuses of a read it reports
// EXTPROG_STATUS_PEER_ENDED when every other receiver of the queue has ended
// or detached while a message is awaited.
int winNTExtProg_receiveMessage(int *status, void *buffer, int capacity, int type,
                                IPCPath *path, int wait, int timeoutSeconds,
                                ExternProgCheckFunc check, void *checkArg,
                                ExternProgDescr *watched);

// ---- Registry ----
int winNTExtProg_createPlatformInfo(ExternProgDescr *descriptor);
// Signal events "p1Event%08x" / "p2Event%08x" of pid (0 = own). With the own
// pid they are created; with another process's pid they are opened when they
// exist. swap 0: sendEvent = p2, getEvent = p1; swap 1 the other way.
void winNTExtProg_setupSignalEvents(ExternProgDescr *descriptor, int pid, int swap);
// Builds the command line (path and arguments joined by single blanks, at
// most 1023 characters) into descriptor->platformInfo->commandLine, sets the
// environment entries in the own environment and starts the program in a new
// session with each argument passed intact. 0 or an errno value.
int winNTExtProg_startProgram(ExternProgDescr *descriptor, const char *path,
                              const char *const *argv, int argc,
                              const char *const *env, int envCount);
// Watches a process this client did not start (its exit code is unknown).
void winNTExtProg_setProcessId(ExternProgDescr *descriptor, pid_t pid);
int winNTExtProg_deadProcess(WinNTWatchEntry *entry);
int winNTExtProg_eventFromProcess(WinNTWatchEntry *entry);
// Fills list with the registry's watch list; only = restrict get events to
// that descriptor (none = all); skip = an event to leave out. Returns count.
int winNTExtProg_getObjectList(WinNTWatchEntry *list, int capacity,
                               ExternProgDescr *only, const NamedEvent *skip);
// Waits until one entry fires or timeoutMs passes (< 0 = no limit). ownEvent
// (may be none) is waited on directly and wakes at once; the entries are
// looked at in short slices (WAIT_SLICE_MS). Returns the index of the entry
// that fired, WAIT_OWN_EVENT or WAIT_TIMED_OUT. The polling form also calls
// poll(arg) in every slice and returns WAIT_POLL_STOPPED when it is non-zero.
enum { WAIT_OWN_EVENT = -1, WAIT_TIMED_OUT = -2, WAIT_POLL_STOPPED = -3, WAIT_SLICE_MS = 10 };
typedef int (*WinNTWaitPoll)(void *arg);
int winNTExtProg_waitForObjects(NamedEvent *ownEvent, WinNTWatchEntry *list, int count,
                                long timeoutMs);
// spin: how the first look at ownEvent may spin (EVENT_*).
int winNTExtProg_waitForObjectsPolling(NamedEvent *ownEvent, WinNTWatchEntry *list, int count,
                                       long timeoutMs, WinNTWaitPoll poll, void *arg, int spin);
// Blocks until the descriptor's started child has ended and reaps it;
// returns its exit code (-signal for a child killed by a signal).
int winNTExtProg_waitForChild(ExternProgDescr *descriptor);
void winNTExtProg_killProgram(ExternProgDescr *descriptor);
// Frees the platform information (removing the signal-event names this
// process created; open mappings stay until the process exits).
void winNTExtProg_cleanupProgram(ExternProgDescr *descriptor);

// Process helpers. A zombie counts as ended.
int winNTExtProg_processAlive(pid_t pid);
// Detaches this process's open queues and removes the signal-event names it
// created when it exits normally (installed on the first attach).
void winNTExtProg_installExitHook(void);
// Removes leftovers of queues and signal events whose processes have all
// ended (named objects of this user only).
void winNTExtProg_sweepStaleObjects(void);

#endif
