// Named kernel objects on POSIX: shared mappings (shm_open/mmap), a robust
// process-shared lock living in its own shared object, and manual-reset events
// made of a futex word in shared memory. Every name is created with mode 0600.
#ifndef NW_CONNECTION_PLATFORM_NAMED_OBJECTS_H
#define NW_CONNECTION_PLATFORM_NAMED_OBJECTS_H

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

enum { NAMED_OBJECT_NAME_BYTES = 48 };

// A mapped shared object.
struct NamedMapping {
    void *address;              // none while not mapped
    size_t size;
    int created;                // this handle created the name
    char name[NAMED_OBJECT_NAME_BYTES];  // without the leading '/'
};

// Creates (exclusive) or opens the object and maps size bytes read-write.
// Returns 0, EEXIST (create: name taken), ENOENT (open: absent) or another
// errno value.
int namedMapping_create(NamedMapping *mapping, const char *name, size_t size);
int namedMapping_open(NamedMapping *mapping, const char *name, size_t size);
void namedMapping_close(NamedMapping *mapping);
// Removes a name (ENOENT ignored).
void namedObject_unlink(const char *name);

// ---- Lock ----
struct NamedLockData;
struct NamedLock {
    NamedMapping mapping;
    NamedLockData *data;
};
// LOCK_TAKEN_OWNER_DIED: taken over from a holder that died; the guarded
// data may be half-changed.
enum { LOCK_TAKEN = 0, LOCK_TIMED_OUT = 1, LOCK_TAKEN_OWNER_DIED = 2 };
// Creates the lock object (exclusive: EEXIST when the name is taken) or opens
// an existing one (ENOENT when absent). 0 or an errno value.
int namedLock_create(NamedLock *lock, const char *name);
int namedLock_open(NamedLock *lock, const char *name);
void namedLock_close(NamedLock *lock);
// Takes the lock within timeoutMs; a lock whose holder died is taken over.
int namedLock_take(NamedLock *lock, long timeoutMs);
void namedLock_release(NamedLock *lock);
// Bookkeeping kept beside the mutex (not part of the queue segment): the
// process id attached in each receiver slot, the creator, a removed mark and
// the counter of exchange tags. Touched only while the lock is held, except
// for the racy reads of the liveness checks.
int32_t *namedLock_slotPids(NamedLock *lock);
int32_t namedLock_creatorPid(NamedLock *lock);
// Processor on which the receiver of each slot last started a wait or a
// send (-1 = unknown); tells a waiter whether spinning could starve its peer.
int32_t *namedLock_slotCpus(NamedLock *lock);
int namedLock_isRemoved(NamedLock *lock);
void namedLock_markRemoved(NamedLock *lock);

// ---- Manual-reset event ----
struct NamedEventWord;
struct NamedEvent {
    NamedMapping mapping;
    NamedEventWord *word;       // none while closed
};
// create != 0: create when absent (open otherwise). 0 or an errno value.
int namedEvent_open(NamedEvent *event, const char *name, int create);
void namedEvent_close(NamedEvent *event);
int namedEvent_isOpen(const NamedEvent *event);
// Sets the event and wakes its sleepers.
void namedEvent_set(NamedEvent *event);
// The two halves of set: mark the event signalled (under the queue lock),
// then wake the sleepers once the lock is released, so that a woken process
// does not run straight into the lock its waker still holds. A sleeper
// cannot miss the wake: it sleeps only while the word still says "not set".
void namedEvent_mark(NamedEvent *event);
// namedEvent_wake returns the number of sleepers woken.
int namedEvent_wake(NamedEvent *event);
void namedEvent_reset(NamedEvent *event);
int namedEvent_isSet(const NamedEvent *event);
// Waits until set or timeoutMs passes (< 0 = no limit); 1 = set, 0 = timed
// out. A peer's answer usually comes sooner than a sleeping process wakes, so
// before sleeping the waiter looks at the word for up to
// winNTExtProg_spinNanoseconds: EVENT_SPIN busy-waits a few microseconds
// (only when this process may run on several processors) and then yields the
// processor between looks; EVENT_SPIN_YIELD only yields (the setter shares
// this processor and cannot run while this process spins); EVENT_NO_SPIN
// sleeps at once.
enum { EVENT_NO_SPIN = 0, EVENT_SPIN = 1, EVENT_SPIN_YIELD = 2 };
int namedEvent_wait(NamedEvent *event, long timeoutMs, int spin);

// Internal settings. The product's values are 5000 ms for the lock and 1000
// ms per second of a receive time limit; tests shorten them.
extern long winNTExtProg_lockTimeoutMs;
extern long winNTExtProg_msPerTimeoutSecond;
// Longest time a waiter spins before sleeping (0 = never spin).
extern long winNTExtProg_spinNanoseconds;
// Whether this process may run on more than one processor (spinning is
// useless on one); re-evaluated by winNTExtProg_refreshProcessorCount.
int winNTExtProg_multiProcessor(void);
void winNTExtProg_refreshProcessorCount(void);
// Monotonic clock in nanoseconds.
int64_t winNTExtProg_nowNs(void);

#endif
