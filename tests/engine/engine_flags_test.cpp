// Problem flags and level moves of whole runs: each kind's level, axes,
// symbology and rotation as they land in the design file.
#include "tests/engine/engine_run_fixture.h"

#include <cmath>

namespace {

class FlagRun : public EngineRun {
protected:
    std::vector<DgnElement> flags_on(int level)
    {
        std::vector<DgnElement> out;
        for (const Found &f : of_type(15))
            if (f.e.level == level)
                out.push_back(f.e);
        return out;
    }
    // A cell of two short lines with its origin at o.
    uint32_t cell(int level, DgnPoint o)
    {
        DgnElement hdr = dgn_new_element(2, level, false);
        hdr.origin = o;
        hdr.level_mask[0] = (uint16_t)(1u << ((level - 1) % 16));
        std::vector<DgnElement> comps = {vertex_element(3, level, {P(o.x - 10, o.y), P(o.x + 10, o.y)}),
                                         vertex_element(3, level, {P(o.x, o.y - 10), P(o.x, o.y + 10)})};
        return add_complex(hdr, comps);
    }
};

struct Look {
    int color, style, weight, elclass;
    double rotation, primary, secondary;
};

void expect_look(const DgnElement &f, const Look &l)
{
    EXPECT_EQ(f.color, l.color);
    EXPECT_EQ(f.style, l.style);
    EXPECT_EQ(f.weight, l.weight);
    EXPECT_EQ(f.properties & 0xF, l.elclass);
    EXPECT_NEAR(f.orientation.rotation / 360000.0, l.rotation, 1e-3);
    EXPECT_NEAR(f.primary.value, l.primary, 1e-3);
    EXPECT_NEAR(f.secondary.value, l.secondary, 1e-3);
}

TEST_F(FlagRun, DanglesAndFloaters)
{
    DgnElement line = vertex_element(3, 4, {P(0, 0), P(5000, 0)}, 7, 2, 3);
    line.properties = (line.properties & ~0xF) | 2;
    uint32_t l = add(line);
    ends(l, P(0, 0), P(5000, 0));
    uint32_t c = cell(6, P(9000, 9000));
    feature(c, P(9000, 9000));
    run({"-T", "0.001", "-D", "60,0.01", "-Pf", "61,0.02"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> dangles = flags_on(60);
    ASSERT_EQ(dangles.size(), 3u);  // both line ends and the cell
    expect_look(dangles[0], {7, 3, 6, 2, 0.0, 66.7, 100});
    std::vector<DgnElement> floaters = flags_on(61);
    ASSERT_EQ(floaters.size(), 1u);
    EXPECT_EQ(floaters[0].style, 1);
    EXPECT_NEAR(floaters[0].primary.value, 200, 1e-3);
    EXPECT_NEAR(floaters[0].secondary.value, 160, 1e-3);
    EXPECT_NEAR(floaters[0].centre[0].value, 9000, 1e-6);
    EXPECT_TRUE(contains("\n  Identified 3 dangling points in sheet.dgn\n   Placed flags on level 60\n\n"));
    EXPECT_TRUE(contains("\n  Identified 1 floating points in sheet.dgn\n\n   Placed flags on level 61"));
}

TEST_F(FlagRun, DuplicateLinesAreFlaggedAndMoved)
{
    uint32_t a = linear(3, 5, {P(0, 0), P(3000, 0)}, 2, 1, 0);
    uint32_t b = linear(3, 5, {P(0, 0), P(3000, 0)}, 2, 1, 0);
    run({"-T", "0.001", "-LMM", "20,1", "-NL"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(20);
    ASSERT_EQ(f.size(), 1u);
    expect_look(f[0], {20, 0, 2, 0, 120.0, 10000, 3300});
    EXPECT_EQ(at(a).level, 5);
    EXPECT_EQ(at(b).level, 20);
    EXPECT_TRUE(contains("\n  Identified 1 MULTIPLE linear locations in sheet.dgn\n   Placed flags on level 20\n"
                         "\n  Moved 1 MULTIPLE linear features in sheet.dgn to level 20\n"));

}

TEST_F(FlagRun, ClosedLoopsGetHeavyWhiteFlags)
{
    linear(4, 3, {P(0, 0), P(1000, 0), P(1000, 1000), P(0, 0)});
    run({"-T", "0.001", "-LM", "22,1"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(22);
    ASSERT_EQ(f.size(), 1u);
    expect_look(f[0], {0, 0, 10, 0, 0.0, 10000, 3300});
    EXPECT_TRUE(contains("\n  Identified 1 POTENTIAL ZERO LENGTH, CLOSED LOOP, OR DOUBLE-BACK LINES with heavy "
                         "white flags on level 22\n"));

    start_sheet(false);
    linear(4, 3, {P(0, 0), P(1000, 0), P(1000, 1000), P(0, 0)});
    run({"-T", "0.001", "-LM", "22,1", "-No"});
    EXPECT_TRUE(flags_on(22).empty());
    EXPECT_FALSE(contains("POTENTIAL ZERO LENGTH"));
}

TEST_F(FlagRun, DuplicateCellsAreFlaggedAndTheSecondMovedWithItsComponents)
{
    uint32_t c1 = cell(4, P(500, 500));
    uint32_t c2 = cell(4, P(500, 500));
    feature(c1, P(500, 500));
    feature(c2, P(500, 500));
    run({"-PMM", "30,1"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(30);
    ASSERT_EQ(f.size(), 2u);
    expect_look(f[0], {3, 0, 2, 0, 45.0, 10000, 5000});
    EXPECT_EQ(at(c1).level, 4);
    DgnElement moved = at(c2);
    EXPECT_EQ(moved.level, 30);
    // Level 30 is bit 13 of the second mask word.
    EXPECT_EQ(moved.level_mask[0], 0);
    EXPECT_EQ(moved.level_mask[1], 0x2000);
    // Both components follow their header; the element after them does not.
    int moved_components = 0;
    for (const Found &e : elements())
        if (e.e.complex && e.pos > c2 && e.e.level == 30)
            moved_components++;
    EXPECT_EQ(moved_components, 2);
    EXPECT_TRUE(contains("\n  Identified 2 MULTIPLE POINT locations in sheet.dgn\n   Placed flags on level 30\n"
                         "\n  Moved 1 MULTIPLE POINT features in sheet.dgn to level 30\n"));
}

TEST_F(FlagRun, SingletonsOfPointsAndLines)
{
    uint32_t c = cell(4, P(500, 500));
    feature(c, P(500, 500));
    linear(3, 6, {P(3000, 0), P(6000, 0)}, 9, 1, 0);
    run({"-PSM", "31,1", "-LS", "32,1"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> sp = flags_on(31);
    ASSERT_EQ(sp.size(), 1u);
    expect_look(sp[0], {2, 1, 1, 0, 202.5, 10000, 5000});
    EXPECT_EQ(at(c).level, 31);
    std::vector<DgnElement> sl = flags_on(32);
    ASSERT_EQ(sl.size(), 2u);
    expect_look(sl[0], {1, 1, 1, 0, 112.5, 10000, 3300});
}

TEST_F(FlagRun, InconsistentDirections)
{
    // Four line ends at one node, three starting there and one ending. The
    // other ends lie outside the node's y window: every end seen in the
    // window counts, also those too far away to join the group.
    linear(3, 1, {P(0, 0), P(1000, 500)});
    linear(3, 1, {P(0, 0), P(0, 1000)});
    linear(3, 1, {P(0, 0), P(-1000, 800)});
    linear(3, 1, {P(0, -1000), P(0, 0)});
    run({"-T", "0.001", "-C", "33,0.01"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(33);
    ASSERT_EQ(f.size(), 1u);
    expect_look(f[0], {6, 4, 3, 0, 0.0, 100, 100});
    EXPECT_TRUE(contains("\n  Identified 1 inconsistent direction lines with flags on level 33\n"));

    // Three ends (odd): no flag.
    start_sheet(false);
    linear(3, 1, {P(0, 0), P(1000, 500)});
    linear(3, 1, {P(0, 0), P(0, 1000)});
    linear(3, 1, {P(0, -1000), P(0, 0)});
    run({"-T", "0.001", "-C", "33,0.01"});
    EXPECT_TRUE(flags_on(33).empty());
}

TEST_F(FlagRun, DirectionCountsTakeInFarEndsOfTheSameRow)
{
    // Every line end inside the node's y window counts, also those far
    // along x that cannot join the group: here the node has three starts
    // and one end, and a line far along the same row adds one of each, so
    // six ends with four starts give a flag.
    linear(3, 1, {P(0, 0), P(0, 3000)});
    linear(3, 1, {P(0, 0), P(0, 1000)});
    linear(3, 1, {P(0, 0), P(0, -1000)});
    linear(3, 1, {P(0, -2000), P(0, 0)});
    linear(3, 1, {P(7000, 0), P(9000, 0)});
    run({"-T", "0.001", "-C", "33,0.01"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(33);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NEAR(f[0].centre[0].value, 0, 1e-6);
    EXPECT_NEAR(f[0].centre[1].value, 0, 1e-6);
}

TEST_F(FlagRun, ClosePointsInFlagOnlyMode)
{
    // Three ends A, B, C within the tolerance: B gets 5 and A 4, then C
    // gets 5 and B 4. Nothing is mended.
    linear(3, 2, {P(0, 0), P(-1000, 0)}, 8, 3, 1);
    linear(3, 2, {P(3, 0), P(3, 1000)}, 8, 3, 1);
    linear(3, 2, {P(6, 0), P(1000, -1000)}, 8, 3, 1);
    run({"-T", "0.001", "-f", "40,0.01"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(40);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].color, 5);
    EXPECT_NEAR(f[0].centre[0].value, 3, 1e-6);
    EXPECT_EQ(f[1].color, 4);
    EXPECT_NEAR(f[1].centre[0].value, 0, 1e-6);
    EXPECT_EQ(f[2].color, 5);
    EXPECT_NEAR(f[2].centre[0].value, 6, 1e-6);
    EXPECT_EQ(f[3].color, 4);
    EXPECT_EQ(f[0].weight, 5);
    EXPECT_EQ(f[0].style, 1);
    EXPECT_TRUE(contains("\n No elements modified in sheet.dgn\n"));
    EXPECT_TRUE(contains("\n  Identified 4 questionable points in sheet.dgn\n   Placed flags on level 40\n\n"));
    EXPECT_EQ(of_type(3).size(), 3u);
}

TEST_F(FlagRun, UnsolvedGroupsAreFlaggedOrCounted)
{
    // Intersections only, and the two ends lie on parallel lines.
    linear(3, 2, {P(0, 0), P(-1000, 0)}, 8, 3, 1);
    linear(3, 2, {P(4, 0), P(1000, 0)}, 8, 3, 1);
    run({"-T", "0.001", "-O", "3,0,0", "-NP", "9,41,1"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<DgnElement> f = flags_on(41);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].color, 3);
    EXPECT_EQ(f[0].style, 2);
    EXPECT_EQ(f[0].weight, 5);
    EXPECT_TRUE(contains("\n  Identified 1 questionable points NOT solved sheet.dgn\n   Placed flags on level 41\n\n"));

    start_sheet(false);
    linear(3, 2, {P(0, 0), P(-1000, 0)});
    linear(3, 2, {P(4, 0), P(1000, 0)});
    run({"-T", "0.001", "-O", "3,0,0"});
    EXPECT_TRUE(contains("\n  Found 1 questionable points NOT solved sheet.dgn\n   NO FLAGS placed\n\n"));
}

TEST_F(FlagRun, IntersectionSolutionMeetsAtTheCrossing)
{
    // Two lines whose extensions cross 3 UORs beyond one end.
    linear(3, 1, {P(-1000, 0), P(-3, 0)});
    linear(3, 1, {P(0, -5), P(0, -1000)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<Found> lines = of_type(3);
    ASSERT_EQ(lines.size(), 2u);
    for (const Found &l : lines)
        EXPECT_TRUE(same_xy(l.e.vertices[0], P(0, 0)));
}

} // namespace
