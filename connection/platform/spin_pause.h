// One processor pause inside a busy-wait loop.
#ifndef NW_CONNECTION_PLATFORM_SPIN_PAUSE_H
#define NW_CONNECTION_PLATFORM_SPIN_PAUSE_H

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
static inline void nw_spin_pause(void) { _mm_pause(); }
#elif defined(__aarch64__)
static inline void nw_spin_pause(void) { __asm__ __volatile__("yield"); }
#else
static inline void nw_spin_pause(void) {}
#endif

#endif
