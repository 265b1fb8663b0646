// Element read (18), write in place (19) and delete (26).
//
// Read reply: word 24 = words of the element sent + 2 (so 2 x word - 4 is its
// size in bytes), words 26 and 28 = block and byte of the element that
// follows it in the file, the element from reply byte 32: in the server
// layout, or as it lies in the file when the raw flag is non-zero.
//
// Delete word: 1 deletes the element (a complex header together with its
// components); 0 restores a deleted element (again with its components).
#include <string.h>

#include <string>

#include "dgn/dgn_server_layout.h"
#include "server/ops_elements.h"

namespace {

// Bytes of the reply after offset 24 that the client's buffer can take.
const size_t REPLY_ELEMENT_ROOM = SRV_REPLY_CAPACITY - 32;

int64_t position_of(const uint8_t *request) {
    return (int64_t)srv_get16(request + 16) * 512 + srv_get16(request + 18);
}

}  // namespace

void elop_read(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    if (length < 24) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    const bool raw = srv_get16(request + 20) != 0;
    int index = -1;
    reply->status = elop_element_at(s, position_of(request), &index);
    if (reply->status != 0) return;
    const DgnElementRef &r = s->file.elements[index];
    const uint8_t *bytes = s->file.data.data() + r.offset;
    std::vector<uint8_t> out;
    if (raw) {
        out.assign(bytes, bytes + r.size);
    } else {
        std::string err;
        if (!dgn_file_to_server(bytes, r.size, s->file.is3d, &out, &err)) {
            reply->status = ELOP_STATUS_INVALID_ELEMENT;
            return;
        }
    }
    if (out.size() > REPLY_ELEMENT_ROOM) {
        reply->status = ELOP_STATUS_INVALID_ELEMENT;
        return;
    }
    reply->data.assign(8 + out.size(), 0);
    srv_put16(&reply->data[0], (uint16_t)(out.size() / 2 + 2));
    const uint32_t next = r.offset + r.size;
    srv_put16(&reply->data[2], (uint16_t)(next / 512));
    srv_put16(&reply->data[4], (uint16_t)(next % 512));
    memcpy(&reply->data[8], out.data(), out.size());
}

void elop_write(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    if (length < 22) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    const int64_t position = position_of(request);
    const int16_t len = (int16_t)srv_get16(request + 20);
    const uint8_t *data = request + 22;
    const size_t avail = length - 22;
    int index = -1;
    if (len < 0) { reply->status = ELOP_STATUS_BAD_POSITION; return; }
    if (len > 0) {
        if ((size_t)len > avail) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
        reply->status = elop_element_containing(s, position, &index);
        if (reply->status != 0) return;
    } else {
        if (avail < 4) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
        const size_t n = 4 + 2 * (size_t)srv_get16(data + 2);
        if (n > avail) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
        reply->status = elop_element_at(s, position, &index);
        if (reply->status != 0) return;
        if (n != s->file.elements[index].size) { reply->status = ELOP_STATUS_BAD_POSITION; return; }
    }
    // The design file header is the server's own; its bytes are not written.
    if (index == 0) { reply->status = ELOP_STATUS_BAD_POSITION; return; }
    const DgnElementRef &r = s->file.elements[index];
    const size_t at = (size_t)(position - r.offset);
    const size_t count = len > 0 ? (size_t)len : r.size;
    // Bytes that would cross the end of the element are never written.
    if (at + count > r.size) { reply->status = ELOP_STATUS_BAD_POSITION; return; }
    const uint8_t *old = s->file.data.data() + r.offset;
    std::vector<uint8_t> image(old, old + r.size);
    memcpy(image.data() + at, data, count);
    if (memcmp(image.data(), old, r.size) == 0) return;  // nothing changes
    std::string err;
    if (!dgn_overwrite_element(&s->file, index, image.data(), image.size(), &err)) {
        reply->status = ELOP_STATUS_INVALID_ELEMENT;
        return;
    }
    s->modified = true;
}

void elop_delete(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    if (length < 22) { reply->status = ELOP_STATUS_COMMUNICATION; return; }
    const bool restore = srv_get16(request + 20) == 0;
    int index = -1;
    reply->status = elop_element_at(s, position_of(request), &index);
    if (reply->status != 0) return;
    if (index == 0) { reply->status = ELOP_STATUS_INVALID_ELEMENT; return; }
    DgnFile &f = s->file;
    if (f.elements[index].complex) { reply->status = ELOP_STATUS_DELETE_COMPONENT; return; }
    const int end = elop_complex_end(s, index);
    if (restore) {
        if (!f.elements[index].deleted) return;
        // Only elements that are sound again come back.
        for (int i = index; i < end; ++i) {
            uint32_t n = 0;
            const uint8_t *b = dgn_element_bytes(&f, i, &n);
            std::vector<uint8_t> image(b, b + n);
            image[1] &= 0x7F;
            std::string err;
            if (!dgn_check_element(image.data(), n, f.is3d, &err)) {
                reply->status = ELOP_STATUS_INVALID_ELEMENT;
                return;
            }
        }
        for (int i = index; i < end; ++i) dgn_set_deleted(&f, i, false);
    } else {
        if (f.elements[index].deleted) return;
        for (int i = index; i < end; ++i) dgn_set_deleted(&f, i, true);
    }
    s->modified = true;
}
