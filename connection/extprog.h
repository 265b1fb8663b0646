// Portable layer of the connection to the design-file server: the registry
// of external programs (descriptors, program start, end notification, sweep)
// and the client's records of open message queues with send and receive.
#ifndef NW_CONNECTION_EXTPROG_H
#define NW_CONNECTION_EXTPROG_H

#include <cstdint>

#include "connection/platform/extprog_records.h"

// ---- Registry ----
// size 0 = the standard record (a larger size gives zero-filled room after
// it). name may be none. 0 or EXTPROG_STATUS_NO_MEMORY.
int externProg_createDescriptor(ExternProgDescr **descriptor, int size, int kind,
                                const char *name, intptr_t value,
                                ExternProgTerminateFunc onTerminate,
                                ExternProgReleaseFunc onRelease);
// Unlinks and frees the descriptor and its platform information without
// touching its paths or handles. 0.
int externProg_removeDescriptor(ExternProgDescr *descriptor);
// Sweeps ended programs, creates the descriptor when create != 0 and starts
// path with argv (argc entries, not counting the program) and the
// environment entries env ("name=value"). 0, or the failure of creation or
// start; on failure the descriptor is removed and *descriptor set to none.
int externProg_startSpecifiedProgram(ExternProgDescr **descriptor, int create, int size,
                                     int kind, const char *path,
                                     const char *const *argv, int argc,
                                     const char *const *env, int envCount,
                                     intptr_t value, ExternProgTerminateFunc onTerminate,
                                     ExternProgReleaseFunc onRelease);
// Forgets the program (its process is not stopped). Result of the sweep.
int externProg_terminateProgram(ExternProgDescr *descriptor);
// descriptor or none = all. 1 if some descriptor was cleaned up, else 0.
int externProg_checkTerminatedPrograms(ExternProgDescr *descriptor);
// Unlinks the descriptor, detaches all its paths, frees it.
int externProg_cleanupProgram(ExternProgDescr *descriptor);
// Waits until the program has ended; *exitStatus receives its exit code and
// the descriptor is freed. A program this client neither started nor was
// told the process id of (winNTExtProg_setProcessId) cannot be watched: the
// wait then returns at once with exit status 0. 0.
int externProg_wait(int *exitStatus, ExternProgDescr *descriptor);
ExternProgDescr *externProg_getFirst(void);
ExternProgDescr *externProg_getNext(ExternProgDescr *descriptor);

// ---- Queue paths ----
// key in/out (0 = none yet); mode EXTPROG_OPEN_EXISTING or
// EXTPROG_OPEN_CREATE. 0 or a negative status (or 1, see extprog_records.h).
int externProg_openIPCPath(IPCPath **path, int32_t *key, int mode);
// path or none = all; requester or 0 = any.
void externProg_removeIPCPath(ExternProgDescr *descriptor, IPCPath *path, uint32_t requester);
void externProg_connectIPCToProgram(IPCPath *path, ExternProgDescr *descriptor,
                                    uint32_t requester, int serviceType,
                                    IPCMessageHandler handler);
// A path with this key in any descriptor's list, or none.
IPCPath *externProg_findPathByKey(int32_t key);
// Sends size bytes (header included); raises peer's send event when given.
// ignored1 / ignored2 have no effect. 0 or a status.
int externProg_sendMessage(void *message, int size, IPCPath *path, ExternProgDescr *ignored1,
                           int ignored2, ExternProgDescr *peer);
// type 0 = any; wait 0 = look once; timeoutSeconds <= 0 = no limit (the
// limit restarts at each wake-up). *status: 0 = a message was copied, else
// EXTPROG_STATUS_NO_MESSAGE (nothing / timed out), TOO_LONG, LOCK_TIMEOUT or
// PEER_ENDED (the other side ended while the message was awaited).
int externProg_receiveMessage(int *status, void *buffer, int capacity, int type,
                              IPCPath *path, int wait, int timeoutSeconds, int ignored,
                              ExternProgCheckFunc check, void *checkArg,
                              ExternProgDescr *watched);

#endif
