// Element layout codecs: word order, scan format, VAX D-floating values,
// positions, header fields of both layouts and the server-layout length table.
#include "dgnrequests/element_layout.h"

#include <cstring>

// ---------------------------------------------------------------------------
// Words

uint16_t elm_load16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void elm_store16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t elm_load32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void elm_store32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    p[2] = static_cast<uint8_t>((v >> 16) & 0xFF);
    p[3] = static_cast<uint8_t>(v >> 24);
}

static uint32_t swap_halves(uint32_t v)
{
    return (v << 16) | (v >> 16);
}

int32_t elm_load_i32m(const uint8_t *p)
{
    return static_cast<int32_t>(swap_halves(elm_load32(p)));
}

void elm_store_i32m(uint8_t *p, int32_t v)
{
    elm_store32(p, swap_halves(static_cast<uint32_t>(v)));
}

// ---------------------------------------------------------------------------
// Integer encodings

void swap_word(uint32_t *cell)
{
    *cell = swap_halves(*cell);
}

void swap_word(int32_t *cell)
{
    *cell = static_cast<int32_t>(swap_halves(static_cast<uint32_t>(*cell)));
}

uint32_t scan_fmt(int32_t v)
{
    return swap_halves(static_cast<uint32_t>(v) ^ 0x80000000u);
}

int32_t un_scan_fmt(uint32_t s)
{
    return static_cast<int32_t>(swap_halves(s) ^ 0x80000000u);
}

void convertScanRange(int32_t range[6])
{
    for (int i = 0; i < 6; ++i)
        range[i] = un_scan_fmt(static_cast<uint32_t>(range[i]));
}

// ---------------------------------------------------------------------------
// VAX D-floating values
//
// VAX D: sign bit 31 of the first cell, 8-bit exponent (bias 128) in bits
// 23-30, 55 fraction bits after a hidden leading 1 with the radix point before
// it. IEEE double: exponent bias 1023, radix point after the hidden 1. So the
// IEEE exponent is the VAX exponent + 1023 - 128 - 1 = VAX + 894.

static const uint32_t kVaxToIeeeExponent = 894u << 20;  // 0x37E00000 in the IEEE high cell
static const int kVaxExponentBias = 894;

void convert_double(void *cell)
{
    uint8_t *b = static_cast<uint8_t *>(cell);
    uint32_t hi = swap_halves(elm_load32(b));
    uint32_t lo = swap_halves(elm_load32(b + 4));

    if (((hi >> 23) & 0xFF) == 0) {
        // Exponent 0 is zero on a VAX whatever the fraction and sign bits hold
        // (a set sign is a reserved operand); give a clean +0.0.
        std::memset(b, 0, 8);
        return;
    }
    const uint32_t sign = hi & 0x80000000u;
    hi &= 0x7FFFFFFFu;
    lo = (lo >> 3) | (hi << 29);
    hi >>= 3;
    if (hi != 0)
        hi += kVaxToIeeeExponent;
    hi |= sign;
    elm_store32(b, lo);
    elm_store32(b + 4, hi);
}

void unconvert_double(void *cell)
{
    uint8_t *b = static_cast<uint8_t *>(cell);
    const uint64_t bits = static_cast<uint64_t>(elm_load32(b)) | (static_cast<uint64_t>(elm_load32(b + 4)) << 32);
    const int e = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    const uint32_t sign = static_cast<uint32_t>(bits >> 63) << 31;

    uint32_t hi;
    uint32_t lo;
    if (e == 0x7FF && fraction != 0) {
        hi = lo = 0;  // NaN has no VAX form
    } else if (e <= kVaxExponentBias) {
        hi = lo = 0;  // zero, subnormal or below the VAX range
    } else if (e - kVaxExponentBias > 255) {
        // Infinity or above the VAX range: the largest magnitude, same sign.
        hi = sign | (255u << 23) | 0x7FFFFFu;
        lo = 0xFFFFFFFFu;
    } else {
        const uint64_t f55 = fraction << 3;
        hi = sign | (static_cast<uint32_t>(e - kVaxExponentBias) << 23) | static_cast<uint32_t>(f55 >> 32);
        lo = static_cast<uint32_t>(f55 & 0xFFFFFFFFu);
    }
    elm_store32(b, swap_halves(hi));
    elm_store32(b + 4, swap_halves(lo));
}

double elm_vax_to_double(const uint8_t vax[8])
{
    uint8_t tmp[8];
    std::memcpy(tmp, vax, 8);
    convert_double(tmp);
    const uint64_t bits = static_cast<uint64_t>(elm_load32(tmp)) | (static_cast<uint64_t>(elm_load32(tmp + 4)) << 32);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void elm_double_to_vax(double value, uint8_t vax[8])
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    elm_store32(vax, static_cast<uint32_t>(bits & 0xFFFFFFFFu));
    elm_store32(vax + 4, static_cast<uint32_t>(bits >> 32));
    unconvert_double(vax);
}

// ---------------------------------------------------------------------------
// Positions

bool elm_position_to_block(int32_t position, ElementBlockByte *out)
{
    if (position < 0 || out == nullptr)
        return false;
    const int32_t block = position / ELM_BLOCK_BYTES;
    if (block > 0xFFFF)
        return false;
    out->block = static_cast<uint16_t>(block);
    out->byte = static_cast<uint16_t>(position % ELM_BLOCK_BYTES);
    return true;
}

int32_t elm_block_to_position(uint16_t block, uint16_t byte)
{
    return static_cast<int32_t>(block) * ELM_BLOCK_BYTES + static_cast<int32_t>(byte);
}

int32_t elm_bytes_from_wtf(uint16_t wordsToFollow)
{
    return 2 * static_cast<int32_t>(wordsToFollow) + 4;
}

int32_t elm_next_position(int32_t position, uint16_t fileWordsToFollow)
{
    return position + elm_bytes_from_wtf(fileWordsToFollow);
}

// ---------------------------------------------------------------------------
// Server layout versus file layout

int elm_server_extra_words(int type, int dimension)
{
    const bool is3d = (dimension == 3);
    switch (type) {
    case ELM_TYPE_CELL_HEADER:
        return 4;
    case ELM_TYPE_LINE:
        return 2;
    case ELM_TYPE_LINE_STRING:
    case ELM_TYPE_SHAPE:
    case ELM_TYPE_CURVE:
        return 3;
    case ELM_TYPE_TEXT_NODE:
        return 3;
    case ELM_TYPE_CONNECTED_STRING:
    case ELM_TYPE_COMPLEX_SHAPE:
        return 2;
    case ELM_TYPE_ELLIPSE:
    case ELM_TYPE_ARC:
        return is3d ? 2 : 4;
    case ELM_TYPE_TEXT:
        return 3;
    default:
        // The server hands every other type over in its file layout.
        return 0;
    }
}

int elm_file_wtf_from_server(uint16_t serverWordsToFollow, int type, int dimension)
{
    const int extra = elm_server_extra_words(type, dimension);
    if (serverWordsToFollow < extra)
        return -1;
    return serverWordsToFollow - extra;
}

int elm_server_wtf_from_file(uint16_t fileWordsToFollow, int type, int dimension)
{
    const int w = fileWordsToFollow + elm_server_extra_words(type, dimension);
    return w > 0xFFFF ? -1 : w;
}

// ---------------------------------------------------------------------------
// Header

uint16_t elm_pack_symbology(ElementSymbology s)
{
    return static_cast<uint16_t>((s.style & 0x7) | ((s.weight & 0x1F) << 3) | (s.color << 8));
}

ElementSymbology elm_unpack_symbology(uint16_t word)
{
    ElementSymbology s;
    s.style = static_cast<uint8_t>(word & 0x7);
    s.weight = static_cast<uint8_t>((word >> 3) & 0x1F);
    s.color = static_cast<uint8_t>(word >> 8);
    return s;
}

int elm_header_level(uint16_t headerWord)
{
    return headerWord & ELM_LEVEL_MASK;
}

bool elm_header_complex(uint16_t headerWord)
{
    return (headerWord & ELM_COMPLEX_BIT) != 0;
}

int elm_header_type(uint16_t headerWord)
{
    return (headerWord & ELM_TYPE_MASK) >> 8;
}

uint16_t elm_make_header_word(int type, int level, bool complex)
{
    return static_cast<uint16_t>(((type & 0x7F) << 8) | (level & ELM_LEVEL_MASK) | (complex ? ELM_COMPLEX_BIT : 0));
}

size_t elm_header_bytes(ElementLayout layout)
{
    return layout == ElementLayout::Server ? ELM_SERVER_DATA_OFFSET : ELM_FILE_DATA_OFFSET;
}

size_t elm_symbology_offset(ElementLayout layout)
{
    return layout == ElementLayout::Server ? 36 : 34;
}

// Byte offsets of the common header fields.
enum : size_t {
    OFF_HEADER = 0,
    OFF_WTF = 2,
    OFF_RANGE = 4,
    OFF_GG = 28,
    OFF_ATTR = 30,
    OFF_PROPS = 32,
};

static bool fits(size_t len, size_t offset, size_t bytes)
{
    return offset <= len && bytes <= len - offset;
}

static bool get16(const uint8_t *buf, size_t len, size_t offset, uint16_t *out)
{
    if (buf == nullptr || out == nullptr || !fits(len, offset, 2))
        return false;
    *out = elm_load16(buf + offset);
    return true;
}

static bool set16(uint8_t *buf, size_t len, size_t offset, uint16_t v)
{
    if (buf == nullptr || !fits(len, offset, 2))
        return false;
    elm_store16(buf + offset, v);
    return true;
}

// Replaces the bits of `mask` in the 16-bit word at offset by those of v.
static bool set16_bits(uint8_t *buf, size_t len, size_t offset, uint16_t mask, uint16_t v)
{
    uint16_t w;
    if (!get16(buf, len, offset, &w))
        return false;
    elm_store16(buf + offset, static_cast<uint16_t>((w & ~mask) | (v & mask)));
    return true;
}

bool elm_read_header(const uint8_t *buf, size_t len, ElementLayout layout, ElementHeader *out)
{
    if (buf == nullptr || out == nullptr || len < elm_header_bytes(layout))
        return false;
    ElementHeader h;
    h.headerWord = elm_load16(buf + OFF_HEADER);
    h.level = elm_header_level(h.headerWord);
    h.complex = elm_header_complex(h.headerWord);
    h.type = elm_header_type(h.headerWord);
    h.wordsToFollow = elm_load16(buf + OFF_WTF);
    for (int i = 0; i < 6; ++i)
        h.range[i] = un_scan_fmt(elm_load32(buf + OFF_RANGE + 4 * i));
    h.graphicGroup = elm_load16(buf + OFF_GG);
    h.attrIndex = elm_load16(buf + OFF_ATTR);
    h.properties = elm_load16(buf + OFF_PROPS);
    h.elementClass = h.properties & ELM_CLASS_MASK;
    h.symbology = elm_unpack_symbology(elm_load16(buf + elm_symbology_offset(layout)));
    *out = h;
    return true;
}

bool elm_get_header_word(const uint8_t *buf, size_t len, uint16_t *out)
{
    return get16(buf, len, OFF_HEADER, out);
}

bool elm_set_header_word(uint8_t *buf, size_t len, uint16_t word)
{
    return set16(buf, len, OFF_HEADER, word);
}

bool elm_get_level(const uint8_t *buf, size_t len, int *out)
{
    uint16_t w;
    if (out == nullptr || !get16(buf, len, OFF_HEADER, &w))
        return false;
    *out = elm_header_level(w);
    return true;
}

bool elm_set_level(uint8_t *buf, size_t len, int level)
{
    return set16_bits(buf, len, OFF_HEADER, ELM_LEVEL_MASK, static_cast<uint16_t>(level & ELM_LEVEL_MASK));
}

bool elm_get_complex(const uint8_t *buf, size_t len, bool *out)
{
    uint16_t w;
    if (out == nullptr || !get16(buf, len, OFF_HEADER, &w))
        return false;
    *out = elm_header_complex(w);
    return true;
}

bool elm_set_complex(uint8_t *buf, size_t len, bool complex)
{
    return set16_bits(buf, len, OFF_HEADER, ELM_COMPLEX_BIT, complex ? ELM_COMPLEX_BIT : 0);
}

bool elm_get_type(const uint8_t *buf, size_t len, int *out)
{
    uint16_t w;
    if (out == nullptr || !get16(buf, len, OFF_HEADER, &w))
        return false;
    *out = elm_header_type(w);
    return true;
}

bool elm_set_type(uint8_t *buf, size_t len, int type)
{
    return set16_bits(buf, len, OFF_HEADER, ELM_TYPE_MASK, static_cast<uint16_t>((type & 0x7F) << 8));
}

bool elm_get_words_to_follow(const uint8_t *buf, size_t len, uint16_t *out)
{
    return get16(buf, len, OFF_WTF, out);
}

bool elm_set_words_to_follow(uint8_t *buf, size_t len, uint16_t wtf)
{
    return set16(buf, len, OFF_WTF, wtf);
}

bool elm_get_range(const uint8_t *buf, size_t len, int32_t range[6])
{
    if (buf == nullptr || range == nullptr || !fits(len, OFF_RANGE, 24))
        return false;
    for (int i = 0; i < 6; ++i)
        range[i] = un_scan_fmt(elm_load32(buf + OFF_RANGE + 4 * i));
    return true;
}

bool elm_set_range(uint8_t *buf, size_t len, const int32_t range[6])
{
    if (buf == nullptr || range == nullptr || !fits(len, OFF_RANGE, 24))
        return false;
    for (int i = 0; i < 6; ++i)
        elm_store32(buf + OFF_RANGE + 4 * i, scan_fmt(range[i]));
    return true;
}

bool elm_get_graphic_group(const uint8_t *buf, size_t len, uint16_t *out)
{
    return get16(buf, len, OFF_GG, out);
}

bool elm_set_graphic_group(uint8_t *buf, size_t len, uint16_t gg)
{
    return set16(buf, len, OFF_GG, gg);
}

bool elm_get_attr_index(const uint8_t *buf, size_t len, uint16_t *out)
{
    return get16(buf, len, OFF_ATTR, out);
}

bool elm_set_attr_index(uint8_t *buf, size_t len, uint16_t index)
{
    return set16(buf, len, OFF_ATTR, index);
}

bool elm_get_properties(const uint8_t *buf, size_t len, uint16_t *out)
{
    return get16(buf, len, OFF_PROPS, out);
}

bool elm_set_properties(uint8_t *buf, size_t len, uint16_t props)
{
    return set16(buf, len, OFF_PROPS, props);
}

bool elm_get_class(const uint8_t *buf, size_t len, int *out)
{
    uint16_t w;
    if (out == nullptr || !get16(buf, len, OFF_PROPS, &w))
        return false;
    *out = w & ELM_CLASS_MASK;
    return true;
}

bool elm_set_class(uint8_t *buf, size_t len, int cls)
{
    return set16_bits(buf, len, OFF_PROPS, ELM_CLASS_MASK, static_cast<uint16_t>(cls & ELM_CLASS_MASK));
}

bool elm_get_symbology(const uint8_t *buf, size_t len, ElementLayout layout, ElementSymbology *out)
{
    uint16_t w;
    if (out == nullptr || !get16(buf, len, elm_symbology_offset(layout), &w))
        return false;
    *out = elm_unpack_symbology(w);
    return true;
}

bool elm_set_symbology(uint8_t *buf, size_t len, ElementLayout layout, ElementSymbology s)
{
    return set16(buf, len, elm_symbology_offset(layout), elm_pack_symbology(s));
}

// Symbology word bit fields.
static const uint16_t kStyleMask = 0x0007;
static const uint16_t kWeightMask = 0x00F8;
static const uint16_t kColorMask = 0xFF00;

static bool get_sym_field(const uint8_t *buf, size_t len, ElementLayout layout, uint16_t mask, int shift, int *out)
{
    uint16_t w;
    if (out == nullptr || !get16(buf, len, elm_symbology_offset(layout), &w))
        return false;
    *out = (w & mask) >> shift;
    return true;
}

bool elm_get_style(const uint8_t *buf, size_t len, ElementLayout layout, int *out)
{
    return get_sym_field(buf, len, layout, kStyleMask, 0, out);
}

bool elm_set_style(uint8_t *buf, size_t len, ElementLayout layout, int style)
{
    return set16_bits(buf, len, elm_symbology_offset(layout), kStyleMask, static_cast<uint16_t>(style & 0x7));
}

bool elm_get_weight(const uint8_t *buf, size_t len, ElementLayout layout, int *out)
{
    return get_sym_field(buf, len, layout, kWeightMask, 3, out);
}

bool elm_set_weight(uint8_t *buf, size_t len, ElementLayout layout, int weight)
{
    return set16_bits(buf, len, elm_symbology_offset(layout), kWeightMask, static_cast<uint16_t>((weight & 0x1F) << 3));
}

bool elm_get_color(const uint8_t *buf, size_t len, ElementLayout layout, int *out)
{
    return get_sym_field(buf, len, layout, kColorMask, 8, out);
}

bool elm_set_color(uint8_t *buf, size_t len, ElementLayout layout, int color)
{
    return set16_bits(buf, len, elm_symbology_offset(layout), kColorMask, static_cast<uint16_t>((color & 0xFF) << 8));
}

int32_t elm_total_bytes(const uint8_t *buf, size_t len)
{
    uint16_t wtf;
    if (!get16(buf, len, OFF_WTF, &wtf))
        return -1;
    const int32_t total = elm_bytes_from_wtf(wtf);
    if (static_cast<size_t>(total) > len)
        return -1;
    return total;
}

// ---------------------------------------------------------------------------
// Attribute linkages

size_t elm_linkage_offset(uint16_t attrIndex)
{
    return 2 * (16 + static_cast<size_t>(attrIndex));
}

int elm_linkage_words(uint16_t firstWord)
{
    if (firstWord & 0x1000)
        return (firstWord & 0xFF) + 1;
    return 4;
}

// ---------------------------------------------------------------------------
// Server-layout vertices. Lines hold two vertices from byte 40; line strings,
// shapes and curves a 16-bit count at byte 40 and the vertices from byte 44.
// Coordinates are native little-endian 32-bit integers.

static size_t vertex_bytes(int dimension)
{
    return dimension == 3 ? 12 : 8;
}

// Bytes of the element that may be read: the buffer, cut to the element's own
// length when its words to follow say it is shorter.
static size_t element_limit(const uint8_t *buf, size_t len)
{
    uint16_t wtf;
    if (!get16(buf, len, OFF_WTF, &wtf))
        return 0;
    const size_t total = static_cast<size_t>(elm_bytes_from_wtf(wtf));
    return total < len ? total : len;
}

static bool vertex_area(const uint8_t *buf, size_t len, int dimension, size_t *first, int *count)
{
    int type;
    if (!elm_get_type(buf, len, &type))
        return false;
    const size_t limit = element_limit(buf, len);
    size_t start;
    int n;
    if (type == ELM_TYPE_LINE) {
        start = ELM_SERVER_DATA_OFFSET;
        n = 2;
    } else if (type == ELM_TYPE_LINE_STRING || type == ELM_TYPE_SHAPE || type == ELM_TYPE_CURVE) {
        uint16_t c;
        if (!get16(buf, limit, ELM_SERVER_DATA_OFFSET, &c))
            return false;
        start = ELM_SERVER_DATA_OFFSET + 4;
        n = c;
    } else {
        return false;
    }
    if (!fits(limit, start, static_cast<size_t>(n) * vertex_bytes(dimension)))
        return false;
    *first = start;
    *count = n;
    return true;
}

int elm_server_vertex_count(const uint8_t *buf, size_t len, int dimension)
{
    size_t first;
    int count;
    if (!vertex_area(buf, len, dimension, &first, &count))
        return -1;
    return count;
}

bool elm_server_vertex(const uint8_t *buf, size_t len, int dimension, int index, ElementVertex *out)
{
    size_t first;
    int count;
    if (out == nullptr || index < 0 || !vertex_area(buf, len, dimension, &first, &count) || index >= count)
        return false;
    const uint8_t *p = buf + first + static_cast<size_t>(index) * vertex_bytes(dimension);
    ElementVertex v;
    v.x = static_cast<int32_t>(elm_load32(p));
    v.y = static_cast<int32_t>(elm_load32(p + 4));
    v.z = dimension == 3 ? static_cast<int32_t>(elm_load32(p + 8)) : 0;
    *out = v;
    return true;
}
