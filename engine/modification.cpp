/*
 * modification.cpp - carries the mended locations into the design file.
 *
 * One walk over the point records handles each element that owns a mended
 * point once: a point feature (cell, text node, ellipse, text) is moved by
 * its point's displacement; a line, line string or curve is rebuilt from
 * its own vertices with both ends at their mended (or kept) locations,
 * placed as new elements of at most 101 vertices (97 for curves), and the
 * source deleted unless the run keeps it. A record whose offset is
 * negative is done; the pass negates the records it handles.
 *
 * Elements of other types (shapes, complex chains and shapes, arcs,
 * B-splines, ...) have no vertex rule here: they are left exactly as they
 * are, with one line saying so, and never deleted.
 */
#include "engine/run_steps.h"
#include "engine/element_io.h"
#include "geometry/attr_link.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct PassState {
    int32_t i;                     /* record being handled */
    int32_t a;                     /* far end's record */
    ElementBlockByte where;
    std::vector<NwPoint> L;        /* new vertex list */
    int16_t attrs[NW_ATTR_LIST_WORDS];
    int32_t zlow, zhigh;
};

bool same_point(const NwPoint &p, const NwPoint &q, int dimension)
{
    return p.x == q.x && p.y == q.y && (dimension != 3 || p.z == q.z);
}

/* Marks every record of the element at `position` done, so an element
 * that is left alone is reported once. */
void retire_element(RunState *st, int32_t position)
{
    for (int32_t m = 0; m <= st->last; m++)
        if (st->offset[m] == position)
            st->offset[m] = -position;
}

bool traced(const Run &r, int32_t i)
{
    return diag >= 1 && i >= r.opts->debugStart;
}

/* Compares record m with the target location and element magnitude in the
 * order of the sorted point file: y, x, z (3D), |offset|. */
int compare_record(const RunState *st, int32_t m, const NwPoint &t, int64_t mag)
{
    const NwPoint &p = st->pts[m];
    if (p.y != t.y)
        return p.y < t.y ? -1 : 1;
    if (p.x != t.x)
        return p.x < t.x ? -1 : 1;
    if (st->dimension == 3 && p.z != t.z)
        return p.z < t.z ? -1 : 1;
    int64_t o = std::llabs((int64_t)st->offset[m]);
    if (o != mag)
        return o < mag ? -1 : 1;
    return 0;
}

/* The far end's own record: the record at location t of the element at
 * |offset| = mag, other than record `self` when both ends coincide (a
 * closed element is then handled once). A bisection over the sorted
 * records that never probes outside them; -1 when there is none. */
int32_t find_far_end(const Run &r, int32_t self, const NwPoint &t, int64_t mag)
{
    const RunState *st = r.st;
    int32_t lo = 0, hi = st->last;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (traced(r, self))
            std::printf("\n %d %d %d", mid, lo, hi);
        if (compare_record(st, mid, t, mag) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (st->maxverts == 0 || compare_record(st, lo, t, mag) != 0)
        return -1;
    for (int32_t m = lo; m <= st->last && compare_record(st, m, t, mag) == 0; m++)
        if (m != self)
            return m;
    return lo;
}

void place_pieces(Run &r, PassState &ps, int level, const SymbologyRecord &symb)
{
    const RunState *st = r.st;
    const bool curves = r.opts->writeCurves;
    const int dim = st->dimension;
    const int32_t S = (int32_t)ps.L.size() - 1;
    int32_t c = curves ? 96 : 100;
    if (S % c == 1)
        c--;
    if (!curves && c == 99 && S % 99 == 1)
        c = 98;
    if (curves && c == 95 && S % 95 == 1)
        c = 94;
    const int32_t *zl = dim == 3 ? nullptr : &ps.zlow;
    const int32_t *zh = dim == 3 ? nullptr : &ps.zhigh;
    int16_t lv = (int16_t)level;
    std::vector<int32_t> out;
    for (int32_t start = 0; start < S; start += c) {
        if (S - start < c)
            c = S - start;
        out.clear();
        for (int32_t k = start; k <= start + c; k++) {
            out.push_back(ps.L[k].x);
            out.push_back(ps.L[k].y);
            if (dim == 3)
                out.push_back(ps.L[k].z);
        }
        int16_t status = 0;
        int16_t count = (int16_t)(c + 1);
        if (curves) {
            if (count == 2) {
                /* A curve needs three vertices: put the midpoint between. */
                const NwPoint &p = ps.L[start], &q = ps.L[start + 1];
                NwPoint mid = {(int32_t)(((int64_t)p.x + q.x) / 2), (int32_t)(((int64_t)p.y + q.y) / 2),
                               (int32_t)(((int64_t)p.z + q.z) / 2)};
                out.clear();
                const NwPoint *three[3] = {&p, &mid, &q};
                for (const NwPoint *v : three) {
                    out.push_back(v->x);
                    out.push_back(v->y);
                    if (dim == 3)
                        out.push_back(v->z);
                }
                count = 3;
            }
            if (cudfpi_ex(&r.placePair, &lv, &symb, out.data(), &count, &status, ps.attrs, nullptr,
                          nullptr, nullptr, zl, zh, nullptr, nullptr) != 0)
                std::printf("\nError placing CURVE\n");
        } else {
            if (traced(r, ps.i))
                std::printf("\nWriting linear element with %d vertices", c + 1);
            if (count == 2) {
                if (lndfpi_ex(&r.placePair, &lv, &symb, out.data(), &status, ps.attrs, nullptr, nullptr,
                              nullptr, zl, zh, nullptr, nullptr) != 0)
                    std::printf("\nError placing LINE\n");
            } else if (lsdfpi_ex(&r.placePair, &lv, &symb, out.data(), &count, &status, ps.attrs,
                                 nullptr, nullptr, nullptr, zl, zh, nullptr, nullptr) != 0) {
                std::printf("\nError placing LINESTRING\n");
            }
        }
        advance_graphic_group(r);
    }
}

void move_point_element(Run &r, PassState &ps, const ReadRecord &rec)
{
    RunState *st = r.st;
    const RunOptions &o = *r.opts;
    const int32_t i = ps.i;
    const NwPoint &p = st->pts[i], &m = st->modpts[i];
    double dx = (double)((int64_t)m.x - p.x), dy = (double)((int64_t)m.y - p.y);
    double dz = st->dimension == 3 ? (double)((int64_t)m.z - p.z) : 0.0;
    if (diag >= 1)
        std::printf("\n moving cell by %d,%d,%d uors", (int)dx, (int)dy, (int)dz);
    if (move_at(st->offset[i], dx, dy, dz) != 0)
        std::printf("\nError moving POINT feature\n");
    else if (diag >= 1)
        std::printf("\n  moved POINT feature\n");
    r.counters.pointMods++;
    st->offset[i] = -st->offset[i];

    if (!o.mendFlags || (dx == 0 && dy == 0 && dz == 0))
        return;
    ElementSymbology sym = rec_symbology(&rec);
    /* Each flag gets the next color; colors are 8 bits in the file. */
    SymbologyRecord s = make_symbology(rec_class(&rec), sym.style, sym.weight + 2, r.counters.mendFlags & 0xFF);
    r.counters.mendFlags++;
    place_flag(r, o.mendLevel, s, st->sizes.mendAxes, p, 0.0);
}

/* Rebuilds a line, line string or curve. Returns 0 or exit status 99. */
int rebuild_linear(Run &r, PassState &ps, const ReadRecord &rec, int type)
{
    RunState *st = r.st;
    const RunOptions &o = *r.opts;
    const int dim = st->dimension;
    const int32_t i = ps.i;
    const int count = rec_vertex_count(&rec, dim);

    int first, lastV;   /* walk bounds inside the element's vertices */
    if (type == 3 || type == 4) {
        first = 0;
        lastV = count - 1;
    } else {
        first = 2;
        lastV = count - 3;
    }
    const int n = lastV - first + 1;
    NwPoint v0;
    bool ok = n >= 2 && rec_vertex(&rec, dim, first, &v0);
    if (!ok) {
        std::printf("\nElement type %d at offset %d has too few vertices - left unchanged\n", type, st->offset[i]);
        retire_element(st, st->offset[i]);
        return 0;
    }

    r.placePair = rec_graphic_group(&rec) != 0 ? gg_pair(1, rec_graphic_group(&rec)) : gg_pair(2, 0);
    int32_t range[6];
    rec_range(&rec, range);
    /* The source's z range, each value with bit 31 cleared. */
    ps.zlow = (int32_t)((uint32_t)range[2] & 0x7FFFFFFF);
    ps.zhigh = (int32_t)((uint32_t)range[5] & 0x7FFFFFFF);

    const int32_t E = st->offset[i];
    r.counters.linearMods++;
    st->offset[i] = -st->offset[i];

    const bool backward = !same_point(v0, st->pts[i], dim);
    if (diag >= 1)
        std::printf("\n%d %d %d %d", i, r.g->numpts, st->modif[i], st->offset[i]);
    if (diag >= 1)
        std::printf("\nTransfering %d vertices - flip_pt = %d", n, backward ? 1 : 0);
    ps.L.assign(n, NwPoint{0, 0, 0});
    ps.L[0] = st->modpts[i];
    for (int k = 1; k < n; k++) {
        int index = backward ? lastV - k : first + k;
        NwPoint v = {0, 0, 0};
        rec_vertex(&rec, dim, index, &v);
        ps.L[k] = v;
    }

    int32_t a = find_far_end(r, i, ps.L[n - 1], E);
    if (a < 0) {
        std::printf("\nError finding end of segment location at offset[%d] = %d\nAbnormal Exit from VKR_nodeweld",
                    i, st->offset[i]);
        r.closeOnExit = true;
        return 99;
    }
    ps.a = a;
    if (st->modif[a] == 1) {
        ps.L[n - 1] = st->modpts[a];
        if (diag >= 1)
            std::printf("\nTransfered modified points from %d to %d", a, n - 1);
    } else {
        ps.L[n - 1] = st->pts[a];
    }
    if (traced(r, i)) {
        std::printf("\nEnd pt found at aindex = %d", a);
        std::printf("\nMatch pts located back to %d \n", a);
        std::printf("\n %d %d %d %d %d %d", ps.L[0].x, ps.L[0].y, ps.L[0].z, ps.L[n - 1].x, ps.L[n - 1].y,
                    ps.L[n - 1].z);
    }
    const bool zeroLength = n == 2 && ps.L[1].x == ps.L[0].x && ps.L[1].y == ps.L[0].y && ps.L[1].z == ps.L[0].z;

    if (o.deleteSource && !rec_complex(&rec)) {
        uint16_t block, byte;
        if (delete_at(E, &block, &byte) != 0)
            std::printf("\nError deleting segment at %d/%d", block, byte);
    }
    if (st->offset[a] > 0)
        st->offset[a] = -st->offset[a];

    int16_t next = 2;
    for (int16_t &w : ps.attrs)
        w = 0;
    attr_link_check(rec.element, ps.attrs, &next, 0, 0, 0);

    int level = o.outLevelGiven ? o.outLevel : rec_level(&rec);
    SymbologyRecord symb;
    if (o.keepSymbology) {
        ElementSymbology s = rec_symbology(&rec);
        symb = make_symbology(rec_class(&rec), s.style, s.weight, s.color);
    } else {
        symb = make_symbology(o.outClass, o.outStyle, o.outWeight, o.outColor);
    }
    if (!zeroLength)
        place_pieces(r, ps, level, symb);
    return 0;
}

} // namespace

int modification_pass(Run &r)
{
    RunState *st = r.st;
    if (diag >= 1)
        for (int32_t i = 0; i <= st->last; i++)
            std::printf("\n%d %d %d", i, st->modif[i], st->offset[i]);

    PassState *ps = new PassState;
    ReadRecord rec;
    int status = 0;
    for (int32_t i = 0; i <= st->last && status == 0; i++) {
        if (i % 5000 == 0 && i != 0) {
            std::printf("\n  Processed %d pts", i);
            std::fflush(stdout); /* progress reaches a pipe at once */
        }
        if (diag >= 1)
            std::printf("\n\n%d : %d %d %d %d - %d", i, r.g->numpts, st->modif[i], st->offset[i], st->offset[0],
                        st->last);
        if (st->offset[i] <= 0 || st->modif[i] != 1)
            continue;
        ps->i = i;
        elm_position_to_block(st->offset[i], &ps->where);
        if (diag >= 1)
            std::printf("\n%d %d %d %d", i, r.g->numpts, st->modif[i], st->offset[i]);
        if (read_element(st->offset[i], &rec) != 0) {
            std::printf("\nrddfpi error - element %d at offset: %d", i, st->offset[i]);
            status = 6;
            break;
        }
        int type = rec_type(&rec);
        if (diag >= 1)
            std::printf("\nStart type %d at Blk: %d Byte: %3d %8d", type, ps->where.block, ps->where.byte, st->offset[i]);
        if (is_point_feature_type(type)) {
            move_point_element(r, *ps, rec);
        } else if (type == 3 || type == 4 || type == 11) {
            status = rebuild_linear(r, *ps, rec, type);
        } else {
            std::printf("\nElement type %d at offset %d has no vertex rule - left unchanged\n", type,
                        st->offset[i]);
            retire_element(st, st->offset[i]);
        }
    }
    delete ps;
    return status;
}
