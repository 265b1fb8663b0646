// Dispatch of requests by request code over the route tables of the
// operation groups. A new group adds its table to `route_tables`.
#include <string.h>

#include "server/server.h"

static const RequestRoute *const route_tables[] = {
    session_routes,
    element_routes,
};

int32_t srv_get32(const uint8_t *p) {
    return (int32_t)((uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
                     ((uint32_t)p[3] << 24));
}

uint16_t srv_get16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }

void srv_put32(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

void srv_put16(uint8_t *p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

std::string srv_get_string(const uint8_t *request, size_t length, size_t offset, size_t size) {
    if (offset >= length) return std::string();
    size_t avail = length - offset < size ? length - offset : size;
    const char *p = (const char *)request + offset;
    return std::string(p, strnlen(p, avail));
}

void server_dispatch(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    reply->status = SRV_STATUS_NONEXISTENT_REQUEST;
    if (length < 16) return;
    int32_t code = srv_get32(request + 12);
    for (const RequestRoute *table : route_tables)
        for (const RequestRoute *r = table; r->code != 0; r++)
            if (r->code == code) {
                reply->status = 0;
                r->handler(s, request, length, reply);
                return;
            }
}
