// The index sort: unsigned order, companions carried along, and inputs that
// defeat a plain quicksort (long runs of equal values, sorted input).
#include "geometry/index_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace {

// Sorts a copy of values with companion = original index, then checks the
// order and that every value still sits beside its own companion.
void expect_sorted_with_companions(const std::vector<int32_t> &values, const char *name,
                                   int depth_limit = -1)
{
    std::vector<int32_t> v = values;
    std::vector<int32_t> c(values.size());
    for (size_t i = 0; i < c.size(); i++)
        c[i] = static_cast<int32_t>(i);
    int32_t right = static_cast<int32_t>(values.size()) - 1;
    if (depth_limit < 0)
        qsort_1(v.data(), 0, right, c.data());
    else
        qsort_1_limited(v.data(), 0, right, c.data(), depth_limit);

    for (size_t i = 1; i < v.size(); i++) {
        ASSERT_LE(static_cast<uint32_t>(v[i - 1]), static_cast<uint32_t>(v[i]))
            << name << " at " << i;
    }
    std::vector<bool> seen(values.size(), false);
    for (size_t i = 0; i < v.size(); i++) {
        ASSERT_GE(c[i], 0) << name;
        ASSERT_LT(static_cast<size_t>(c[i]), values.size()) << name;
        ASSERT_FALSE(seen[c[i]]) << name << ": companion " << c[i] << " twice";
        seen[c[i]] = true;
        ASSERT_EQ(v[i], values[c[i]]) << name << ": companion parted from its value at " << i;
    }
}

TEST(IndexSort, SmallCaseWithEqualValues)
{
    int32_t v[] = {5, 3, 9, 3};
    int32_t c[] = {0, 1, 2, 3};
    qsort_1(v, 0, 3, c);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 3);
    EXPECT_EQ(v[2], 5);
    EXPECT_EQ(v[3], 9);
    EXPECT_TRUE((c[0] == 1 && c[1] == 3) || (c[0] == 3 && c[1] == 1));
    EXPECT_EQ(c[2], 0);
    EXPECT_EQ(c[3], 2);
}

TEST(IndexSort, NegativeValuesSortAsLargeUnsigned)
{
    int32_t v[] = {-1, 7};
    int32_t c[] = {10, 20};
    qsort_1(v, 0, 1, c);
    EXPECT_EQ(v[0], 7);
    EXPECT_EQ(v[1], -1);
    EXPECT_EQ(c[0], 20);
    EXPECT_EQ(c[1], 10);

    int32_t w[] = {INT32_MIN, -1, 0, INT32_MAX, 1};
    int32_t d[] = {0, 1, 2, 3, 4};
    qsort_1(w, 0, 4, d);
    const int32_t want[] = {0, 1, INT32_MAX, INT32_MIN, -1};
    const int32_t want_c[] = {2, 4, 3, 0, 1};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(w[i], want[i]) << i;
        EXPECT_EQ(d[i], want_c[i]) << i;
    }
}

TEST(IndexSort, SortsOnlyTheGivenRange)
{
    int32_t v[] = {9, 4, 3, 2, 1, 0};
    int32_t c[] = {0, 1, 2, 3, 4, 5};
    qsort_1(v, 1, 4, c);
    const int32_t want[] = {9, 1, 2, 3, 4, 0};
    const int32_t want_c[] = {0, 4, 3, 2, 1, 5};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(v[i], want[i]) << i;
        EXPECT_EQ(c[i], want_c[i]) << i;
    }
}

TEST(IndexSort, EmptyAndSingleRangesAreLeftAlone)
{
    int32_t v[] = {3, 2, 1};
    int32_t c[] = {0, 1, 2};
    qsort_1(v, 1, 1, c);
    qsort_1(v, 2, 0, c);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 1);
    EXPECT_EQ(c[0], 0);
}

TEST(IndexSort, Swap)
{
    int32_t v[] = {1, 2, 3};
    swap(v, 0, 2);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[2], 1);
    swap(v, 1, 1);
    EXPECT_EQ(v[1], 2);
}

struct Shape {
    const char *name;
    std::function<int32_t(int32_t i, int32_t n, std::mt19937 &rng)> value;
};

// Inputs of 100,000 values: each of these sends the textbook quicksort into
// quadratic time or one recursion level per element.
TEST(IndexSort, LargeInputsOfEveryShape)
{
    const int32_t n = 100000;
    const Shape shapes[] = {
        {"all equal", [](int32_t, int32_t, std::mt19937 &) { return 4096; }},
        {"all equal negative", [](int32_t, int32_t, std::mt19937 &) { return -7; }},
        {"ascending", [](int32_t i, int32_t, std::mt19937 &) { return i; }},
        {"descending", [](int32_t i, int32_t n, std::mt19937 &) { return n - i; }},
        {"organ pipe",
         [](int32_t i, int32_t n, std::mt19937 &) { return i < n / 2 ? i : n - i; }},
        {"two values", [](int32_t i, int32_t, std::mt19937 &) { return i % 2 ? 1 : -1; }},
        {"few distinct", [](int32_t, int32_t, std::mt19937 &r) {
             return static_cast<int32_t>(r() % 5) * 512; }},
        {"random full range",
         [](int32_t, int32_t, std::mt19937 &r) { return static_cast<int32_t>(r()); }},
        {"ascending with one stranger",
         [](int32_t i, int32_t n, std::mt19937 &) { return i == n - 1 ? 0 : i + 1; }},
    };
    for (const Shape &s : shapes) {
        std::mt19937 rng(12345);
        std::vector<int32_t> values(n);
        for (int32_t i = 0; i < n; i++)
            values[i] = s.value(i, n, rng);
        expect_sorted_with_companions(values, s.name);
    }
}

// The heapsort that takes over from degraded partitioning, reached directly.
TEST(IndexSort, HeapsortFallback)
{
    std::mt19937 rng(99);
    for (int32_t n : {17, 18, 100, 1001}) {
        std::vector<int32_t> random(n), equal(n, 3), descending(n);
        for (int32_t i = 0; i < n; i++) {
            random[i] = static_cast<int32_t>(rng() % 50) - 25;
            descending[i] = n - i;
        }
        for (int depth : {0, 1}) {
            expect_sorted_with_companions(random, "random", depth);
            expect_sorted_with_companions(equal, "equal", depth);
            expect_sorted_with_companions(descending, "descending", depth);
        }
    }
}

} // namespace
