// Records shared by the connection's portable layer and its operating-system
// layer: external-program descriptors, queue path records, the registry head
// and the transport's status codes.
#ifndef NW_CONNECTION_PLATFORM_EXTPROG_RECORDS_H
#define NW_CONNECTION_PLATFORM_EXTPROG_RECORDS_H

#include <cstdint>

// Transport and registry statuses.
enum {
    EXTPROG_STATUS_OK = 0,
    EXTPROG_STATUS_QUEUE_FULL = -1300,    // 128 messages already queued
    EXTPROG_STATUS_NO_BLOCKS = -1301,     // free chain too short for the message
    EXTPROG_STATUS_LOCK_TIMEOUT = -1302,  // queue lock not obtained in time
    EXTPROG_STATUS_NO_MESSAGE = -1303,    // no message of the type (also a timed-out receive)
    // A waiting receive found that the other side of the queue has ended
    // (its process died or it detached) and no message can come any more.
    EXTPROG_STATUS_PEER_ENDED = -1304,
    EXTPROG_STATUS_TOO_LONG = -148,       // message longer than the buffer; stays queued
    EXTPROG_STATUS_NO_MEMORY = -116,      // out of memory, or segment not created/opened
    EXTPROG_STATUS_NO_KEY = -138,         // mode 0 without a key
    EXTPROG_STATUS_NO_FREE_KEY = -149,    // 128 key candidates all taken
    EXTPROG_STATUS_PATH_OPEN = -700,      // mode 2: a path with this key is already open
    EXTPROG_STATUS_ATTACH_FAILED = 1      // view, lock or slot not obtained
};

// Message types of the queue.
enum { EXTPROG_MSG_REQUEST = 100, EXTPROG_MSG_REPLY = 101 };

// Open modes of externProg_openIPCPath.
enum { EXTPROG_OPEN_EXISTING = 0, EXTPROG_OPEN_CREATE = 2 };

// Descriptor kinds and states.
enum { EXTPROG_KIND_CLIENT = 1, EXTPROG_KIND_SERVER = 3 };
enum {
    EXTPROG_STATE_CREATED = 0,
    EXTPROG_STATE_RUNNING = 1,
    EXTPROG_STATE_ENDED = -1,
    EXTPROG_STATE_RELEASED = -2
};

// Signal numbers handed to a receive's check callback.
enum { EXTPROG_SIGNAL_EVENT = 1, EXTPROG_SIGNAL_PROCESS_ENDED = 4 };

struct ExternProgDescr;
struct IPCPath;
struct WinNTExtProgInfo;
struct WinNTIPCPath;

// onTerminate(descriptor, exitStatus, signal); signal is always 0 here.
typedef int (*ExternProgTerminateFunc)(ExternProgDescr *descriptor, int exitStatus, int signal);
typedef int (*ExternProgReleaseFunc)(ExternProgDescr *descriptor);
// Handler serving incoming messages of a path's serviceType (unused here).
typedef int (*IPCMessageHandler)(IPCPath *path, void *message, int size);
// check(signal, &externProgramSignal, checkArg, descriptor): non-zero stops a
// waiting receive with that value.
typedef int (*ExternProgCheckFunc)(int signal, int *signalFlag, void *checkArg,
                                   ExternProgDescr *descriptor);

// One open queue as the client keeps it.
struct IPCPath {
    int32_t key;
    char keyString[20];           // key as "%08x"
    int32_t id;                   // equal to the key
    uint8_t serviceType;          // message type a handler serves, 0 = none
    IPCPath *next;                // next path of the same descriptor
    WinNTIPCPath *platformPath;   // shared by copies of the same key
    uint32_t requester;           // tag used to select paths when detaching
    IPCMessageHandler handler;
    int active;
};

// One external program (the client itself or the server).
struct ExternProgDescr {
    char name[128];
    int8_t state;                 // EXTPROG_STATE_*
    int32_t exitStatus;
    int32_t kind;                 // EXTPROG_KIND_*
    IPCPath *ipcPaths;
    ExternProgDescr *next;
    ExternProgTerminateFunc onTerminate;
    WinNTExtProgInfo *platformInfo;
    intptr_t value;               // stored only
    ExternProgReleaseFunc onRelease;  // stored only
};

// Registry: newest descriptor first.
extern ExternProgDescr *firstExtProgP;
// Some process was found ended since the last sweep.
extern int haveTerminatedProgram;
// A watched program raised its get event.
extern int externProgramSignal;

#endif
