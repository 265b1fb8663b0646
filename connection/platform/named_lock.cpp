// The queue lock: a robust, process-shared mutex in a shared object of its
// own, with the bookkeeping of which process holds each receiver slot.
#include "connection/platform/named_objects.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

#include "connection/platform/spin_pause.h"

namespace {
const uint32_t LOCK_READY = 0x6e774c6bu;  // set once the mutex is initialised
}

struct NamedLockData {
    pthread_mutex_t mutex;
    std::atomic<uint32_t> ready;
    int32_t creatorPid;
    int32_t removed;
    int32_t slotPids[32];
    int32_t slotCpus[32];
};

static int mapLock(NamedLock *lock, int create, const char *name)
{
    memset(lock, 0, sizeof *lock);
    int rc = create ? namedMapping_create(&lock->mapping, name, sizeof(NamedLockData))
                    : namedMapping_open(&lock->mapping, name, sizeof(NamedLockData));
    if (rc != 0)
        return rc;
    lock->data = static_cast<NamedLockData *>(lock->mapping.address);
    return 0;
}

int namedLock_create(NamedLock *lock, const char *name)
{
    int rc = mapLock(lock, 1, name);
    if (rc != 0)
        return rc;
    NamedLockData *d = lock->data;
    d->creatorPid = (int32_t)getpid();
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    rc = pthread_mutex_init(&d->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    if (rc != 0) {
        namedObject_unlink(name);
        namedLock_close(lock);
        return rc;
    }
    d->ready.store(LOCK_READY, std::memory_order_release);
    return 0;
}

int namedLock_open(NamedLock *lock, const char *name)
{
    int rc = mapLock(lock, 0, name);
    if (rc != 0)
        return rc;
    // A creator initialises the mutex right after sizing the object.
    for (int tries = 0; lock->data->ready.load(std::memory_order_acquire) != LOCK_READY; ++tries) {
        if (tries >= 2000) {
            namedLock_close(lock);
            return EAGAIN;
        }
        usleep(500);
    }
    return 0;
}

void namedLock_close(NamedLock *lock)
{
    namedMapping_close(&lock->mapping);
    lock->data = nullptr;
}

static int takeResult(NamedLock *lock, int rc)
{
    if (rc == 0)
        return LOCK_TAKEN;
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&lock->data->mutex);
        return LOCK_TAKEN_OWNER_DIED;
    }
    return -1;
}

int namedLock_take(NamedLock *lock, long timeoutMs)
{
    if (!lock->data)
        return LOCK_TIMED_OUT;
    pthread_mutex_t *m = &lock->data->mutex;
    // Critical sections are a few hundred nanoseconds; on several processors
    // retrying briefly beats sleeping in the kernel.
    if (winNTExtProg_multiProcessor()) {
        int64_t until = winNTExtProg_nowNs() + 20000;
        for (int i = 1;; ++i) {
            int r = takeResult(lock, pthread_mutex_trylock(m));
            if (r >= 0)
                return r;
            nw_spin_pause();
            if ((i & 31) == 0 && winNTExtProg_nowNs() > until)
                break;
        }
    }
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    if (timeoutMs < 0)
        timeoutMs = 0;
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += (timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        int rc = pthread_mutex_clocklock(m, CLOCK_MONOTONIC, &deadline);
        if (rc == EINTR)
            continue;
        int r = takeResult(lock, rc);
        return r >= 0 ? r : LOCK_TIMED_OUT;
    }
}

void namedLock_release(NamedLock *lock)
{
    if (lock->data)
        pthread_mutex_unlock(&lock->data->mutex);
}

int32_t *namedLock_slotPids(NamedLock *lock)
{
    return lock->data ? lock->data->slotPids : nullptr;
}

int32_t *namedLock_slotCpus(NamedLock *lock)
{
    return lock->data ? lock->data->slotCpus : nullptr;
}

int32_t namedLock_creatorPid(NamedLock *lock)
{
    return lock->data ? lock->data->creatorPid : 0;
}

int namedLock_isRemoved(NamedLock *lock)
{
    return lock->data ? lock->data->removed : 1;
}

void namedLock_markRemoved(NamedLock *lock)
{
    if (lock->data)
        lock->data->removed = 1;
}
