// Element layout codecs: positions, scan format, header words, server versus
// file lengths, VAX D-floating conversions, short buffers, and a walk over a
// real design file.
#include "dgnrequests/element_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// The four 16-bit words of 8 stored bytes, first word first.
std::vector<uint16_t> words_of(const uint8_t *b, size_t n)
{
    std::vector<uint16_t> w;
    for (size_t i = 0; i + 1 < n; i += 2)
        w.push_back(static_cast<uint16_t>(b[i] | (b[i + 1] << 8)));
    return w;
}

std::vector<uint8_t> double_bytes(double d)
{
    // IEEE double in little-endian byte order.
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    std::vector<uint8_t> b(8);
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<uint8_t>(bits >> (8 * i));
    return b;
}

double bytes_double(const uint8_t *b)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(b[i]) << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// ---------------------------------------------------------------------------

TEST(ElementPosition, BlockAndByte)
{
    struct Case {
        int32_t position;
        bool ok;
        uint16_t block, byte;
    } cases[] = {
        {1536, true, 3, 0},
        {1000, true, 1, 488},
        {0, true, 0, 0},
        {511, true, 0, 511},
        {512, true, 1, 0},
        {65535 * 512 + 511, true, 65535, 511},  // last position a 16-bit block reaches
        {65536 * 512, false, 0, 0},
        {-1, false, 0, 0},
        {-1536, false, 0, 0},  // a processed (negated) position is never sent
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.position);
        ElementBlockByte bb{7, 7};
        ASSERT_EQ(elm_position_to_block(c.position, &bb), c.ok);
        if (c.ok) {
            EXPECT_EQ(bb.block, c.block);
            EXPECT_EQ(bb.byte, c.byte);
            EXPECT_EQ(elm_block_to_position(bb.block, bb.byte), c.position);
        } else {
            EXPECT_EQ(bb.block, 7);
            EXPECT_EQ(bb.byte, 7);
        }
    }
}

TEST(ElementEncoding, SwapWordAndMiddleEndianIntegers)
{
    uint32_t u = 0x12345678u;
    swap_word(&u);
    EXPECT_EQ(u, 0x56781234u);
    swap_word(&u);
    EXPECT_EQ(u, 0x12345678u);
    int32_t s = -2;  // 0xFFFFFFFE
    swap_word(&s);
    EXPECT_EQ(static_cast<uint32_t>(s), 0xFFFEFFFFu);

    // 25562 = 0x000063DA lies in the file as 00 00 DA 63.
    uint8_t b[4];
    elm_store_i32m(b, 25562);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 4), (std::vector<uint8_t>{0x00, 0x00, 0xDA, 0x63}));
    EXPECT_EQ(elm_load_i32m(b), 25562);
    elm_store_i32m(b, -100000);
    EXPECT_EQ(elm_load_i32m(b), -100000);
}

TEST(ElementEncoding, ScanFormatStoredWords)
{
    struct Case {
        int32_t value;
        uint16_t w0, w1;  // stored words, first word first
    } cases[] = {
        {0, 0x8000, 0x0000},
        {-1, 0x7FFF, 0xFFFF},
        {7365, 0x8000, 0x1CC5},
        {std::numeric_limits<int32_t>::min(), 0x0000, 0x0000},
        {std::numeric_limits<int32_t>::max(), 0xFFFF, 0xFFFF},
        {-100000, 0x7FFE, 0x7960},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        uint8_t b[4];
        elm_store32(b, scan_fmt(c.value));
        EXPECT_EQ(words_of(b, 4), (std::vector<uint16_t>{c.w0, c.w1}));
        EXPECT_EQ(un_scan_fmt(scan_fmt(c.value)), c.value);
    }
}

TEST(ElementEncoding, ConvertScanRangeInPlace)
{
    const int32_t values[6] = {-5, 0, std::numeric_limits<int32_t>::min(), 7365, 2000000000, -1};
    int32_t cells[6];
    for (int i = 0; i < 6; ++i)
        cells[i] = static_cast<int32_t>(scan_fmt(values[i]));
    convertScanRange(cells);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cells[i], values[i]) << i;
}

TEST(ElementHeaderWord, Decoding)
{
    struct Case {
        uint16_t word;
        int type, level;
        bool complex;
    } cases[] = {
        {0x0403, 4, 3, false},
        {0x0383, 3, 3, true},
        {0x8403, 4, 3, false},  // bit 15 is not part of the type
        {0x0F7F, 15, 63, false},  // bit 6 is not part of the level
        {0x7FBF, 127, 63, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(elm_header_type(c.word), c.type);
        EXPECT_EQ(elm_header_level(c.word), c.level);
        EXPECT_EQ(elm_header_complex(c.word), c.complex);
    }
    EXPECT_EQ(elm_make_header_word(4, 3, false), 0x0403);
    EXPECT_EQ(elm_make_header_word(3, 3, true), 0x0383);
}

// A two-dimensional line in the server layout: header, symbology at 36,
// vertices from 40, two extra words at the end.
std::vector<uint8_t> server_line_2d(uint16_t wtf)
{
    std::vector<uint8_t> e(2 * static_cast<size_t>(wtf) + 4, 0);
    elm_store16(&e[0], 0x0383);
    elm_store16(&e[2], wtf);
    const int32_t range[6] = {-10, 20, 0, 1000, 2000, 0};
    for (int i = 0; i < 6; ++i)
        elm_store32(&e[4 + 4 * i], scan_fmt(range[i]));
    elm_store16(&e[28], 77);
    elm_store16(&e[30], static_cast<uint16_t>(wtf - 14));
    elm_store16(&e[32], 0x0205);
    elm_store16(&e[36], 0xAB2D);  // color 0xAB, weight 5, style 5
    const int32_t v[4] = {-10, 20, 1000, 2000};
    for (int i = 0; i < 4; ++i)
        elm_store32(&e[40 + 4 * i], static_cast<uint32_t>(v[i]));
    return e;
}

TEST(ElementHeader, ReadsBothLayouts)
{
    std::vector<uint8_t> e = server_line_2d(28);
    ElementHeader h;
    ASSERT_TRUE(elm_read_header(e.data(), e.size(), ElementLayout::Server, &h));
    EXPECT_EQ(h.type, 3);
    EXPECT_EQ(h.level, 3);
    EXPECT_TRUE(h.complex);
    EXPECT_EQ(h.wordsToFollow, 28);
    const int32_t range[6] = {-10, 20, 0, 1000, 2000, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(h.range[i], range[i]) << i;
    EXPECT_EQ(h.graphicGroup, 77);
    EXPECT_EQ(h.attrIndex, 14);
    EXPECT_EQ(h.properties, 0x0205);
    EXPECT_EQ(h.elementClass, 5);
    EXPECT_EQ(h.symbology.style, 5);
    EXPECT_EQ(h.symbology.weight, 5);
    EXPECT_EQ(h.symbology.color, 0xAB);

    // The same bytes read as the file layout take the symbology from 34.
    elm_store16(&e[34], 0x1209);  // color 0x12, weight 1, style 1
    ASSERT_TRUE(elm_read_header(e.data(), e.size(), ElementLayout::File, &h));
    EXPECT_EQ(h.symbology.style, 1);
    EXPECT_EQ(h.symbology.weight, 1);
    EXPECT_EQ(h.symbology.color, 0x12);
}

TEST(ElementHeader, SettersChangeOnlyTheirField)
{
    for (ElementLayout layout : {ElementLayout::File, ElementLayout::Server}) {
        SCOPED_TRACE(layout == ElementLayout::File ? "file" : "server");
        std::vector<uint8_t> e = server_line_2d(28);
        ASSERT_TRUE(elm_set_level(e.data(), e.size(), 40));
        ASSERT_TRUE(elm_set_complex(e.data(), e.size(), false));
        ASSERT_TRUE(elm_set_type(e.data(), e.size(), 4));
        ASSERT_TRUE(elm_set_words_to_follow(e.data(), e.size(), 27));
        const int32_t range[6] = {1, 2, 3, 4, 5, 6};
        ASSERT_TRUE(elm_set_range(e.data(), e.size(), range));
        ASSERT_TRUE(elm_set_graphic_group(e.data(), e.size(), 9));
        ASSERT_TRUE(elm_set_attr_index(e.data(), e.size(), 13));
        ASSERT_TRUE(elm_set_class(e.data(), e.size(), 2));
        ASSERT_TRUE(elm_set_symbology(e.data(), e.size(), layout, ElementSymbology{7, 31, 200}));
        ASSERT_TRUE(elm_set_weight(e.data(), e.size(), layout, 3));

        ElementHeader h;
        ASSERT_TRUE(elm_read_header(e.data(), e.size(), layout, &h));
        EXPECT_EQ(h.headerWord, 0x0428);
        EXPECT_EQ(h.wordsToFollow, 27);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(h.range[i], range[i]);
        EXPECT_EQ(h.graphicGroup, 9);
        EXPECT_EQ(h.attrIndex, 13);
        EXPECT_EQ(h.properties, 0x0202);  // other property bits kept
        int style = -1, weight = -1, color = -1;
        ASSERT_TRUE(elm_get_style(e.data(), e.size(), layout, &style));
        ASSERT_TRUE(elm_get_weight(e.data(), e.size(), layout, &weight));
        ASSERT_TRUE(elm_get_color(e.data(), e.size(), layout, &color));
        EXPECT_EQ(style, 7);
        EXPECT_EQ(weight, 3);
        EXPECT_EQ(color, 200);
        // The vertices after the header are untouched.
        EXPECT_EQ(static_cast<int32_t>(elm_load32(&e[40])), -10);
    }
}

TEST(ElementLength, ServerAndFileWordsToFollow)
{
    // A 2D line of the server layout with W words to follow has W - 2 in the
    // file; the next element starts at position + 2 * (W - 2) + 4.
    const uint16_t W = 28;
    std::vector<uint8_t> e = server_line_2d(W);
    uint16_t wtf;
    ASSERT_TRUE(elm_get_words_to_follow(e.data(), e.size(), &wtf));
    const int fileWtf = elm_file_wtf_from_server(wtf, 3, 2);
    EXPECT_EQ(fileWtf, W - 2);
    EXPECT_EQ(elm_next_position(10372, static_cast<uint16_t>(fileWtf)), 10372 + 2 * (W - 2) + 4);
    EXPECT_EQ(elm_server_wtf_from_file(static_cast<uint16_t>(fileWtf), 3, 2), W);
    EXPECT_EQ(elm_file_wtf_from_server(1, 3, 2), -1);
    EXPECT_EQ(elm_server_wtf_from_file(0xFFFF, 3, 2), -1);
    EXPECT_EQ(elm_server_wtf_from_file(0xFFFF, 5, 2), 0xFFFF);
}

TEST(ElementLength, ServerExtraWordsTable)
{
    struct Case {
        int type, in2d, in3d;
    } cases[] = {
        {2, 4, 4},  {3, 2, 2},  {4, 3, 3},  {6, 3, 3},  {7, 3, 3},  {11, 3, 3},
        {12, 2, 2}, {14, 2, 2}, {15, 4, 2}, {16, 4, 2}, {17, 3, 3},
        // Types passed through in the file layout.
        {0, 0, 0},  {1, 0, 0},  {5, 0, 0},  {9, 0, 0},  {19, 0, 0}, {27, 0, 0}, {66, 0, 0}, {127, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(elm_server_extra_words(c.type, 2), c.in2d);
        EXPECT_EQ(elm_server_extra_words(c.type, 3), c.in3d);
    }
}

TEST(ElementLength, TotalBytesRefusesAnElementLongerThanItsBuffer)
{
    std::vector<uint8_t> e = server_line_2d(28);
    EXPECT_EQ(elm_total_bytes(e.data(), e.size()), 60);
    EXPECT_EQ(elm_total_bytes(e.data(), e.size() - 1), -1);
    EXPECT_EQ(elm_total_bytes(e.data(), 3), -1);
    EXPECT_EQ(elm_bytes_from_wtf(0xFFFF), 131074);
}

TEST(VaxDouble, StoredWords)
{
    struct Case {
        double value;
        uint16_t w[4];
    } cases[] = {
        {1.0, {0x4080, 0x0000, 0x0000, 0x0000}},
        {-2.5, {0xC120, 0x0000, 0x0000, 0x0000}},
        {0.0, {0, 0, 0, 0}},
        {0.75, {0x4040, 0, 0, 0}},
        {150.0, {0x4416, 0, 0, 0}},
        {-300.0, {0xC496, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        std::vector<uint8_t> b = double_bytes(c.value);
        unconvert_double(b.data());
        EXPECT_EQ(words_of(b.data(), 8), (std::vector<uint16_t>{c.w[0], c.w[1], c.w[2], c.w[3]}));
        convert_double(b.data());
        EXPECT_EQ(bytes_double(b.data()), c.value);
    }
    // IEEE 0.0 gives eight zero bytes.
    std::vector<uint8_t> z = double_bytes(0.0);
    unconvert_double(z.data());
    EXPECT_EQ(z, std::vector<uint8_t>(8, 0));
}

TEST(VaxDouble, RoundTripsWithinTheVaxRange)
{
    const double smallest = std::ldexp(1.0, -128);                   // VAX exponent 1
    const double largest = std::ldexp(2.0 - std::ldexp(1.0, -52), 126);  // VAX exponent 255
    const double values[] = {
        smallest, -smallest, largest, -largest, 1e-38, 1.5e38, 3.141592653589793, -2.718281828459045,
        0.1, -0.001, 123456.789, 4294967295.0, -2147483648.0, 1e-20, 6.02214076e23, 1.0 / 3.0,
        46796.06583891428, std::nextafter(1.0, 2.0),
    };
    for (double v : values) {
        SCOPED_TRACE(v);
        uint8_t vax[8];
        elm_double_to_vax(v, vax);
        EXPECT_EQ(elm_vax_to_double(vax), v);  // exact: 52 IEEE bits fit in 55
        std::vector<uint8_t> b = double_bytes(v);
        unconvert_double(b.data());
        EXPECT_EQ(std::vector<uint8_t>(vax, vax + 8), b);
    }
}

TEST(VaxDouble, OutsideTheRange)
{
    struct Case {
        double value;
        double expect;
    };
    const double largest = std::ldexp(2.0 - std::ldexp(1.0, -52), 126);
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {1e300, largest},
        {-1e300, -largest},
        {inf, largest},
        {-inf, -largest},
        {std::ldexp(1.0, 127), largest},  // first power of two beyond the range
        {1e-300, 0.0},
        {std::ldexp(1.0, -129), 0.0},  // just below the smallest VAX value
        {std::numeric_limits<double>::denorm_min(), 0.0},
        {-0.0, 0.0},
        {std::numeric_limits<double>::quiet_NaN(), 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        uint8_t vax[8];
        elm_double_to_vax(c.value, vax);
        const double back = elm_vax_to_double(vax);
        EXPECT_EQ(back, c.expect);
        if (c.expect == 0.0) {
            EXPECT_FALSE(std::signbit(back));
            EXPECT_EQ(std::vector<uint8_t>(vax, vax + 8), std::vector<uint8_t>(8, 0));
        }
    }
}

TEST(VaxDouble, ConvertDropsLowBitsAndCleansZeroes)
{
    struct Case {
        uint16_t w[4];
        double expect;
    } cases[] = {
        {{0x4080, 0, 0, 0x0007}, 1.0},                       // the three lowest bits are dropped
        {{0x4080, 0, 0, 0x0008}, std::nextafter(1.0, 2.0)},  // the fourth is kept
        {{0x0000, 0x1234, 0, 0}, 0.0},                       // exponent 0: zero whatever the fraction
        {{0x8000, 0, 0, 0}, 0.0},                            // reserved operand
        {{0x007F, 0xFFFF, 0xFFFF, 0xFFFF}, 0.0},
    };
    for (const Case &c : cases) {
        uint8_t b[8];
        for (int i = 0; i < 4; ++i)
            elm_store16(b + 2 * i, c.w[i]);
        convert_double(b);
        const double d = bytes_double(b);
        EXPECT_EQ(d, c.expect) << std::hex << c.w[0] << " " << c.w[3];
        EXPECT_FALSE(std::signbit(d));
    }
}

TEST(ElementLinkage, Lengths)
{
    EXPECT_EQ(elm_linkage_words(0x1007), 8);
    EXPECT_EQ(elm_linkage_words(0x1005), 6);
    EXPECT_EQ(elm_linkage_words(0x1000), 1);
    EXPECT_EQ(elm_linkage_words(0x0000), 4);
    EXPECT_EQ(elm_linkage_words(0x00FF), 4);
    EXPECT_EQ(elm_linkage_offset(14), 60u);
}

// Line string of the server layout: count at 40, vertices from 44.
std::vector<uint8_t> server_line_string(int dimension, uint16_t count, int stored)
{
    const size_t vb = dimension == 3 ? 12 : 8;
    std::vector<uint8_t> e(44 + vb * static_cast<size_t>(stored), 0);
    elm_store16(&e[0], 0x0401);
    elm_store16(&e[2], static_cast<uint16_t>((e.size() - 4) / 2));
    elm_store16(&e[40], count);
    for (int i = 0; i < stored; ++i)
        for (size_t k = 0; k < vb / 4; ++k)
            elm_store32(&e[44 + vb * i + 4 * k], static_cast<uint32_t>(100 * i + static_cast<int>(k) - 50));
    return e;
}

TEST(ServerVertices, LineStringsAndLines)
{
    for (int dim : {2, 3}) {
        SCOPED_TRACE(dim);
        std::vector<uint8_t> e = server_line_string(dim, 3, 3);
        ASSERT_EQ(elm_server_vertex_count(e.data(), e.size(), dim), 3);
        ElementVertex v;
        ASSERT_TRUE(elm_server_vertex(e.data(), e.size(), dim, 2, &v));
        EXPECT_EQ(v.x, 150);
        EXPECT_EQ(v.y, 151);
        EXPECT_EQ(v.z, dim == 3 ? 152 : 0);
        EXPECT_FALSE(elm_server_vertex(e.data(), e.size(), dim, 3, &v));
        EXPECT_FALSE(elm_server_vertex(e.data(), e.size(), dim, -1, &v));

        // A count larger than the vertices present is refused.
        std::vector<uint8_t> bad = server_line_string(dim, 4, 3);
        EXPECT_EQ(elm_server_vertex_count(bad.data(), bad.size(), dim), -1);
        // So is one that exceeds the element's own words to follow.
        std::vector<uint8_t> cut = server_line_string(dim, 3, 3);
        elm_store16(&cut[2], static_cast<uint16_t>(elm_load16(&cut[2]) - 1));
        EXPECT_EQ(elm_server_vertex_count(cut.data(), cut.size(), dim), -1);
    }
    std::vector<uint8_t> line = server_line_2d(28);
    ASSERT_EQ(elm_server_vertex_count(line.data(), line.size(), 2), 2);
    ElementVertex v;
    ASSERT_TRUE(elm_server_vertex(line.data(), line.size(), 2, 1, &v));
    EXPECT_EQ(v.x, 1000);
    EXPECT_EQ(v.y, 2000);
    // Not a linear element.
    elm_set_type(line.data(), line.size(), 17);
    EXPECT_EQ(elm_server_vertex_count(line.data(), line.size(), 2), -1);
}

// Each reader is given a buffer exactly one byte too short (heap-allocated at
// that size, so a read past it is caught by the address sanitizer) and then
// one of the exact size.
TEST(ShortBuffers, ReadersRefuseAndSettersChangeNothing)
{
    struct Reader {
        const char *name;
        size_t need;
        std::function<bool(uint8_t *, size_t)> call;
    };
    const std::vector<Reader> readers = {
        {"header file", 36, [](uint8_t *b, size_t n) { ElementHeader h; return elm_read_header(b, n, ElementLayout::File, &h); }},
        {"header server", 40, [](uint8_t *b, size_t n) { ElementHeader h; return elm_read_header(b, n, ElementLayout::Server, &h); }},
        {"header word", 2, [](uint8_t *b, size_t n) { uint16_t w; return elm_get_header_word(b, n, &w); }},
        {"level", 2, [](uint8_t *b, size_t n) { int x; return elm_get_level(b, n, &x); }},
        {"complex", 2, [](uint8_t *b, size_t n) { bool x; return elm_get_complex(b, n, &x); }},
        {"type", 2, [](uint8_t *b, size_t n) { int x; return elm_get_type(b, n, &x); }},
        {"wtf", 4, [](uint8_t *b, size_t n) { uint16_t w; return elm_get_words_to_follow(b, n, &w); }},
        {"range", 28, [](uint8_t *b, size_t n) { int32_t r[6]; return elm_get_range(b, n, r); }},
        {"gg", 30, [](uint8_t *b, size_t n) { uint16_t w; return elm_get_graphic_group(b, n, &w); }},
        {"attr", 32, [](uint8_t *b, size_t n) { uint16_t w; return elm_get_attr_index(b, n, &w); }},
        {"props", 34, [](uint8_t *b, size_t n) { uint16_t w; return elm_get_properties(b, n, &w); }},
        {"class", 34, [](uint8_t *b, size_t n) { int x; return elm_get_class(b, n, &x); }},
        {"sym file", 36, [](uint8_t *b, size_t n) { ElementSymbology s; return elm_get_symbology(b, n, ElementLayout::File, &s); }},
        {"sym server", 38, [](uint8_t *b, size_t n) { ElementSymbology s; return elm_get_symbology(b, n, ElementLayout::Server, &s); }},
        {"style", 38, [](uint8_t *b, size_t n) { int x; return elm_get_style(b, n, ElementLayout::Server, &x); }},
        {"weight", 36, [](uint8_t *b, size_t n) { int x; return elm_get_weight(b, n, ElementLayout::File, &x); }},
        {"color", 38, [](uint8_t *b, size_t n) { int x; return elm_get_color(b, n, ElementLayout::Server, &x); }},
        {"set level", 2, [](uint8_t *b, size_t n) { return elm_set_level(b, n, 5); }},
        {"set wtf", 4, [](uint8_t *b, size_t n) { return elm_set_words_to_follow(b, n, 5); }},
        {"set range", 28, [](uint8_t *b, size_t n) { const int32_t r[6] = {1, 2, 3, 4, 5, 6}; return elm_set_range(b, n, r); }},
        {"set gg", 30, [](uint8_t *b, size_t n) { return elm_set_graphic_group(b, n, 5); }},
        {"set attr", 32, [](uint8_t *b, size_t n) { return elm_set_attr_index(b, n, 5); }},
        {"set class", 34, [](uint8_t *b, size_t n) { return elm_set_class(b, n, 5); }},
        {"set sym server", 38, [](uint8_t *b, size_t n) { return elm_set_symbology(b, n, ElementLayout::Server, ElementSymbology{1, 2, 3}); }},
        {"set color file", 36, [](uint8_t *b, size_t n) { return elm_set_color(b, n, ElementLayout::File, 9); }},
        {"vertices", 56, [](uint8_t *b, size_t n) { return elm_server_vertex_count(b, n, 2) == 2; }},
    };
    const std::vector<uint8_t> line = server_line_2d(28);
    for (const Reader &r : readers) {
        SCOPED_TRACE(r.name);
        std::vector<uint8_t> shortBuf(line.begin(), line.begin() + static_cast<long>(r.need - 1));
        const std::vector<uint8_t> before = shortBuf;
        EXPECT_FALSE(r.call(shortBuf.data(), shortBuf.size()));
        EXPECT_EQ(shortBuf, before);
        std::vector<uint8_t> exact(line.begin(), line.begin() + static_cast<long>(r.need));
        EXPECT_TRUE(r.call(exact.data(), exact.size()));
    }
    EXPECT_FALSE(elm_read_header(nullptr, 100, ElementLayout::File, nullptr));
}

// Walks a real two-dimensional design file element by element in its file
// layout, checking the positions, headers, ranges and a VAX-encoded circle.
TEST(RealFile, WalkSmalltest)
{
    const std::string path = std::string(NW_SOURCE_DIR) + "/tests/dgnrequests/data/smalltest.dgn";
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << path;
    std::vector<uint8_t> file(20000);
    file.resize(std::fread(file.data(), 1, file.size(), f));
    std::fclose(f);
    ASSERT_EQ(file.size(), 10752u);

    struct Seen {
        int32_t position;
        int type, level;
    };
    std::vector<Seen> seen;
    int32_t pos = 0;
    while (static_cast<size_t>(pos) + 2 <= file.size() && elm_load16(&file[pos]) != 0xFFFF) {
        const uint8_t *e = &file[pos];
        const size_t left = file.size() - pos;
        const int32_t total = elm_total_bytes(e, left);
        ASSERT_GT(total, 0) << pos;
        int type = 0, level = 0;
        ASSERT_TRUE(elm_get_type(e, left, &type));
        ASSERT_TRUE(elm_get_level(e, left, &level));
        seen.push_back({pos, type, level});
        uint16_t wtf;
        ASSERT_TRUE(elm_get_words_to_follow(e, left, &wtf));
        pos = elm_next_position(pos, wtf);
    }
    EXPECT_EQ(pos, 10424);
    ASSERT_EQ(seen.size(), 15u);
    EXPECT_EQ(seen[0].type, 9);
    EXPECT_EQ(seen[0].level, 8);
    EXPECT_EQ(seen[11].type, 17);
    EXPECT_EQ(seen[12].type, 15);
    EXPECT_EQ(seen[13].type, 6);
    EXPECT_EQ(seen[14].type, 3);
    ElementBlockByte bb;
    ASSERT_TRUE(elm_position_to_block(seen[14].position, &bb));
    EXPECT_EQ(bb.block, 20);
    EXPECT_EQ(bb.byte, 132);

    // The line: range around its two middle-endian vertices, class and symbology.
    const uint8_t *line = &file[seen[14].position];
    const size_t lineLen = static_cast<size_t>(elm_total_bytes(line, file.size() - seen[14].position));
    ElementHeader h;
    ASSERT_TRUE(elm_read_header(line, lineLen, ElementLayout::File, &h));
    EXPECT_EQ(h.level, 2);
    EXPECT_FALSE(h.complex);
    EXPECT_EQ(h.range[0], 25242);
    EXPECT_EQ(h.range[1], 57218);
    EXPECT_EQ(h.range[3], 25562);
    EXPECT_EQ(h.range[4], 60709);
    EXPECT_EQ(h.range[2], std::numeric_limits<int32_t>::min());
    EXPECT_EQ(h.range[5], std::numeric_limits<int32_t>::max());
    EXPECT_EQ(h.symbology.color, 0x53);
    EXPECT_EQ(elm_load_i32m(line + 36), 25562);
    EXPECT_EQ(elm_load_i32m(line + 40), 57218);
    EXPECT_EQ(elm_load_i32m(line + 44), 25242);
    EXPECT_EQ(elm_load_i32m(line + 48), 60709);

    // The circle: axes and centre are VAX D values; the range encloses it.
    const uint8_t *circle = &file[seen[12].position];
    ASSERT_TRUE(elm_read_header(circle, 72, ElementLayout::File, &h));
    const double primary = elm_vax_to_double(circle + 36);
    const double secondary = elm_vax_to_double(circle + 44);
    const double cx = elm_vax_to_double(circle + 56);
    const double cy = elm_vax_to_double(circle + 64);
    EXPECT_DOUBLE_EQ(primary, secondary);
    EXPECT_NEAR(primary, 46796.0658, 1e-3);
    EXPECT_NEAR(cx, 50082.0, 1e-6);
    EXPECT_NEAR(cy, 45835.0, 1e-6);
    EXPECT_NEAR(cx - primary, h.range[0], 1.0);
    EXPECT_NEAR(cx + primary, h.range[3], 1.0);
    EXPECT_NEAR(cy - primary, h.range[1], 1.0);
    EXPECT_NEAR(cy + primary, h.range[4], 1.0);
}

}  // namespace
