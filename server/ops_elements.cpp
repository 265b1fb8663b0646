// Route table of the element operations and the helpers they share:
// finding elements by position, the extent of complex elements, the reply
// position words and the active graphic group.
#include "server/ops_elements.h"

#include "resources/tcb_vartable.h"

const RequestRoute element_routes[] = {
    {11, elop_ellipse_2d},
    {12, elop_ellipse_3d},
    {18, elop_read},
    {19, elop_write},
    {20, elop_graphic_group},
    {26, elop_delete},
    {30, elop_line},
    {31, elop_line_string},
    {32, elop_curve},
    {61, elop_move},
    {0, nullptr},
};

// First element whose offset is greater than `position`.
static size_t upper_element(const DgnFile &f, int64_t position) {
    size_t lo = 0, hi = f.elements.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if ((int64_t)f.elements[mid].offset <= position) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

int elop_element_containing(const ServerState *s, int64_t position, int *index) {
    if (!s->fileOpen) return ELOP_STATUS_NO_DESIGN_FILE;
    const DgnFile &f = s->file;
    if (position < 0) return ELOP_STATUS_INVALID_ELEMENT;
    if (position >= (int64_t)f.end_offset) return ELOP_STATUS_END_OF_FILE;
    const size_t up = upper_element(f, position);
    if (up == 0) return ELOP_STATUS_INVALID_ELEMENT;
    const DgnElementRef &r = f.elements[up - 1];
    if (position >= (int64_t)r.offset + r.size) return ELOP_STATUS_END_OF_FILE;
    *index = (int)(up - 1);
    return 0;
}

int elop_element_at(const ServerState *s, int64_t position, int *index) {
    int i = -1;
    const int status = elop_element_containing(s, position, &i);
    if (status != 0) return status;
    if ((int64_t)s->file.elements[i].offset != position) return ELOP_STATUS_INVALID_ELEMENT;
    *index = i;
    return 0;
}

static bool is_complex_header_type(int type) {
    switch (type) {
    case 2: case 7: case 12: case 14: case 18: case 19: case 24: case 27:
        return true;
    default:
        return false;
    }
}

int elop_complex_end(const ServerState *s, int index) {
    const std::vector<DgnElementRef> &e = s->file.elements;
    int end = index + 1;
    if (!is_complex_header_type(e[index].type)) return end;
    while (end < (int)e.size() && e[end].complex) ++end;
    return end;
}

int elop_complex_header(const ServerState *s, int index) {
    const std::vector<DgnElementRef> &e = s->file.elements;
    int h = index;
    while (h > 0 && e[h].complex) --h;
    if (h == index || !is_complex_header_type(e[h].type)) return index;
    return h;
}

void elop_reply_position(ServerReply *reply, uint32_t position) {
    if (reply->data.size() < 8) reply->data.resize(8, 0);
    srv_put16(&reply->data[0], (uint16_t)(position / 512));
    srv_put16(&reply->data[2], (uint16_t)(position % 512));
}

uint16_t elop_active_graphic_group(const ServerState *s) {
    const uint8_t *t = (const uint8_t *)s->tcb.address;
    if (!t) return (uint16_t)(s->file.max_graphic_group + 1u);
    return srv_get16(t + TCB_OFF_GRAFIC);
}

void elop_set_active_graphic_group(ServerState *s, uint16_t group) {
    uint8_t *t = (uint8_t *)s->tcb.address;
    if (t) srv_put16(t + TCB_OFF_GRAFIC, group);
}
