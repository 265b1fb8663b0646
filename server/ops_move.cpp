// Move (61): translates an element, in place, by the offsets of a
// translation matrix. A complex element (cell, text node, complex chain or
// shape, surface, solid) moves with all its components; ranges move with
// the geometry, so they stay exact. Moving a single component also grows
// the range of its complex header to cover it.
//
// Request: 16 file number (0 = the open design file; others: 970), 20 block,
// 24 byte, 28 a word the server does not use, 32 the matrix: row-major 3 x 4
// (1 0 0 dx / 0 1 0 dy / 0 0 1 dz) in a 3D file, (1 0 dx / 0 1 dy) and six
// zeros in a 2D file. Any other matrix is refused with 927.
// Integer coordinates move by the offsets rounded to whole UORs; centres of
// ellipses and arcs (doubles) move by the exact offsets. All or nothing: when
// one element of the set cannot move (outside the design plane: 933, a type
// without known coordinates: 934), nothing changes.
#include <math.h>
#include <string.h>

#include <string>

#include "dgn/dgn_element.h"
#include "dgn/dgn_range.h"
#include "dgnrequests/element_layout.h"
#include "server/ops_elements.h"

namespace {

double get_double(const uint8_t *p) {
    double v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Reads the translation of a pure translation matrix; false otherwise.
bool translation_of(const uint8_t *m, bool is3d, double d[3]) {
    double v[12];
    for (int k = 0; k < 12; ++k) v[k] = get_double(m + 8 * k);
    static const double rot3[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (is3d) {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                if (v[4 * r + c] != rot3[3 * r + c]) return false;
            d[r] = v[4 * r + 3];
        }
    } else {
        if (v[0] != 1 || v[1] != 0 || v[3] != 0 || v[4] != 1) return false;
        for (int k = 6; k < 12; ++k)
            if (v[k] != 0) return false;
        d[0] = v[2];
        d[1] = v[5];
        d[2] = 0;
    }
    for (int k = 0; k < 3; ++k)
        if (!isfinite(d[k]) || fabs(d[k]) > 4294967295.0) return false;
    return true;
}

bool shift32(int32_t *v, int64_t by) {
    const int64_t r = (int64_t)*v + by;
    if (r < INT32_MIN || r > INT32_MAX) return false;
    *v = (int32_t)r;
    return true;
}

bool shift_point(DgnPoint *p, const int64_t d[3], bool is3d) {
    return shift32(&p->x, d[0]) && shift32(&p->y, d[1]) && (!is3d || shift32(&p->z, d[2]));
}

// Shifts a range by the offsets: the low corner by the floor, the high one by
// the ceiling, so that it still holds the moved geometry. In a 2D file the z
// range stays.
bool shift_range(int32_t r[6], const double d[3], bool is3d) {
    for (int k = 0; k < (is3d ? 3 : 2); ++k) {
        if (!shift32(&r[k], (int64_t)floor(d[k])) || !shift32(&r[k + 3], (int64_t)ceil(d[k]))) return false;
    }
    return true;
}

// New image of one element moved by d (doubles) / di (whole UORs).
int move_one(const uint8_t *bytes, size_t n, bool is3d, const double d[3], const int64_t di[3],
             std::vector<uint8_t> *out) {
    DgnElement e;
    std::string err;
    if (!dgn_decode_element(bytes, n, is3d, &e, &err)) return ELOP_STATUS_INVALID_ELEMENT;
    switch (e.type) {
    case 3: case 4: case 6: case 11:
        for (DgnPoint &p : e.vertices)
            if (!shift_point(&p, di, is3d)) return ELOP_STATUS_OFF_PLANE;
        break;
    case 2: case 7: case 17:
        if (!shift_point(&e.origin, di, is3d)) return ELOP_STATUS_OFF_PLANE;
        break;
    case 15: case 16:
        for (int k = 0; k < (is3d ? 3 : 2); ++k) e.centre[k].value += d[k];
        break;
    case 12: case 14:
        break;  // only the range: the components carry the geometry
    default:
        return ELOP_STATUS_INVALID_ELEMENT;
    }
    if (!shift_range(e.range, d, is3d)) return ELOP_STATUS_OFF_PLANE;
    if (!dgn_encode_element(e, out, &err) || out->size() != n) return ELOP_STATUS_INVALID_ELEMENT;
    return 0;
}

// True when the complex header at `h` encloses the element at `position`:
// always for the outermost header, else when its words in description reach
// that far (cells, text nodes, complex chains and shapes, surfaces, solids).
bool enclosing_header(const DgnFile &f, int h, uint32_t position, bool outermost) {
    if (outermost) return true;
    const DgnElementRef &r = f.elements[h];
    switch (r.type) {
    case 2: case 7: case 12: case 14: case 18: case 19:
        break;
    default:
        return false;
    }
    if (r.size < 38) return false;
    const uint32_t words = elm_load16(f.data.data() + r.offset + 36);
    return position < r.offset + 38 + 2 * words;
}

}  // namespace

void elop_move(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    if (length < 128) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    if (!s->fileOpen) { reply->status = ELOP_STATUS_NO_DESIGN_FILE; return; }
    if (srv_get32(request + 16) != 0) { reply->status = ELOP_STATUS_NO_REFERENCE; return; }
    const uint32_t block = (uint32_t)srv_get32(request + 20);
    const int32_t byte = srv_get32(request + 24);
    if (block > 0xFFFF || byte < 0 || byte > 0xFFFF) { reply->status = ELOP_STATUS_INVALID_ELEMENT; return; }
    DgnFile &f = s->file;
    double d[3];
    if (!translation_of(request + 32, f.is3d, d)) { reply->status = ELOP_STATUS_MOVE; return; }
    int index = -1;
    reply->status = elop_element_at(s, (int64_t)block * 512 + byte, &index);
    if (reply->status != 0) return;
    if (index == 0 || f.elements[index].deleted || !dgn_type_has_display_header(f.elements[index].type)) {
        reply->status = ELOP_STATUS_INVALID_ELEMENT;
        return;
    }
    const int64_t di[3] = {llround(d[0]), llround(d[1]), llround(d[2])};
    const int end = elop_complex_end(s, index);
    std::vector<std::vector<uint8_t>> images((size_t)(end - index));
    for (int i = index; i < end; ++i) {
        const DgnElementRef &r = f.elements[i];
        if (r.deleted) continue;  // left as it lies
        reply->status = move_one(f.data.data() + r.offset, r.size, f.is3d, d, di, &images[(size_t)(i - index)]);
        if (reply->status != 0) return;
    }
    // A component moved alone: the ranges of the headers that enclose it (the
    // outermost one, and nested ones whose words in description reach it)
    // must still cover it.
    std::vector<std::pair<int, std::vector<uint8_t>>> headers;
    const int outer = f.elements[index].complex ? elop_complex_header(s, index) : index;
    for (int h = outer; h < index; ++h) {
        const DgnElementRef &hr = f.elements[h];
        if (hr.deleted || !enclosing_header(f, h, f.elements[index].offset, h == outer)) continue;
        std::vector<uint8_t> img(f.data.begin() + hr.offset, f.data.begin() + hr.offset + hr.size);
        int32_t range[6], moved[6];
        if (!elm_get_range(img.data(), img.size(), range) || !elm_get_range(images[0].data(), images[0].size(), moved))
            continue;
        if (!f.is3d) moved[2] = range[2], moved[5] = range[5];
        dgn_range_union(range, moved);
        elm_set_range(img.data(), img.size(), range);
        headers.push_back({h, img});
    }
    // Every new image is checked before the first one is written.
    std::string err;
    for (const std::vector<uint8_t> &img : images) {
        if (!img.empty() && !dgn_check_element(img.data(), img.size(), f.is3d, &err)) {
            reply->status = ELOP_STATUS_INVALID_ELEMENT;
            return;
        }
    }
    bool changed = false;
    for (int i = index; i < end; ++i) {
        const std::vector<uint8_t> &img = images[(size_t)(i - index)];
        if (img.empty()) continue;
        const uint8_t *old = f.data.data() + f.elements[i].offset;
        if (memcmp(old, img.data(), img.size()) == 0) continue;
        if (dgn_overwrite_element(&f, i, img.data(), img.size(), &err)) changed = true;
    }
    for (const auto &h : headers) {
        const DgnElementRef &r = f.elements[h.first];
        if (memcmp(f.data.data() + r.offset, h.second.data(), r.size) != 0 &&
            dgn_overwrite_element(&f, h.first, h.second.data(), h.second.size(), &err))
            changed = true;
    }
    if (changed) s->modified = true;
}
