// The TCB variable definitions of the design-file server and their encoding
// into the resource data read by the client's variable-table loader.
#include "resources/tcb_vartable.h"

#include <string.h>

#define FMT(code, count) ((uint32_t)(code) | ((uint32_t)(count) << 4))

const tcb_var_def tcb_var_defs[] = {
    {"GRAFIC", 1, TCB_OFF_GRAFIC, FMT(TCB_FMT_INT16, 1)},
    {"EU.MU", 1, TCB_OFF_EU_MU, FMT(TCB_FMT_INT32, 1)},
    {"EU.UOR", 1, TCB_OFF_EU_UOR, FMT(TCB_FMT_INT32, 1)},
    {"MU", 1, TCB_OFF_MU_NAME, FMT(TCB_FMT_CHAR, 2)},
    {"SU", 1, TCB_OFF_SU_NAME, FMT(TCB_FMT_CHAR, 2)},
    {"ACTSYM", 1, TCB_OFF_ACTIVE_SYMB, FMT(TCB_FMT_INT32, 1)},
    {"ACTCLS", 1, TCB_OFF_ACTIVE_CLASS, FMT(TCB_FMT_INT16, 1)},
    {"DIMENS", 1, TCB_OFF_DIMENSION, FMT(TCB_FMT_INT16, 1)},
};
const size_t tcb_var_def_count = sizeof tcb_var_defs / sizeof tcb_var_defs[0];

static void put16(unsigned char *p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

static void put32(unsigned char *p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

size_t tcbvars_encode(const tcb_var_def *defs, size_t count, unsigned char *out,
                      size_t capacity) {
    if (count > 0x7FFF) count = 0x7FFF;
    size_t need = TCBVARS_HEAD_SIZE + count * TCBVARS_RECORD_SIZE;
    if (!out || capacity < need) return need;
    memset(out, 0, need);
    put16(out + 2, (uint32_t)count);
    for (size_t i = 0; i < count; i++) {
        unsigned char *r = out + TCBVARS_HEAD_SIZE + i * TCBVARS_RECORD_SIZE;
        size_t n = defs[i].name ? strlen(defs[i].name) : 0;
        if (n > 6) n = 6;
        if (n) memcpy(r, defs[i].name, n);
        r[7] = defs[i].type;
        put32(r + 8, (uint32_t)defs[i].offset);
        put32(r + 12, defs[i].format);
    }
    return need;
}
