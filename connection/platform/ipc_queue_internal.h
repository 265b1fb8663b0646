// Helpers shared by the queue's attachment and message code.
#ifndef NW_CONNECTION_PLATFORM_IPC_QUEUE_INTERNAL_H
#define NW_CONNECTION_PLATFORM_IPC_QUEUE_INTERNAL_H

#include <cstdint>

#include "connection/platform/winnt_extprog.h"

// Whether index names one of the segment's blocks.
int validBlock(int32_t index);
// Takes the queue lock within the lock limit (a segment left half-changed by
// a holder that died is started afresh). 1 = taken, 0 = timed out.
int takeQueueLock(WinNTIPCPath *pp);
// Whether the other side of the queue is gone: some receiver was attached
// and none is alive any more. Clears dead receivers' slots on the way.
int peerEnded(WinNTIPCPath *pp);

#endif
