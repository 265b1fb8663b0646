// Whole runs of nodeweld on small design files through the real server:
// what lands in the file, and what the run prints.
#include "tests/engine/engine_run_fixture.h"

namespace {

const std::string SUMMARY_HEAD = "\n\nVKR_nodeweld finishing \n";

TEST_F(EngineRun, TwoLinesMeetAtTheAverageOfTheirEnds)
{
    uint32_t a = linear(3, 5, {P(0, 0), P(1000, 0)}, 3, 2, 1);
    uint32_t b = linear(3, 6, {P(1004, 2), P(2000, 0)}, 4, 1, 0);
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(contains("\n  Modified 0 point elements in sheet.dgn\n  Modified 2 linear elements in sheet.dgn\n"));
    EXPECT_TRUE(deleted_at(a));
    EXPECT_TRUE(deleted_at(b));
    std::vector<Found> lines = of_type(3);
    ASSERT_EQ(lines.size(), 2u);
    // Rebuilt from the mended end: (1002, 1) is the average of (1000, 0) and (1004, 2).
    const DgnElement &na = lines[0].e, &nb = lines[1].e;
    EXPECT_TRUE(same_xy(na.vertices[0], P(1002, 1)));
    EXPECT_TRUE(same_xy(na.vertices[1], P(0, 0)));
    EXPECT_TRUE(same_xy(nb.vertices[0], P(1002, 1)));
    EXPECT_TRUE(same_xy(nb.vertices[1], P(2000, 0)));
    // Level and symbology of the source elements.
    EXPECT_EQ(na.level, 5);
    EXPECT_EQ(na.color, 3);
    EXPECT_EQ(na.weight, 2);
    EXPECT_EQ(na.style, 1);
    EXPECT_EQ(nb.level, 6);
    EXPECT_EQ(nb.color, 4);
}

TEST_F(EngineRun, TheServerBesideTheProgramIsFoundWithoutMsExe)
{
    withMsExe = false;
    linear(3, 5, {P(0, 0), P(1000, 0)});
    linear(3, 6, {P(1004, 2), P(2000, 0)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(contains("Modified 2 linear elements"));
}

TEST_F(EngineRun, OutputLevelSymbologyAndKeptSources)
{
    uint32_t a = linear(3, 5, {P(0, 0), P(1000, 0)});
    linear(3, 5, {P(1004, 0), P(2000, 0)});
    run({"-T", "0.001", "-L", "12", "-s", "-S", "2,5,7,3"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_FALSE(deleted_at(a));
    std::vector<Found> lines = of_type(3);
    ASSERT_EQ(lines.size(), 4u);
    const DgnElement &n = lines[2].e;
    EXPECT_EQ(n.level, 12);
    EXPECT_EQ(n.style, 2);
    EXPECT_EQ(n.weight, 5);
    EXPECT_EQ(n.color, 7);
    EXPECT_EQ(n.properties & 0xF, 3);
}

TEST_F(EngineRun, FarEndKeepsItsOwnMendedLocation)
{
    // Both ends of the middle line are mended; each piece runs between the
    // two mended locations, walked backwards where the record lies at the end.
    linear(3, 1, {P(0, 0), P(1000, 0)});
    linear(3, 1, {P(2000, 0), P(1004, 0)});   // record at (1004,0) is its last vertex
    linear(3, 1, {P(2006, 0), P(3000, 0)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<Found> lines = of_type(3);
    ASSERT_EQ(lines.size(), 3u);
    bool middle = false;
    for (const Found &f : lines)
        if ((same_xy(f.e.vertices[0], P(1002, 0)) && same_xy(f.e.vertices[1], P(2003, 0))) ||
            (same_xy(f.e.vertices[0], P(2003, 0)) && same_xy(f.e.vertices[1], P(1002, 0))))
            middle = true;
    EXPECT_TRUE(middle) << result.out;
    EXPECT_TRUE(contains("Modified 3 linear elements"));
}

TEST_F(EngineRun, LongElementsAreCutIntoPiecesThatShareVertices)
{
    // A line string of 101 vertices (100 segments) stays one line string;
    // written as curves it becomes pieces of 96 and 4 segments (97 and 5
    // vertices). A 2-vertex line written as a curve gets its truncated
    // midpoint between its ends.
    struct Case { int vertices; bool curves; std::vector<size_t> pieces; };
    std::vector<Case> cases = {{101, false, {101}}, {101, true, {97, 5}}, {2, true, {3}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.vertices) + (c.curves ? " as curves" : ""));
        start_sheet(false);
        std::vector<DgnPoint> pts;
        for (int k = 0; k < c.vertices; k++)
            pts.push_back(P(10000 + 100 * k, -(k % 2) * 50 - 3 * (k == c.vertices - 1)));
        linear(c.vertices == 2 ? 3 : 4, 2, pts);
        const DgnPoint &end = pts.back();
        linear(3, 9, {P(end.x + 4, end.y - 4), P(end.x + 1000, end.y - 1000)});
        // No intersections: the ends meet at their average.
        std::vector<std::string> args = {"-T", "0.001", "-O", "0,3,1"};
        if (c.curves)
            args.push_back("-c");
        run(args);
        ASSERT_EQ(result.exitCode, 0) << result.out;
        std::vector<Found> pieces;
        for (const Found &f : of_type(c.curves ? 11 : 4))
            if (f.e.level == 2)
                pieces.push_back(f);
        ASSERT_EQ(pieces.size(), c.pieces.size());
        for (size_t k = 0; k < c.pieces.size(); k++) {
            ASSERT_EQ(pieces[k].e.vertices.size(), c.pieces[k]);
            if (k > 0) {
                EXPECT_TRUE(same_xy(pieces[k].e.vertices.front(), pieces[k - 1].e.vertices.back()));
            }
        }
        // The first piece starts at the mended end: (end + (4,-4)) / 2.
        DgnPoint mended = P(end.x + 2, end.y - 2);
        EXPECT_TRUE(same_xy(pieces[0].e.vertices.front(), mended));
        if (c.vertices == 2) {
            // Ends (10102, -55) and (10000, 0): the midpoint truncates toward
            // zero, (10051, -27).
            EXPECT_TRUE(same_xy(pieces[0].e.vertices[1], P(10051, -27)));
        }
    }
}

TEST_F(EngineRun, CurvesLeaveTheirEndSlopePointsOut)
{
    // A curve of 10 stored vertices passes through 6; written as lines it
    // becomes one line string of 6 vertices from the mended end.
    std::vector<DgnPoint> cv;
    for (int k = 0; k < 10; k++)
        cv.push_back(P(100 * k, 10 * k * k));
    linear(11, 3, cv);
    linear(3, 3, {P(cv[7].x + 4, cv[7].y), P(5000, -5000)});
    run({"-T", "0.001", "-O", "0,3,1"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<Found> strings = of_type(4);
    ASSERT_EQ(strings.size(), 1u);
    ASSERT_EQ(strings[0].e.vertices.size(), 6u);
    EXPECT_TRUE(same_xy(strings[0].e.vertices[0], P(cv[7].x + 2, cv[7].y)));
    EXPECT_TRUE(same_xy(strings[0].e.vertices[5], cv[2]));
}

TEST_F(EngineRun, ZeroLengthLinesAreDeletedAndNotReplaced)
{
    // A 4-UOR line whose two ends fall into one group with -NS.
    uint32_t pos = linear(3, 4, {P(100, 100), P(104, 100)});
    run({"-T", "0.001", "-NS"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(deleted_at(pos));
    EXPECT_EQ(of_type(3).size(), 0u);
    EXPECT_TRUE(contains("Modified 1 linear elements"));
}

TEST_F(EngineRun, PointFeaturesMoveAndMayBeFlagged)
{
    DgnElement ell = dgn_new_ellipse(7, false, 1000, 1000, 0, 300, 200, 0);
    ell.color = 9;
    ell.weight = 3;
    uint32_t e = add(ell);
    feature(e, P(1000, 1000));
    uint32_t t = add(dgn_new_text(7, false, P(1010, 995), "A", 50, 50, 0, 0, 0));
    feature(t, P(1010, 995));
    run({"-T", "0.002", "-PF", "40,0.01"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(contains("\n  Modified 2 point elements in sheet.dgn\n  Modified 0 linear elements in sheet.dgn\n"));
    EXPECT_TRUE(contains("\n  Identified 2 mended point locations in sheet.dgn\n\n   Placed flags on level 40"));
    DgnElement moved = at(e);
    EXPECT_NEAR(moved.centre[0].value, 1005, 1e-6);
    EXPECT_NEAR(moved.centre[1].value, 997, 1e-6);
    // Flags: circles of 100 UORs on level 40 at the old locations, colors 0 and 1.
    std::vector<Found> flags;
    for (const Found &f : of_type(15))
        if (f.e.level == 40)
            flags.push_back(f);
    ASSERT_EQ(flags.size(), 2u);
    // The text comes first in the file order (lower y); each flag weighs 2
    // more than its element.
    EXPECT_EQ(flags[0].e.color, 0);
    EXPECT_EQ(flags[1].e.color, 1);
    EXPECT_NEAR(flags[0].e.primary.value, 100, 1e-6);
    EXPECT_EQ(flags[0].e.weight, 2);
    EXPECT_EQ(flags[1].e.weight, 5);
}

TEST_F(EngineRun, ComponentsAreReplacedButNeverDeleted)
{
    DgnElement hdr = dgn_new_element(12, 3, false);
    std::vector<DgnElement> comps = {vertex_element(3, 3, {P(0, 0), P(1000, 0)}),
                                     vertex_element(3, 3, {P(1000, 0), P(1000, 1000)})};
    uint32_t pos = add_complex(hdr, comps);
    uint32_t first = pos + (uint32_t)(after.data.size() * 0); // header first, components follow
    (void)first;
    // The first component lies right after the header (38 words + 4 bytes).
    int hdrBytes = 0;
    {
        std::vector<uint8_t> b = bytes;
        dgn_finish_file(&b);
        DgnFile f;
        ASSERT_TRUE(dgn_load_buffer(b.data(), b.size(), &f, &err)) << err;
        hdrBytes = (int)f.elements[dgn_find_element(&f, pos)].size;
    }
    uint32_t comp = pos + hdrBytes;
    ends(comp, P(0, 0), P(1000, 0));
    linear(3, 3, {P(-5, 0), P(-1000, 0)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_FALSE(deleted_at(comp));
    EXPECT_FALSE(deleted_at(pos));
    bool replaced = false;
    for (const Found &f : of_type(3))
        if (!f.e.complex && f.e.vertices.size() == 2 && same_xy(f.e.vertices[1], P(1000, 0)))
            replaced = true;
    EXPECT_TRUE(replaced);
}

TEST_F(EngineRun, NewElementsCarryTheSourceZRangeAndLinkagesOnce)
{
    // Parallel ends: no crossing, both ends move to their average.
    DgnElement e = vertex_element(4, 2, {P(0, 0), P(500, 0), P(1000, 0)});
    // One database linkage (entity 12, occurrence 40), twice.
    const uint8_t link[8] = {0x00, 0x00, 12, 0, 0, 0, 40, 0};
    e.linkages.assign(link, link + 8);
    e.linkages.insert(e.linkages.end(), link, link + 8);
    e.properties |= DGN_PROP_ATTRIBUTES;
    uint32_t pos = add(e);
    ends(pos, P(0, 0), P(1000, 0));
    linear(3, 2, {P(1004, 0), P(2000, 0)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(deleted_at(pos));
    std::vector<Found> strings = of_type(4);
    ASSERT_EQ(strings.size(), 1u);
    const DgnElement &n = strings[0].e;
    EXPECT_TRUE(same_xy(n.vertices[0], P(1002, 0)));
    EXPECT_EQ(n.linkages.size(), 8u);
    EXPECT_TRUE(n.properties & DGN_PROP_ATTRIBUTES);
    // The 2D z range as the source had it (-2^31 .. 2^31-1), each value
    // with bit 31 cleared: 0 .. 2^31-1.
    EXPECT_EQ(n.range[2], 0);
    EXPECT_EQ(n.range[5], 2147483647);
}

TEST_F(EngineRun, MissingPointFileAndFailedReads)
{
    linear(3, 1, {P(0, 0), P(1000, 0)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0);

    // A mended record whose position holds no element: the modification
    // pass cannot read it and ends with status 6.
    start_sheet(false);
    linear(3, 1, {P(0, 0), P(1000, 0)});
    records.push_back({1003, 0, 0, 2049, 1, 0});
    run({"-T", "0.001", "-O", "0,3,1"});
    EXPECT_EQ(result.exitCode, 6) << result.out;
    EXPECT_TRUE(contains("\nrddfpi error - element "));

    // The same record read while solving (intersections on): status 66.
    run({"-T", "0.001"});
    EXPECT_EQ(result.exitCode, 66) << result.out;

    // A linear record without its far end's record: status 99.
    start_sheet(false);
    uint32_t a = add(vertex_element(3, 1, {P(0, 0), P(1000, 0)}));
    records.push_back({0, 0, 0, (int32_t)a, 1, 0});
    linear(3, 1, {P(4, 0), P(-1000, 0)});
    run({"-T", "0.001"});
    EXPECT_EQ(result.exitCode, 99) << result.out;
    EXPECT_TRUE(contains("\nError finding end of segment location at offset["));
    EXPECT_TRUE(contains("Abnormal Exit from VKR_nodeweld"));
}

TEST_F(EngineRun, ElementsWithoutVertexRuleAreLeftAlone)
{
    // Two lines start at (4,3); the shape's vertex at (0,0) is pulled to
    // them, but a shape has no vertex rule and is left as it is.
    uint32_t shape = add(vertex_element(6, 1, {P(0, 0), P(1000, 0), P(1000, 1000), P(0, 0)}));
    feature(shape, P(0, 0));
    records.back().role = 1;
    linear(3, 1, {P(4, 3), P(-1000, 0)});
    linear(3, 1, {P(4, 3), P(-1000, 900)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_FALSE(deleted_at(shape));
    EXPECT_TRUE(contains("\nElement type 6 at offset " + std::to_string(shape) +
                         " has no vertex rule - left unchanged\n"));
}

TEST_F(EngineRun, GoldenOutputOfASmallRun)
{
    linear(3, 5, {P(0, 0), P(1000, 0)});
    linear(3, 5, {P(1004, 2), P(2000, 0)});
    linear(3, 5, {P(5000, 5000), P(6000, 5000)});
    run({"-T", "0.001", "-D", "60,0.01"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "\n\nRUNNING VKR_nodeweld (version 3.1) .....\n"
              "Copyright (c) 2026 the nodeweld developers. Free to use on your own design files.\n"
              "\nOpening dgnfilename sheet.dgn\n"
              "\nsheet.dgn has been opened\n"
              "\nInput dgnfile: sheet.dgn\nOutput level: level of origin\nDistance(UORs): 10\n"
              "\nReading point data\n"
              "\nTotal number of records input = 6\n" +
                  SUMMARY_HEAD +
                  "\n  Modified 0 point elements in sheet.dgn\n  Modified 2 linear elements in sheet.dgn\n"
                  "\n  Identified 4 dangling points in sheet.dgn\n   Placed flags on level 60\n\n");
}

} // namespace

namespace {

// Every LINESTRING that ogrinfo reports for the file's live elements.
std::vector<std::string> ogr_linestrings(const std::string &file)
{
    ProgramResult r = run_program({"/usr/bin/ogrinfo", "-ro", "-al", file});
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = r.out.find("LINESTRING (", at)) != std::string::npos) {
        size_t end = r.out.find(')', at);
        out.push_back(r.out.substr(at + 12, end - at - 12));
        at = end;
    }
    return out;
}

TEST_F(EngineRun, AnIndependentReaderSeesTheEndsMeet)
{
    if (access("/usr/bin/ogrinfo", X_OK) != 0)
        GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    linear(3, 5, {P(0, 0), P(1000, 0)});
    linear(3, 5, {P(1004, 2), P(2000, 0)});
    linear(4, 5, {P(1002, -3), P(1500, -800), P(1800, -900)});
    run({"-T", "0.001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<std::string> lines = ogr_linestrings(path("sheet.dgn"));
    ASSERT_EQ(lines.size(), 3u);
    // 10000 UORs per master unit: the average (1002, 0) of the three ends
    // is 0.1002 0.0 in master units, and every element starts there.
    for (const std::string &l : lines)
        EXPECT_EQ(l.rfind("0.1002 0.0,", 0), 0u) << l;
}

TEST_F(EngineRun, UnitsBeyondSixteenBitsKeepTheirScale)
{
    // 100000 sub-units per master unit, 1 UOR each: -T 0.0001 is 10 UORs.
    start_sheet(false, 100000, 1);
    linear(3, 5, {P(0, 0), P(1000, 0)});
    linear(3, 5, {P(1004, 0), P(2000, 0)});
    run({"-T", "0.0001"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(contains("\nDistance(UORs): 10\n"));
    EXPECT_TRUE(contains("Modified 2 linear elements"));
}

TEST_F(EngineRun, ThreeDimensionalRunsKeepElevations)
{
    start_sheet(true);
    linear(3, 5, {P(0, 0, 0), P(1000, 0, 50)});
    linear(3, 5, {P(1004, 2, 58), P(2000, 0, 0)});
    run({"-T", "0.001", "-D", "60,0.01"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    std::vector<Found> lines = of_type(3);
    ASSERT_EQ(lines.size(), 2u);
    for (const Found &l : lines) {
        EXPECT_EQ(l.e.vertices[0].x, 1002);
        EXPECT_EQ(l.e.vertices[0].y, 1);
        EXPECT_EQ(l.e.vertices[0].z, 54);
    }
    // Dangle flags at the far ends are 3D ellipses centred there.
    int flags = 0;
    for (const Found &f : of_type(15))
        if (f.e.level == 60 && std::abs(f.e.centre[0].value - 2000) < 1e-3)
            flags++;
    EXPECT_EQ(flags, 1);

    // With -z the solution lies at elevation 0.
    start_sheet(true);
    linear(3, 5, {P(0, 0, 0), P(1000, 0, 50)});
    linear(3, 5, {P(1004, 2, 58), P(2000, 0, 0)});
    run({"-T", "0.001", "-z"});
    ASSERT_EQ(result.exitCode, 0) << result.out;
    for (const Found &l : of_type(3))
        EXPECT_EQ(l.e.vertices[0].z, 0);
}

} // namespace
