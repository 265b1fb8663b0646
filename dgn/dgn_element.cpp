// dgn_element.cpp - field-by-field decoding and encoding of DGN V7 elements (file layout).
#include "dgn/dgn_element.h"

#include <cstring>

#include "dgnrequests/element_layout.h"

namespace {

enum { DATA = 36 };  // first byte of type data in the file layout

// Types without the range and display header (bytes 4-35 hold other data or nothing).
bool no_display_header(int type) {
    switch (type) {
    case 0: case 1: case 8: case 9: case 10: case 32: case 44:
    case 48: case 49: case 50: case 51: case 57:
    case 60: case 61: case 62: case 63:
        return true;
    default:
        return false;
    }
}

int coords(bool is3d) { return is3d ? 3 : 2; }

// Bytes of type data from byte 36 for a decoded type; -1 when the counted part does not fit
// `limit` (bytes available from byte 36) or the type is not decoded.
long fixed_bytes(int type, bool is3d, const uint8_t *p, size_t n) {
    const long vb = 4L * coords(is3d);
    switch (type) {
    case 3: return 2 * vb;
    case 4: case 6: case 11:
        if (n < DATA + 2) return -1;
        return 2 + vb * elm_load16(p + DATA);
    case 2: return is3d ? 88 : 56;
    case 7: return is3d ? 50 : 34;
    case 12: case 14: return 4;
    case 15: return is3d ? 56 : 36;
    case 16: return is3d ? 64 : 44;
    case 17: {
        const size_t base = is3d ? 40 : 24;
        if (n < DATA + base) return -1;
        return static_cast<long>(base + p[DATA + base - 2] + 3L * p[DATA + base - 1]);
    }
    default: return -1;
    }
}

struct Reader {
    const uint8_t *p;
    size_t at;
    uint16_t u16() { uint16_t v = elm_load16(p + at); at += 2; return v; }
    uint8_t u8() { return p[at++]; }
    int32_t i32() { int32_t v = elm_load_i32m(p + at); at += 4; return v; }
    DgnPoint point(bool is3d) {
        DgnPoint q;
        q.x = i32();
        q.y = i32();
        if (is3d) q.z = i32();
        return q;
    }
    DgnVaxValue vax() {
        DgnVaxValue v;
        memcpy(v.raw, p + at, 8);
        v.value = elm_vax_to_double(v.raw);
        at += 8;
        return v;
    }
    DgnOrientation orient(bool is3d) {
        DgnOrientation o;
        if (is3d)
            for (int k = 0; k < 4; ++k) o.quat[k] = i32();
        else
            o.rotation = i32();
        return o;
    }
};

struct Writer {
    std::vector<uint8_t> *b;
    void u16(uint16_t v) { size_t at = b->size(); b->resize(at + 2); elm_store16(b->data() + at, v); }
    void u8(uint8_t v) { b->push_back(v); }
    void i32(int32_t v) { size_t at = b->size(); b->resize(at + 4); elm_store_i32m(b->data() + at, v); }
    void point(const DgnPoint &q, bool is3d) {
        i32(q.x);
        i32(q.y);
        if (is3d) i32(q.z);
    }
    void vax(const DgnVaxValue &v) {
        uint8_t raw[8];
        if (elm_vax_to_double(v.raw) == v.value || (v.value != v.value))
            memcpy(raw, v.raw, 8);
        else
            elm_double_to_vax(v.value, raw);
        b->insert(b->end(), raw, raw + 8);
    }
    void orient(const DgnOrientation &o, bool is3d) {
        if (is3d)
            for (int k = 0; k < 4; ++k) i32(o.quat[k]);
        else
            i32(o.rotation);
    }
};

void set_err(std::string *err, const std::string &m) {
    if (err) *err = m;
}

}  // namespace

bool dgn_type_is_decoded(int type) {
    switch (type) {
    case 2: case 3: case 4: case 6: case 7: case 11: case 12: case 14: case 15: case 16: case 17:
        return true;
    default:
        return false;
    }
}

const char *dgn_type_name(int type) {
    switch (type) {
    case 1: return "cell library header";
    case 2: return "cell header";
    case 3: return "line";
    case 4: return "line string";
    case 5: return "group data";
    case 6: return "shape";
    case 7: return "text node";
    case 8: return "digitizer setup";
    case 9: return "design file header";
    case 10: return "level symbology";
    case 11: return "curve";
    case 12: return "complex chain";
    case 14: return "complex shape";
    case 15: return "ellipse";
    case 16: return "arc";
    case 17: return "text";
    case 18: return "surface header";
    case 19: return "solid header";
    case 21: return "b-spline pole";
    case 22: return "point string";
    case 23: return "cone";
    case 24: return "b-spline surface header";
    case 25: return "b-spline surface boundary";
    case 26: return "b-spline knot";
    case 27: return "b-spline curve header";
    case 28: return "b-spline weight factor";
    case 33: return "dimension";
    case 34: return "shared cell definition";
    case 35: return "shared cell";
    case 37: return "tag value";
    case 66: return "application element";
    default: return "other";
    }
}

bool dgn_element_check(const uint8_t *p, size_t n, bool is3d, std::string *err) {
    if (n < 4) { set_err(err, "element header cut off"); return false; }
    const size_t size = 4 + 2 * static_cast<size_t>(elm_load16(p + 2));
    if (size > n) {
        set_err(err, "words to follow (" + std::to_string(elm_load16(p + 2)) + ") run past the end of the data");
        return false;
    }
    const int type = (elm_load16(p) >> 8) & 0x7F;
    // Other types are passed through as they are; their words beyond the header are theirs.
    if (!dgn_type_is_decoded(type)) return true;
    if (size < DATA) {
        set_err(err, std::string(dgn_type_name(type)) + " element too short (" + std::to_string(size) + " bytes)");
        return false;
    }
    const uint16_t props = elm_load16(p + 32);
    size_t limit = size;
    if (props & DGN_PROP_ATTRIBUTES) {
        const size_t lstart = 32 + 2 * static_cast<size_t>(elm_load16(p + 30));
        if (lstart > size || lstart < DATA) {
            set_err(err, "attribute index " + std::to_string(elm_load16(p + 30)) + " points outside the element");
            return false;
        }
        limit = lstart;
    }
    const long fixed = fixed_bytes(type, is3d, p, size);
    if (fixed < 0 || DATA + static_cast<size_t>(fixed) > limit) {
        set_err(err, std::string(dgn_type_name(type)) + " data (" +
                         (fixed < 0 ? std::string("?") : std::to_string(fixed)) +
                         " bytes) does not fit in its element (" + std::to_string(limit - DATA) + " bytes)");
        return false;
    }
    return true;
}

bool dgn_decode_element(const uint8_t *p, size_t n, bool is3d, DgnElement *out, std::string *err) {
    if (!dgn_element_check(p, n, is3d, err)) return false;
    DgnElement e;
    const uint16_t hw = elm_load16(p);
    const size_t size = 4 + 2 * static_cast<size_t>(elm_load16(p + 2));
    e.type = (hw >> 8) & 0x7F;
    e.level = hw & 0x3F;
    e.complex = (hw & 0x80) != 0;
    e.deleted = (hw & 0x8000) != 0;
    e.reserved_bit = (hw & 0x40) != 0;
    e.is3d = is3d;
    if (!dgn_type_is_decoded(e.type)) {
        e.raw.assign(p, p + size);
        e.has_display_header = !no_display_header(e.type) && size >= 36;
        if (e.has_display_header) {
            elm_get_range(p, size, e.range);
            e.graphic_group = elm_load16(p + 28);
            e.properties = elm_load16(p + 32);
            const uint16_t s = elm_load16(p + 34);
            e.style = s & 7;
            e.weight = (s >> 3) & 31;
            e.color = s >> 8;
            // Linkages shown for information only; encoding writes e.raw.
            const size_t lstart = 32 + 2 * static_cast<size_t>(elm_load16(p + 30));
            if ((e.properties & DGN_PROP_ATTRIBUTES) && lstart >= DATA && lstart <= size)
                e.linkages.assign(p + lstart, p + size);
        }
        *out = std::move(e);
        return true;
    }
    e.has_display_header = true;
    elm_get_range(p, size, e.range);
    e.graphic_group = elm_load16(p + 28);
    e.properties = elm_load16(p + 32);
    const uint16_t s = elm_load16(p + 34);
    e.style = s & 7;
    e.weight = (s >> 3) & 31;
    e.color = s >> 8;

    Reader r{p, DATA};
    switch (e.type) {
    case 3:
        e.vertices.push_back(r.point(is3d));
        e.vertices.push_back(r.point(is3d));
        break;
    case 4: case 6: case 11: {
        const int nv = r.u16();
        e.vertices.reserve(nv);
        for (int i = 0; i < nv; ++i) e.vertices.push_back(r.point(is3d));
        break;
    }
    case 2: {
        e.totlength = r.u16();
        e.cell_name[0] = r.u16();
        e.cell_name[1] = r.u16();
        e.class_map = r.u16();
        for (int k = 0; k < 4; ++k) e.level_mask[k] = r.u16();
        e.cell_rdiag[0] = r.point(is3d);
        e.cell_rdiag[1] = r.point(is3d);
        for (int k = 0; k < (is3d ? 9 : 4); ++k) e.cell_matrix[k] = r.i32();
        e.origin = r.point(is3d);
        break;
    }
    case 7:
        e.totlength = r.u16();
        e.numelems = r.u16();
        e.node_number = r.u16();
        e.max_length = r.u8();
        e.max_used = r.u8();
        e.font = r.u8();
        e.justification = r.u8();
        e.line_spacing = r.i32();
        e.length_mult = r.i32();
        e.height_mult = r.i32();
        e.orientation = r.orient(is3d);
        e.origin = r.point(is3d);
        break;
    case 12: case 14:
        e.totlength = r.u16();
        e.numelems = r.u16();
        break;
    case 15:
        e.primary = r.vax();
        e.secondary = r.vax();
        e.orientation = r.orient(is3d);
        for (int k = 0; k < coords(is3d); ++k) e.centre[k] = r.vax();
        break;
    case 16:
        e.start_angle = r.i32();
        e.sweep_raw = static_cast<uint32_t>(r.i32());
        e.primary = r.vax();
        e.secondary = r.vax();
        e.orientation = r.orient(is3d);
        for (int k = 0; k < coords(is3d); ++k) e.centre[k] = r.vax();
        break;
    case 17: {
        e.font = r.u8();
        e.justification = r.u8();
        e.length_mult = r.i32();
        e.height_mult = r.i32();
        e.orientation = r.orient(is3d);
        e.origin = r.point(is3d);
        const int nc = r.u8();
        const int ne = r.u8();
        e.text.assign(reinterpret_cast<const char *>(p + r.at), nc);
        r.at += nc;
        e.enter_data.assign(p + r.at, p + r.at + 3 * ne);
        r.at += 3 * ne;
        break;
    }
    default:
        break;
    }
    size_t lstart = size;
    if (e.properties & DGN_PROP_ATTRIBUTES) lstart = 32 + 2 * static_cast<size_t>(elm_load16(p + 30));
    const uint16_t ai = elm_load16(p + 30);
    if (!(e.properties & DGN_PROP_ATTRIBUTES) && 32 + 2 * static_cast<size_t>(ai) != size) {
        e.keep_attr_index = true;
        e.attr_index = ai;
    }
    e.tail.assign(p + r.at, p + lstart);
    e.linkages.assign(p + lstart, p + size);
    *out = std::move(e);
    return true;
}

bool dgn_encode_element(const DgnElement &e, std::vector<uint8_t> *out, std::string *err) {
    const uint16_t hw = static_cast<uint16_t>((e.level & 0x3F) | (e.reserved_bit ? 0x40 : 0) |
                                              (e.complex ? 0x80 : 0) | ((e.type & 0x7F) << 8) |
                                              (e.deleted ? 0x8000 : 0));
    out->clear();
    if (!dgn_type_is_decoded(e.type)) {
        if (e.raw.size() < 4) { set_err(err, "raw element shorter than its header"); return false; }
        *out = e.raw;
        elm_store16(out->data(), hw);
        return true;
    }
    const bool is3d = e.is3d;
    std::vector<uint8_t> &b = *out;
    b.assign(DATA, 0);
    Writer w{&b};
    switch (e.type) {
    case 3:
        if (e.vertices.size() != 2) { set_err(err, "a line needs exactly 2 vertices"); return false; }
        w.point(e.vertices[0], is3d);
        w.point(e.vertices[1], is3d);
        break;
    case 4: case 6: case 11:
        if (e.vertices.size() > 0xFFFF) { set_err(err, "too many vertices"); return false; }
        w.u16(static_cast<uint16_t>(e.vertices.size()));
        for (const DgnPoint &q : e.vertices) w.point(q, is3d);
        break;
    case 2:
        w.u16(e.totlength);
        w.u16(e.cell_name[0]);
        w.u16(e.cell_name[1]);
        w.u16(e.class_map);
        for (int k = 0; k < 4; ++k) w.u16(e.level_mask[k]);
        w.point(e.cell_rdiag[0], is3d);
        w.point(e.cell_rdiag[1], is3d);
        for (int k = 0; k < (is3d ? 9 : 4); ++k) w.i32(e.cell_matrix[k]);
        w.point(e.origin, is3d);
        break;
    case 7:
        w.u16(e.totlength);
        w.u16(e.numelems);
        w.u16(e.node_number);
        w.u8(e.max_length);
        w.u8(e.max_used);
        w.u8(e.font);
        w.u8(e.justification);
        w.i32(e.line_spacing);
        w.i32(e.length_mult);
        w.i32(e.height_mult);
        w.orient(e.orientation, is3d);
        w.point(e.origin, is3d);
        break;
    case 12: case 14:
        w.u16(e.totlength);
        w.u16(e.numelems);
        break;
    case 15:
        w.vax(e.primary);
        w.vax(e.secondary);
        w.orient(e.orientation, is3d);
        for (int k = 0; k < coords(is3d); ++k) w.vax(e.centre[k]);
        break;
    case 16:
        w.i32(e.start_angle);
        w.i32(static_cast<int32_t>(e.sweep_raw));
        w.vax(e.primary);
        w.vax(e.secondary);
        w.orient(e.orientation, is3d);
        for (int k = 0; k < coords(is3d); ++k) w.vax(e.centre[k]);
        break;
    case 17:
        if (e.text.size() > 255) { set_err(err, "text longer than 255 bytes"); return false; }
        if (e.enter_data.size() % 3 != 0 || e.enter_data.size() / 3 > 255) {
            set_err(err, "bad enter-data fields");
            return false;
        }
        w.u8(e.font);
        w.u8(e.justification);
        w.i32(e.length_mult);
        w.i32(e.height_mult);
        w.orient(e.orientation, is3d);
        w.point(e.origin, is3d);
        w.u8(static_cast<uint8_t>(e.text.size()));
        w.u8(static_cast<uint8_t>(e.enter_data.size() / 3));
        b.insert(b.end(), e.text.begin(), e.text.end());
        b.insert(b.end(), e.enter_data.begin(), e.enter_data.end());
        break;
    default:
        break;
    }
    b.insert(b.end(), e.tail.begin(), e.tail.end());
    if (b.size() % 2) b.push_back(0);
    const size_t lstart = b.size();
    b.insert(b.end(), e.linkages.begin(), e.linkages.end());
    if (b.size() % 2) b.push_back(0);
    if ((b.size() - 4) / 2 > 0xFFFF) { set_err(err, "element longer than 65535 words"); return false; }
    uint16_t props = e.properties;
    if (!e.linkages.empty()) props |= DGN_PROP_ATTRIBUTES;
    elm_store16(b.data(), hw);
    elm_store16(b.data() + 2, static_cast<uint16_t>((b.size() - 4) / 2));
    elm_set_range(b.data(), b.size(), e.range);
    elm_store16(b.data() + 28, e.graphic_group);
    const bool keep = e.keep_attr_index && e.linkages.empty() && !(e.properties & DGN_PROP_ATTRIBUTES);
    elm_store16(b.data() + 30, keep ? e.attr_index : static_cast<uint16_t>((lstart - 32) / 2));
    elm_store16(b.data() + 32, props);
    elm_store16(b.data() + 34, static_cast<uint16_t>((e.style & 7) | ((e.weight & 31) << 3) | ((e.color & 255) << 8)));
    return true;
}

bool dgn_parse_linkages(const uint8_t *area, size_t n, std::vector<DgnLinkage> *out) {
    out->clear();
    size_t at = 0;
    while (at + 2 <= n) {
        DgnLinkage l{};
        l.offset = static_cast<uint32_t>(at);
        l.first_word = elm_load16(area + at);
        l.words = static_cast<uint32_t>(elm_linkage_words(l.first_word));
        if (l.first_word == 0 && at + 8 <= n && elm_load16(area + at + 2) == 0 &&
            elm_load16(area + at + 4) == 0 && elm_load16(area + at + 6) == 0) {
            // All-zero words: spare space after the last linkage.
            break;
        }
        if (at + 2 * static_cast<size_t>(l.words) > n) return false;
        l.user = (l.first_word & 0x1000) != 0;
        if (l.user) {
            if (l.words >= 2) l.id = elm_load16(area + at + 2);
        } else if ((l.first_word & 0x7FFF) == 0) {
            l.database = true;
            l.entity = elm_load16(area + at + 2);
            l.mslink = area[at + 4] | (area[at + 5] << 8) | (static_cast<uint32_t>(area[at + 6]) << 16);
        }
        out->push_back(l);
        at += 2 * static_cast<size_t>(l.words);
    }
    return true;
}

std::string dgn_rad50_decode(const uint16_t words[2]) {
    static const char table[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ$. 0123456789";
    std::string s;
    for (int w = 0; w < 2; ++w) {
        unsigned v = words[w];
        const unsigned c[3] = {v / 1600 % 40, v / 40 % 40, v % 40};
        for (unsigned k : c) s += table[k];
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

void dgn_rad50_encode(const char *name, uint16_t words[2]) {
    unsigned codes[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 6 && name[i]; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c >= 'A' && c <= 'Z') codes[i] = static_cast<unsigned>(c - 'A' + 1);
        else if (c == '$') codes[i] = 27;
        else if (c == '.') codes[i] = 28;
        else if (c >= '0' && c <= '9') codes[i] = static_cast<unsigned>(c - '0' + 30);
        else codes[i] = 0;
    }
    words[0] = static_cast<uint16_t>(codes[0] * 1600 + codes[1] * 40 + codes[2]);
    words[1] = static_cast<uint16_t>(codes[3] * 1600 + codes[4] * 40 + codes[5]);
}
