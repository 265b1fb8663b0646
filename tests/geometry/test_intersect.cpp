// Line intersection: crossing position statuses, parallel statuses, the
// parallel midpoint, rounding and the trace lines.
#include "geometry/geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

struct IntersectCase {
    const char *name;
    NwPoint P1, P2, Q1, Q2;
    NwPoint2d ip;
    int16_t status;
};

const IntersectCase kCases[] = {
    // Crossings.
    {"crossing on a horizontal and a vertical segment counts as outside",
     {0, 0, 0}, {10, 0, 0}, {5, -5, 0}, {5, 5, 0}, {5, 0}, 22},
    {"diagonals cross inside both", {0, 0, 0}, {10, 10, 0}, {0, 10, 0}, {10, 0, 0}, {5, 5}, 11},
    {"shared end point", {0, 0, 0}, {10, 10, 0}, {10, 10, 0}, {20, 0, 0}, {10, 10}, 0},
    {"end of first, inside second", {0, 0, 0}, {5, 5, 0}, {0, 10, 0}, {10, 0, 0}, {5, 5}, 10},
    {"inside first, outside second", {0, 0, 0}, {10, 10, 0}, {0, 10, 0}, {2, 8, 0}, {5, 5}, 21},
    {"outside first, end of second", {0, 0, 0}, {2, 2, 0}, {5, 5, 0}, {10, 0, 0}, {5, 5}, 2},
    {"z is ignored", {0, 0, 7}, {10, 10, -7}, {0, 10, 3}, {10, 0, 99}, {5, 5}, 11},
    // Rounding half away from zero.
    {"x of -2.5 becomes -3", {0, 0, 0}, {1, 2, 0}, {0, -10, 0}, {1, -12, 0}, {-3, -5}, 22},
    {"x of 2.5 becomes 3", {0, 0, 0}, {1, 2, 0}, {0, 10, 0}, {1, 8, 0}, {3, 5}, 22},
    {"first line vertical, y of -2.5 becomes -3",
     {1, -10, 0}, {1, 10, 0}, {0, -4, 0}, {2, -1, 0}, {1, -3}, 12},
    {"second line vertical, y of -2.5 becomes -3",
     {0, -4, 0}, {2, -1, 0}, {1, -10, 0}, {1, 10, 0}, {1, -3}, 21},
    // Coordinate differences that wrap in 32 bits.
    {"far-apart diagonals", {-2000000000, -2000000000, 0}, {2000000000, 2000000000, 0},
     {-2000000000, 2000000000, 0}, {2000000000, -2000000000, 0}, {0, 0}, 11},
    // A crossing beyond the 32-bit range is clamped, not wrapped.
    {"crossing beyond the coordinate range", {0, 0, 0}, {10, 0, 0}, {0, 10, 0},
     {2000000000, 11, 0}, {INT32_MIN, 0}, 22},

    // Parallel lines: midpoint of the closest end points.
    {"parallel, apart; 2.5 rounds to 3", {0, 0, 0}, {10, 0, 0}, {0, 5, 0}, {10, 5, 0}, {0, 3}, -1},
    {"parallel, apart; equally close pairs keep the first",
     {0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {0, 5, 0}, {0, 3}, -1},
    {"parallel, same line", {0, 0, 0}, {10, 10, 0}, {20, 20, 0}, {30, 30, 0}, {15, 15}, -11},
    {"parallel, nearly the same line", {0, 1000, 0}, {1000, 2000, 0}, {0, 1001, 0},
     {1000, 2001, 0}, {0, 1001}, -21},
    {"nearly parallel, apart", {0, 0, 0}, {2000, 2001, 0}, {0, 100, 0}, {1000, 1100, 0},
     {0, 50}, -2},
    {"nearly parallel, same intercept", {0, 1000, 0}, {2000, 3001, 0}, {0, 1000, 0},
     {1000, 2000, 0}, {0, 1000}, -12},
    {"nearly parallel, nearly the same intercept", {0, 1000, 0}, {2000, 3001, 0},
     {0, 1001, 0}, {1000, 2001, 0}, {0, 1001}, -22},
    // Two vertical lines are told apart by their x positions.
    {"vertical lines apart", {0, 0, 0}, {0, 10, 0}, {5, 0, 0}, {5, 10, 0}, {3, 0}, -1},
    {"vertical lines on one line", {0, 0, 0}, {0, 10, 0}, {0, 20, 0}, {0, 30, 0}, {0, 15}, -11},
};

TEST(Intersect, Table)
{
    const int16_t debug = 0;
    for (const IntersectCase &c : kCases) {
        NwPoint2d ip{12345, 12345};
        int16_t status = 999;
        intersect(&c.P1, &c.P2, &c.Q1, &c.Q2, &ip, &status, &debug);
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(ip.x, c.ip.x) << c.name;
        EXPECT_EQ(ip.y, c.ip.y) << c.name;
    }
}

TEST(Intersect, SwappingTheLinesSwapsTheStatusDigits)
{
    const int16_t debug = 0;
    for (const IntersectCase &c : kCases) {
        if (c.status < 0)
            continue;
        NwPoint2d ip{0, 0};
        int16_t status = 0;
        intersect(&c.Q1, &c.Q2, &c.P1, &c.P2, &ip, &status, &debug);
        EXPECT_EQ(status, (c.status % 10) * 10 + c.status / 10) << c.name;
    }
}

TEST(Intersect, TracePrintsSlopesInterceptsAndResult)
{
    NwPoint P1{0, 0, 0}, P2{10, 10, 0}, Q1{0, 10, 0}, Q2{10, 0, 0};
    NwPoint2d ip{0, 0};
    int16_t status = 0;
    int16_t debug = 1;
    testing::internal::CaptureStdout();
    intersect(&P1, &P2, &Q1, &Q2, &ip, &status, &debug);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\nsl_1=1.000000 - sl_2=-1.000000"
                   "\na_1=0.000000 - a_2=10.000000"
                   "\nint_status=11\nt.x=5.000000 t.y=5.000000\ni.x=5 i.y=5");
}

TEST(Intersect, TraceOfParallelLinesShowsTheMidpoint)
{
    NwPoint P1{0, 0, 0}, P2{10, 0, 0}, Q1{0, 5, 0}, Q2{10, 5, 0};
    NwPoint2d ip{0, 0};
    int16_t status = 0;
    int16_t debug = 2;
    testing::internal::CaptureStdout();
    intersect(&P1, &P2, &Q1, &Q2, &ip, &status, &debug);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\nsl_1=-0.000000 - sl_2=-0.000000"
                   "\na_1=0.000000 - a_2=5.000000"
                   "\nint_status=-1\nt.x=0.000000 t.y=2.500000\ni.x=0 i.y=3");
}

TEST(Intersect, SilentWithoutDebug)
{
    NwPoint P1{0, 0, 0}, P2{10, 10, 0}, Q1{0, 10, 0}, Q2{10, 0, 0};
    NwPoint2d ip{0, 0};
    int16_t status = 0;
    int16_t debug = 0;
    testing::internal::CaptureStdout();
    intersect(&P1, &P2, &Q1, &Q2, &ip, &status, &debug);
    intersect(&P1, &P2, &Q1, &Q2, &ip, &status, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

} // namespace
