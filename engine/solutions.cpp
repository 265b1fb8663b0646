/*
 * solutions.cpp - one mended location for a sub-group whose points do not
 * all coincide.
 *
 * Three passes are tried in the order of the run options (-O): the modal
 * location (the location repeated most often, exactly), the intersection
 * of the linear elements meeting there (2D only) and the average. Every
 * point of the sub-group not already at the solution is marked to move
 * there (modif, modpts); the elements are rewritten later by the
 * modification pass.
 */
#include "engine/run_steps.h"
#include "engine/element_io.h"
#include "geometry/geometry.h"

#include <cstdio>

namespace {

struct Solution {
    int found;      /* 0 while no pass has found one */
    NwPoint sol;    /* modal_sol */
};

/* Candidates: the whole sub-group, or with -w the points of the largest
 * weight, or with -P the point features. */
void pick_candidates(Run &r)
{
    GroupState *g = r.g;
    const RunState *st = r.st;
    const RunOptions &o = *r.opts;
    g->s_pnum = 0;
    if (!o.weights && !o.fixedPoints) {
        for (int32_t j = 0; j < g->pnum; j++)
            g->solset[g->s_pnum++] = g->cur_set[j];
        return;
    }
    int maxWeight = 0;
    if (o.weights) {
        for (int32_t j = 0; j < g->pnum; j++)
            if (st->weight[g->cur_set[j]] > maxWeight)
                maxWeight = st->weight[g->cur_set[j]];
        if (diag >= 1)
            std::printf("\nMaximum weight = %d", maxWeight);
    }
    for (int32_t j = 0; j < g->pnum; j++) {
        int32_t p = g->cur_set[j];
        if (o.weights) {
            if (st->weight[p] != maxWeight)
                continue;
            if (diag >= 1)
                std::printf("\nmax weight match @ %d %d ", j, p);
        } else {
            if (st->PtVal[p] != 0)
                continue;
            if (diag >= 1)
                std::printf("\nFixed Point found @ %d %d ", j, p);
        }
        g->solset[g->s_pnum++] = p;
    }
    if (diag >= 1)
        std::printf("\ns_pnum=%d --------------", g->s_pnum);
}

/* Run lengths of identical consecutive locations: modalset[l] is the length
 * so far of the run ending with entries l and l+1. Returns the longest. */
template <typename Same>
int32_t count_runs(int32_t *modalset, int32_t n, Same same)
{
    int32_t run = 0, maxRun = 0;
    for (int32_t l = 0; l < n; l++)
        modalset[l] = 0;
    for (int32_t l = 0; l + 1 < n; l++) {
        if (same(l, l + 1)) {
            run++;
            modalset[l] = run;
            if (run > maxRun)
                maxRun = run;
        } else {
            run = 0;
        }
    }
    return maxRun;
}

/* The longest run's entry, or -1 when a second run of the longest length
 * so far ends (a tie). */
int32_t pick_longest_run(const int32_t *modalset, int32_t n)
{
    int32_t best = -1, at = -1;
    for (int32_t l = 0; l + 1 < n; l++) {
        if (modalset[l] > 0 && modalset[l] == best && modalset[l + 1] < best)
            return -1;
        if (modalset[l] > best) {
            best = modalset[l];
            at = l;
        }
    }
    return at;
}

void modal_pass(Run &r, Solution *s)
{
    GroupState *g = r.g;
    const RunState *st = r.st;
    const bool ignoreZ = r.opts->ignoreZ;
    if (diag >= 1)
        std::printf("\n  finding modal solution");
    int32_t maxMod = count_runs(g->modalset, g->s_pnum, [&](int32_t a, int32_t b) {
        const NwPoint &p = st->pts[g->solset[a]], &q = st->pts[g->solset[b]];
        return p.x == q.x && p.y == q.y && (p.z == q.z || ignoreZ);
    });
    if (maxMod == 0)
        return;
    if (diag >= 1)
        std::printf("\n  modal solution found based on %d points", maxMod + 1);
    int32_t at = pick_longest_run(g->modalset, g->s_pnum);
    if (at < 0) {
        if (diag >= 1)
            std::printf("\nmultiple modal solutions found - will average");
        return;
    }
    s->sol = st->pts[g->solset[at]];
    if (ignoreZ)
        s->sol.z = 0;
    s->found = maxMod;
}

/* The segment of a candidate: its location and the next vertex inside its
 * element. False for point features, adjacent data and other types. */
int candidate_segment(Run &r, int32_t p, NwPoint *P1, NwPoint *P2, bool *has)
{
    const RunState *st = r.st;
    *has = false;
    if (st->PtVal[p] == 0 || st->offset[p] <= 0)
        return 0;
    ReadRecord rec;
    if (read_element(st->offset[p], &rec) != 0)
        return element_read_failed(r, p);
    int type = rec_type(&rec);
    int n = rec_vertex_count(&rec, st->dimension);
    bool first = st->PtVal[p] == 1;
    int index;
    if (type == 3 && n == 2)
        index = first ? 1 : 0;
    else if (type == 4)
        index = first ? 1 : n - 2;
    else if (type == 11)
        index = first ? 3 : n - 4;
    else
        return 0;
    if (index < 0 || index >= n || !rec_vertex(&rec, st->dimension, index, P2))
        return 0;
    *P1 = st->pts[p];
    *has = true;
    return 0;
}

int intersection_pass(Run &r, Solution *s)
{
    GroupState *g = r.g;
    const RunState *st = r.st;
    const double tol = st->sizes.tolerance;
    const int32_t n = g->s_pnum;
    if (diag >= 1)
        std::printf("\nLooking for Line/Line Intersection Solution");

    /* Every candidate's element is read once. */
    NwPoint *p1 = new NwPoint[n], *p2 = new NwPoint[n];
    bool *has = new bool[n];
    int status = 0;
    for (int32_t l = 0; l < n && status == 0; l++)
        status = candidate_segment(r, g->solset[l], &p1[l], &p2[l], &has[l]);

    int32_t found = 0;
    for (int32_t l = 0; status == 0 && l + 1 < n; l++) {
        if (!has[l])
            continue;
        for (int32_t m = l + 1; m < n; m++) {
            if (!has[m])
                continue;
            if (diag >= 1)
                std::printf("\nFound possible intersection Pt k=%d l=%d - will test now", l, m);
            NwPoint2d ip = {0, 0};
            int16_t intStatus = 0;
            intersect(&p1[l], &p2[l], &p1[m], &p2[m], &ip, &intStatus, &diag);
            if (intStatus < 0) {
                if (diag >= 1)
                    std::printf("\nLooking for Line/Point Solution");
                continue;
            }
            NwPoint at = {ip.x, ip.y, 0};
            NwPoint a1 = {p1[l].x, p1[l].y, 0}, a2 = {p2[l].x, p2[l].y, 0};
            int16_t two = 2;
            if (distance(&a1, &at, &two) > tol || distance(&a2, &at, &two) == 0)
                continue;
            if (found == MAX_PNUM)
                continue; /* the list is full; later points only repeat the crossing */
            g->intPt_set[found++] = ip;
            s->sol = at;
            if (diag >= 1)
                std::printf("\nIntPt is OKAY - now have %d potential sol_pts\n", found);
        }
    }
    delete[] p1;
    delete[] p2;
    delete[] has;
    if (status != 0 || found == 0)
        return status;
    if (found == 1) {
        s->found = 1;
        return 0;
    }
    int32_t maxMod = count_runs(g->modalset, found, [&](int32_t a, int32_t b) {
        return g->intPt_set[a].x == g->intPt_set[b].x && g->intPt_set[a].y == g->intPt_set[b].y;
    });
    if (maxMod == 0)
        return 0;
    int32_t at = pick_longest_run(g->modalset, found);
    if (at >= 0) {
        s->sol = {g->intPt_set[at].x, g->intPt_set[at].y, 0};
        if (diag >= 1)
            std::printf("\nmodal_sol set with intPt_set[%d]", at);
    } else {
        if (diag >= 1)
            std::printf("\n  finding average solution");
        double sx = 0, sy = 0;
        for (int32_t l = 0; l < found; l++) {
            sx += g->intPt_set[l].x;
            sy += g->intPt_set[l].y;
        }
        s->sol = {(int32_t)(sx / found), (int32_t)(sy / found), 0};
    }
    s->found = 1;
    return 0;
}

void average_pass(Run &r, Solution *s)
{
    GroupState *g = r.g;
    const RunState *st = r.st;
    if (diag >= 1)
        std::printf("\n  finding average solution");
    double sx = 0, sy = 0, sz = 0;
    const double n = g->s_pnum;
    for (int32_t l = 0; l < g->s_pnum; l++) {
        const NwPoint &p = st->pts[g->solset[l]];
        sx += p.x / n;
        sy += p.y / n;
        sz += p.z / n;
        if (diag >= 1)
            std::printf("\n- %.2f %.2f  %.2f- %d %d %d - 0 %d", sx, sy, sz, p.x, p.y, p.z, l);
    }
    s->sol = {(int32_t)sx, (int32_t)sy, r.opts->ignoreZ ? 0 : (int32_t)sz};
    if (diag >= 1)
        std::printf("\n= %.2f %.2f %.2f - %d %d %d - %d %d", sx, sy, sz, s->sol.x, s->sol.y, s->sol.z,
                    g->s_pnum, g->pnum);
    s->found = 1;
}

} // namespace

int solve_subgroup(Run &r)
{
    GroupState *g = r.g;
    RunState *st = r.st;
    const RunOptions &o = *r.opts;

    pick_candidates(r);
    if ((o.maxGroup > 0 && g->s_pnum > o.maxGroup) || o.flagOnly) {
        if (o.flagOnly && o.qpLevel != 0)
            return close_point_flags(r);
        return 0;
    }
    if (g->s_pnum == 0) {
        /* Nothing to decide the location (-P without point features): the
         * sub-group is left as it is and reported as unsolved. */
        r.counters.unsolved++;
        if (o.qpLevel > 0)
            return unsolved_flag(r, g->cur_set[0]);
        return 0;
    }

    Solution s = {0, {0, 0, 0}};
    for (int pass = 3; pass >= 1; pass--) {
        if (diag >= 1)
            std::printf("\npass=%d", pass);
        if (pass == o.modVal && s.found == 0 && g->s_pnum > 2) {
            if (diag >= 1)
                std::printf(" - solution = 0 and pass=modVal=%d - seeking solution", o.modVal);
            modal_pass(r, &s);
        }
        if (pass == o.intVal && s.found == 0 && st->dimension == 2) {
            if (diag >= 1)
                std::printf(" - solution = 0 and pass=intVal=%d - seeking solution", o.intVal);
            int status = intersection_pass(r, &s);
            if (status != 0)
                return status;
        }
        if (pass == o.aveVal && s.found == 0) {
            if (diag >= 1)
                std::printf(" - solution = 0 and pass=aveVal=%d - seeking solution", o.aveVal);
            average_pass(r, &s);
        }
    }

    if (s.found == 0) {
        r.counters.unsolved++;
        if (o.qpLevel > 0)
            return unsolved_flag(r, g->solset[0]);
        return 0;
    }
    for (int32_t j = 0; j < g->pnum; j++) {
        int32_t p = g->cur_set[j];
        const NwPoint &q = st->pts[p];
        if (q.x != s.sol.x || q.y != s.sol.y || (st->dimension == 3 && q.z != s.sol.z)) {
            st->modif[p] = 1;
            st->modpts[p] = s.sol;
            if (diag >= 1)
                std::printf("\n   %d      k = %d  -----  Change Made", j, p);
        }
    }
    return 0;
}
