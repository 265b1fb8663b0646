/* index_sort.cpp - unsigned sort of 32-bit values with a companion array.
 *
 * Introsort: median-of-three quicksort with a three-way partition (runs of
 * equal values, common among element positions, cost one pass), recursion
 * only into the smaller side, heapsort once the partitions degrade, and
 * insertion sort for short ranges. */
#include "geometry/index_sort.h"

#include <cstddef>

namespace {

using Index = std::ptrdiff_t;

const Index kShortRange = 16;

struct Pair {
    int32_t *values;
    int32_t *companion;

    uint32_t key(Index i) const { return static_cast<uint32_t>(values[i]); }

    void exchange(Index i, Index j) const
    {
        int32_t t = values[i];
        values[i] = values[j];
        values[j] = t;
        t = companion[i];
        companion[i] = companion[j];
        companion[j] = t;
    }
};

void insertion_sort(const Pair &p, Index left, Index right)
{
    for (Index i = left + 1; i <= right; i++)
        for (Index j = i; j > left && p.key(j - 1) > p.key(j); j--)
            p.exchange(j - 1, j);
}

/* Max-heap over [base, base + n), node k at base + k. */
void sift_down(const Pair &p, Index base, Index k, Index n)
{
    for (;;) {
        Index child = 2 * k + 1;
        if (child >= n)
            return;
        if (child + 1 < n && p.key(base + child + 1) > p.key(base + child))
            child++;
        if (p.key(base + k) >= p.key(base + child))
            return;
        p.exchange(base + k, base + child);
        k = child;
    }
}

void heap_sort(const Pair &p, Index left, Index right)
{
    Index n = right - left + 1;
    for (Index k = n / 2 - 1; k >= 0; k--)
        sift_down(p, left, k, n);
    for (Index end = n - 1; end > 0; end--) {
        p.exchange(left, left + end);
        sift_down(p, left, 0, end);
    }
}

void sort_range(const Pair &p, Index left, Index right, int depth)
{
    while (right - left > kShortRange) {
        if (depth == 0) {
            heap_sort(p, left, right);
            return;
        }
        depth--;

        /* Median of three as the pivot. */
        Index mid = left + (right - left) / 2;
        if (p.key(mid) < p.key(left))
            p.exchange(mid, left);
        if (p.key(right) < p.key(left))
            p.exchange(right, left);
        if (p.key(right) < p.key(mid))
            p.exchange(right, mid);
        uint32_t pivot = p.key(mid);

        /* [left, lt) below the pivot, [lt, i) equal, (gt, right] above. */
        Index lt = left, i = left, gt = right;
        while (i <= gt) {
            uint32_t k = p.key(i);
            if (k < pivot)
                p.exchange(lt++, i++);
            else if (k > pivot)
                p.exchange(i, gt--);
            else
                i++;
        }

        /* Recurse into the smaller side, loop on the larger. */
        if (lt - left < right - gt) {
            sort_range(p, left, lt - 1, depth);
            left = gt + 1;
        } else {
            sort_range(p, gt + 1, right, depth);
            right = lt - 1;
        }
    }
    insertion_sort(p, left, right);
}

} // namespace

void swap(int32_t *array, int32_t i, int32_t j)
{
    int32_t t = array[i];
    array[i] = array[j];
    array[j] = t;
}

void qsort_1_limited(int32_t *values, int32_t left, int32_t right, int32_t *companion,
                     int depth_limit)
{
    if (left >= right)
        return;
    sort_range(Pair{values, companion}, left, right, depth_limit < 0 ? 0 : depth_limit);
}

void qsort_1(int32_t *values, int32_t left, int32_t right, int32_t *companion)
{
    if (left >= right)
        return;
    Index n = static_cast<Index>(right) - left + 1;
    int depth = 0;
    for (Index m = n; m > 1; m /= 2)
        depth += 2;
    qsort_1_limited(values, left, right, companion, depth);
}
