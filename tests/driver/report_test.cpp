// Run report: a file before and after a run (built by hand here) compared by position.
#include <gtest/gtest.h>

#include "driver/report.h"
#include "sheet_builder.h"

namespace {

// Replaces element `index` of f by e re-encoded (same size expected).
void overwrite(DgnFile *f, int index, DgnElement e) {
    std::vector<uint8_t> b;
    std::string err;
    ASSERT_TRUE(dgn_finish_element(&e, &b, &err)) << err;
    ASSERT_TRUE(dgn_overwrite_element(f, index, b.data(), b.size(), &err)) << err;
}

DgnElement decoded(const DgnFile &f, uint32_t pos) {
    const int i = dgn_find_element(&f, pos);
    uint32_t n = 0;
    const uint8_t *b = dgn_element_bytes(&f, i, &n);
    DgnElement e;
    std::string err;
    EXPECT_TRUE(dgn_decode_element(b, n, f.is3d, &e, &err)) << err;
    return e;
}

void append(DgnFile *f, DgnElement e, uint32_t *pos) {
    std::vector<uint8_t> b;
    std::string err;
    ASSERT_TRUE(dgn_finish_element(&e, &b, &err)) << err;
    ASSERT_TRUE(dgn_append_element(f, b.data(), b.size(), pos, &err)) << err;
}

TEST(Report, RebuiltMovedLevelMovedAndFlagsAreFound) {
    SheetBuilder b;
    const uint32_t line = b.line(3, 2, {P(0, 0), P(1000, 0)});
    const uint32_t str = b.line(4, 3, {P(5000, 5000), P(5500, 5600), P(6000, 5000)});
    const uint32_t other = b.line(4, 3, {P(8000, 0), P(8100, 100), P(8200, 0)});
    const uint32_t text = b.add(dgn_new_text(1, false, P(300, 300), "A", 10, 10, 0, 1, 2));
    const uint32_t gone = b.line(3, 4, {P(-50, -50), P(-60, -60)});
    DgnFile before;
    ASSERT_TRUE(b.finish(&before)) << b.err;
    DgnFile after = before;

    // The line's far end was mended; the string was rebuilt backwards with both ends moved.
    dgn_set_deleted(&after, dgn_find_element(&after, line), true);
    dgn_set_deleted(&after, dgn_find_element(&after, str), true);
    dgn_set_deleted(&after, dgn_find_element(&after, gone), true);
    uint32_t newLine = 0, newStr = 0, flag = 0, flag2 = 0, stray = 0;
    append(&after, dgn_new_vertex_element(3, 2, false, {P(1003, -2), P(0, 0)}), &newLine);
    append(&after, dgn_new_vertex_element(4, 3, false, {P(6001, 5001), P(5500, 5600), P(4999, 4998)}), &newStr);
    // A dangle flag (axes 0.667 s, s) on level 60 and a close-point flag on level 61.
    append(&after, dgn_new_ellipse(60, false, 8000, 0, 0, 667, 1000, 0), &flag);
    DgnElement close = dgn_new_ellipse(61, false, 300, 300, 0, 500, 500, 0);
    close.color = 5;
    append(&after, close, &flag2);
    append(&after, dgn_new_vertex_element(3, 9, false, {P(90000, 0), P(90100, 0)}), &stray);
    // The text moved in place; the other string moved to level 20.
    DgnElement t = decoded(after, text);
    t.origin = P(310, 295);
    overwrite(&after, dgn_find_element(&after, text), t);
    DgnElement o = decoded(after, other);
    o.level = 20;
    overwrite(&after, dgn_find_element(&after, other), o);

    ReportOptions opt;
    opt.tolerance_uor = 10;
    opt.flag_level[FLAG_DANGLE] = 60;
    opt.flag_level[FLAG_CLOSE] = 61;
    opt.flag_level[FLAG_UNSOLVED] = 61;
    RunReport r;
    diff_design_files(before, after, opt, &r);

    ASSERT_EQ(r.mended.size(), 2u);
    EXPECT_EQ(r.mended[0].position, line);
    EXPECT_EQ(r.mended[0].new_positions, std::vector<uint32_t>{newLine});
    EXPECT_EQ(r.mended[0].new_start.x, 0);  // in the old element's direction
    EXPECT_EQ(r.mended[0].new_end.x, 1003);
    EXPECT_EQ(r.mended[0].new_end.y, -2);
    EXPECT_EQ(r.mended[1].position, str);
    EXPECT_EQ(r.mended[1].old_start.x, 5000);
    EXPECT_EQ(r.mended[1].new_start.x, 4999);
    EXPECT_EQ(r.mended[1].new_end.y, 5001);

    ASSERT_EQ(r.moved.size(), 1u);
    EXPECT_EQ(r.moved[0].position, text);
    EXPECT_EQ(r.moved[0].new_at.x, 310);
    ASSERT_EQ(r.level_moves.size(), 1u);
    EXPECT_EQ(r.level_moves[0].position, other);
    EXPECT_EQ(r.level_moves[0].new_level, 20);

    ASSERT_EQ(r.flags.size(), 2u);
    EXPECT_EQ(r.flags[0].kind, FLAG_DANGLE);
    EXPECT_EQ(r.flags[0].position, flag);
    EXPECT_EQ(r.flags[1].kind, FLAG_CLOSE);
    EXPECT_DOUBLE_EQ(r.flags[1].x, 300);

    EXPECT_EQ(r.deleted, std::vector<uint32_t>{gone});
    EXPECT_EQ(r.added, std::vector<uint32_t>{stray});

    const std::string json = report_json(r, "sheet.dgn");
    EXPECT_NE(json.find("\"counts\": {\"mended\": 2, \"moved\": 1, \"level_moves\": 1, \"flags\": 2"), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"kind\": \"dangle\""), std::string::npos);
    const std::string csv = report_csv(r);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "record,position,new_position,type,level,kind,x1,y1,z1,x2,y2,z2,x3,y3,z3,x4,y4,z4");
    EXPECT_NE(csv.find("flag," + std::to_string(flag) + ",,15,60,dangle,"), std::string::npos) << csv;
}

TEST(Report, EndsBeyondTheToleranceAreNotTakenForARebuild) {
    SheetBuilder b;
    const uint32_t line = b.line(3, 2, {P(0, 0), P(1000, 0)});
    DgnFile before;
    ASSERT_TRUE(b.finish(&before)) << b.err;
    DgnFile after = before;
    dgn_set_deleted(&after, dgn_find_element(&after, line), true);
    uint32_t far = 0;
    append(&after, dgn_new_vertex_element(3, 2, false, {P(0, 0), P(1500, 0)}), &far);
    ReportOptions opt;
    opt.tolerance_uor = 100;
    RunReport r;
    diff_design_files(before, after, opt, &r);
    EXPECT_TRUE(r.mended.empty());
    EXPECT_EQ(r.deleted, std::vector<uint32_t>{line});
    EXPECT_EQ(r.added, std::vector<uint32_t>{far});
}

TEST(Report, FlagKindsByAxisRatioWhereLevelsAreShared) {
    struct Case {
        double a, b, rot;
        int color, weight;
        FlagKind want;
    } cases[] = {
        {1000, 330, 120.0, 20, 2, FLAG_MULTIPLE_LINE},
        {1000, 330, 0.0, 0, 10, FLAG_WHITE},
        {1000, 330, 112.5, 1, 1, FLAG_SINGLE_LINE},
        {1000, 500, 45.0, 3, 2, FLAG_MULTIPLE_POINT},
        {1000, 500, 202.5, 2, 1, FLAG_SINGLE_POINT},
        {667, 1000, 0.0, 4, 4, FLAG_DANGLE},
        {1000, 800, 0.0, 4, 4, FLAG_FLOATER},
    };
    for (const Case &c : cases) {
        SheetBuilder b;
        DgnFile before;
        ASSERT_TRUE(b.finish(&before));
        DgnFile after = before;
        DgnElement e = dgn_new_ellipse(30, false, 0, 0, 0, c.a, c.b, c.rot);
        e.color = c.color;
        e.weight = c.weight;
        uint32_t pos;
        append(&after, e, &pos);
        ReportOptions opt;
        for (int k = 1; k < FLAG_KIND_COUNT; ++k) opt.flag_level[k] = 30;
        RunReport r;
        diff_design_files(before, after, opt, &r);
        ASSERT_EQ(r.flags.size(), 1u);
        EXPECT_EQ(r.flags[0].kind, c.want) << flag_kind_name(c.want);
    }
}

}  // namespace
