// Move of an element by a translation (request 61, the transformation
// request with a translation matrix).
#include "dgnrequests/element_ops.h"

#include <string.h>

#include "dgnrequests/element_ops_internal.h"

namespace {
const int TRANSFORM_BODY = 112;
}

int transform_element(const int16_t *fileWord, const uint16_t *block, const uint16_t *byte,
                      const double matrix[12], const int16_t *lastWord) {
    unsigned char r[REQ_HEADER_BYTES + TRANSFORM_BODY];
    memset(r, 0, sizeof r);
    ops_set_header(r, REQ_CODE_MOVE, TRANSFORM_BODY);
    // Words widened to 32 bits: the block without sign, the others with it.
    req_put32(r + 16, (uint32_t)(int32_t)(fileWord ? *fileWord : 0));
    req_put32(r + 20, (uint32_t)(block ? *block : 0));
    req_put32(r + 24, (uint32_t)(int32_t)(int16_t)(byte ? *byte : 0));
    req_put32(r + 28, (uint32_t)(int32_t)(lastWord ? *lastWord : 0));
    for (int k = 0; k < 12; ++k) ops_put_double(r + 32 + 8 * k, matrix ? matrix[k] : 0.0);
    return send_crc(r, nullptr, 0, 0);
}

int move_element(const int16_t *fileWord, const uint16_t *block, const uint16_t *byte,
                 const double *dx, const double *dy, const double *dz, const int16_t *lastWord) {
    const double x = dx ? *dx : 0.0, y = dy ? *dy : 0.0, z = dz ? *dz : 0.0;
    double m[12];
    if (ops_file_is_3d()) {
        const double t[12] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
        memcpy(m, t, sizeof m);
    } else {
        const double t[12] = {1, 0, x, 0, 1, y, 0, 0, 0, 0, 0, 0};
        memcpy(m, t, sizeof m);
    }
    return transform_element(fileWord, block, byte, m, lastWord);
}
