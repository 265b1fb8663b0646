// Grouping and solutions on point records alone. The records here carry no
// design-file position (offset 0 or less), so no element is ever read and
// the walk can run without a server; what a run does to real files is
// tested end to end elsewhere.
#include "engine/point_input.h"
#include "engine/run_context.h"
#include "engine/run_steps.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Rec {
    int32_t x, y, z;
    int32_t offset;
    uint8_t role;
    uint8_t weight;
};

// A run over the given records (already in file order).
struct Fixture {
    RunOptions o;
    RunState st{};
    std::unique_ptr<GroupState> g{new GroupState()};
    Run r{};
    std::vector<NwPoint> pts, modpts;
    std::vector<int32_t> offset, offsetPtr, offsetVal;
    std::vector<uint8_t> modif, PtVal, weight;
    std::string out;
    int status = 0;

    explicit Fixture(int dimension = 2)
    {
        init_run_options(&o);
        st.dimension = (int16_t)dimension;
    }

    void run(const std::vector<Rec> &recs, double tolerance)
    {
        size_t n = recs.size();
        pts.resize(n);
        modpts.assign(n, NwPoint{0, 0, 0});
        offset.resize(n);
        offsetPtr.resize(n);
        offsetVal.resize(n);
        modif.assign(n, 0);
        PtVal.resize(n);
        weight.resize(n);
        for (size_t i = 0; i < n; i++) {
            pts[i] = {recs[i].x, recs[i].y, st.dimension == 3 ? recs[i].z : 0};
            offset[i] = recs[i].offset;
            PtVal[i] = recs[i].role;
            weight[i] = recs[i].weight;
            offsetPtr[i] = (int32_t)i;
            offsetVal[i] = offset[i];
        }
        st.maxverts = (int32_t)n;
        st.last = (int32_t)n - 1;
        st.pts = pts.data();
        st.modpts = modpts.data();
        st.offset = offset.data();
        st.offsetPtr = o.partnerChecks ? offsetPtr.data() : nullptr;
        st.offsetVal = o.partnerChecks ? offsetVal.data() : nullptr;
        st.modif = modif.data();
        st.PtVal = PtVal.data();
        st.weight = weight.data();
        st.sizes.tolerance = tolerance;
        if (o.partnerChecks && n > 0)
            qsort_1_sorted();
        r.opts = &o;
        r.st = &st;
        r.g = g.get();
        r.placePair = gg_pair(2, 0);
        testing::internal::CaptureStdout();
        status = group_points(r);
        out = testing::internal::GetCapturedStdout();
    }

    void qsort_1_sorted();

    bool moved(size_t i) const { return modif[i] == 1; }
    NwPoint to(size_t i) const { return modpts[i]; }
};

} // namespace

#include "geometry/index_sort.h"
void Fixture::qsort_1_sorted() { qsort_1(offsetVal.data(), 0, st.last, offsetPtr.data()); }

namespace {

void expect_at(const NwPoint &p, int32_t x, int32_t y, int32_t z = 0)
{
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.z, z);
}

TEST(Solutions, ModalLocationWins)
{
    Fixture f;
    f.run({{0, 0, 0, -1, 1, 0}, {0, 0, 0, -2, 1, 0}, {0, 0, 0, -3, 1, 0}, {4, 0, 0, -4, 1, 0}}, 5);
    ASSERT_EQ(f.status, 0);
    EXPECT_FALSE(f.moved(0) || f.moved(1) || f.moved(2));
    ASSERT_TRUE(f.moved(3));
    expect_at(f.to(3), 0, 0);
    EXPECT_EQ(f.r.counters.unsolved, 0);
}

TEST(Solutions, TiedRunsFallBackToTheAverage)
{
    // A, A, B, B, C along x: two runs of one tie; no intersection (no
    // element positions), so the average (0+0+5+5+10)/5 = 4 decides.
    Fixture f;
    f.run({{0, 0, 0, -1, 1, 0}, {0, 0, 0, -2, 1, 0}, {5, 0, 0, -3, 1, 0}, {5, 0, 0, -4, 1, 0}, {10, 0, 0, -5, 1, 0}},
          10);
    ASSERT_EQ(f.status, 0);
    for (size_t i = 0; i < 5; i++) {
        ASSERT_TRUE(f.moved(i)) << i;
        expect_at(f.to(i), 4, 0);
    }
}

TEST(Solutions, MeansTruncateTowardZero)
{
    struct { int32_t a, b, mean; } t[] = {{1, 2, 1}, {-1, -2, -1}, {-2, 1, 0}};
    for (auto &c : t) {
        Fixture f;
        // Two candidates: the modal pass needs more than two.
        f.run({{c.a, 0, 0, -1, 1, 0}, {c.b, 0, 0, -2, 2, 0}}, 10);
        ASSERT_EQ(f.status, 0);
        for (size_t i = 0; i < 2; i++) {
            if (f.moved(i)) {
                EXPECT_EQ(f.to(i).x, c.mean) << c.a << "," << c.b;
            }
        }
        EXPECT_TRUE(f.moved(0) || f.moved(1));
    }
}

TEST(Solutions, OrderSwitchesPassesOff)
{
    // -O 3,0,0: intersections only; without element segments nothing is
    // solved and the sub-group is counted as unsolved.
    Fixture f;
    f.o.intVal = 3;
    f.o.modVal = 0;
    f.o.aveVal = 0;
    f.run({{0, 0, 0, -1, 1, 0}, {2, 0, 0, -2, 1, 0}}, 10);
    EXPECT_EQ(f.status, 0);
    EXPECT_FALSE(f.moved(0) || f.moved(1));
    EXPECT_EQ(f.r.counters.unsolved, 1);
}

TEST(Solutions, WeightsDecideButAllMove)
{
    Fixture f;
    f.o.weights = true;
    f.run({{0, 0, 0, -1, 1, 1}, {2, 0, 0, -2, 1, 9}, {4, 0, 0, -3, 1, 1}}, 10);
    ASSERT_EQ(f.status, 0);
    ASSERT_TRUE(f.moved(0) && f.moved(2));
    expect_at(f.to(0), 2, 0);
    expect_at(f.to(2), 2, 0);
    EXPECT_FALSE(f.moved(1));
}

TEST(Solutions, FixedPointsWithoutFeaturesAreUnsolved)
{
    Fixture f;
    f.o.fixedPoints = true;
    f.run({{0, 0, 0, -1, 1, 0}, {2, 0, 0, -2, 2, 0}}, 10);
    EXPECT_EQ(f.status, 0);
    EXPECT_FALSE(f.moved(0) || f.moved(1));
    EXPECT_EQ(f.r.counters.unsolved, 1);
}

TEST(Solutions, IgnoreElevationIn3D)
{
    Fixture f(3);
    f.o.ignoreZ = true;
    f.run({{0, 0, 5, -1, 1, 0}, {0, 0, 7, -2, 1, 0}, {0, 0, 7, -3, 1, 0}, {1, 0, 7, -4, 1, 0}}, 10);
    ASSERT_EQ(f.status, 0);
    // The modal run ignores z; the solution has z 0, so every point moves.
    for (size_t i = 0; i < 4; i++) {
        ASSERT_TRUE(f.moved(i)) << i;
        expect_at(f.to(i), 0, 0, 0);
    }
}

TEST(Solutions, NoIntersectionPassIn3D)
{
    Fixture f(3);
    f.o.intVal = 3;
    f.o.modVal = 0;
    f.o.aveVal = 0;
    f.run({{0, 0, 0, -1, 1, 0}, {2, 0, 0, -2, 1, 0}}, 10);
    EXPECT_EQ(f.r.counters.unsolved, 1);
}

TEST(Grouping, WindowFollowsTheLastPointUpToTwiceTheTolerance)
{
    Fixture three;
    three.run({{0, 0, 0, -1, 1, 0}, {0, 9, 0, -2, 1, 0}, {0, 18, 0, -3, 1, 0}}, 10);
    ASSERT_EQ(three.status, 0);
    // One group: average y 9 (no modal run).
    EXPECT_TRUE(three.moved(0) && three.moved(2));
    EXPECT_EQ(three.to(0).y, 9);

    Fixture four;
    four.run({{0, 0, 0, -1, 1, 0}, {0, 9, 0, -2, 1, 0}, {0, 18, 0, -3, 1, 0}, {0, 27, 0, -4, 1, 0}}, 10);
    ASSERT_EQ(four.status, 0);
    // 27 lies within the tolerance of 18 but beyond twice the tolerance from
    // the start: the first group is 0, 9, 18 and 27 is not pulled into it.
    EXPECT_EQ(four.to(0).y, 9);
    EXPECT_FALSE(four.moved(3));
}

TEST(Grouping, TwoEndsOfOneElementAreNeverPulledTogether)
{
    Fixture f;
    f.run({{0, 0, 0, 1000, 1, 0}, {5, 0, 0, 1000, 2, 0}}, 10);
    ASSERT_EQ(f.status, 0);
    EXPECT_FALSE(f.moved(0) || f.moved(1));

    Fixture ns;
    ns.o.sameElement = false;
    ns.o.intVal = 0; // no element reads without a server
    ns.run({{0, 0, 0, 1000, 1, 0}, {5, 0, 0, 1000, 2, 0}}, 10);
    ASSERT_EQ(ns.status, 0);
    EXPECT_TRUE(ns.moved(0) || ns.moved(1));
}

TEST(Grouping, LinkedElementsFormSeparateSubgroups)
{
    // Two elements running between the same two locations, each end
    // slightly off: the ends at one location are anchors, so each stays.
    Fixture f;
    f.run({{0, 0, 0, 1000, 1, 0}, {1, 0, 0, 2000, 1, 0}, {100, 0, 0, 1000, 2, 0}, {100, 0, 0, 2000, 2, 0}}, 5);
    ASSERT_EQ(f.status, 0);
    for (size_t i = 0; i < 4; i++)
        EXPECT_FALSE(f.moved(i)) << i;
}

TEST(Grouping, CoincidentPointsNeedNoMending)
{
    Fixture f;
    f.run({{7, 7, 0, -1, 1, 0}, {7, 7, 0, -2, 2, 0}}, 5);
    EXPECT_EQ(f.status, 0);
    EXPECT_FALSE(f.moved(0) || f.moved(1));
    EXPECT_EQ(f.r.counters.unsolved, 0);
}

TEST(Grouping, TooManyPointsInOneGroupEndTheRun)
{
    std::vector<Rec> recs(MAX_PNUM + 1, Rec{3, 3, 0, -1, 0, 0});
    Fixture f;
    f.run(recs, 1);
    EXPECT_EQ(f.status, 999);
    EXPECT_TRUE(f.r.closeOnExit);
    EXPECT_NE(f.out.find("\nMAX_PNUM exceeded at i=0 - k=16384 - too many points in group"), std::string::npos);

    std::vector<Rec> fits(MAX_PNUM, Rec{3, 3, 0, -1, 0, 0});
    Fixture g;
    g.run(fits, 1);
    EXPECT_EQ(g.status, 0);
}

// The sorted point file reader.
struct PointFile {
    std::string dir;
    PointFile()
    {
        char tmpl[] = "/tmp/nw_ptfileXXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~PointFile() { std::system(("rm -rf " + dir).c_str()); }
};

int read_file(const std::string &text, int dimension, bool weights, int32_t maxverts, Fixture &f,
              std::string *out = nullptr)
{
    PointFile pf;
    std::string name = pf.dir + "/sort_pts.42";
    std::ofstream(name) << text;
    f.o.weights = weights;
    f.st.dimension = (int16_t)dimension;
    std::snprintf(f.st.ptfile, sizeof f.st.ptfile, "%s", "");
    f.pts.assign(maxverts, NwPoint{0, 0, 0});
    f.offset.assign(maxverts, 0);
    f.offsetPtr.assign(maxverts, 0);
    f.offsetVal.assign(maxverts, 0);
    f.PtVal.assign(maxverts, 0);
    f.weight.assign(maxverts, 0);
    f.st.maxverts = maxverts;
    f.st.last = maxverts - 1;
    f.st.pts = f.pts.data();
    f.st.offset = f.offset.data();
    f.st.offsetPtr = f.offsetPtr.data();
    f.st.offsetVal = f.offsetVal.data();
    f.st.PtVal = f.PtVal.data();
    f.st.weight = f.weight.data();
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr || chdir(pf.dir.c_str()) != 0)
        return -1;
    std::snprintf(f.st.ptfile, sizeof f.st.ptfile, "sort_pts.42");
    testing::internal::CaptureStdout();
    int status = read_point_file(f.o, &f.st);
    std::string text_out = testing::internal::GetCapturedStdout();
    if (out)
        *out = text_out;
    if (chdir(cwd) != 0)
        return -1;
    return status;
}

TEST(PointInput, RecordLayouts)
{
    Fixture f2;
    ASSERT_EQ(read_file("         120         340    1536 1\n", 2, false, 1, f2), 0);
    expect_at(f2.pts[0], 340, 120, 0);
    EXPECT_EQ(f2.offset[0], 1536);
    EXPECT_EQ(f2.PtVal[0], 1);

    Fixture w;
    ASSERT_EQ(read_file("1 2 3 0 300", 2, true, 1, w), 0);
    EXPECT_EQ(w.weight[0], 44);

    Fixture f3;
    ASSERT_EQ(read_file("-5 6 7 800 2\n", 3, false, 1, f3), 0);
    expect_at(f3.pts[0], 6, -5, 7);
    EXPECT_EQ(f3.offset[0], 800);
    EXPECT_EQ(f3.PtVal[0], 2);

    // Widths split long digit runs: a two-digit role shifts the rest.
    Fixture shifted;
    ASSERT_EQ(read_file("1 2 3 12 4 5 6", 2, false, 2, shifted), 0);
    EXPECT_EQ(shifted.PtVal[0], 1);
    EXPECT_EQ(shifted.pts[1].y, 2);
    EXPECT_EQ(shifted.PtVal[1], 6);
}

TEST(PointInput, ElementIndexIsSortedAsUnsigned)
{
    Fixture f;
    ASSERT_EQ(read_file("0 0 900 1\n0 1 -1 0\n0 2 512 2\n0 3 900 2\n", 2, false, 4, f), 0);
    EXPECT_EQ(f.offsetVal[0], 512);
    EXPECT_EQ(f.offsetVal[1], 900);
    EXPECT_EQ(f.offsetVal[2], 900);
    EXPECT_EQ(f.offsetVal[3], -1);
    EXPECT_EQ(f.offsetPtr[0], 2);
    EXPECT_EQ(f.offsetPtr[3], 1);
}

TEST(PointInput, ShortOrMissingFiles)
{
    Fixture shortFile;
    std::string out;
    EXPECT_EQ(read_file("1 2 3 1\n4 5 6", 2, false, 2, shortFile, &out), 7);
    EXPECT_NE(out.find("\nerror reading point data"), std::string::npos);
    Fixture empty;
    EXPECT_EQ(read_file("", 2, false, 1, empty), 7);

    Fixture missing;
    missing.st.maxverts = 0;
    std::snprintf(missing.st.ptfile, sizeof missing.st.ptfile, "sort_pts.none");
    testing::internal::CaptureStdout();
    int status = read_point_file(missing.o, &missing.st);
    std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 5);
    EXPECT_EQ(text, "\nReading point data\n\nerror opening sorted point file: sort_pts.none\n");
}

TEST(PointInput, ProgressEvery5000Records)
{
    std::string text;
    for (int i = 0; i < 12000; i++)
        text += "0 " + std::to_string(i) + " 0 0\n";
    Fixture f;
    std::string out;
    ASSERT_EQ(read_file(text, 2, false, 12000, f, &out), 0);
    EXPECT_EQ(out, "\nReading point data\n\nInput   5000 records\nInput  10000 records"
                   "\nTotal number of records input = 12000\n");
}

} // namespace
