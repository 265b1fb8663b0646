// extract.cpp - selecting elements and taking their locations; sorting and writing the
// point file.
#include "driver/extract.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "dgn/dgn_element.h"
#include "dgnrequests/element_layout.h"

namespace {

struct Loc {
    DgnPoint p;
    bool ok;
};

uint16_t u16(const uint8_t *b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }

// Vertex i of a type 3/4/6/11/21 element, bounds-checked against its size.
bool vertex_at(const uint8_t *b, uint32_t n, int type, bool is3d, uint32_t i, DgnPoint *p) {
    const uint32_t per = is3d ? 12 : 8;
    const uint32_t at = type == 3 ? 36 + i * per : 38 + i * per;
    if (at + per > n) return false;
    p->x = elm_load_i32m(b + at);
    p->y = elm_load_i32m(b + at + 4);
    p->z = is3d ? elm_load_i32m(b + at + 8) : 0;
    return true;
}

uint32_t vertex_count(const uint8_t *b, uint32_t n, int type) {
    if (type == 3) return 2;
    return n >= 38 ? u16(b + 36) : 0;
}

bool to_i32(double v, int32_t *out) {
    if (!std::isfinite(v)) return false;
    const double r = std::floor(v + 0.5);
    if (r < -2147483648.0 || r > 2147483647.0) return false;
    *out = static_cast<int32_t>(r);
    return true;
}

// Start or end point of an arc: P(t) = C + a cos t u + b sin t v (parametric angle t).
bool arc_point(const DgnElement &e, bool end, DgnPoint *p) {
    const double deg = M_PI / 180.0 / 360000.0;
    double sweep = static_cast<double>(e.sweep_raw & 0x7FFFFFFFu);
    if (sweep == 0) sweep = 360.0 * 360000.0;
    if (e.sweep_raw & 0x80000000u) sweep = -sweep;
    const double t = (e.start_angle + (end ? sweep : 0.0)) * deg;
    const double a = e.primary.value, b = e.secondary.value;
    double u[3], v[3];
    if (!e.is3d) {
        const double r = e.orientation.rotation * deg;
        u[0] = std::cos(r), u[1] = std::sin(r), u[2] = 0;
        v[0] = -std::sin(r), v[1] = std::cos(r), v[2] = 0;
    } else {
        const double s = 2147483648.0;
        const double w = e.orientation.quat[0] / s, x = e.orientation.quat[1] / s, y = e.orientation.quat[2] / s,
                     z = e.orientation.quat[3] / s;
        // Columns 0 and 1 of the orientation matrix.
        u[0] = w * w + x * x - y * y - z * z, u[1] = 2 * (x * y - z * w), u[2] = 2 * (x * z + y * w);
        v[0] = 2 * (x * y + z * w), v[1] = w * w - x * x + y * y - z * z, v[2] = 2 * (y * z - x * w);
    }
    double q[3];
    for (int k = 0; k < 3; ++k) q[k] = e.centre[k].value + a * std::cos(t) * u[k] + b * std::sin(t) * v[k];
    p->z = 0;
    return to_i32(q[0], &p->x) && to_i32(q[1], &p->y) && (!e.is3d || to_i32(q[2], &p->z));
}

// First (end = false) or last point of a simple element that has ends.
bool element_end(const DgnFile &f, int index, bool end, DgnPoint *p) {
    const DgnElementRef &r = f.elements[static_cast<size_t>(index)];
    uint32_t n = 0;
    const uint8_t *b = dgn_element_bytes(&f, index, &n);
    if (!b) return false;
    switch (r.type) {
    case 3: case 4: case 6: case 21: {
        const uint32_t count = vertex_count(b, n, r.type);
        if (count < 1) return false;
        return vertex_at(b, n, r.type, f.is3d, end ? count - 1 : 0, p);
    }
    case 11: {
        const uint32_t count = vertex_count(b, n, r.type);
        if (count >= 6) return vertex_at(b, n, r.type, f.is3d, end ? count - 3 : 2, p);
        if (count < 1) return false;
        return vertex_at(b, n, r.type, f.is3d, end ? count - 1 : 0, p);
    }
    case 16: {
        DgnElement e;
        std::string why;
        if (!dgn_decode_element(b, n, f.is3d, &e, &why)) return false;
        return arc_point(e, end, p);
    }
    default:
        return false;
    }
}

struct Symbology {
    int level, style, weight, color, cls;
};

Symbology symbology_of(const uint8_t *b, uint32_t n, int level) {
    Symbology s = {level, 0, 0, 0, 0};
    if (n >= 36) {
        s.style = b[34] & 7;
        s.weight = b[34] >> 3;
        s.color = b[35];
        s.cls = u16(b + 32) & 0x0F;
    }
    return s;
}

// Index one past the components of the complex header at `index`.
int components_end(const DgnFile &f, int index) {
    int j = index + 1;
    const int count = static_cast<int>(f.elements.size());
    while (j < count && f.elements[static_cast<size_t>(j)].complex) ++j;
    return j;
}

// Ends of a complex chain/shape or B-spline curve: the start of its first component that has
// ends and the end of its last one.
bool complex_ends(const DgnFile &f, int index, DgnPoint *first, DgnPoint *last) {
    const int stop = components_end(f, index);
    bool haveFirst = false, haveLast = false;
    for (int j = index + 1; j < stop; ++j) {
        if (f.elements[static_cast<size_t>(j)].deleted) continue;
        DgnPoint a, b;
        if (!element_end(f, j, false, &a) || !element_end(f, j, true, &b)) continue;
        if (!haveFirst) {
            *first = a;
            haveFirst = true;
        }
        *last = b;
        haveLast = true;
    }
    return haveFirst && haveLast;
}

bool point_feature_location(const DgnFile &f, int index, DgnPoint *p) {
    uint32_t n = 0;
    const uint8_t *b = dgn_element_bytes(&f, index, &n);
    DgnElement e;
    std::string why;
    if (!b || !dgn_decode_element(b, n, f.is3d, &e, &why)) return false;
    if (e.type == 15) {
        p->z = 0;
        return to_i32(e.centre[0].value, &p->x) && to_i32(e.centre[1].value, &p->y) &&
               (!f.is3d || to_i32(e.centre[2].value, &p->z));
    }
    *p = e.origin;
    if (!f.is3d) p->z = 0;
    return true;
}

// Converts a location from the UORs of `from` into those of `to` through master units and
// the global origins; exact when both files use the same units and origin.
bool convert_frame(const DgnFile &from, const DgnFile &to, DgnPoint *p) {
    const double upmFrom = static_cast<double>(from.eu_mu) * from.eu_uor;
    const double upmTo = static_cast<double>(to.eu_mu) * to.eu_uor;
    bool same = upmFrom == upmTo;
    for (int k = 0; k < 3; ++k) same = same && from.global_origin[k] == to.global_origin[k];
    if (same) return true;
    if (upmFrom <= 0 || upmTo <= 0) return false;
    int32_t *c[3] = {&p->x, &p->y, &p->z};
    for (int k = 0; k < 3; ++k) {
        const double world = (*c[k] - from.global_origin[k]) / upmFrom;
        if (!to_i32(world * upmTo + to.global_origin[k], c[k])) return false;
    }
    return true;
}

}  // namespace

bool extract_points(const DgnFile &f, const ExtractOptions &o, const DgnFile *frame, bool adjacent,
                    std::vector<PointRecord> *out, ExtractStats *st, std::string *err) {
    const int count = static_cast<int>(f.elements.size());
    for (int i = 0; i < count; ++i) {
        const DgnElementRef &r = f.elements[static_cast<size_t>(i)];
        if (r.deleted || r.complex || !dgn_type_has_display_header(r.type)) continue;
        if (!o.criteria.types.test(r.type)) continue;
        uint32_t n = 0;
        const uint8_t *b = dgn_element_bytes(&f, i, &n);
        if (!b) continue;
        const Symbology s = symbology_of(b, n, r.level);
        if (!criteria_select(o.criteria, r.type, s.level, s.style, s.weight, s.color, s.cls)) continue;
        ++st->elements;

        DgnPoint pts[2];
        int npts = 0;
        bool fixed = adjacent;
        bool pointFeature = false;
        switch (r.type) {
        case 2: case 7: case 15: case 17:
            pointFeature = true;
            if (point_feature_location(f, i, &pts[0])) npts = 1;
            break;
        case 3: case 4: case 11:
            if (element_end(f, i, false, &pts[0]) && element_end(f, i, true, &pts[1])) npts = 2;
            if (r.type == 11 && vertex_count(b, n, 11) < 6) fixed = true;
            break;
        case 6: case 16:
            fixed = true;
            if (element_end(f, i, false, &pts[0]) && element_end(f, i, true, &pts[1])) npts = 2;
            break;
        case 12: case 14: case 27:
            fixed = true;
            if (complex_ends(f, i, &pts[0], &pts[1])) npts = 2;
            if (r.type == 27 && n >= 41 && (b[40] & 0x80)) pts[1] = pts[0];  // closed curve
            break;
        default:
            break;
        }
        if (npts == 0) {
            ++st->skipped;
            continue;
        }
        if (!fixed && r.offset > POINT_OFFSET_MAX) {
            *err = "the " + std::string(dgn_type_name(r.type)) + " at position " + std::to_string(r.offset) +
                   " lies beyond byte " + std::to_string(POINT_OFFSET_MAX) +
                   ", the largest position the point file can carry";
            return false;
        }
        if (fixed) ++st->fixed_elements;
        int weight = 0;
        if (fixed)
            weight = WEIGHT_FIXED;
        else if (o.use_table)
            weight = weight_for(o.table, s.level, s.color, s.style);
        else if (o.point_weight && pointFeature)
            weight = 1;
        for (int k = 0; k < npts; ++k) {
            DgnPoint p = pts[k];
            if (!f.is3d) p.z = 0;
            if (frame && frame != &f && !convert_frame(f, *frame, &p)) {
                ++st->skipped;
                continue;
            }
            PointRecord rec;
            rec.x = p.x;
            rec.y = p.y;
            rec.z = p.z;
            rec.offset = fixed ? -1 : static_cast<int32_t>(r.offset);
            rec.role = static_cast<uint8_t>(pointFeature ? 0 : k + 1);
            rec.weight = static_cast<uint8_t>(weight);
            out->push_back(rec);
            ++st->records;
            if (fixed) ++st->fixed_records;
        }
    }
    return true;
}

void sort_points(std::vector<PointRecord> *recs) {
    std::sort(recs->begin(), recs->end(), [](const PointRecord &a, const PointRecord &b) {
        if (a.y != b.y) return a.y < b.y;
        if (a.x != b.x) return a.x < b.x;
        if (a.z != b.z) return a.z < b.z;
        const int64_t ma = a.offset < 0 ? -static_cast<int64_t>(a.offset) : a.offset;
        const int64_t mb = b.offset < 0 ? -static_cast<int64_t>(b.offset) : b.offset;
        if (ma != mb) return ma < mb;
        if (a.role != b.role) return a.role < b.role;
        return a.offset < b.offset;
    });
}

namespace {

char *put_int(char *p, int64_t v) {
    char tmp[24];
    int n = 0;
    const bool neg = v < 0;
    uint64_t u = neg ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
    do {
        tmp[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (neg) *p++ = '-';
    while (n) *p++ = tmp[--n];
    return p;
}

}  // namespace

bool write_point_file(const char *path, const std::vector<PointRecord> &recs, int dimension, bool weights,
                      std::string *err) {
    FILE *fp = fopen(path, "wb");
    if (!fp) {
        *err = std::string("cannot create the point file ") + path + ": " + strerror(errno);
        return false;
    }
    std::vector<char> buf(1 << 20);
    size_t used = 0;
    bool ok = true;
    for (const PointRecord &r : recs) {
        if (buf.size() - used < 96) {
            ok = ok && fwrite(buf.data(), 1, used, fp) == used;
            used = 0;
        }
        char *p = buf.data() + used;
        p = put_int(p, r.y);
        *p++ = ' ';
        p = put_int(p, r.x);
        *p++ = ' ';
        if (dimension == 3) {
            p = put_int(p, r.z);
            *p++ = ' ';
        }
        p = put_int(p, r.offset);
        *p++ = ' ';
        *p++ = static_cast<char>('0' + (r.role % 10));
        if (weights) {
            *p++ = ' ';
            p = put_int(p, r.weight);
        }
        *p++ = '\n';
        used = static_cast<size_t>(p - buf.data());
    }
    ok = ok && fwrite(buf.data(), 1, used, fp) == used;
    ok = (fflush(fp) == 0) && ok;
    ok = (fclose(fp) == 0) && ok;
    if (!ok) {
        *err = std::string("cannot write the point file ") + path + ": " + strerror(errno);
        unlink(path);
        return false;
    }
    return true;
}
