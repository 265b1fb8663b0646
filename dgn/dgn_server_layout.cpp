// dgn_server_layout.cpp - element translation between the file layout and the server layout.
// Each translated type is a list of field moves (file offset, server offset, kind, count);
// everything after the last field moves as a block.
#include "dgn/dgn_server_layout.h"

#include <cstring>

#include "dgn/dgn_element.h"
#include "dgnrequests/element_layout.h"

namespace {

enum Kind { U8, U16, I32, VAX };

struct Move {
    size_t foff, soff;
    Kind kind;
    size_t count;
};

size_t kind_bytes(Kind k) { return k == U8 ? 1 : k == U16 ? 2 : k == I32 ? 4 : 8; }

// Field moves of a type; `count` is the vertex count of types 4/6/11. Returns false for
// types that are not translated.
bool moves_for(int type, bool d3, size_t count, std::vector<Move> *m) {
    const size_t c = d3 ? 3 : 2;
    m->clear();
    switch (type) {
    case 3:
        m->push_back({36, 40, I32, 2 * c});
        return true;
    case 4: case 6: case 11:
        m->push_back({36, 40, U16, 1});
        m->push_back({38, 44, I32, count * c});
        return true;
    case 2:
        m->push_back({36, 40, U16, 1});
        m->push_back({38, 44, U16, 2});
        m->push_back({42, 48, U16, 1});
        m->push_back({44, 52, U16, 4});
        m->push_back({52, 60, I32, 2 * c + (d3 ? 9 : 4) + c});
        return true;
    case 7:
        m->push_back({36, 40, U16, 3});
        m->push_back({42, 46, U8, 4});
        m->push_back({46, 52, I32, 3 + (d3 ? 4 : 1) + c});
        return true;
    case 12: case 14:
        m->push_back({36, 40, U16, 2});
        return true;
    case 15:
        m->push_back({36, 40, VAX, 2});
        if (d3) {
            m->push_back({52, 56, I32, 4});
            m->push_back({68, 72, VAX, 3});
        } else {
            m->push_back({52, 56, I32, 1});
            m->push_back({56, 64, VAX, 2});
        }
        return true;
    case 16:
        m->push_back({36, 40, I32, 2});
        m->push_back({44, 48, VAX, 2});
        if (d3) {
            m->push_back({60, 64, I32, 4});
            m->push_back({76, 80, VAX, 3});
        } else {
            m->push_back({60, 64, I32, 1});
            m->push_back({64, 72, VAX, 2});
        }
        return true;
    case 17:
        m->push_back({36, 40, U8, 2});
        m->push_back({38, 44, I32, 2 + (d3 ? 4 : 1) + c});
        m->push_back({d3 ? 74u : 58u, d3 ? 80u : 64u, U8, 2});
        return true;
    default:
        return false;
    }
}

void set_err(std::string *err, const std::string &m) {
    if (err) *err = m;
}

// Converts one field from file to server form (to_server) or back.
void move_field(const uint8_t *src, uint8_t *dst, Kind k, bool to_server) {
    switch (k) {
    case U8: dst[0] = src[0]; break;
    case U16: dst[0] = src[0]; dst[1] = src[1]; break;
    case I32:
        if (to_server) elm_store32(dst, static_cast<uint32_t>(elm_load_i32m(src)));
        else elm_store_i32m(dst, static_cast<int32_t>(elm_load32(src)));
        break;
    case VAX:
        memcpy(dst, src, 8);
        if (to_server) convert_double(dst);
        else unconvert_double(dst);
        break;
    }
}

bool translate(const uint8_t *in, size_t n, bool d3, bool to_server, std::vector<uint8_t> *out, std::string *err) {
    if (n < 4) { set_err(err, "element header cut off"); return false; }
    const size_t size = 4 + 2 * static_cast<size_t>(elm_load16(in + 2));
    if (size > n) { set_err(err, "words to follow run past the end of the element"); return false; }
    const int type = (elm_load16(in) >> 8) & 0x7F;
    const int extra = elm_server_extra_words(type, d3 ? 3 : 2);
    if (to_server && !dgn_element_check(in, size, d3, err)) return false;
    std::vector<Move> moves;
    if (extra == 0 || !dgn_type_is_decoded(type)) {
        out->assign(in, in + size);
        return true;
    }
    const size_t din = to_server ? 36 : 40;  // first type-data byte of the input layout
    const bool counted = type == 4 || type == 6 || type == 11;
    if (size < din + (counted ? 2 : 0)) { set_err(err, "element too short for its type"); return false; }
    size_t count = 0;
    if (counted) count = elm_load16(in + din);
    moves_for(type, d3, count, &moves);
    const Move &last = moves.back();
    const size_t fend = last.foff + last.count * kind_bytes(last.kind);
    const size_t send = last.soff + last.count * kind_bytes(last.kind);
    const size_t in_end = to_server ? fend : send;
    const size_t out_end = to_server ? send : fend;
    if (in_end > size) { set_err(err, "type data runs past the end of the element"); return false; }
    // The server layout is longer by exactly the extra words of the type.
    if (send - fend != static_cast<size_t>(2 * extra)) { set_err(err, "internal layout mismatch"); return false; }

    const size_t out_size = to_server ? size + 2 * extra : size - 2 * extra;
    if ((out_size - 4) / 2 > 0xFFFF) { set_err(err, "element too long for the server layout"); return false; }
    const uint16_t attr = elm_load16(in + 30);
    if (!to_server && attr < extra) { set_err(err, "attribute index smaller than the server's extra words"); return false; }
    if (to_server && attr + extra > 0xFFFF) { set_err(err, "attribute index out of range"); return false; }

    out->assign(out_size, 0);
    uint8_t *o = out->data();
    memcpy(o, in, 34);
    elm_store16(o + 2, static_cast<uint16_t>((out_size - 4) / 2));
    elm_store16(o + 30, static_cast<uint16_t>(to_server ? attr + extra : attr - extra));
    if (to_server) {
        o[36] = in[34];
        o[37] = in[35];
    } else {
        o[34] = in[36];
        o[35] = in[37];
    }
    for (const Move &m : moves) {
        const size_t w = kind_bytes(m.kind);
        const size_t from = to_server ? m.foff : m.soff;
        const size_t to = to_server ? m.soff : m.foff;
        for (size_t k = 0; k < m.count; ++k) move_field(in + from + k * w, o + to + k * w, m.kind, to_server);
    }
    memcpy(o + out_end, in + in_end, size - in_end);
    if (!to_server && !dgn_element_check(o, out_size, d3, err)) return false;
    return true;
}

}  // namespace

bool dgn_file_to_server(const uint8_t *bytes, size_t n, bool is3d, std::vector<uint8_t> *out, std::string *err) {
    return translate(bytes, n, is3d, true, out, err);
}

bool dgn_server_to_file(const uint8_t *bytes, size_t n, bool is3d, std::vector<uint8_t> *out, std::string *err) {
    return translate(bytes, n, is3d, false, out, err);
}
