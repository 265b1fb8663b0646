// dgndump and dgngen through the real programs; generated sheets read back by our loader and
// by GDAL's ogrinfo as an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "tests/dgn/dgn_test_util.h"
#include "tests/support/run_program.h"

namespace {

bool have_program(const std::string &name) {
    const std::string cmd = "command -v " + name + " >/dev/null 2>&1";
    return system(cmd.c_str()) == 0;
}

bool have_python() { return have_program("python3"); }

bool valid_json(const std::string &path) {
    const ProgramResult r = run_program({"/usr/bin/env", "python3", "-m", "json.tool", path});
    return r.exitCode == 0;
}

class DgnTools : public ::testing::Test {
protected:
    void SetUp() override { dir = make_temp_dir(); ASSERT_FALSE(dir.empty()); }
    void TearDown() override { remove_tree(dir); }
    std::string dir;
};

TEST_F(DgnTools, DumpShowsElementsOfSmalltest) {
    const ProgramResult r = run_program({nw_bin("dgndump"), dgn_sample("smalltest.dgn")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const char *expect[] = {
        "2D, 10 sub-units per master (mu/su), 1000 UOR per sub-unit",
        "15 elements, end of design at 10424, file size 10752",
        "11 pos 10136 (block 19 byte 408) size 70 type 17 text level 1",
        "text \"Demo Text\" font 3 just 7",
        "12 pos 10206 (block 19 byte 478) size 72 type 15 ellipse level 2",
        "13 pos 10278 (block 20 byte 38) size 94 type 6 shape level 2",
        "props 0x0e00 color 83 weight 0 style 0",
        "linkage user id 0x0041 words 8",
        "vertices 2: (25562, 57218) (25242, 60709)",
    };
    for (const char *e : expect) EXPECT_NE(r.out.find(e), std::string::npos) << e << "\n" << r.out;
}

TEST_F(DgnTools, DumpJsonIsValidAndComplete) {
    const ProgramResult r = run_program({nw_bin("dgndump"), "--json", dgn_sample("tag.dgn")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"elements_count\":1097"), std::string::npos);
    size_t deleted = 0;
    for (size_t at = 0; (at = r.out.find("\"deleted\":true", at)) != std::string::npos; ++at) ++deleted;
    EXPECT_EQ(deleted, 197u);
    EXPECT_NE(r.out.find("\"kind\":\"database\",\"words\":4,\"id\":0,\"entity\":27,\"mslink\":17"), std::string::npos);
    if (!have_python()) GTEST_SKIP() << "python3 not available to check the JSON";
    for (const std::string name : {"tag.dgn", "x3d.dgn", "smalltest.dgn", "e4-3d.dgn"}) {
        const std::string out = dir + "/" + name + ".json";
        const ProgramResult j = run_program({nw_bin("dgndump"), "--json", dgn_sample(name)});
        ASSERT_EQ(j.exitCode, 0);
        ASSERT_TRUE(write_bytes(out, std::vector<uint8_t>(j.out.begin(), j.out.end())));
        EXPECT_TRUE(valid_json(out)) << name;
    }
}

TEST_F(DgnTools, DumpRefusesBadFilesWithStatus) {
    std::vector<uint8_t> cut = read_bytes(dgn_sample("smalltest.dgn"));
    cut.resize(10300);
    ASSERT_TRUE(write_bytes(dir + "/cut.dgn", cut));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *words;
    } cases[] = {
        {{dgn_sample("v8-reject.dgn")}, 2, "V8"},
        {{dir + "/cut.dgn"}, 2, "truncated"},
        {{dir + "/missing.dgn"}, 2, "No such file"},
        {{}, 1, "usage"},
        {{"--bogus", dgn_sample("smalltest.dgn")}, 1, "usage"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> argv = {nw_bin("dgndump")};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProgramResult r = run_program(argv);
        EXPECT_EQ(r.exitCode, c.status) << r.err;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(DgnTools, GeneratorIsDeterministic) {
    // Same name in another folder: the ground truth names the sheet without its folder.
    ASSERT_EQ(mkdir((dir + "/b").c_str(), 0755), 0);
    const std::string a = dir + "/a.dgn", b = dir + "/b/a.dgn", c = dir + "/c.dgn";
    ASSERT_EQ(run_program({nw_bin("dgngen"), "-n", "300", "--seed", "7", a}).exitCode, 0);
    ASSERT_EQ(run_program({nw_bin("dgngen"), "-n", "300", "--seed", "7", b}).exitCode, 0);
    ASSERT_EQ(run_program({nw_bin("dgngen"), "-n", "300", "--seed", "8", c}).exitCode, 0);
    EXPECT_EQ(read_bytes(a), read_bytes(b));
    EXPECT_NE(read_bytes(a), read_bytes(c));
    EXPECT_EQ(read_bytes(dir + "/a.truth.json"), read_bytes(dir + "/b/a.truth.json"));
    // Bad options are refused without writing anything.
    const ProgramResult r = run_program({nw_bin("dgngen"), "-n", "zero", dir + "/d.dgn"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("bad option"), std::string::npos);
    EXPECT_TRUE(read_bytes(dir + "/d.dgn").empty());
}

// One feature as ogrinfo -al prints it.
struct Feature {
    int type = -1, level = -1, color = -1;
    std::vector<double> coords;
};

std::map<long, Feature> ogr_features(const std::string &path) {
    std::map<long, Feature> out;
    const ProgramResult r = run_program({"/usr/bin/env", "ogrinfo", "-al", "-q", path});
    std::istringstream in(r.out);
    std::string line;
    Feature *cur = nullptr;
    while (std::getline(in, line)) {
        long fid;
        int v;
        if (sscanf(line.c_str(), "OGRFeature(elements):%ld", &fid) == 1) {
            cur = &out[fid];
        } else if (cur && sscanf(line.c_str(), "  Type (Integer) = %d", &v) == 1) {
            cur->type = v;
        } else if (cur && sscanf(line.c_str(), "  Level (Integer) = %d", &v) == 1) {
            cur->level = v;
        } else if (cur && sscanf(line.c_str(), "  ColorIndex (Integer) = %d", &v) == 1) {
            cur->color = v;
        } else if (cur && cur->coords.empty() && (line.rfind("  LINESTRING", 0) == 0 || line.rfind("  POINT", 0) == 0 ||
                                                  line.rfind("  POLYGON", 0) == 0)) {
            std::string nums = line.substr(line.find('('));
            for (char &ch : nums)
                if (ch == '(' || ch == ')' || ch == ',') ch = ' ';
            std::istringstream ns(nums);
            double d;
            while (ns >> d) cur->coords.push_back(d);
        }
    }
    return out;
}

void check_against_gdal(const std::string &path, bool is3d) {
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(path.c_str(), &f, &err)) << err;
    ASSERT_EQ(f.is3d, is3d);
    const std::map<long, Feature> feats = ogr_features(path);
    const double upm = static_cast<double>(f.eu_mu) * f.eu_uor;
    const int dims = is3d ? 3 : 2;
    size_t expected = 0, lines = 0;
    for (size_t i = 0; i < f.elements.size(); ++i) {
        const DgnElementRef &r = f.elements[i];
        // GDAL reports every linear element and text, components of cells and nodes included.
        if (r.deleted || !(r.type == 3 || r.type == 4 || r.type == 6 || r.type == 11 || r.type == 17)) continue;
        ++expected;
        auto it = feats.find(static_cast<long>(i));
        ASSERT_NE(it, feats.end()) << "element " << i << " not reported";
        const Feature &ft = it->second;
        uint32_t n;
        const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
        DgnElement e;
        ASSERT_TRUE(dgn_decode_element(p, n, is3d, &e, &err)) << err;
        EXPECT_EQ(ft.type, e.type);
        EXPECT_EQ(ft.level, e.level);
        EXPECT_EQ(ft.color, e.color);
        std::vector<DgnPoint> pts = e.vertices;
        if (e.type == 17) pts = {e.origin};
        if (e.type == 11) {
            // GDAL strokes curves: they start at vertex 2 and end at vertex n-3.
            ASSERT_GE(ft.coords.size(), static_cast<size_t>(2 * dims));
            EXPECT_NEAR(ft.coords[0], pts[2].x / upm, 1e-6);
            EXPECT_NEAR(ft.coords[1], pts[2].y / upm, 1e-6);
            continue;
        }
        ASSERT_EQ(ft.coords.size(), pts.size() * dims) << "element " << i;
        for (size_t k = 0; k < pts.size(); ++k) {
            EXPECT_NEAR(ft.coords[k * dims], pts[k].x / upm, 1e-6);
            EXPECT_NEAR(ft.coords[k * dims + 1], pts[k].y / upm, 1e-6);
            if (is3d) {
                EXPECT_NEAR(ft.coords[k * dims + 2], pts[k].z / upm, 1e-6);
            }
        }
        lines += e.type == 3 || e.type == 4;
    }
    EXPECT_EQ(feats.size(), expected);
    EXPECT_GT(lines, 10u);
}

TEST_F(DgnTools, GeneratedSheetsReadBackByGdal) {
    if (!have_program("ogrinfo")) GTEST_SKIP() << "ogrinfo (gdal-bin) not installed";
    struct Case {
        bool is3d;
        std::vector<std::string> extra;
    } cases[] = {
        {false, {}},
        {true, {"--3d"}},
        {false, {"--sub-per-master", "12", "--uor-per-sub", "100", "--master", "ft", "--sub", "in"}},
    };
    int k = 0;
    for (const Case &c : cases) {
        const std::string path = dir + "/g" + std::to_string(k++) + ".dgn";
        std::vector<std::string> argv = {nw_bin("dgngen"), "-n", "400", "--seed", "11", path};
        argv.insert(argv.end(), c.extra.begin(), c.extra.end());
        const ProgramResult r = run_program(argv);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        SCOPED_TRACE(path);
        check_against_gdal(path, c.is3d);
    }
    const ProgramResult so = run_program({"/usr/bin/env", "ogrinfo", "-al", "-so", dir + "/g2.dgn"});
    EXPECT_EQ(so.exitCode, 0);
    EXPECT_NE(so.out.find("Layer name: elements"), std::string::npos);
}

// Reads "key":number after position at in s.
bool json_number(const std::string &s, size_t at, const std::string &key, long *out) {
    const size_t k = s.find("\"" + key + "\":", at);
    if (k == std::string::npos) return false;
    *out = strtol(s.c_str() + k + key.size() + 3, nullptr, 10);
    return true;
}

TEST_F(DgnTools, GroundTruthEndsMeetWithinTheMiss) {
    for (const bool is3d : {false, true}) {
        const std::string path = dir + (is3d ? "/t3.dgn" : "/t2.dgn");
        std::vector<std::string> argv = {nw_bin("dgngen"), "-n", "500", "--seed", "3", "--miss", "0.01", path};
        if (is3d) argv.push_back("--3d");
        ASSERT_EQ(run_program(argv).exitCode, 0);
        const std::vector<uint8_t> tb = read_bytes(dir + (is3d ? "/t3.truth.json" : "/t2.truth.json"));
        const std::string truth(tb.begin(), tb.end());
        DgnFile f;
        std::string err;
        ASSERT_TRUE(dgn_load_file(path.c_str(), &f, &err)) << err;
        long miss = 0;
        ASSERT_TRUE(json_number(truth, 0, "largest_miss_uor", &miss));
        EXPECT_EQ(miss, 100);  // 0.01 master units of 10000 UOR
        const size_t sections[] = {truth.find("\"dangles\""), truth.find("\"duplicates\""),
                                   truth.find("\"closed_loops\""), truth.find("\"floating_points\""),
                                   truth.find("\"point_features\"")};
        for (size_t s : sections) EXPECT_NE(s, std::string::npos);
        // Every meeting end lies within the miss of its node; every position is an element.
        size_t at = truth.find("\"meeting_ends\"");
        const size_t stop = sections[0];
        size_t ends = 0, nodes = 0;
        while ((at = truth.find("{\"node\":", at)) != std::string::npos && at < stop) {
            long x, y, z = 0;
            ASSERT_TRUE(json_number(truth, at, "x", &x));
            ASSERT_TRUE(json_number(truth, at, "y", &y));
            if (is3d) {
                ASSERT_TRUE(json_number(truth, at, "z", &z));
            }
            const size_t close = truth.find("]}", at);
            ++nodes;
            size_t e = at;
            while ((e = truth.find("{\"position\":", e + 1)) != std::string::npos && e < close) {
                long pos, vertex;
                ASSERT_TRUE(json_number(truth, e, "position", &pos));
                ASSERT_TRUE(json_number(truth, e, "vertex", &vertex));
                const int idx = dgn_find_element(&f, static_cast<uint32_t>(pos));
                ASSERT_GE(idx, 0) << pos;
                uint32_t n;
                const uint8_t *p = dgn_element_bytes(&f, idx, &n);
                DgnElement el;
                ASSERT_TRUE(dgn_decode_element(p, n, is3d, &el, &err));
                ASSERT_LT(static_cast<size_t>(vertex), el.vertices.size());
                const DgnPoint &v = el.vertices[vertex];
                EXPECT_LE(std::labs(v.x - x), miss);
                EXPECT_LE(std::labs(v.y - y), miss);
                if (is3d) {
                    EXPECT_LE(std::labs(v.z - z), miss);
                }
                ++ends;
            }
            at = close;
        }
        EXPECT_GT(nodes, 50u);
        EXPECT_GE(ends, 2 * nodes);

        // No ends other than those of one junction come near each other: ten times the miss.
        std::map<std::pair<long, long>, long> node_of;
        at = truth.find("\"meeting_ends\"");
        long node_id = 0;
        while ((at = truth.find("{\"node\":", at)) != std::string::npos && at < stop) {
            ASSERT_TRUE(json_number(truth, at, "node", &node_id));
            const size_t close = truth.find("]}", at);
            for (size_t e = at; (e = truth.find("{\"position\":", e + 1)) != std::string::npos && e < close;) {
                long pos, vertex;
                json_number(truth, e, "position", &pos);
                json_number(truth, e, "vertex", &vertex);
                node_of[{pos, vertex}] = node_id;
            }
            at = close;
        }
        struct EndPoint {
            DgnPoint p;
            long id;
        };
        std::vector<EndPoint> all;
        long unique = 1L << 40;
        for (size_t i = 0; i < f.elements.size(); ++i) {
            const DgnElementRef &r = f.elements[i];
            if (r.complex || !(r.type == 3 || r.type == 4 || r.type == 11)) continue;
            uint32_t n = 0;
            const uint8_t *bytes = dgn_element_bytes(&f, static_cast<int>(i), &n);
            DgnElement el;
            ASSERT_TRUE(dgn_decode_element(bytes, n, is3d, &el, &err));
            const size_t first = r.type == 11 ? 2 : 0, last = el.vertices.size() - 1 - first;
            const long own = ++unique;  // a zero-length line's two ends are one point
            for (size_t v : {first, last}) {
                auto it = node_of.find({static_cast<long>(r.offset), static_cast<long>(v)});
                all.push_back({el.vertices[v], it != node_of.end() ? it->second : own});
            }
        }
        std::sort(all.begin(), all.end(), [](const EndPoint &a, const EndPoint &b) { return a.p.x < b.p.x; });
        const long near = 10 * miss;
        size_t close_pairs = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            for (size_t j = i + 1; j < all.size() && all[j].p.x - all[i].p.x <= near; ++j) {
                if (std::labs(all[j].p.y - all[i].p.y) > near || std::labs(all[j].p.z - all[i].p.z) > near) continue;
                ++close_pairs;
                EXPECT_EQ(all[i].id, all[j].id) << "ends at (" << all[i].p.x << ", " << all[i].p.y << ") and ("
                                                << all[j].p.x << ", " << all[j].p.y << ")";
            }
        }
        EXPECT_GT(close_pairs, nodes);
        // Floating points are zero-length lines.
        at = sections[3];
        long pos;
        ASSERT_TRUE(json_number(truth, at, "position", &pos));
        const int idx = dgn_find_element(&f, static_cast<uint32_t>(pos));
        ASSERT_GE(idx, 0);
        EXPECT_EQ(f.elements[idx].type, 3);
        if (have_python()) {
            EXPECT_TRUE(valid_json(dir + (is3d ? "/t3.truth.json" : "/t2.truth.json")));
        }
    }
}

}  // namespace
