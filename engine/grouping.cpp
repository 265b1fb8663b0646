/*
 * grouping.cpp - one walk over the sorted records forms groups of points
 * that lie within the tolerance of each other, splits each group into
 * sub-groups around anchor points, and hands every sub-group to the checks
 * and the solutions.
 *
 * Anchors are the two records of one element inside a group (closed loops,
 * short or folded elements), two elements running between the same two
 * locations (linked elements), and point features under -P. Every other
 * point joins its nearest anchor, and mending happens inside a sub-group
 * only, so the two ends of one element are never pulled together.
 */
#include "engine/run_steps.h"
#include "engine/element_io.h"
#include "geometry/geometry.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

int element_read_failed(const Run &r, int32_t point)
{
    std::printf("\nrddfpi error - element %d at offset: %d", point, r.st->offset[point]);
    return 66;
}

static double dist(const Run &r, int32_t a, int32_t b)
{
    return distance(&r.st->pts[a], &r.st->pts[b], &r.st->dimension);
}

static void count_direction(GroupState *g, uint8_t role)
{
    g->dirTotal++;
    if (role == 1)
        g->dirFirst++;
    else if (role == 2)
        g->dirLast++;
}

/* Running counts of line ends over the records, for counting a whole
 * stretch of records at once: ends[i] holds the ends (role above 0),
 * first vertices and last vertices among records 0..i-1. Built only when
 * direction flags are on. */
static std::vector<int32_t> endCounts[3];

static void build_end_counts(const RunState *st)
{
    for (std::vector<int32_t> &v : endCounts)
        v.assign((size_t)st->maxverts + 1, 0);
    for (int32_t i = 0; i < st->maxverts; i++) {
        uint8_t role = st->PtVal[i];
        endCounts[0][i + 1] = endCounts[0][i] + (role > 0);
        endCounts[1][i + 1] = endCounts[1][i] + (role == 1);
        endCounts[2][i + 1] = endCounts[2][i] + (role == 2);
    }
}

/* Counts the line ends of records from..to (both included). */
static void count_direction_range(Run &r, int32_t from, int32_t to)
{
    if (from > to)
        return;
    GroupState *g = r.g;
    int32_t ends = endCounts[0][to + 1] - endCounts[0][from];
    g->dirTotal += ends;
    g->dirFirst += endCounts[1][to + 1] - endCounts[1][from];
    g->dirLast += endCounts[2][to + 1] - endCounts[2][from];
    if (ends > 0)
        g->dirCentre = r.st->pts[g->set[0]];
}

/* Index of the last record with the same y as record k. */
static int32_t end_of_y_run(const RunState *st, int32_t k)
{
    const int32_t y = st->pts[k].y;
    int32_t lo = k, step = 1;
    while (lo + step <= st->last && st->pts[lo + step].y == y) {
        lo += step;
        step *= 2;
    }
    int32_t hi = lo + step <= st->last ? lo + step : st->last;  /* y differs at hi, or hi is last */
    while (lo < hi) {
        int32_t mid = lo + (hi - lo + 1) / 2;
        if (st->pts[mid].y == y)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

/* Index of the record holding the other end of point k's element, or -1.
 * Bisection over the element index (ascending as unsigned values). */
static int32_t partner_of(const Run &r, int32_t k)
{
    const RunState *st = r.st;
    if (st->offsetVal == nullptr || st->maxverts == 0)
        return -1;
    uint32_t target = (uint32_t)st->offset[k];
    int32_t lo = 0, hi = st->last, found = -1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        uint32_t v = (uint32_t)st->offsetVal[mid];
        if (v == target) {
            found = mid;
            break;
        }
        if (v < target)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    if (found < 0)
        return -1;
    if (st->offsetPtr[found] != k)
        return st->offsetPtr[found];
    if (found > 0 && (uint32_t)st->offsetVal[found - 1] == target)
        return st->offsetPtr[found - 1];
    if (found < st->last && (uint32_t)st->offsetVal[found + 1] == target)
        return st->offsetPtr[found + 1];
    return -1;
}

bool at_anchor(const Run &r, const NwPoint &p)
{
    const GroupState *g = r.g;
    for (int32_t a = 0; a < g->same_elm; a++) {
        const NwPoint &q = r.st->pts[g->same_set[a]];
        if (q.x == p.x && q.y == p.y && (r.st->dimension != 3 || q.z == p.z))
            return true;
    }
    return false;
}

static void add_anchor(GroupState *g, int32_t p)
{
    if (g->same_elm < 3 * MAX_PNUM)
        g->same_set[g->same_elm++] = p;
}

/* Same-element pairing and linked elements for the point just accepted. */
static void find_anchors(Run &r, int32_t k, int32_t pnum)
{
    const RunState *st = r.st;
    GroupState *g = r.g;
    bool added = false;
    if (r.opts->sameElement && st->PtVal[k] > 0 && st->offset[k] > 0) {
        for (int32_t m = 0; m < pnum; m++) {
            if (st->offset[g->set[m]] == st->offset[k]) {
                add_anchor(g, g->set[m]);
                add_anchor(g, k);
                added = true;
                if (diag >= 1)
                    std::printf("\n ***** offsets match for k/set[m]: %d/%d %ld %ld same_elm=%d", k,
                                g->set[m], (long)st->offset[k], (long)st->offset[g->set[m]], g->same_elm);
                break;
            }
        }
    }
    if (!r.opts->partnerChecks || added || st->PtVal[k] == 0)
        return;
    int32_t kp = partner_of(r, k);
    if (kp < 0)
        return;
    for (int32_t m = 0; m < pnum; m++) {
        int32_t mp = partner_of(r, g->set[m]);
        if (mp >= 0 && st->pts[mp].x == st->pts[kp].x && st->pts[mp].y == st->pts[kp].y) {
            add_anchor(g, g->set[m]);
            add_anchor(g, k);
            if (diag >= 1)
                std::printf("\n ***** ELEMENTS LINKED for k/set[m]: %d/%d %ld %ld same_elm=%d", k, g->set[m],
                            (long)st->offset[k], (long)st->offset[g->set[m]], g->same_elm);
            break;
        }
    }
}

/* With -P, point features of the group not yet at an anchor's location
 * become anchors themselves. */
static int add_fixed_points(Run &r)
{
    const RunState *st = r.st;
    GroupState *g = r.g;
    ReadRecord rec;
    for (int32_t j = 0; j < g->pnum; j++) {
        int32_t p = g->set[j];
        if (st->offset[p] <= 0)
            continue; /* adjacent data is never read */
        if (read_element(st->offset[p], &rec) != 0)
            return element_read_failed(r, p);
        if (!is_point_feature_type(rec_type(&rec)))
            continue;
        if (!at_anchor(r, st->pts[p]))
            add_anchor(g, p);
    }
    return 0;
}

static void find_nearest_anchors(Run &r)
{
    GroupState *g = r.g;
    for (int32_t j = 0; j < g->pnum; j++) {
        float best = 1.0e9f;
        int32_t idx = -1;
        for (int32_t a = 0; a < g->same_elm; a++) {
            float d = (float)dist(r, g->set[j], g->same_set[a]);
            if (d < best) {
                best = d;
                idx = a;
            }
        }
        g->nearest[j] = idx;
        if (diag >= 1)
            std::printf("\n Point %d is nearest to ptr %d - %lf", g->set[j], idx, (double)best);
    }
}

/* Checks and solutions of the current sub-group (cur_set, pnum, changes). */
static int process_subgroup(Run &r)
{
    int status = line_checks(r);
    if (status == 0)
        status = point_checks(r);
    if (status != 0)
        return status;
    if (r.g->changes == 1)
        return solve_subgroup(r);
    return dangle_floater_checks(r);
}

static int process_subgroups(Run &r)
{
    GroupState *g = r.g;
    const int32_t size = g->pnum;
    g->groupSize = size;
    if (g->same_elm == 0) {
        for (int32_t j = 0; j < size; j++)
            g->cur_set[j] = g->set[j];
        return process_subgroup(r);
    }
    for (int32_t m = 0; m <= g->same_elm; m++) {
        int32_t n = 0;
        for (int32_t j = 0; j < size; j++)
            if (g->nearest[j] == m)
                g->cur_set[n++] = g->set[j];
        if (n == 0)
            continue;
        g->pnum = n;
        g->changes = 0;
        for (int32_t j = 1; j < n; j++) {
            if (dist(r, g->cur_set[j], g->cur_set[0]) > 0) {
                g->changes = 1;
                if (diag >= 1)
                    std::printf("\n  Sameset diff found m= %d k=%d pnum=%d", m, g->cur_set[j], n);
                break;
            }
        }
        int status = process_subgroup(r);
        if (status != 0)
            return status;
    }
    g->pnum = size;
    return 0;
}

int group_points(Run &r)
{
    RunState *st = r.st;
    GroupState *g = r.g;
    const RunOptions &o = *r.opts;
    const double tol = st->sizes.tolerance;
    if (o.dirFlags)
        build_end_counts(st);

    for (int32_t i = 0; i <= st->last; i++) {
        int32_t pnum = 0;
        g->set[0] = i;
        g->changes = 0;
        g->numpts = 0;
        g->same_elm = 0;
        g->dirTotal = g->dirFirst = g->dirLast = 0;
        bool gap = false;

        if (o.dirFlags && st->PtVal[i] > 0) {
            count_direction(g, st->PtVal[i]);
            g->dirCentre = st->pts[i];
        }
        if (i % 5000 == 0 && i != 0) {
            std::printf("\n Grouped %d points", i);
            std::fflush(stdout); /* progress reaches a pipe at once */
        }
        if (st->modif[i] == 1)
            continue; /* mended by an earlier group: starts no group */
        if (diag >= 1)
            std::printf("\nGROUP STARTS AT %d\n %d %d %d  %d  %d %d %d\n", i, st->pts[i].x, st->pts[i].y,
                        st->pts[i].z, st->modif[i], st->modpts[i].x, st->modpts[i].y, st->modpts[i].z);

        int32_t k = i + 1;
        for (; k <= st->last; k++) {
            int64_t dyLast = (int64_t)st->pts[k].y - st->pts[g->set[pnum]].y;
            int64_t dyStart = (int64_t)st->pts[k].y - st->pts[g->set[0]].y;
            if ((double)std::llabs(dyLast) > tol || (double)std::llabs(dyStart) > 2 * tol)
                break;
            if (o.dirFlags && st->PtVal[k] > 0) {
                count_direction(g, st->PtVal[k]);
                g->dirCentre = st->pts[g->set[0]];
            }
            if (dist(r, k, g->set[pnum]) > tol || dist(r, k, g->set[0]) > 2 * tol || st->modif[k] == 1) {
                gap = true;
                /* Records of equal y follow in x order: once one lies more
                 * than twice the tolerance beyond the start in x, every
                 * later one of that y is refused too. Step over them (they
                 * still count for the direction check). */
                if ((int64_t)st->pts[k].x - st->pts[g->set[0]].x > 2 * tol + 1) {
                    int32_t end = end_of_y_run(st, k);
                    if (o.dirFlags)
                        count_direction_range(r, k + 1, end);
                    k = end;
                }
                continue;
            }
            if (!gap)
                g->numpts++;
            if (pnum + 2 > MAX_PNUM) {
                std::printf("\nMAX_PNUM exceeded at i=%d - k=%d - too many points in group", i, k);
                r.closeOnExit = true;
                return 999;
            }
            pnum++;
            g->set[pnum] = k;
            find_anchors(r, k, pnum);
            if (g->changes == 0 && dist(r, k, g->set[0]) > 0) {
                g->changes = 1;
                if (diag >= 1)
                    std::printf("\n\n  Diff found i=%d k=%d pnum=%d  | x=%ld y=%ld", i, k, pnum,
                                (long)st->pts[k].x, (long)st->pts[k].y);
            }
        }
        if (diag >= 1)
            std::printf("\nnumpts=%d", g->numpts);
        g->pnum = pnum + 1;

        direction_check(r);
        if (o.fixedPoints) {
            int status = add_fixed_points(r);
            if (status != 0)
                return status;
        }
        if (diag >= 2)
            std::printf("\n Number(pnum) of cords in set = %d Number of same_elms = %d", g->pnum, g->same_elm);
        if (g->same_elm > 0)
            find_nearest_anchors(r);
        int status = process_subgroups(r);
        if (status != 0)
            return status;
        if (diag >= 1)
            std::printf("\nGROUP ENDS at %d with #pts = %d - next group starts at %d\n", k - 1, g->pnum,
                        i + g->numpts + 1);
        i += g->numpts;
    }
    return 0;
}
