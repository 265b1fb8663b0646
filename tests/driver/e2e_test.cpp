// The whole pipeline - nodeweld.pl, dgnpoints, nodeweld, ustation.exe and the file - checked
// by reading the result independently with GDAL's ogrinfo.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "driver_test_util.h"

namespace {

typedef std::vector<long long> Pt;

struct Node {
    long long x, y;
    size_t ends;
    bool oneElement;  // a closed loop: both ends of one element
};

// The meeting ends of a dgngen ground truth: node location and how many ends meet there.
std::vector<Node> truth_nodes(const std::string &json) {
    std::vector<Node> nodes;
    const size_t start = json.find("\"meeting_ends\"");
    const size_t stop = json.find("\"dangles\"");
    const std::string part = json.substr(start, stop - start);
    std::regex node("\\{\"node\":\\d+,\"x\":(-?\\d+),\"y\":(-?\\d+),\"ends\":\\[([^\\]]*)\\]");
    for (std::sregex_iterator it(part.begin(), part.end(), node), end; it != end; ++it) {
        Node n;
        n.x = std::stoll((*it)[1]);
        n.y = std::stoll((*it)[2]);
        const std::string ends = (*it)[3];
        n.ends = 0;
        std::set<std::string> positions;
        std::regex pos("\"position\":(\\d+)");
        for (std::sregex_iterator p(ends.begin(), ends.end(), pos), e; p != e; ++p) {
            ++n.ends;
            positions.insert((*p)[1]);
        }
        n.oneElement = positions.size() == 1;
        nodes.push_back(n);
    }
    return nodes;
}

bool is_linear(const OgrFeature &f) { return (f.type == 3 || f.type == 4 || f.type == 11) && f.pts.size() >= 2; }

double dist(const Pt &a, long long x, long long y) {
    return std::hypot(static_cast<double>(a[0] - x), static_cast<double>(a[1] - y));
}

int summary_count(const std::string &out, const std::string &before) {
    const size_t p = out.find(before);
    return p == std::string::npos ? -1 : atoi(out.c_str() + p + before.size());
}

class Pipeline : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        dir = drv_temp_dir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { drv_remove_tree(dir); }
};

TEST_F(Pipeline, GeneratedSheetIsMendedExactlyAndNothingElseMoves) {
    ProgramResult g = run_tool("dgngen", {"-n", "600", "--seed", "11", dir + "/sheet.dgn"});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    const std::string orig = drv_read(dir + "/sheet.dgn");
    ASSERT_TRUE(drv_write(dir + "/before.dgn", orig));
    const std::vector<Node> nodes = truth_nodes(drv_read(dir + "/sheet.truth.json"));
    ASSERT_GT(nodes.size(), 50u);

    ProgramResult r = run_driver({"-F", "sheet.dgn", "-e", "3,4,11", "-T", "0.5", "-D", "60,1"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    const double upm = 10000;  // dgngen: 1000 sub-units of 10 UORs
    const double tol = 0.5 * upm;
    std::vector<OgrFeature> before, after;
    ASSERT_TRUE(ogr_features(dir + "/before.dgn", upm, &before));
    ASSERT_TRUE(ogr_features(dir + "/sheet.dgn", upm, &after));

    // Every node's ends coincide exactly after the run (and did not all before). The two
    // ends of one element (a closed loop) are never pulled together: they stay.
    auto ends_near = [&](const std::vector<OgrFeature> &fs, const Node &n) {
        std::vector<Pt> e;
        for (const OgrFeature &f : fs) {
            if (!is_linear(f)) continue;
            for (const Pt &p : {f.pts.front(), f.pts.back()})
                if (dist(p, n.x, n.y) <= tol) e.push_back(p);
        }
        return e;
    };
    size_t apartBefore = 0;
    for (const Node &n : nodes) {
        const std::vector<Pt> b = ends_near(before, n), a = ends_near(after, n);
        ASSERT_EQ(a.size(), n.ends) << "node at " << n.x << "," << n.y;
        if (n.oneElement) {
            EXPECT_EQ(std::multiset<Pt>(a.begin(), a.end()), std::multiset<Pt>(b.begin(), b.end()));
            continue;
        }
        for (const Pt &p : a) EXPECT_EQ(p, a.front()) << "node at " << n.x << "," << n.y;
        apartBefore += std::any_of(b.begin(), b.end(), [&](const Pt &p) { return p != b.front(); });
    }
    EXPECT_GT(apartBefore, nodes.size() / 2);

    // Ends away from every node, and every point feature, stay where they were.
    auto away = [&](const std::vector<OgrFeature> &fs) {
        std::multiset<Pt> s;
        for (const OgrFeature &f : fs) {
            if (f.type == 15) continue;  // flags
            if (f.geometry == "POINT" || !is_linear(f)) {
                for (const Pt &p : f.pts) s.insert(p);
                continue;
            }
            for (const Pt &p : {f.pts.front(), f.pts.back()}) {
                bool near = false;
                for (const Node &n : nodes) near = near || dist(p, n.x, n.y) <= tol;
                if (!near) s.insert(p);
            }
        }
        return s;
    };
    EXPECT_EQ(away(before), away(after));
    // Interior vertices of line strings are kept by the rebuilt elements.
    std::multiset<Pt> innerBefore, innerAfter;
    for (const OgrFeature &f : before)
        if (f.type == 4) innerBefore.insert(f.pts.begin() + 1, f.pts.end() - 1);
    for (const OgrFeature &f : after)
        if (f.type == 4) innerAfter.insert(f.pts.begin() + 1, f.pts.end() - 1);
    for (const Pt &p : innerBefore) {
        auto it = innerAfter.find(p);
        ASSERT_NE(it, innerAfter.end()) << p[0] << "," << p[1];
        innerAfter.erase(it);
    }

    // The summary's counts: linear elements gone and placed, dangle flags placed.
    const int modified = summary_count(r.out, "Modified ");
    const int linear = summary_count(r.out, "point elements in sheet.dgn\n  Modified ");
    const int dangles = summary_count(r.out, "Identified ");
    EXPECT_EQ(modified, 0);
    ASSERT_GT(linear, 0) << r.out;
    long maxFid = 0;
    std::set<long> fidsAfter;
    for (const OgrFeature &f : before) maxFid = std::max(maxFid, f.fid);
    for (const OgrFeature &f : after) fidsAfter.insert(f.fid);
    int gone = 0, placed = 0, flags = 0;
    for (const OgrFeature &f : before)
        if (is_linear(f) && !fidsAfter.count(f.fid)) ++gone;
    for (const OgrFeature &f : after) {
        if (f.fid <= maxFid) continue;
        if (f.type == 15 && f.level == 60) ++flags;
        else if (is_linear(f)) ++placed;
        else ADD_FAILURE() << "unexpected new element of type " << f.type;
    }
    EXPECT_EQ(gone, linear);
    EXPECT_EQ(placed, linear);
    EXPECT_EQ(flags, dangles);
    EXPECT_GT(dangles, 0);
}

TEST_F(Pipeline, SheetWrittenByOgr2ogrIsMendedTheSameWay) {
    const std::string fixture = std::string(NW_SOURCE_DIR) + "/tests/driver/data/roads.geojson";
    ProgramResult c = run_program({"/usr/bin/ogr2ogr", "-f", "DGN", "-dsco", "SUB_UNITS_PER_MASTER_UNIT=1000", "-dsco",
                                   "UOR_PER_SUB_UNIT=10", "-dsco", "ORIGIN=0,0,0", dir + "/roads.dgn", fixture});
    ASSERT_EQ(c.exitCode, 0) << c.err;
    ProgramResult r = run_driver({"-F", "roads.dgn", "-T", "0.05", "--report", "roads.json"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<OgrFeature> after;
    ASSERT_TRUE(ogr_features(dir + "/roads.dgn", 10000, &after));
    // Junctions of the fixture (master units) and how many ends meet at each.
    const struct { double x, y; size_t ends; } junctions[] = {
        {100, 100, 2}, {200, 100, 3}, {250, 100, 2}, {200, 250, 2}, {250, 250, 2}};
    for (const auto &j : junctions) {
        std::vector<Pt> e;
        for (const OgrFeature &f : after)
            if (is_linear(f))
                for (const Pt &p : {f.pts.front(), f.pts.back()})
                    if (dist(p, std::llround(j.x * 10000), std::llround(j.y * 10000)) <= 500) e.push_back(p);
        ASSERT_EQ(e.size(), j.ends) << j.x << "," << j.y;
        for (const Pt &p : e) EXPECT_EQ(p, e.front()) << j.x << "," << j.y;
    }
    // The lone road far away is untouched.
    bool lone = false;
    for (const OgrFeature &f : after)
        lone = lone || (f.pts.size() == 2 && f.pts[0] == Pt{4000000, 4000000} && f.pts[1] == Pt{4200000, 4300000});
    EXPECT_TRUE(lone);
    // The report lists the six rebuilt roads.
    const std::string rep = drv_read(dir + "/roads.json");
    EXPECT_NE(rep.find("\"counts\": {\"mended\": 6,"), std::string::npos) << rep;
}

TEST_F(Pipeline, AdjacentSheetConflictsAreFlaggedAndNothingChanges) {
    // The sheet ends at x = 100 m; the neighbour's roads start just across the edge, close
    // to the sheet's ends but not on them.
    const char *sheet =
        "{\"type\":\"FeatureCollection\",\"features\":["
        "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[0,10],[100,10]]}},"
        "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[0,50],[100,50]]}},"
        "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[0,90],[100,90]]}}]}";
    const char *next =
        "{\"type\":\"FeatureCollection\",\"features\":["
        "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[100.02,10.01],[200,10]]}},"
        "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[100,50],[200,50]]}},"
        "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[100.01,89.98],[200,90]]}}]}";
    ASSERT_TRUE(drv_write(dir + "/a.geojson", sheet));
    ASSERT_TRUE(drv_write(dir + "/b.geojson", next));
    for (const char *n : {"a", "b"}) {
        ProgramResult c = run_program({"/usr/bin/ogr2ogr", "-f", "DGN", "-dsco", "SUB_UNITS_PER_MASTER_UNIT=1000", "-dsco",
                                       "UOR_PER_SUB_UNIT=10", "-dsco", "ORIGIN=0,0,0", dir + "/" + n + ".dgn",
                                       dir + "/" + n + ".geojson"});
        ASSERT_EQ(c.exitCode, 0) << c.err;
    }
    ASSERT_TRUE(drv_write(dir + "/edge.ulf", "# sheet a and its eastern neighbour\ndesign a.dgn\nadjacent b.dgn\n"));
    const std::string bBefore = drv_read(dir + "/b.dgn");
    std::vector<OgrFeature> before;
    ASSERT_TRUE(ogr_features(dir + "/a.dgn", 10000, &before));

    ProgramResult r = run_driver({"-U", "edge.ulf", "-FR", "1", "-f", "9,0.1", "-T", "0.05"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("6 locations of 3 selected elements of"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("6 locations of adjacent sheets"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("No elements modified in a.dgn"), std::string::npos) << r.out;

    std::vector<OgrFeature> after;
    ASSERT_TRUE(ogr_features(dir + "/a.dgn", 10000, &after));
    std::vector<Pt> flagCentres;
    std::multiset<std::vector<Pt>> linesBefore, linesAfter;
    for (const OgrFeature &f : before) linesBefore.insert(f.pts);
    for (const OgrFeature &f : after) {
        if (f.type == 15) {
            EXPECT_EQ(f.level, 9);
            // The centre of the stroked circle (its last point repeats the first).
            double sx = 0, sy = 0;
            for (size_t k = 0; k + 1 < f.pts.size(); ++k) sx += f.pts[k][0], sy += f.pts[k][1];
            const double n = static_cast<double>(f.pts.size() - 1);
            flagCentres.push_back({std::llround(sx / n), std::llround(sy / n)});
        } else {
            linesAfter.insert(f.pts);
        }
    }
    EXPECT_EQ(linesBefore, linesAfter) << "flag-only run changed an element";
    EXPECT_EQ(drv_read(dir + "/b.dgn"), bBefore) << "the adjacent sheet was changed";
    // Flags at the two conflicts across the edge (y 10 and y 90), none at y 50 where the
    // ends meet exactly.
    ASSERT_FALSE(flagCentres.empty()) << r.out;
    bool at10 = false, at90 = false;
    for (const Pt &c : flagCentres) {
        EXPECT_NEAR(static_cast<double>(c[0]), 1000100.0, 500.0);
        EXPECT_GT(std::fabs(static_cast<double>(c[1]) - 500000.0), 10000.0);
        at10 = at10 || std::fabs(static_cast<double>(c[1]) - 100000.0) < 2000.0;
        at90 = at90 || std::fabs(static_cast<double>(c[1]) - 900000.0) < 2000.0;
    }
    EXPECT_TRUE(at10 && at90);
}

// Converts a GeoJSON text into a design file of 10000 UORs per master unit.
bool geojson_sheet(const std::string &dir, const std::string &name, const std::string &json) {
    if (!drv_write(dir + "/" + name + ".geojson", json)) return false;
    ProgramResult c = run_program({"/usr/bin/ogr2ogr", "-f", "DGN", "-dsco", "SUB_UNITS_PER_MASTER_UNIT=1000", "-dsco",
                                   "UOR_PER_SUB_UNIT=10", "-dsco", "ORIGIN=0,0,0", dir + "/" + name + ".dgn",
                                   dir + "/" + name + ".geojson"});
    return c.exitCode == 0;
}

std::string road(double x1, double y1, double x2, double y2) {
    char buf[256];
    snprintf(buf, sizeof buf,
             "{\"type\":\"Feature\",\"properties\":{\"Level\":1},\"geometry\":{\"type\":\"LineString\","
             "\"coordinates\":[[%.8f,%.8f],[%.8f,%.8f]]}}",
             x1, y1, x2, y2);
    return buf;
}

TEST_F(Pipeline, FixedElementsAreMetButNeverChanged) {
    // A parcel (a shape, which the engine cannot rebuild) and two roads ending near its
    // corner (10, 10); a third road ends near a road of the adjacent sheet.
    const std::string parcel =
        "{\"type\":\"Feature\",\"properties\":{\"Level\":2},\"geometry\":{\"type\":\"Polygon\","
        "\"coordinates\":[[[10,10],[30,10],[30,30],[10,30],[10,10]]]}}";
    ASSERT_TRUE(geojson_sheet(dir, "a",
                              "{\"type\":\"FeatureCollection\",\"features\":[" + parcel + "," +
                                  road(0, 0, 10.02, 9.99) + "," + road(10.01, 10.03, 0, 20) + "," +
                                  road(50, 40, 99.98, 40.01) + "]}"));
    ASSERT_TRUE(geojson_sheet(dir, "b", "{\"type\":\"FeatureCollection\",\"features\":[" + road(100, 40, 150, 40) + "]}"));
    ASSERT_TRUE(drv_write(dir + "/ab.ulf", "design a.dgn\nadjacent b.dgn\n"));
    const std::string bBefore = drv_read(dir + "/b.dgn");
    std::vector<OgrFeature> before;
    ASSERT_TRUE(ogr_features(dir + "/a.dgn", 10000, &before));

    ProgramResult r = run_driver({"-U", "ab.ulf", "-e", "3,4,6", "-T", "0.1"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("1 of them fixed"), std::string::npos) << r.out;
    std::vector<OgrFeature> after;
    ASSERT_TRUE(ogr_features(dir + "/a.dgn", 10000, &after));
    int shapes = 0;
    std::multiset<Pt> ends;
    for (const OgrFeature &f : after) {
        if (f.geometry == "POLYGON") {
            ++shapes;
            EXPECT_EQ(f.pts.front(), (Pt{100000, 100000})) << "the parcel moved";
        } else if (is_linear(f)) {
            ends.insert(f.pts.front());
            ends.insert(f.pts.back());
        }
    }
    EXPECT_EQ(shapes, 1);
    EXPECT_EQ(ends.count(Pt{100000, 100000}), 2u) << "both roads end on the parcel's corner";
    EXPECT_EQ(ends.count(Pt{1000000, 400000}), 1u) << "the road ends on the adjacent sheet's road";
    EXPECT_EQ(drv_read(dir + "/b.dgn"), bBefore);
    int polygonsBefore = 0;
    for (const OgrFeature &f : before) polygonsBefore += f.geometry == "POLYGON";
    EXPECT_EQ(polygonsBefore, 1);
}

// Both ends near (10, 10) of a sheet with a road on level 1 and one on level 2, after a run.
std::vector<Pt> junction_after(const std::string &dir, const std::vector<std::string> &extra) {
    // Coordinates that are whole UORs whether a writer rounds or truncates.
    std::string a = road(0, 0, 10, 10), b = road(10.0078125, 10.00390625, 20, 0);
    b.replace(b.find("\"Level\":1"), 9, "\"Level\":2");
    EXPECT_TRUE(geojson_sheet(dir, "j", "{\"type\":\"FeatureCollection\",\"features\":[" + a + "," + b + "]}"));
    std::vector<std::string> args = {"-F", "j.dgn", "-T", "0.1"};
    args.insert(args.end(), extra.begin(), extra.end());
    ProgramResult r = run_driver(args, dir);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<OgrFeature> after;
    EXPECT_TRUE(ogr_features(dir + "/j.dgn", 10000, &after));
    std::vector<Pt> ends;
    for (const OgrFeature &f : after)
        if (is_linear(f))
            for (const Pt &p : {f.pts.front(), f.pts.back()})
                if (dist(p, 100000, 100000) < 1000) ends.push_back(p);
    return ends;
}

TEST_F(Pipeline, WeightsAndAveragingDecideTheMendedLocation) {
    // -Nm: the average of (100000, 100000) and (100078, 100039), truncated.
    std::vector<Pt> e = junction_after(dir, {"-Nm"});
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0], (Pt{100039, 100019}));
    EXPECT_EQ(e[1], e[0]);
    // A weighting table that makes level 2 heavier: the level-1 road comes to the other.
    ASSERT_TRUE(drv_write(dir + "/heavy.tbl", "level 2 50\n"));
    e = junction_after(dir, {"-w", "heavy.tbl"});
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0], (Pt{100078, 100039}));
    EXPECT_EQ(e[1], e[0]);
    ASSERT_TRUE(drv_write(dir + "/light.tbl", "level 1 50\n"));
    e = junction_after(dir, {"-w", "light.tbl"});
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0], (Pt{100000, 100000}));
    EXPECT_EQ(e[1], e[0]);
}

}  // namespace
