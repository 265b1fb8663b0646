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
void namedEvent_set(NamedEvent *event);
void namedEvent_reset(NamedEvent *event);
int namedEvent_isSet(const NamedEvent *event);
// Waits until set or timeoutMs passes (< 0 = no limit). With spin != 0, and
// when this process may run on more than one processor, looks at the word for
// a few microseconds before sleeping (a peer's answer usually comes sooner
// than a sleeping process wakes). 1 = set, 0 = timed out.
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
