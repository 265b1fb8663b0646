/* index_sort.h - sort of 32-bit values carrying a companion array along. */
#ifndef NW_GEOMETRY_INDEX_SORT_H
#define NW_GEOMETRY_INDEX_SORT_H

#include <cstdint>

/* Sorts values[left..right] (both included) ascending, comparing the values
 * as unsigned 32-bit numbers (so negative values come after all others), and
 * applies the same reordering to companion[left..right].  Not stable.
 * O(n log n) for every input, including long runs of equal values, with
 * recursion depth bounded by log2(n). */
void qsort_1(int32_t *values, int32_t left, int32_t right, int32_t *companion);

/* qsort_1 with an explicit limit on quicksort partition rounds before the
 * heapsort takes over (qsort_1 uses twice log2 of the range length); lets
 * tests reach the heapsort directly. */
void qsort_1_limited(int32_t *values, int32_t left, int32_t right, int32_t *companion,
                     int depth_limit);

/* Exchanges array[i] and array[j]. */
void swap(int32_t *array, int32_t i, int32_t j);

#endif
