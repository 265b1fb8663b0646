// Distance and slope between UOR points.
#include "geometry/geometry.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct DistanceCase {
    const char *name;
    NwPoint a, b;
    int16_t dimension;
    double expected;
};

TEST(Distance, Table)
{
    const DistanceCase cases[] = {
        {"plan 3-4-5", {0, 0, 0}, {3, 4, 12}, 2, 5.0},
        {"3D 3-4-12", {0, 0, 0}, {3, 4, 12}, 3, 13.0},
        {"dimension other than 3 is plan", {0, 0, 0}, {3, 4, 12}, 0, 5.0},
        {"same point", {7, -8, 9}, {7, -8, 9}, 3, 0.0},
        {"negative coordinates", {-3, -4, 0}, {0, 0, 0}, 2, 5.0},
        // Both differences overflow 32 bits; they must not wrap.
        {"full x range", {INT32_MIN, 0, 0}, {INT32_MAX, 0, 0}, 2, 4294967295.0},
        {"full z range in 3D", {0, 0, INT32_MAX}, {0, 0, INT32_MIN}, 3, 4294967295.0},
    };
    for (const DistanceCase &c : cases)
        EXPECT_DOUBLE_EQ(distance(&c.a, &c.b, &c.dimension), c.expected) << c.name;
}

TEST(Distance, NullDimensionMeasuresInPlan)
{
    NwPoint a{0, 0, 0}, b{3, 4, 12};
    EXPECT_DOUBLE_EQ(distance(&a, &b, nullptr), 5.0);
}

struct SlopeCase {
    const char *name;
    NwPoint a, b;
    double expected;
};

TEST(Dslope, Table)
{
    const SlopeCase cases[] = {
        {"vertical", {5, 0, 0}, {5, 9, 0}, 99999.0},
        {"vertical, same point", {5, 5, 0}, {5, 5, 0}, 99999.0},
        {"horizontal", {0, 3, 0}, {10, 3, 0}, 0.0},
        {"rising", {0, 0, 0}, {4, 2, 0}, 0.5},
        {"falling, order of points irrelevant", {4, 0, 0}, {0, 2, 0}, -0.5},
        {"z ignored", {0, 0, 100}, {2, 2, -100}, 1.0},
        // 32-bit differences would wrap to dx = -1 and give a negative slope.
        {"far apart", {INT32_MIN, 0, 0}, {INT32_MAX, INT32_MAX, 0},
         2147483647.0 / 4294967295.0},
    };
    for (const SlopeCase &c : cases)
        EXPECT_DOUBLE_EQ(Dslope(&c.a, &c.b), c.expected) << c.name;
}

} // namespace
