// Shared pieces of the element operations: the file dimension from the TCB,
// the request record buffer and the reply checks.
#ifndef NW_DGNREQUESTS_ELEMENT_OPS_INTERNAL_H
#define NW_DGNREQUESTS_ELEMENT_OPS_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "dgnrequests/request_exchange.h"

// Status of a request the layer refuses to build (a length or element that
// the record cannot carry).
#define OPS_STATUS_INVALID_ELEMENT 934
#define OPS_STATUS_BAD_POSITION 1013
#define OPS_STATUS_TOO_MANY_VERTICES 905

// True when the TCB's dimension word (byte 4072) says three-dimensional.
bool ops_file_is_3d(void);

// Fills the request header's code and body length.
void ops_set_header(unsigned char *request, int code, int bodyLength);

// Body bytes of a reply as its header states them, limited to what the
// buffer of `capacity` bytes holds.
size_t ops_reply_bytes(const unsigned char *reply, size_t capacity);

// Stores the doubles / int32 values in native order at p.
void ops_put_double(unsigned char *p, double v);

#endif
