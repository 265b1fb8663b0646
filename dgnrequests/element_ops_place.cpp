// Placement operations: ellipse (11 two-dimensional, 12 three-dimensional),
// line (30), line string (31) and curve (32). Each request carries the
// graphic-group pair, the level, the symbology record and an attribute
// linkage block; the active user-defined line style is suspended around the
// exchange when the caller gives a symbology record.
#include "dgnrequests/element_ops.h"

#include <limits.h>
#include <string.h>

#include <vector>

#include "dgnrequests/element_ops_internal.h"

namespace {

// Room for the count word and the longest linkage block after the fixed part.
const size_t LINKAGE_ROOM = 2 + 2 * REQ_LINKAGE_MAX_WORDS;

// Fixed body lengths (linkage words come on top).
const int ELLIPSE_2D_BODY = 64;
const int ELLIPSE_3D_BODY = 136;
const int LINE_BODY = 64;
const int LINEAR_BODY = 42;  // + vertex bytes

int16_t arg16(const int16_t *p, int16_t dflt) { return p ? *p : dflt; }

// Exchanges a placement request, suspending the active line style.
int exchange_placement(unsigned char *request, const SymbologyRecord *symbology, unsigned char *reply,
                       int capacity) {
    mcsl_clearActiveUDLS(symbology);
    const int result = send_crc(request, reply, capacity, 0);
    mcsl_restoreActiveUDLS();
    return result;
}

// Reply of the linear placements: words b and c, and the placed element.
void copy_linear_reply(const unsigned char *reply, size_t have, int16_t *b, int16_t *c, void *elementBuffer,
                       int16_t *elementSize) {
    if (have < REPLY_OFF_BYTES) return;
    if (b) *b = (int16_t)req_get16(reply + REPLY_OFF_DATA);
    if (c) *c = (int16_t)req_get16(reply + REPLY_OFF_DATA + 2);
    if (elementBuffer && elementSize) {
        const int capacity = *elementSize;
        const int size = (int16_t)req_get32(reply + REPLY_OFF_DATA + 4);
        size_t n = size > 0 ? (size_t)size : 0;
        if (capacity >= 0 && n > (size_t)capacity) n = (size_t)capacity;
        if (n > have - REPLY_OFF_BYTES) n = have - REPLY_OFF_BYTES;
        memcpy(elementBuffer, reply + REPLY_OFF_BYTES, n);
        *elementSize = (int16_t)size;
    }
}

// Line (30), line string (31) and curve (32).
int place_linear(int code, const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
                 const int32_t *vertices, int count, int16_t *status, const int16_t *linkages,
                 const int16_t *a, int16_t *b, int16_t *c, const int32_t *zlow, const int32_t *zhigh,
                 void *elementBuffer, int16_t *elementSize) {
    const bool is3d = ops_file_is_3d();
    const size_t vertexBytes = (size_t)count * (is3d ? 12 : 8);
    const size_t fixedEnd = code == REQ_CODE_LINE ? 76 : 56 + vertexBytes;
    if (code != REQ_CODE_LINE && fixedEnd + LINKAGE_ROOM > REQ_MAX_MESSAGE_BYTES)
        return setstat(status, OPS_STATUS_TOO_MANY_VERTICES);
    std::vector<unsigned char> buf(fixedEnd + LINKAGE_ROOM + 8, 0);
    unsigned char *r = buf.data();
    const int32_t zl = zlow ? *zlow : INT32_MIN;
    const int32_t zh = zhigh ? *zhigh : INT32_MAX;
    const uint16_t returnElement = (elementBuffer && elementSize) ? 1 : 0;
    const uint16_t size = elementSize ? (uint16_t)*elementSize : 0;
    int body;
    if (code == REQ_CODE_LINE) {
        req_put32(r + 16, pair ? *pair : 0);
        req_put16(r + 20, (uint16_t)arg16(level, 0));
        set_specs(r + 22, symbology);
        if (!is3d) {
            req_put32(r + 32, (uint32_t)zl);
            req_put32(r + 36, (uint32_t)zh);
        }
        req_put16(r + 40, (uint16_t)arg16(a, 0));
        req_put16(r + 42, (uint16_t)arg16(b, -1));
        req_put16(r + 44, (uint16_t)arg16(c, -1));
        req_put16(r + 46, returnElement);
        req_put16(r + 48, size);
        if (vertices) memcpy(r + 52, vertices, vertexBytes);
        body = LINE_BODY;
    } else {
        req_put16(r + 16, (uint16_t)arg16(level, 0));
        req_put32(r + 18, pair ? *pair : 0);
        set_specs(r + 22, symbology);
        req_put16(r + 32, (uint16_t)count);
        if (!is3d) {
            req_put32(r + 36, (uint32_t)zl);
            req_put32(r + 40, (uint32_t)zh);
        }
        req_put16(r + 44, (uint16_t)arg16(a, 0));
        req_put16(r + 46, (uint16_t)arg16(b, -1));
        req_put16(r + 48, (uint16_t)arg16(c, -1));
        req_put16(r + 50, returnElement);
        req_put16(r + 52, size);
        if (vertices) memcpy(r + 56, vertices, vertexBytes);
        body = LINEAR_BODY + (int)vertexBytes;
    }
    body += put_attributes_into_crc(r + fixedEnd, linkages);
    ops_set_header(r, code, body);

    unsigned char reply[REPLY_DEFAULT_CAPACITY];
    memset(reply, 0, REPLY_OFF_BYTES);
    const int result = exchange_placement(r, symbology, reply, sizeof reply);
    if (result == 0)
        copy_linear_reply(reply, ops_reply_bytes(reply, sizeof reply), b, c, elementBuffer, elementSize);
    return setstat(status, result);
}

}  // namespace

void eldfpi(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
            const double axes[2], const double centre[2], const double *rotation,
            int16_t *status, const int16_t *linkages) {
    if (ops_file_is_3d()) {
        setstat(status, 917);
        return;
    }
    unsigned char r[REQ_HEADER_BYTES + ELLIPSE_2D_BODY + LINKAGE_ROOM];
    memset(r, 0, sizeof r);
    req_put32(r + 16, pair ? *pair : 0);
    req_put16(r + 20, (uint16_t)arg16(level, 0));
    set_specs(r + 22, symbology);
    for (int k = 0; k < 2; ++k) {
        ops_put_double(r + 32 + 8 * k, axes ? axes[k] : 0.0);
        ops_put_double(r + 48 + 8 * k, centre ? centre[k] : 0.0);
    }
    ops_put_double(r + 64, rotation ? *rotation : 0.0);
    const int body = ELLIPSE_2D_BODY + put_attributes_into_crc(r + 72, linkages);
    ops_set_header(r, REQ_CODE_ELLIPSE_2D, body);
    setstat(status, exchange_placement(r, symbology, nullptr, 0));
}

void eldfp3(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
            const double axes[2], const double centre[3], int16_t *status,
            const int16_t *linkages, const double matrix[9]) {
    if (!ops_file_is_3d()) {
        setstat(status, 918);
        return;
    }
    static const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const double *m = matrix ? matrix : identity;
    unsigned char r[REQ_HEADER_BYTES + ELLIPSE_3D_BODY + LINKAGE_ROOM];
    memset(r, 0, sizeof r);
    req_put32(r + 16, pair ? *pair : 0);
    req_put16(r + 20, (uint16_t)arg16(level, 0));
    set_specs(r + 22, symbology);
    for (int k = 0; k < 2; ++k) ops_put_double(r + 32 + 8 * k, axes ? axes[k] : 0.0);
    for (int k = 0; k < 3; ++k) ops_put_double(r + 48 + 8 * k, centre ? centre[k] : 0.0);
    for (int k = 0; k < 9; ++k) ops_put_double(r + 72 + 8 * k, m[k]);
    const int body = ELLIPSE_3D_BODY + put_attributes_into_crc(r + 144, linkages);
    ops_set_header(r, REQ_CODE_ELLIPSE_3D, body);
    setstat(status, exchange_placement(r, symbology, nullptr, 0));
}

int lndfpi_ex(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
              const int32_t *vertices, int16_t *status, const int16_t *linkages,
              const int16_t *a, int16_t *b, int16_t *c, const int32_t *zlow,
              const int32_t *zhigh, void *elementBuffer, int16_t *elementSize) {
    return place_linear(REQ_CODE_LINE, pair, level, symbology, vertices, 2, status, linkages, a, b, c, zlow,
                        zhigh, elementBuffer, elementSize);
}

int lsdfpi_ex(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
              const int32_t *vertices, const int16_t *count, int16_t *status,
              const int16_t *linkages, const int16_t *a, int16_t *b, int16_t *c,
              const int32_t *zlow, const int32_t *zhigh, void *elementBuffer,
              int16_t *elementSize) {
    const int n = count ? *count : 0;
    if (n < 2) return setstat(status, 904);
    return place_linear(REQ_CODE_LINE_STRING, pair, level, symbology, vertices, n, status, linkages, a, b, c,
                        zlow, zhigh, elementBuffer, elementSize);
}

int cudfpi_ex(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
              const int32_t *vertices, const int16_t *count, int16_t *status,
              const int16_t *linkages, const int16_t *a, int16_t *b, int16_t *c,
              const int32_t *zlow, const int32_t *zhigh, void *elementBuffer,
              int16_t *elementSize) {
    const int n = count ? *count : 0;
    if (n < 3) return setstat(status, 904);
    return place_linear(REQ_CODE_CURVE, pair, level, symbology, vertices, n, status, linkages, a, b, c, zlow,
                        zhigh, elementBuffer, elementSize);
}
