// dgn_range.cpp - ranges of new or edited elements and builders for new elements.
#include "dgn/dgn_range.h"

#include <cmath>
#include <cstring>

#include "dgnrequests/element_layout.h"

namespace {

const double PI = 3.14159265358979323846;
const double QSCALE = 2147483647.0;  // quaternion component 1.0 as stored

void set_err(std::string *err, const std::string &m) {
    if (err) *err = m;
}

// Columns 0 and 1 of the rotation matrix of a stored quaternion (Q4, Q1, Q2, Q3): the element's
// local X and Y axes in design coordinates.
void quat_axes(const int32_t q[4], double u[3], double v[3]) {
    const double w = q[0] / 2147483648.0, x = q[1] / 2147483648.0, y = q[2] / 2147483648.0,
                 z = q[3] / 2147483648.0;
    u[0] = w * w + x * x - y * y - z * z;
    u[1] = 2 * (x * y - z * w);
    u[2] = 2 * (x * z + y * w);
    v[0] = 2 * (x * y + z * w);
    v[1] = w * w - x * x + y * y - z * z;
    v[2] = 2 * (y * z - x * w);
}

void axes(const DgnElement &e, double u[3], double v[3]) {
    if (e.is3d) {
        quat_axes(e.orientation.quat, u, v);
    } else {
        const double r = e.orientation.rotation / 360000.0 * PI / 180.0;
        u[0] = cos(r); u[1] = sin(r); u[2] = 0;
        v[0] = -sin(r); v[1] = cos(r); v[2] = 0;
    }
}

struct Box {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void add(const double p[3]) {
        for (int k = 0; k < 3; ++k) {
            if (p[k] < lo[k]) lo[k] = p[k];
            if (p[k] > hi[k]) hi[k] = p[k];
        }
    }
};

bool store(const Box &b, bool is3d, int32_t r[6], std::string *err) {
    for (int k = 0; k < (is3d ? 3 : 2); ++k) {
        const double l = floor(b.lo[k]), h = ceil(b.hi[k]);
        if (!(l >= -2147483648.0 && h <= 2147483647.0)) {
            set_err(err, "element extends outside the design plane");
            return false;
        }
        r[k] = static_cast<int32_t>(l);
        r[k + 3] = static_cast<int32_t>(h);
    }
    if (!is3d) {
        r[2] = INT32_MIN;
        r[5] = INT32_MAX;
    }
    return true;
}

// Point of an ellipse at parametric angle t.
void ellipse_point(const double c[3], double a, double b, const double u[3], const double v[3], double t,
                   double p[3]) {
    for (int k = 0; k < 3; ++k) p[k] = c[k] + a * cos(t) * u[k] + b * sin(t) * v[k];
}

}  // namespace

void dgn_range_empty(int32_t r[6]) {
    r[0] = r[1] = r[2] = INT32_MAX;
    r[3] = r[4] = r[5] = INT32_MIN;
}

void dgn_range_union(int32_t into[6], const int32_t r[6]) {
    for (int k = 0; k < 3; ++k) {
        if (r[k] < into[k]) into[k] = r[k];
        if (r[k + 3] > into[k + 3]) into[k + 3] = r[k + 3];
    }
}

bool dgn_compute_range(DgnElement *e, std::string *err) {
    Box b;
    double p[3];
    switch (e->type) {
    case 3: case 4: case 6: case 11:
        if (e->vertices.empty()) { set_err(err, "element without vertices"); return false; }
        for (const DgnPoint &q : e->vertices) {
            p[0] = q.x; p[1] = q.y; p[2] = e->is3d ? q.z : 0;
            b.add(p);
        }
        return store(b, e->is3d, e->range, err);
    case 15: case 16: {
        double u[3], v[3];
        axes(*e, u, v);
        const double c[3] = {e->centre[0].value, e->centre[1].value, e->is3d ? e->centre[2].value : 0};
        const double a = e->primary.value, bb = e->secondary.value;
        double t0 = 0, sweep = 2 * PI;
        if (e->type == 16) {
            const uint32_t mag = e->sweep_raw & 0x7FFFFFFFu;
            t0 = e->start_angle / 360000.0 * PI / 180.0;
            sweep = mag == 0 ? 2 * PI : mag / 360000.0 * PI / 180.0;
            if (sweep > 2 * PI) sweep = 2 * PI;
            if (e->sweep_raw & 0x80000000u) {
                // Clockwise: the same points as the counter-clockwise sweep ending at the start.
                t0 -= sweep;
            }
        }
        ellipse_point(c, a, bb, u, v, t0, p);
        b.add(p);
        ellipse_point(c, a, bb, u, v, t0 + sweep, p);
        b.add(p);
        // Axis extremes: d/dt (a cos t u_k + b sin t v_k) = 0 at t = atan2(b v_k, a u_k) (+ pi).
        for (int k = 0; k < 3; ++k) {
            const double te = atan2(bb * v[k], a * u[k]);
            for (int h = 0; h < 2; ++h) {
                double t = te + h * PI;
                double rel = fmod(t - t0, 2 * PI);
                if (rel < 0) rel += 2 * PI;
                if (rel <= sweep) {
                    ellipse_point(c, a, bb, u, v, t0 + rel, p);
                    b.add(p);
                }
            }
        }
        return store(b, e->is3d, e->range, err);
    }
    case 17: {
        double u[3], v[3];
        axes(*e, u, v);
        const double w = fabs(e->length_mult * 6.0 / 1000.0) * e->text.size();
        const double h = fabs(e->height_mult * 6.0 / 1000.0);
        const double o[3] = {static_cast<double>(e->origin.x), static_cast<double>(e->origin.y),
                             e->is3d ? static_cast<double>(e->origin.z) : 0};
        for (int i = 0; i < 4; ++i) {
            const double s = (i & 1) ? w : 0, t = (i & 2) ? h : 0;
            for (int k = 0; k < 3; ++k) p[k] = o[k] + s * u[k] + t * v[k];
            b.add(p);
        }
        return store(b, e->is3d, e->range, err);
    }
    case 7: {
        const double h = fabs(e->height_mult * 6.0 / 1000.0);
        const double o[3] = {static_cast<double>(e->origin.x), static_cast<double>(e->origin.y),
                             e->is3d ? static_cast<double>(e->origin.z) : 0};
        for (int k = 0; k < 3; ++k) p[k] = o[k] - h;
        b.add(p);
        for (int k = 0; k < 3; ++k) p[k] = o[k] + h;
        b.add(p);
        return store(b, e->is3d, e->range, err);
    }
    default:
        set_err(err, "no own geometry to take a range from");
        return false;
    }
}

DgnElement dgn_new_element(int type, int level, bool is3d) {
    DgnElement e;
    e.type = type;
    e.level = level & 0x3F;
    e.is3d = is3d;
    e.has_display_header = true;
    e.properties = 0x0200;  // new
    dgn_range_empty(e.range);
    if (type == 12 || type == 14) {
        // Four spare words that bring the header to the 24-word minimum some readers expect.
        e.tail.assign(8, 0);
    }
    return e;
}

DgnElement dgn_new_vertex_element(int type, int level, bool is3d, const std::vector<DgnPoint> &pts) {
    DgnElement e = dgn_new_element(type, level, is3d);
    e.vertices = pts;
    if (!is3d)
        for (DgnPoint &q : e.vertices) q.z = 0;
    return e;
}

void dgn_set_rotation(DgnElement *e, double rotation_deg) {
    if (e->is3d) {
        const double h = rotation_deg * PI / 180.0 / 2;
        e->orientation.quat[0] = static_cast<int32_t>(lround(cos(h) * QSCALE));
        e->orientation.quat[1] = 0;
        e->orientation.quat[2] = 0;
        e->orientation.quat[3] = static_cast<int32_t>(lround(-sin(h) * QSCALE));
    } else {
        double r = fmod(rotation_deg, 360.0);
        if (r < 0) r += 360.0;
        e->orientation.rotation = static_cast<int32_t>(lround(r * 360000.0));
    }
}

DgnElement dgn_new_ellipse(int level, bool is3d, double cx, double cy, double cz, double a, double b,
                           double rotation_deg) {
    DgnElement e = dgn_new_element(15, level, is3d);
    e.primary.value = a;
    e.secondary.value = b;
    e.centre[0].value = cx;
    e.centre[1].value = cy;
    e.centre[2].value = is3d ? cz : 0;
    dgn_set_rotation(&e, rotation_deg);
    return e;
}

DgnElement dgn_new_arc(int level, bool is3d, double cx, double cy, double cz, double a, double b,
                       double rotation_deg, double start_deg, double sweep_deg) {
    DgnElement e = dgn_new_ellipse(level, is3d, cx, cy, cz, a, b, rotation_deg);
    e.type = 16;
    double s = fmod(start_deg, 360.0);
    if (s < 0) s += 360.0;
    e.start_angle = static_cast<int32_t>(lround(s * 360000.0));
    double mag = fabs(sweep_deg);
    if (mag >= 360.0) mag = 0;  // a full turn is stored as 0
    e.sweep_raw = static_cast<uint32_t>(lround(mag * 360000.0)) | (sweep_deg < 0 ? 0x80000000u : 0);
    return e;
}

DgnElement dgn_new_text(int level, bool is3d, const DgnPoint &origin, const std::string &text, double width,
                        double height, double rotation_deg, int font, int justification) {
    DgnElement e = dgn_new_element(17, level, is3d);
    e.origin = origin;
    if (!is3d) e.origin.z = 0;
    e.text = text.substr(0, 255);
    e.length_mult = static_cast<int32_t>(lround(width * 1000.0 / 6.0));
    e.height_mult = static_cast<int32_t>(lround(height * 1000.0 / 6.0));
    e.font = static_cast<uint8_t>(font);
    e.justification = static_cast<uint8_t>(justification);
    dgn_set_rotation(&e, rotation_deg);
    return e;
}

bool dgn_finish_element(DgnElement *e, std::vector<uint8_t> *out, std::string *err) {
    switch (e->type) {
    case 3: case 4: case 6: case 7: case 11: case 15: case 16: case 17:
        if (!dgn_compute_range(e, err)) return false;
        break;
    default:
        break;
    }
    return dgn_encode_element(*e, out, err);
}

bool dgn_finish_complex(DgnElement *header, std::vector<DgnElement> *components, std::vector<uint8_t> *out,
                        std::string *err) {
    std::vector<std::vector<uint8_t>> encoded(components->size());
    int32_t r[6];
    dgn_range_empty(r);
    size_t words = 0;
    for (size_t i = 0; i < components->size(); ++i) {
        DgnElement &c = (*components)[i];
        c.complex = true;
        c.level = header->level;
        if (!dgn_finish_element(&c, &encoded[i], err)) return false;
        words += encoded[i].size() / 2;
        dgn_range_union(r, c.range);
    }
    if (components->empty()) {
        // No components: the header's own geometry (text node origin) or nothing.
        if (header->type == 7) dgn_compute_range(header, nullptr);
    } else {
        memcpy(header->range, r, sizeof r);
        if (!header->is3d) {
            header->range[2] = INT32_MIN;
            header->range[5] = INT32_MAX;
        }
    }
    if (header->type != 2) {
        if (components->size() > 0xFFFF) { set_err(err, "too many components"); return false; }
        header->numelems = static_cast<uint16_t>(components->size());
    }
    std::vector<uint8_t> h;
    header->totlength = 0;
    if (!dgn_encode_element(*header, &h, err)) return false;
    // Words after the words-in-description field to the end of the last component.
    const size_t total = (h.size() / 2 - 19) + words;
    if (total > 0xFFFF) { set_err(err, "complex element longer than 65535 words"); return false; }
    header->totlength = static_cast<uint16_t>(total);
    if (!dgn_encode_element(*header, &h, err)) return false;
    out->swap(h);
    for (const std::vector<uint8_t> &c : encoded) out->insert(out->end(), c.begin(), c.end());
    return true;
}
