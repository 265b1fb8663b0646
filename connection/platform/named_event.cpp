// Manual-reset events: a futex word in a named shared object. Set and reset
// are atomic stores; a waiter sleeps on the word with FUTEX_WAIT and a setter
// wakes the sleepers only when some are registered.
#include "connection/platform/named_objects.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "connection/platform/spin_pause.h"

struct NamedEventWord {
    std::atomic<uint32_t> state;    // 1 = signalled
    std::atomic<uint32_t> waiters;  // processes asleep (or about to sleep) on state
};
static_assert(sizeof(std::atomic<uint32_t>) == 4, "futex word");

// Longest plain busy-wait before a waiter starts yielding the processor.
static const int64_t PAUSE_SPIN_NS = 10000;
// Most processor hand-overs of a waiter before it sleeps.
static const int MAX_YIELD_TURNS = 8;

static long futexWait(std::atomic<uint32_t> *word, uint32_t expected, const struct timespec *relative)
{
    return syscall(SYS_futex, reinterpret_cast<uint32_t *>(word), FUTEX_WAIT, expected, relative,
                   nullptr, 0);
}

static int futexWakeAll(std::atomic<uint32_t> *word)
{
    long woken = syscall(SYS_futex, reinterpret_cast<uint32_t *>(word), FUTEX_WAKE, INT_MAX,
                         nullptr, nullptr, 0);
    return woken > 0 ? (int)woken : 0;
}

int namedEvent_open(NamedEvent *event, const char *name, int create)
{
    memset(event, 0, sizeof *event);
    int rc;
    if (create) {
        rc = namedMapping_create(&event->mapping, name, sizeof(NamedEventWord));
        if (rc == EEXIST)
            rc = namedMapping_open(&event->mapping, name, sizeof(NamedEventWord));
    } else {
        rc = namedMapping_open(&event->mapping, name, sizeof(NamedEventWord));
    }
    if (rc != 0)
        return rc;
    event->word = static_cast<NamedEventWord *>(event->mapping.address);
    return 0;
}

void namedEvent_close(NamedEvent *event)
{
    namedMapping_close(&event->mapping);
    event->word = nullptr;
}

int namedEvent_isOpen(const NamedEvent *event)
{
    return event->word != nullptr;
}

void namedEvent_mark(NamedEvent *event)
{
    if (event->word)
        event->word->state.store(1, std::memory_order_seq_cst);
}

int namedEvent_wake(NamedEvent *event)
{
    if (event->word && event->word->waiters.load(std::memory_order_seq_cst) != 0)
        return futexWakeAll(&event->word->state);
    return 0;
}

void namedEvent_set(NamedEvent *event)
{
    namedEvent_mark(event);
    namedEvent_wake(event);
}

void namedEvent_reset(NamedEvent *event)
{
    if (event->word)
        event->word->state.store(0, std::memory_order_seq_cst);
}

int namedEvent_isSet(const NamedEvent *event)
{
    return event->word && event->word->state.load(std::memory_order_acquire) != 0;
}

int namedEvent_wait(NamedEvent *event, long timeoutMs, int spin)
{
    NamedEventWord *w = event->word;
    if (!w)
        return 0;
    if (w->state.load(std::memory_order_acquire) != 0)
        return 1;
    int64_t now = winNTExtProg_nowNs();
    int64_t deadline = timeoutMs < 0 ? INT64_MAX : now + (int64_t)timeoutMs * 1000000;
    if (spin != EVENT_NO_SPIN && winNTExtProg_spinNanoseconds > 0) {
        int64_t until = now + winNTExtProg_spinNanoseconds;
        if (until > deadline)
            until = deadline;
        if (spin == EVENT_SPIN && winNTExtProg_multiProcessor()) {
            // The setter most likely runs on another processor: watch the
            // word for a moment.
            int64_t pauseUntil = now + PAUSE_SPIN_NS < until ? now + PAUSE_SPIN_NS : until;
            for (int i = 1;; ++i) {
                if (w->state.load(std::memory_order_acquire) != 0)
                    return 1;
                nw_spin_pause();
                if ((i & 31) == 0 && winNTExtProg_nowNs() >= pauseUntil)
                    break;
            }
        }
        // Then give the processor away between looks: on one processor (or
        // when the scheduler put both processes on the same one) the setter
        // can only run when this process stops; a sleep on the futex would
        // cost a wake-up on top.
        // A few turns are enough for a peer that answers at once; one that
        // needs longer is better waited for asleep (each yield may hand the
        // processor to an unrelated process for a whole time slice).
        for (int turns = 0; turns < MAX_YIELD_TURNS && w->state.load(std::memory_order_acquire) == 0 &&
                            winNTExtProg_nowNs() < until;
             ++turns)
            sched_yield();
        if (w->state.load(std::memory_order_acquire) != 0)
            return 1;
    }
    w->waiters.fetch_add(1, std::memory_order_seq_cst);
    int result = 0;
    for (;;) {
        if (w->state.load(std::memory_order_seq_cst) != 0) {
            result = 1;
            break;
        }
        struct timespec rel;
        struct timespec *relp = nullptr;
        if (deadline != INT64_MAX) {
            int64_t left = deadline - winNTExtProg_nowNs();
            if (left <= 0)
                break;
            rel.tv_sec = left / 1000000000;
            rel.tv_nsec = left % 1000000000;
            relp = &rel;
        }
        futexWait(&w->state, 0, relp);
    }
    w->waiters.fetch_sub(1, std::memory_order_seq_cst);
    return result;
}
