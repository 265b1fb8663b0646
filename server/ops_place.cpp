// Placements and the graphic-group operation: ellipse (11 two-dimensional,
// 12 three-dimensional), line (30), line string (31), curve (32) and the
// graphic-group operation (20).
//
// Graphic-group pair: low word the function, high word a group number.
//   Placements: function 1 puts the new element into the given group (0 =
//   none); functions 0 and 2 place it without a group; function 3 puts it
//   into the active group (TCB GRAFIC). Others: 902.
//   Operation 20: function 1 makes the given group (1-65535, else 901) the
//   active group; function 2 starts a new group: the active group becomes one
//   above every group in use, and its number is answered in reply word 24;
//   function 3 ends the given group (0: 902): the active group moves above
//   it. Others: 902.
// Level 0 means level 1. Symbology fields are taken modulo their widths
// (class 16, style 8, weight 32, color 256). New elements carry the "new"
// property bit, the class, and the attribute bit when linkages come with them.
// In a two-dimensional file the z range is the one given in the request.
//
// Reply of every placement: words 24 and 26 = block and byte of the new
// element; for lines, line strings and curves asked for the element, the
// 32-bit value at 28 = its size in the server layout and the element from 32
// (at most the capacity given in the request).
#include <math.h>
#include <string.h>

#include <string>

#include "dgn/dgn_range.h"
#include "dgn/dgn_server_layout.h"
#include "dgnrequests/element_layout.h"
#include "server/ops_elements.h"

namespace {

struct PlaceCommon {
    uint32_t pair;
    int16_t level;
    int16_t symbology[5];  // class, reserved, style, weight, color
};

void read_symbology(const uint8_t *p, int16_t out[5]) {
    for (int k = 0; k < 5; ++k) out[k] = (int16_t)srv_get16(p + 2 * k);
}

double get_double(const uint8_t *p) {
    double v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Graphic group a new element gets from the pair, or -1 for a bad function.
int graphic_group_of(const ServerState *s, uint32_t pair) {
    const uint16_t function = (uint16_t)(pair & 0xFFFF);
    const uint16_t group = (uint16_t)(pair >> 16);
    switch (function) {
    case 0: case 2: return 0;
    case 1: return group;
    case 3: return elop_active_graphic_group(s);
    default: return -1;
    }
}

// Reads the attribute linkage block at `offset`: count word, then words.
int read_linkages(const uint8_t *request, size_t length, size_t offset, std::vector<uint8_t> *out) {
    out->clear();
    if (offset + 2 > length) return ELOP_STATUS_COMMUNICATION;
    const size_t words = srv_get16(request + offset);
    if (words > ELOP_MAX_ELEMENT_BYTES / 2) return ELOP_STATUS_MAX_LINKAGE;
    if (offset + 2 + 2 * words > length) return ELOP_STATUS_COMMUNICATION;
    const uint8_t *p = request + offset + 2;
    // The words must be whole linkages.
    size_t at = 0;
    while (at < words) {
        at += (size_t)elm_linkage_words(srv_get16(p + 2 * at));
        if (at > words) return ELOP_STATUS_INVALID_ELEMENT;
    }
    out->assign(p, p + 2 * words);
    return 0;
}

// Header fields of a new element from the common request fields.
int apply_common(const ServerState *s, const PlaceCommon &c, const std::vector<uint8_t> &linkages,
                 DgnElement *e) {
    const int gg = graphic_group_of(s, c.pair);
    if (gg < 0) return ELOP_STATUS_BAD_GG_CODE;
    if (c.level < 0 || c.level > 63) return ELOP_STATUS_INVALID_ELEMENT;
    e->level = c.level == 0 ? 1 : c.level;
    e->graphic_group = (uint16_t)gg;
    e->properties = (uint16_t)(0x0200 | (c.symbology[0] & 0xF));
    e->style = c.symbology[2] & 0x7;
    e->weight = c.symbology[3] & 0x1F;
    e->color = c.symbology[4] & 0xFF;
    e->linkages = linkages;
    return 0;
}

// Encodes and appends a new element; answers its position. `zRange` (2D
// files) replaces the z range of the computed range.
int append_new(ServerState *s, DgnElement *e, const int32_t *zRange, ServerReply *reply,
               std::vector<uint8_t> *encoded) {
    std::string err;
    if (!dgn_compute_range(e, &err)) return ELOP_STATUS_OFF_PLANE;
    if (zRange && !s->file.is3d) {
        e->range[2] = zRange[0] <= zRange[1] ? zRange[0] : zRange[1];
        e->range[5] = zRange[0] <= zRange[1] ? zRange[1] : zRange[0];
    }
    if (!dgn_encode_element(*e, encoded, &err)) return ELOP_STATUS_INVALID_ELEMENT;
    if (encoded->size() > ELOP_MAX_ELEMENT_BYTES)
        return e->linkages.empty() ? ELOP_STATUS_INVALID_ELEMENT : ELOP_STATUS_MAX_LINKAGE;
    uint32_t position = 0;
    if (!dgn_append_element(&s->file, encoded->data(), encoded->size(), &position, &err))
        return ELOP_STATUS_INVALID_ELEMENT;
    s->modified = true;
    elop_reply_position(reply, position);
    return 0;
}

bool finite_all(const double *v, int n) {
    for (int k = 0; k < n; ++k)
        if (!isfinite(v[k])) return false;
    return true;
}

// Stored quaternion (Q4, Q1, Q2, Q3) of a rotation matrix whose columns are
// the element's axes in design coordinates; false when it is no rotation.
bool matrix_to_quaternion(const double m[9], int32_t q[4]) {
    // Orthonormal with determinant +1, within rounding.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double dot = 0;
            for (int k = 0; k < 3; ++k) dot += m[3 * k + i] * m[3 * k + j];
            if (fabs(dot - (i == j ? 1.0 : 0.0)) > 1e-6) return false;
        }
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (det < 0) return false;
    // Unit quaternion (w, x, y, z) of the matrix.
    double w, x, y, z;
    const double tr = m[0] + m[4] + m[8];
    if (tr > 0) {
        const double t = sqrt(tr + 1.0) * 2;
        w = t / 4;
        x = (m[7] - m[5]) / t;
        y = (m[2] - m[6]) / t;
        z = (m[3] - m[1]) / t;
    } else if (m[0] > m[4] && m[0] > m[8]) {
        const double t = sqrt(1.0 + m[0] - m[4] - m[8]) * 2;
        w = (m[7] - m[5]) / t;
        x = t / 4;
        y = (m[1] + m[3]) / t;
        z = (m[2] + m[6]) / t;
    } else if (m[4] > m[8]) {
        const double t = sqrt(1.0 + m[4] - m[0] - m[8]) * 2;
        w = (m[2] - m[6]) / t;
        x = (m[1] + m[3]) / t;
        y = t / 4;
        z = (m[5] + m[7]) / t;
    } else {
        const double t = sqrt(1.0 + m[8] - m[0] - m[4]) * 2;
        w = (m[3] - m[1]) / t;
        x = (m[2] + m[6]) / t;
        y = (m[5] + m[7]) / t;
        z = t / 4;
    }
    if (w < 0) { w = -w; x = -x; y = -y; z = -z; }
    // The file stores the conjugate (its matrix is the transpose of the
    // usual one), with 1.0 as 2^31 - 1.
    const double scale = 2147483647.0;
    q[0] = (int32_t)lround(w * scale);
    q[1] = (int32_t)lround(-x * scale);
    q[2] = (int32_t)lround(-y * scale);
    q[3] = (int32_t)lround(-z * scale);
    return true;
}

// Ellipse of either dimension. Offsets: axes 32, centre 48, then rotation
// (2D: one double in degrees at 64) or matrix (3D: nine doubles at 72).
void place_ellipse(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply, bool want3d) {
    const size_t linkageAt = want3d ? 144 : 72;
    if (length < linkageAt + 2) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    if (!s->fileOpen) { reply->status = ELOP_STATUS_NO_DESIGN_FILE; return; }
    if (s->file.is3d != want3d) { reply->status = want3d ? ELOP_STATUS_2D_FILE : ELOP_STATUS_3D_FILE; return; }
    PlaceCommon c;
    c.pair = (uint32_t)srv_get32(request + 16);
    c.level = (int16_t)srv_get16(request + 20);
    read_symbology(request + 22, c.symbology);
    double axes[2], centre[3] = {0, 0, 0};
    for (int k = 0; k < 2; ++k) axes[k] = get_double(request + 32 + 8 * k);
    for (int k = 0; k < (want3d ? 3 : 2); ++k) centre[k] = get_double(request + 48 + 8 * k);
    if (!finite_all(axes, 2) || !finite_all(centre, 3) || axes[0] < 0 || axes[1] < 0) {
        reply->status = ELOP_STATUS_INVALID_ELEMENT;
        return;
    }
    std::vector<uint8_t> linkages;
    reply->status = read_linkages(request, length, linkageAt, &linkages);
    if (reply->status != 0) return;
    double rotation = 0;
    if (!want3d) {
        rotation = get_double(request + 64);
        if (!isfinite(rotation)) { reply->status = ELOP_STATUS_INVALID_ELEMENT; return; }
    }
    DgnElement e = dgn_new_ellipse(1, want3d, centre[0], centre[1], centre[2], axes[0], axes[1], rotation);
    if (want3d) {
        double m[9];
        for (int k = 0; k < 9; ++k) m[k] = get_double(request + 72 + 8 * k);
        if (!finite_all(m, 9) || !matrix_to_quaternion(m, e.orientation.quat)) {
            reply->status = ELOP_STATUS_INVALID_ELEMENT;
            return;
        }
    }
    reply->status = apply_common(s, c, linkages, &e);
    if (reply->status != 0) return;
    std::vector<uint8_t> encoded;
    reply->status = append_new(s, &e, nullptr, reply, &encoded);
}

// Line (30), line string (31) and curve (32).
void place_linear(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply, int code) {
    const bool line = code == 30;
    if (length < (line ? 52u : 56u)) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    if (!s->fileOpen) { reply->status = ELOP_STATUS_NO_DESIGN_FILE; return; }
    const bool is3d = s->file.is3d;
    const size_t vb = is3d ? 12 : 8;
    PlaceCommon c;
    int count;
    size_t zAt, wordsAt, vertexAt;
    if (line) {
        c.pair = (uint32_t)srv_get32(request + 16);
        c.level = (int16_t)srv_get16(request + 20);
        count = 2;
        zAt = 32;
        wordsAt = 46;
        vertexAt = 52;
    } else {
        c.level = (int16_t)srv_get16(request + 16);
        c.pair = (uint32_t)srv_get32(request + 18);
        count = (int16_t)srv_get16(request + 32);
        zAt = 36;
        wordsAt = 50;
        vertexAt = 56;
    }
    read_symbology(request + 22, c.symbology);
    const int least = code == 32 ? 3 : 2;
    if (count < least) { reply->status = ELOP_STATUS_TOO_FEW_VERTICES; return; }
    if (count > ELOP_MAX_VERTICES) { reply->status = ELOP_STATUS_TOO_MANY_VERTICES; return; }
    const size_t linkageAt = line ? 76 : vertexAt + (size_t)count * vb;
    std::vector<uint8_t> linkages;
    reply->status = read_linkages(request, length, linkageAt, &linkages);
    if (reply->status != 0) return;
    std::vector<DgnPoint> pts((size_t)count);
    for (int i = 0; i < count; ++i) {
        const uint8_t *p = request + vertexAt + (size_t)i * vb;
        pts[i].x = srv_get32(p);
        pts[i].y = srv_get32(p + 4);
        pts[i].z = is3d ? srv_get32(p + 8) : 0;
    }
    const int type = line ? 3 : code == 31 ? 4 : 11;
    DgnElement e = dgn_new_vertex_element(type, 1, is3d, pts);
    reply->status = apply_common(s, c, linkages, &e);
    if (reply->status != 0) return;
    const int32_t z[2] = {srv_get32(request + zAt), srv_get32(request + zAt + 4)};
    std::vector<uint8_t> encoded;
    reply->status = append_new(s, &e, z, reply, &encoded);
    if (reply->status != 0) return;
    // The placed element, when asked for, in the server layout.
    const bool wanted = srv_get16(request + wordsAt) != 0;
    const size_t capacity = srv_get16(request + wordsAt + 2);
    std::vector<uint8_t> served;
    std::string err;
    if (!wanted || !dgn_file_to_server(encoded.data(), encoded.size(), is3d, &served, &err)) return;
    const size_t n = served.size() < capacity ? served.size() : capacity;
    reply->data.resize(8 + n);
    srv_put32(&reply->data[4], (uint32_t)served.size());
    memcpy(&reply->data[8], served.data(), n);
}

}  // namespace

void elop_graphic_group(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    if (length < 20) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    if (!s->fileOpen) { reply->status = ELOP_STATUS_NO_DESIGN_FILE; return; }
    const uint32_t pair = (uint32_t)srv_get32(request + 16);
    const uint16_t function = (uint16_t)(pair & 0xFFFF);
    const uint16_t group = (uint16_t)(pair >> 16);
    const uint16_t active = elop_active_graphic_group(s);
    switch (function) {
    case 1:
        if (group == 0) { reply->status = ELOP_STATUS_BAD_GG_NUMBER; return; }
        elop_set_active_graphic_group(s, group);
        return;
    case 2: {
        uint32_t next = (uint32_t)s->file.max_graphic_group + 1u;
        if (active > next) next = active;
        if (next > 0xFFFF) { reply->status = ELOP_STATUS_BAD_GG_NUMBER; return; }
        elop_set_active_graphic_group(s, (uint16_t)next);
        reply->data.assign(8, 0);
        srv_put16(&reply->data[0], (uint16_t)next);
        return;
    }
    case 3:
        if (group == 0) { reply->status = ELOP_STATUS_BAD_GG_CODE; return; }
        if (group != 0xFFFF && active <= group) elop_set_active_graphic_group(s, (uint16_t)(group + 1));
        return;
    default:
        reply->status = ELOP_STATUS_BAD_GG_CODE;
        return;
    }
}

void elop_ellipse_2d(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    place_ellipse(s, request, length, reply, false);
}

void elop_ellipse_3d(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    place_ellipse(s, request, length, reply, true);
}

void elop_line(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    place_linear(s, request, length, reply, 30);
}

void elop_line_string(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    place_linear(s, request, length, reply, 31);
}

void elop_curve(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    place_linear(s, request, length, reply, 32);
}
