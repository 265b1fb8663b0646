/*
 * flags.cpp - problem flags: circles on flag levels that mark direction
 * conflicts, duplicate and singleton lines and points, close points left in
 * flag-only mode, unsolved groups, dangling ends and floating points.
 *
 * Each kind has its own size ratio, symbology and rotation so the kinds can
 * be told apart on screen:
 *     kind            color  style  weight   class     rotation
 *     direction         6      4      3        0          0.0
 *     multiple line    20      0      2     element     120.0
 *     white (loop)      0      0     10     element       0.0
 *     single line       1      1      1     element     112.5
 *     multiple point    3      0      2        0         45.0   (adjacent data: 0, 2, 0, 0.0)
 *     single point      2      1      1        0        202.5
 *     close point   5 / element  element  element+2  element  0.0
 *     unsolved          3      2   element+2 element      0.0
 *     dangle        element element element+4 element     0.0
 *     floater      element+1   1   element+4 element      0.0
 * Weights are kept within 0..31 and colors within 0..255.
 */
#include "engine/run_steps.h"
#include "engine/element_io.h"

#include <cstdio>
#include <cstring>

/* The direction flags' own symbology: no other kind uses style 4. */
static const int DIR_COLOR = 6, DIR_STYLE = 4, DIR_WEIGHT = 3;

void direction_check(Run &r)
{
    GroupState *g = r.g;
    if (!r.opts->dirFlags || g->dirTotal < 2 || g->dirTotal % 2 != 0 || g->dirFirst == g->dirLast)
        return;
    SymbologyRecord s = make_symbology(0, DIR_STYLE, DIR_WEIGHT, DIR_COLOR);
    if (place_flag(r, r.opts->dirLevel, s, r.st->sizes.dirAxes, r.st->pts[g->set[0]], 0.0) == 0)
        r.counters.direction++;
}

namespace {

struct LineInfo {
    int level, type, vertices;
    int32_t range[6];
    int elclass;
};

LineInfo line_info(const ReadRecord *rec, int dimension)
{
    LineInfo li;
    li.level = rec_level(rec);
    li.type = rec_type(rec);
    rec_range(rec, li.range);
    li.vertices = 0;
    if (li.type == 3)
        li.vertices = 2;
    else if (li.type == 4 || li.type == 11)
        li.vertices = rec_vertex_count(rec, dimension);
    li.elclass = rec_class(rec);
    return li;
}

bool same_range(const int32_t a[6], const int32_t b[6])
{
    return std::memcmp(a, b, 6 * sizeof(int32_t)) == 0;
}

} // namespace

int line_checks(Run &r)
{
    const RunOptions &o = *r.opts;
    const RunState *st = r.st;
    GroupState *g = r.g;
    if (o.multiLine.mode == MODE_OFF && o.singleLine.mode == MODE_OFF)
        return 0;

    int lnCount = 0;
    bool plusOff = false;
    for (int32_t j = 0; j < g->pnum; j++) {
        int32_t p = g->cur_set[j];
        if (st->PtVal[p] > 0) {
            lnCount++;
            if (st->offset[p] > 0)
                plusOff = true;
        }
    }
    if (diag >= 1)
        std::printf("\n LnCount=%d plusOff=%d", lnCount, plusOff ? 1 : 0);
    if (!plusOff)
        return 0;

    const bool multiple = lnCount > 1 && o.multiLine.mode != MODE_OFF;
    const bool single = lnCount <= 1 && o.singleLine.mode != MODE_OFF;
    /* Duplicates need a later point to compare with; a singleton line end
     * may be the sub-group's only point. */
    const int32_t lastA = single ? g->pnum - 1 : g->pnum - 2;
    ReadRecord recA, recB;
    for (int32_t l = 0; l <= lastA; l++) {
        int32_t a = g->cur_set[l];
        if (st->offset[a] <= 0)
            continue;
        if (read_element(st->offset[a], &recA) != 0)
            return element_read_failed(r, a);
        LineInfo A = line_info(&recA, st->dimension);

        if (multiple && A.level != o.multiLine.level) {
            for (int32_t m = l + 1; m < g->pnum; m++) {
                int32_t b = g->cur_set[m];
                if (st->offset[b] <= 0)
                    continue;
                if (read_element(st->offset[b], &recB) != 0)
                    return element_read_failed(r, b);
                LineInfo B = line_info(&recB, st->dimension);
                if (A.vertices == 0 || A.vertices != B.vertices || B.level == o.multiLine.level ||
                    A.type != B.type || (A.level != B.level && !o.noLevelCheck) ||
                    !same_range(A.range, B.range))
                    continue;
                if (diag >= 1)
                    std::printf("\n have matching linear characteristics\n will place flag - offset = %d",
                                st->offset[b]);
                const double *axes = st->sizes.multiLineAxes;
                if (st->offset[a] == st->offset[b]) {
                    if (o.whiteFlags) {
                        r.counters.white++;
                        SymbologyRecord s = make_symbology(B.elclass, 0, 10, 0);
                        if (place_flag(r, o.multiLine.level, s, axes, st->pts[b], 0.0) == 0)
                            r.counters.multiLine++;
                    }
                } else {
                    SymbologyRecord s = make_symbology(B.elclass, 0, 2, 20);
                    if (place_flag(r, o.multiLine.level, s, axes, st->pts[b], 120.0) == 0)
                        r.counters.multiLine++;
                }
                if (o.multiLine.mode == MODE_MOVE && st->offset[a] != st->offset[b]) {
                    move_linear_to_level(r, st->offset[b], &recB, o.multiLine.level);
                    r.counters.movedMultiLine++;
                }
            }
        }
        if (single && st->PtVal[a] > 0) {
            if (diag >= 1)
                std::printf("\nHave singleton and will flag/move element");
            SymbologyRecord s = make_symbology(A.elclass, 1, 1, 1);
            if (place_flag(r, o.singleLine.level, s, st->sizes.singleLineAxes, st->pts[a], 112.5) == 0)
                r.counters.singleLine++;
            if (o.singleLine.mode == MODE_MOVE) {
                move_linear_to_level(r, st->offset[a], &recA, o.singleLine.level);
                r.counters.movedSingleLine++;
            }
        }
    }
    return 0;
}

int point_checks(Run &r)
{
    const RunOptions &o = *r.opts;
    const RunState *st = r.st;
    GroupState *g = r.g;
    if (o.multiPoint.mode == MODE_OFF && o.singlePoint.mode == MODE_OFF)
        return 0;

    int features = 0;
    bool positive = false, adjacent = false;
    for (int32_t j = 0; j < g->pnum; j++) {
        int32_t p = g->cur_set[j];
        if (st->PtVal[p] != 0)
            continue;
        features++;
        if (st->offset[p] > 0)
            positive = true;
        if (st->offset[p] < 0)
            adjacent = true;
    }
    r.counters.lastPointCheckHadAdjacent = adjacent;
    if (!positive)
        return 0;

    if (features > 1 && o.multiPoint.mode != MODE_OFF) {
        int number = 0;
        for (int32_t j = 0; j < g->pnum; j++) {
            int32_t p = g->cur_set[j];
            if (st->PtVal[p] != 0)
                continue;
            bool design = st->offset[p] > 0;
            SymbologyRecord s = design ? make_symbology(0, 0, 2, 3) : make_symbology(0, 2, 0, 0);
            if (diag >= 1)
                std::printf("\n will place flag - offset = %d", st->offset[p]);
            if (place_flag(r, o.multiPoint.level, s, st->sizes.multiPointAxes, st->pts[p],
                           design ? 45.0 : 0.0) == 0)
                r.counters.multiPoint++;
            if (adjacent)
                r.counters.adjConflicts++;
            if (!design)
                continue;
            number++;
            if (o.multiPoint.mode == MODE_MOVE && number >= 2) {
                int status = move_point_feature(r, p, o.multiPoint.level);
                if (status != 0)
                    return status;
                r.counters.movedMultiPoint++;
            }
        }
    } else if (features <= 1 && o.singlePoint.mode != MODE_OFF) {
        int32_t p = g->cur_set[0];
        if (st->PtVal[p] != 0)
            return 0;
        SymbologyRecord s = make_symbology(0, 1, 1, 2);
        if (place_flag(r, o.singlePoint.level, s, st->sizes.singlePointAxes, st->pts[p], 202.5) == 0)
            r.counters.singlePoint++;
        if (o.singlePoint.mode == MODE_MOVE && st->offset[p] > 0) {
            int status = move_point_feature(r, p, o.singlePoint.level);
            if (status != 0)
                return status;
            r.counters.movedSinglePoint++;
        }
    }
    return 0;
}

int close_point_flags(Run &r)
{
    const RunOptions &o = *r.opts;
    const RunState *st = r.st;
    GroupState *g = r.g;
    if (diag >= 1)
        std::printf("\nPlacing flags - pnum=%d", g->pnum);

    ReadRecord rec;
    bool gotFlag = false, haveSource = false;
    ElementSymbology src = {0, 0, 0};
    int srcClass = 0;
    for (int32_t k = 0; k < g->s_pnum; k++) {
        int32_t p = g->solset[k];
        if (st->offset[p] <= 0)
            continue;
        if (read_element(st->offset[p], &rec) != 0)
            return element_read_failed(r, p);
        int type = rec_type(&rec);
        if (type == o.existingFlagType)
            gotFlag = true;
        src = rec_symbology(&rec);
        srcClass = rec_class(&rec);
        haveSource = true;
        if (diag >= 1)
            std::printf("\ntype=%d gotFlag=%d", type, gotFlag ? 1 : 0);
    }
    if (!haveSource || gotFlag || o.qpLevel == 64)
        return 0;

    NwPoint prev = st->pts[g->solset[0]];
    for (int32_t k = 0; k < g->s_pnum; k++) {
        int32_t p = g->solset[k];
        const NwPoint &c = st->pts[p];
        if (diag >= 1)
            std::printf("\nk=%d, solset[k]=%d", k, p);
        if (c.x == prev.x && c.y == prev.y && c.z == prev.z)
            continue;
        if (st->offset[p] <= 0 && st->offset[p] != -1)
            continue;
        if (at_anchor(r, c))
            continue;
        int color = st->offset[p] > 0 ? 5 : src.color;
        SymbologyRecord s = make_symbology(srcClass, src.style, src.weight + 2, color);
        if (place_flag(r, o.qpLevel, s, st->sizes.qpAxes, c, 0.0) == 0)
            r.counters.questionable++;
        if (st->dimension != 3) {
            SymbologyRecord s2 = make_symbology(srcClass, src.style, src.weight + 2, color - 1);
            if (place_flag(r, o.qpLevel, s2, st->sizes.qpAxes, prev, 0.0) == 0)
                r.counters.questionable++;
        }
        if (diag >= 1)
            std::printf("\nplaced flag on level %d", o.qpLevel);
        prev = c;
    }
    return 0;
}

int unsolved_flag(Run &r, int32_t point)
{
    const RunState *st = r.st;
    int weight = 0, elclass = 0;
    if (st->offset[point] > 0) {
        ReadRecord rec;
        if (read_element(st->offset[point], &rec) != 0)
            return element_read_failed(r, point);
        weight = rec_symbology(&rec).weight;
        elclass = rec_class(&rec);
    }
    if (r.opts->qpLevel < 1 || r.opts->qpLevel > 63)
        return 0; /* level 64 means no flags */
    SymbologyRecord s = make_symbology(elclass, 2, weight + 2, 3);
    place_flag(r, r.opts->qpLevel, s, st->sizes.qpAxes, st->pts[point], 0.0);
    return 0;
}

int dangle_floater_checks(Run &r)
{
    const RunOptions &o = *r.opts;
    const RunState *st = r.st;
    GroupState *g = r.g;
    if (g->changes != 0 || g->pnum != 1)
        return 0;
    int32_t p = g->cur_set[0];
    if (st->offset[p] <= 0 || (!o.dangleFlags && !o.floatFlags))
        return 0;
    if (diag >= 1)
        std::printf("\nlooking at dangle/floater");
    ReadRecord rec;
    if (read_element(st->offset[p], &rec) != 0)
        return element_read_failed(r, p);
    ElementSymbology sym = rec_symbology(&rec);
    int elclass = rec_class(&rec);
    if (o.dangleFlags) {
        SymbologyRecord s = make_symbology(elclass, sym.style, sym.weight + 4, sym.color);
        if (place_flag(r, o.dangleLevel, s, st->sizes.dangleAxes, st->pts[p], 0.0) == 0)
            r.counters.dangle++;
    }
    if (o.floatFlags && is_point_feature_type(rec_type(&rec))) {
        SymbologyRecord s = make_symbology(elclass, 1, sym.weight + 4, sym.color + 1);
        if (place_flag(r, o.floatLevel, s, st->sizes.floatAxes, st->pts[p], 0.0) == 0)
            r.counters.floater++;
    }
    return 0;
}
