// Point extraction: selection lists, weighting tables, the records taken from each element
// type, sort order and the written layout.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "driver/criteria.h"
#include "driver/extract.h"
#include "driver/weight_table.h"
#include "sheet_builder.h"

namespace {

struct ListCase {
    CriteriaKind kind;
    const char *text;
    bool ok;
    std::vector<int> values;  // when ok: every selected value
    const char *error;        // when refused: part of the message
};

TEST(CriteriaLists, ParseLikeTheFrontEnd) {
    const ListCase cases[] = {
        {CRIT_LEVELS, "1-5,7", true, {1, 2, 3, 4, 5, 7}, ""},
        {CRIT_LEVELS, "1-5,", true, {1, 2, 3, 4, 5}, ""},  // trailing non-digits dropped
        {CRIT_COLORS, "007", true, {7}, ""},
        {CRIT_CLASSES, "0,2", true, {0, 2}, ""},
        {CRIT_TYPES, "2,12,27", true, {2, 12, 27}, ""},
        {CRIT_LEVELS, "5-3", false, {}, "5-3 runs backwards"},
        {CRIT_LEVELS, "70", false, {}, "70 is not a valid level"},
        {CRIT_LEVELS, "0", false, {}, "0 is not a valid level"},
        {CRIT_LEVELS, "1 2", false, {}, "blanks are not allowed"},
        {CRIT_LEVELS, "3,x4", false, {}, "'x'"},
        {CRIT_LEVELS, "1,,2", false, {}, "a value is missing"},
        {CRIT_LEVELS, "abc", false, {}, "empty"},
        {CRIT_LEVELS, "", false, {}, "empty"},
        {CRIT_STYLES, "8", false, {}, "8 is not a valid style"},
        {CRIT_COLORS, "256", false, {}, "256 is not a valid colour"},
        {CRIT_TYPES, "3,5", false, {}, "element type 5 cannot be selected"},
        {CRIT_TYPES, "2-27", false, {}, "element type 5 cannot be selected"},
        {CRIT_LEVELS, "1-5-9", false, {}, "two dashes"},
    };
    for (const ListCase &c : cases) {
        ValueSet s;
        std::string err;
        const bool ok = parse_value_list(c.kind, c.text, &s, &err);
        ASSERT_EQ(ok, c.ok) << c.text << ": " << err;
        if (ok) {
            ValueSet want;
            for (int v : c.values) want.set(static_cast<size_t>(v));
            EXPECT_EQ(s, want) << c.text;
        } else {
            EXPECT_NE(err.find(c.error), std::string::npos) << c.text << ": " << err;
            EXPECT_EQ(err.find(criteria_info(c.kind)->option), 0u) << "message names the option: " << err;
        }
    }
}

TEST(CriteriaLists, DefaultsSelectLinesAndStringsOfEveryWeight) {
    SelectionCriteria c;
    criteria_defaults(&c);
    EXPECT_TRUE(criteria_select(c, 3, 1, 0, 0, 0, 0));
    EXPECT_TRUE(criteria_select(c, 4, 63, 7, 31, 255, 2));
    EXPECT_FALSE(criteria_select(c, 2, 1, 0, 0, 0, 0));   // cells need -e
    EXPECT_FALSE(criteria_select(c, 3, 1, 0, 0, 0, 1));   // class 1 is not a default class
    EXPECT_FALSE(criteria_select(c, 3, 0, 0, 0, 0, 0));   // level 0 is no level
}

TEST(WeightTable, RulesAndErrors) {
    WeightTable t;
    std::string err;
    ASSERT_TRUE(weight_table_parse("# weights\nlevel 1-5 40\n\ncolor 3 200  # red\nstyle 0 10\nlevel 2 90\n", &t, &err))
        << err;
    EXPECT_EQ(t.rules, 4);
    EXPECT_EQ(weight_for(t, 1, 0, 1), 40);
    EXPECT_EQ(weight_for(t, 2, 0, 1), 90);    // the larger of two rules on one level
    EXPECT_EQ(weight_for(t, 1, 3, 0), 200);   // the largest matching rule wins
    EXPECT_EQ(weight_for(t, 9, 1, 0), 10);
    EXPECT_EQ(weight_for(t, 9, 1, 1), 0);

    const char *bad[][2] = {
        {"level 1-5\n", "line 1: expected"},
        {"level 1 2 3\n", "line 1: expected"},
        {"\nshade 1 4\n", "line 2: unknown key 'shade'"},
        {"level 1 255\n", "line 1: weight '255'"},
        {"level 1 -3\n", "line 1: weight '-3'"},
        {"level 64 3\n", "line 1: 64 is not a valid level"},
    };
    for (auto &b : bad) {
        EXPECT_FALSE(weight_table_parse(b[0], &t, &err)) << b[0];
        EXPECT_NE(err.find(b[1]), std::string::npos) << b[0] << " -> " << err;
    }
}

// A sheet holding one element of every kind the extractor knows.
struct Sheet {
    DgnFile f;
    uint32_t line, string, curve, shortCurve, shape, arc, chain, text, cell, ellipse, deleted, level7, class1;
};

void build_sheet(Sheet *s, bool is3d = false) {
    SheetBuilder b(is3d);
    s->line = b.line(3, 1, {P(100, 200, 5), P(300, 400, 6)});
    s->string = b.line(4, 2, {P(1000, 1000), P(1500, 1200), P(2000, 900)}, 3, 2, 1);
    s->curve = b.line(11, 1, {P(0, 0), P(10, 0), P(20, 0), P(30, 5), P(40, 0), P(50, 0), P(60, 0)});
    s->shortCurve = b.line(11, 1, {P(0, 900), P(10, 900), P(20, 900), P(30, 900)});
    s->shape = b.line(6, 1, {P(5000, 5000), P(6000, 5000), P(6000, 6000), P(5000, 5000)});
    s->arc = b.add(dgn_new_arc(1, is3d, 10000, 10000, 0, 1000, 1000, 0, 0, 90));
    {
        DgnElement hdr = dgn_new_element(12, 1, is3d);
        std::vector<DgnElement> comps;
        comps.push_back(dgn_new_vertex_element(3, 1, is3d, {P(7000, 100), P(7100, 100)}));
        comps.push_back(dgn_new_vertex_element(4, 1, is3d, {P(7100, 100), P(7200, 200), P(7300, 150)}));
        s->chain = b.add_complex(hdr, comps);
    }
    s->text = b.add(dgn_new_text(1, is3d, P(800, 810), "T", 10, 10, 0, 1, 2));
    {
        DgnElement hdr = dgn_new_element(2, 1, is3d);
        hdr.origin = P(3000, 3100);
        hdr.cell_matrix[0] = is3d ? 214748 : 214748;
        if (is3d) hdr.cell_matrix[4] = hdr.cell_matrix[8] = 214748; else hdr.cell_matrix[3] = 214748;
        std::vector<DgnElement> comps;
        comps.push_back(dgn_new_vertex_element(3, 1, is3d, {P(2990, 3100), P(3010, 3100)}));
        s->cell = b.add_complex(hdr, comps);
    }
    s->ellipse = b.add(dgn_new_ellipse(1, is3d, 4000.4, 4100.6, 0, 50, 30, 0));
    s->deleted = b.line(3, 1, {P(1, 1), P(2, 2)});
    s->level7 = b.line(3, 7, {P(11, 11), P(12, 12)}, 3);
    {
        DgnElement e = dgn_new_vertex_element(3, 1, is3d, {P(21, 21), P(22, 22)});
        e.properties = static_cast<uint16_t>((e.properties & ~0x0Fu) | 1u);
        s->class1 = b.add(e);
    }
    DgnFile tmp;
    ASSERT_TRUE(b.finish(&tmp)) << b.err;
    const int d = dgn_find_element(&tmp, s->deleted);
    ASSERT_GE(d, 0);
    dgn_set_deleted(&tmp, d, true);
    s->f = tmp;
}

std::vector<PointRecord> records_of(const std::vector<PointRecord> &all, int32_t offset) {
    std::vector<PointRecord> r;
    for (const PointRecord &p : all)
        if (p.offset == offset) r.push_back(p);
    return r;
}

TEST(Extract, EveryKindOfElementByItsLocations) {
    Sheet s;
    build_sheet(&s);
    ExtractOptions o;
    criteria_defaults(&o.criteria);
    ASSERT_TRUE(parse_value_list(CRIT_TYPES, "2,3,4,6,7,11,12,14,15,16,17,27", &o.criteria.types, nullptr));
    std::vector<PointRecord> recs;
    ExtractStats st;
    std::string err;
    ASSERT_TRUE(extract_points(s.f, o, nullptr, false, &recs, &st, &err)) << err;

    auto one = [&](uint32_t off, size_t n) {
        std::vector<PointRecord> r = records_of(recs, static_cast<int32_t>(off));
        EXPECT_EQ(r.size(), n) << "offset " << off;
        return r;
    };
    std::vector<PointRecord> r = one(s.line, 2);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].x, 100); EXPECT_EQ(r[0].y, 200); EXPECT_EQ(r[0].z, 0); EXPECT_EQ(r[0].role, 1);
    EXPECT_EQ(r[1].x, 300); EXPECT_EQ(r[1].y, 400); EXPECT_EQ(r[1].role, 2);
    r = one(s.string, 2);
    EXPECT_EQ(r[1].x, 2000); EXPECT_EQ(r[1].y, 900);
    r = one(s.curve, 2);  // the curve passes through vertex 2 and vertex n-3
    EXPECT_EQ(r[0].x, 20); EXPECT_EQ(r[1].x, 40);
    r = one(s.text, 1);
    EXPECT_EQ(r[0].x, 800); EXPECT_EQ(r[0].y, 810); EXPECT_EQ(r[0].role, 0);
    r = one(s.cell, 1);
    EXPECT_EQ(r[0].x, 3000); EXPECT_EQ(r[0].y, 3100); EXPECT_EQ(r[0].role, 0);
    r = one(s.ellipse, 1);
    EXPECT_EQ(r[0].x, 4000); EXPECT_EQ(r[0].y, 4101); EXPECT_EQ(r[0].role, 0);
    one(s.deleted, 0);
    one(s.class1, 0);   // class 1 is not selected by default

    // Fixed elements: offset -1, weight 255, their two ends.
    std::vector<PointRecord> fixed = records_of(recs, -1);
    ASSERT_EQ(fixed.size(), 8u);  // short curve, shape, arc, chain: two ends each
    auto has = [&](int32_t x, int32_t y, int role) {
        for (const PointRecord &p : fixed)
            if (p.x == x && p.y == y && p.role == role && p.weight == WEIGHT_FIXED) return true;
        return false;
    };
    EXPECT_TRUE(has(0, 900, 1) && has(30, 900, 2)) << "a curve without a span is fixed by its stored ends";
    EXPECT_TRUE(has(5000, 5000, 1) && has(5000, 5000, 2)) << "shape: start twice";
    EXPECT_TRUE(has(11000, 10000, 1) && has(10000, 11000, 2)) << "arc of 90 degrees from 0";
    EXPECT_TRUE(has(7000, 100, 1) && has(7300, 150, 2)) << "chain: first and last component";
    EXPECT_EQ(st.fixed_elements, 4);
    EXPECT_EQ(st.fixed_records, 8);
    EXPECT_EQ(st.records, static_cast<long>(recs.size()));
    for (const PointRecord &p : recs) {
        if (p.offset > 0) {
            EXPECT_EQ(p.weight, 0);
        }
    }
}

TEST(Extract, SelectionByLevelColourStyleWeightAndClass) {
    Sheet s;
    build_sheet(&s);
    struct Case {
        CriteriaKind kind;
        const char *list;
        std::vector<uint32_t Sheet::*> want;
    } cases[] = {
        {CRIT_LEVELS, "7", {&Sheet::level7}},
        {CRIT_COLORS, "3", {&Sheet::string, &Sheet::level7}},
        {CRIT_STYLES, "1", {&Sheet::string}},
        {CRIT_WEIGHTS, "2", {&Sheet::string}},
        {CRIT_CLASSES, "1", {&Sheet::class1}},
    };
    for (const Case &c : cases) {
        ExtractOptions o;
        criteria_defaults(&o.criteria);
        ValueSet *sets[CRIT_COUNT] = {&o.criteria.levels, &o.criteria.types, &o.criteria.styles,
                                      &o.criteria.weights, &o.criteria.colors, &o.criteria.classes};
        ASSERT_TRUE(parse_value_list(c.kind, c.list, sets[c.kind], nullptr));
        std::vector<PointRecord> recs;
        ExtractStats st;
        std::string err;
        ASSERT_TRUE(extract_points(s.f, o, nullptr, false, &recs, &st, &err));
        std::vector<int32_t> got, want;
        for (const PointRecord &p : recs) got.push_back(p.offset);
        for (auto m : c.want) want.insert(want.end(), 2, static_cast<int32_t>(s.*m));
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << criteria_info(c.kind)->option << " " << c.list;
    }
}

TEST(Extract, WeightsFromTableAndForPointFeatures) {
    Sheet s;
    build_sheet(&s);
    ExtractOptions o;
    criteria_defaults(&o.criteria);
    ASSERT_TRUE(parse_value_list(CRIT_TYPES, "3,4,17", &o.criteria.types, nullptr));
    std::string err;
    ASSERT_TRUE(weight_table_parse("level 2 50\ncolour 3 70\n", &o.table, &err));
    o.use_table = true;
    std::vector<PointRecord> recs;
    ExtractStats st;
    ASSERT_TRUE(extract_points(s.f, o, nullptr, false, &recs, &st, &err));
    for (const PointRecord &p : recs) {
        const int want = p.offset == static_cast<int32_t>(s.string) ? 70 : p.offset == static_cast<int32_t>(s.level7) ? 70 : 0;
        EXPECT_EQ(p.weight, want) << p.offset;
    }
    // Without a table, -P gives point features weight 1.
    o.use_table = false;
    o.point_weight = true;
    recs.clear();
    ASSERT_TRUE(extract_points(s.f, o, nullptr, false, &recs, &st, &err));
    for (const PointRecord &p : recs) EXPECT_EQ(p.weight, p.role == 0 ? 1 : 0);
}

TEST(Extract, AdjacentSheetsAreFixedInTheDesignFilesUnits) {
    Sheet s;
    build_sheet(&s);
    SheetBuilder ab;
    ab.units.sub_per_master = 100;  // 1000 UORs per master unit instead of 10000
    ab.bytes.clear();
    ASSERT_TRUE(dgn_make_file_header(ab.units, &ab.bytes, &ab.err));
    ab.line(3, 1, {P(10, 20), P(30, 40)});
    DgnFile adj;
    ASSERT_TRUE(ab.finish(&adj)) << ab.err;
    ExtractOptions o;
    criteria_defaults(&o.criteria);
    std::vector<PointRecord> recs;
    ExtractStats st;
    std::string err;
    ASSERT_TRUE(extract_points(adj, o, &s.f, true, &recs, &st, &err));
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].x, 100); EXPECT_EQ(recs[0].y, 200);
    EXPECT_EQ(recs[1].x, 300); EXPECT_EQ(recs[1].y, 400);
    for (const PointRecord &p : recs) {
        EXPECT_EQ(p.offset, -1);
        EXPECT_EQ(p.weight, WEIGHT_FIXED);
    }
}

TEST(PointFile, SortedOnYXZAndOffsetMagnitudeAndWrittenInTheEnginesLayout) {
    std::vector<PointRecord> recs = {
        {5, 1, 0, 4000, 1, 0}, {5, 1, 0, -1, 2, 255}, {5, 0, 0, 9000, 2, 0},
        {-7, 3, 0, 2048, 1, 0}, {5, 1, 0, 2048, 2, 0},
    };
    sort_points(&recs);
    const int32_t offs[] = {2048, 9000, -1, 2048, 4000};
    for (size_t i = 0; i < recs.size(); ++i) EXPECT_EQ(recs[i].offset, offs[i]) << i;

    const std::string path = ::testing::TempDir() + "/nw_points_test";
    std::string err;
    ASSERT_TRUE(write_point_file(path.c_str(), recs, 2, false, &err)) << err;
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "-7 3 2048 1\n5 0 9000 2\n5 1 -1 2\n5 1 2048 2\n5 1 4000 1\n");
    ASSERT_TRUE(write_point_file(path.c_str(), recs, 3, true, &err)) << err;
    std::ifstream in3(path);
    std::string first;
    std::getline(in3, first);
    EXPECT_EQ(first, "-7 3 0 2048 1 0");
    remove(path.c_str());
    EXPECT_FALSE(write_point_file("/nonexistent-folder/sort_pts.1", recs, 2, false, &err));
    EXPECT_NE(err.find("cannot create the point file"), std::string::npos);
}

TEST(Extract, ThreeDimensionalSheetKeepsZ) {
    SheetBuilder b(true);
    const uint32_t at = b.line(3, 1, {P(1, 2, 3), P(4, 5, 6)});
    DgnFile f;
    ASSERT_TRUE(b.finish(&f)) << b.err;
    ExtractOptions o;
    criteria_defaults(&o.criteria);
    std::vector<PointRecord> recs;
    ExtractStats st;
    std::string err;
    ASSERT_TRUE(extract_points(f, o, nullptr, false, &recs, &st, &err));
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].offset, static_cast<int32_t>(at));
    EXPECT_EQ(recs[0].z, 3);
    EXPECT_EQ(recs[1].z, 6);
}

}  // namespace
