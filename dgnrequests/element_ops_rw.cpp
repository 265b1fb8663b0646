// Element operations that address an existing element: read (18), write in
// place (19), delete (26), and the graphic-group operation (20).
#include "dgnrequests/element_ops.h"

#include <string.h>

#include <string>
#include <vector>

#include "connection/startup.h"
#include "dgn/dgn_server_layout.h"
#include "dgnrequests/element_ops_internal.h"

namespace {

// Bytes of element data a write request carries (bytes 22-1583).
const int WRITE_BODY = 1568;
const int WRITE_DATA = 22;
const int WRITE_DATA_MAX = REQ_HEADER_BYTES + WRITE_BODY - WRITE_DATA;

uint16_t arg16(const uint16_t *p) { return p ? *p : 0; }

// Copies the element of a successful read reply into the caller's record.
// Returns 0 or the status that replaces the server's 0.
int copy_read_reply(const unsigned char *reply, size_t have, int16_t rawFlag, ReadRecord *record) {
    const size_t room = sizeof record->element;
    if (have < REPLY_OFF_BYTES) return EXCHANGE_STATUS_COMMUNICATION;
    const unsigned char *elm = reply + REPLY_OFF_BYTES;
    const size_t avail = have - REPLY_OFF_BYTES;
    for (int k = 0; k < 3; ++k) record->words[k] = req_get16(reply + REPLY_OFF_DATA + 2 * k);
    size_t n;
    if (rawFlag != 0) {
        const long words = record->words[0];
        if (2 * words < 4) return EXCHANGE_STATUS_COMMUNICATION;
        n = (size_t)(2 * words - 4);
    } else {
        if (avail < 4) return EXCHANGE_STATUS_COMMUNICATION;
        n = 2 * (size_t)req_get16(elm + 2) + 4;
    }
    // The reply must hold what it announces.
    if (n > avail) return EXCHANGE_STATUS_COMMUNICATION;
    if (rawFlag != 0 || mcsl_translationMode != 0) {
        if (n > room) return OPS_STATUS_INVALID_ELEMENT;
        memcpy(record->element, elm, n);
        return 0;
    }
    // Translation mode 0: the caller works on the file layout.
    std::vector<uint8_t> file;
    std::string err;
    if (!dgn_server_to_file(elm, n, ops_file_is_3d(), &file, &err)) return OPS_STATUS_INVALID_ELEMENT;
    if (file.size() > room) return OPS_STATUS_INVALID_ELEMENT;
    memcpy(record->element, file.data(), file.size());
    return 0;
}

}  // namespace

int rddfpi(const uint16_t *block, const uint16_t *byte, const int16_t *raw, ReadRecord *record,
           int16_t *status) {
    unsigned char request[REQ_HEADER_BYTES + 8];
    memset(request, 0, sizeof request);
    ops_set_header(request, REQ_CODE_READ, 8);
    const int16_t rawFlag = raw ? *raw : 0;
    req_put16(request + 16, arg16(block));
    req_put16(request + 18, arg16(byte));
    req_put16(request + 20, (uint16_t)rawFlag);
    req_put16(request + 22, 0);

    unsigned char reply[REPLY_DEFAULT_CAPACITY];
    memset(reply, 0, REPLY_OFF_BYTES);
    int result = send_crc(request, reply, sizeof reply, 0);
    if (result == 0 && record) result = copy_read_reply(reply, ops_reply_bytes(reply, sizeof reply), rawFlag, record);
    return setstat(status, result);
}

int wtdfpi(const uint16_t *block, const uint16_t *byte, const int16_t *length, const void *data,
           int16_t *status) {
    std::vector<unsigned char> request(REQ_HEADER_BYTES + WRITE_BODY, 0);
    unsigned char *r = request.data();
    ops_set_header(r, REQ_CODE_WRITE, WRITE_BODY);
    const int16_t len = length ? *length : 0;
    req_put16(r + 16, arg16(block));
    req_put16(r + 18, arg16(byte));
    req_put16(r + 20, (uint16_t)len);
    const unsigned char *src = (const unsigned char *)data;
    if (len < 0 || len > WRITE_DATA_MAX || (len > 0 && !src)) return setstat(status, OPS_STATUS_BAD_POSITION);
    if (len > 0) {
        memcpy(r + WRITE_DATA, src, (size_t)len);
    } else {
        // A whole element, sent in the file layout.
        if (!src) return setstat(status, OPS_STATUS_INVALID_ELEMENT);
        const size_t n = 2 * (size_t)req_get16(src + 2) + 4;
        if (mcsl_translationMode != 0) {
            std::vector<uint8_t> file;
            std::string err;
            if (!dgn_server_to_file(src, n, ops_file_is_3d(), &file, &err) || file.size() > (size_t)WRITE_DATA_MAX)
                return setstat(status, OPS_STATUS_INVALID_ELEMENT);
            memcpy(r + WRITE_DATA, file.data(), file.size());
        } else {
            if (n > (size_t)WRITE_DATA_MAX) return setstat(status, OPS_STATUS_INVALID_ELEMENT);
            memcpy(r + WRITE_DATA, src, n);
        }
    }
    return setstat(status, send_crc(r, nullptr, 0, 0));
}

int delete_element(const uint16_t *block, const uint16_t *byte, const int16_t *flags,
                   int16_t *status) {
    unsigned char request[REQ_HEADER_BYTES + 6];
    memset(request, 0, sizeof request);
    ops_set_header(request, REQ_CODE_DELETE, 6);
    req_put16(request + 16, arg16(block));
    req_put16(request + 18, arg16(byte));
    const int16_t f = flags ? *flags : 0;
    req_put16(request + 20, (f & 0x4000) ? 0 : 1);
    return setstat(status, send_crc(request, nullptr, 0, 0));
}

void ggdfpi(const uint32_t *pair, int16_t *status) {
    const uint32_t p = pair ? *pair : 0;
    if ((p & 0xFFFF) == 3 && (p >> 16) == 0) {
        setstat(status, 902);
        return;
    }
    unsigned char request[REQ_HEADER_BYTES + 4];
    memset(request, 0, sizeof request);
    ops_set_header(request, REQ_CODE_GRAPHIC_GROUP, 4);
    req_put32(request + 16, p);
    setstat(status, send_crc(request, nullptr, 0, 0));
}
