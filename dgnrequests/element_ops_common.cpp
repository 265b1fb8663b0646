// Helpers shared by the element operations: dimension, headers, reply sizes.
#include "dgnrequests/element_ops_internal.h"

#include <string.h>

#include "connection/tcb.h"
#include "resources/tcb_vartable.h"

bool ops_file_is_3d(void) {
    if (!tcb) return false;
    const uint16_t dim = (uint16_t)(tcb[TCB_OFF_DIMENSION] | (tcb[TCB_OFF_DIMENSION + 1] << 8));
    return dim == 3;
}

void ops_set_header(unsigned char *request, int code, int bodyLength) {
    req_put32(request + REQ_OFF_LENGTH, (uint32_t)bodyLength);
    req_put32(request + REQ_OFF_CODE, (uint32_t)code);
}

size_t ops_reply_bytes(const unsigned char *reply, size_t capacity) {
    if (capacity < REQ_HEADER_BYTES) return 0;
    const int32_t body = (int32_t)req_get32(reply + REQ_OFF_LENGTH);
    if (body < 0) return 0;
    const size_t total = (size_t)body + REQ_HEADER_BYTES;
    return total < capacity ? total : capacity;
}

void ops_put_double(unsigned char *p, double v) { memcpy(p, &v, sizeof v); }
