// Element decoding/encoding, server layout translation and ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_server_layout.h"
#include "dgnrequests/element_layout.h"
#include "tests/dgn/dgn_test_util.h"

namespace {

// Copy of element i's bytes.
std::vector<uint8_t> elem(const DgnFile &f, size_t i) {
    uint32_t n = 0;
    const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
    return std::vector<uint8_t>(p, p + n);
}

DgnFile load(const std::string &name) {
    DgnFile f;
    std::string err;
    EXPECT_TRUE(dgn_load_file(dgn_sample(name).c_str(), &f, &err)) << err;
    return f;
}

TEST(DgnCodec, DecodeEncodeGivesIdenticalBytesForEverySampleElement) {
    for (const std::string &name : dgn_v7_samples()) {
        SCOPED_TRACE(name);
        const DgnFile f = load(name);
        size_t decoded = 0;
        for (size_t i = 0; i < f.elements.size(); ++i) {
            uint32_t n = 0;
            const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
            DgnElement e;
            std::string err;
            if (!dgn_decode_element(p, n, f.is3d, &e, &err)) {
                // Only deleted elements escape the load-time check.
                EXPECT_TRUE(f.elements[i].deleted) << "element " << i << ": " << err;
                continue;
            }
            decoded += dgn_type_is_decoded(e.type);
            std::vector<uint8_t> out;
            ASSERT_TRUE(dgn_encode_element(e, &out, &err)) << err;
            ASSERT_EQ(out.size(), n) << "element " << i << " type " << e.type;
            EXPECT_EQ(memcmp(out.data(), p, n), 0) << "element " << i << " type " << e.type;
        }
        if (name != "knot_oob.dgn" && name.rfind("seed", 0) != 0) {
            EXPECT_GT(decoded, 0u);
        }
    }
}

TEST(DgnCodec, DecodedFieldsOfSmalltest) {
    const DgnFile f = load("smalltest.dgn");
    std::string err;
    DgnElement e;
    ASSERT_TRUE(dgn_decode_element(elem(f, 11).data(), elem(f, 11).size(), false, &e, &err)) << err;
    EXPECT_EQ(e.type, 17);
    EXPECT_EQ(e.text, "Demo Text");
    EXPECT_EQ(e.font, 3);
    EXPECT_EQ(e.justification, 7);
    EXPECT_EQ(e.length_mult, 1666667);
    ASSERT_TRUE(dgn_decode_element(elem(f, 12).data(), elem(f, 12).size(), false, &e, &err)) << err;
    EXPECT_EQ(e.type, 15);
    EXPECT_NEAR(e.primary.value, 46796.07, 0.01);
    EXPECT_NEAR(e.centre[0].value, 50082, 1e-6);
    ASSERT_TRUE(dgn_decode_element(elem(f, 13).data(), elem(f, 13).size(), false, &e, &err)) << err;
    EXPECT_EQ(e.type, 6);
    ASSERT_EQ(e.vertices.size(), 5u);
    EXPECT_EQ(e.vertices[1].x, 43832);
    std::vector<DgnLinkage> ls;
    ASSERT_TRUE(dgn_parse_linkages(e.linkages.data(), e.linkages.size(), &ls));
    ASSERT_EQ(ls.size(), 1u);
    EXPECT_TRUE(ls[0].user);
    EXPECT_EQ(ls[0].id, 0x0041);
    EXPECT_EQ(ls[0].words, 8u);
}

TEST(DgnCodec, DatabaseLinkagesOfTag) {
    const DgnFile f = load("tag.dgn");
    size_t links = 0;
    bool seen17 = false;
    for (size_t i = 0; i < f.elements.size(); ++i) {
        if (f.elements[i].deleted) continue;
        DgnElement e;
        std::string err;
        ASSERT_TRUE(dgn_decode_element(elem(f, static_cast<int>(i)).data(), elem(f, static_cast<int>(i)).size(), false, &e, &err));
        std::vector<DgnLinkage> ls;
        EXPECT_TRUE(dgn_parse_linkages(e.linkages.data(), e.linkages.size(), &ls)) << "element " << i;
        for (const DgnLinkage &l : ls) {
            if (!l.database) continue;
            ++links;
            if (l.entity == 27 && l.mslink == 17) seen17 = true;
        }
    }
    EXPECT_GT(links, 100u);
    EXPECT_TRUE(seen17);
}

// Masks the three fraction bits a VAX D-float keeps beyond IEEE (low bits of byte 6).
void mask_vax(std::vector<uint8_t> *b, int type, bool is3d) {
    std::vector<size_t> at;
    if (type == 15) at = is3d ? std::vector<size_t>{36, 44, 68, 76, 84} : std::vector<size_t>{36, 44, 56, 64};
    if (type == 16) at = is3d ? std::vector<size_t>{44, 52, 76, 84, 92} : std::vector<size_t>{44, 52, 64, 72};
    for (size_t o : at) (*b)[o + 6] &= 0xF8;
}

TEST(DgnServerLayout, FileServerFileRoundTripOfEverySampleElement) {
    for (const std::string &name : dgn_v7_samples()) {
        SCOPED_TRACE(name);
        const DgnFile f = load(name);
        for (size_t i = 0; i < f.elements.size(); ++i) {
            if (f.elements[i].deleted) continue;
            uint32_t n;
            const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
            std::vector<uint8_t> server, back;
            std::string err;
            ASSERT_TRUE(dgn_file_to_server(p, n, f.is3d, &server, &err)) << i << ": " << err;
            const int type = f.elements[i].type;
            const int extra = dgn_type_is_decoded(type) ? elm_server_extra_words(type, f.is3d ? 3 : 2) : 0;
            ASSERT_EQ(server.size(), n + 2u * extra) << "type " << type;
            EXPECT_EQ(elm_load16(server.data() + 2), elm_load16(p + 2) + extra);
            ASSERT_TRUE(dgn_server_to_file(server.data(), server.size(), f.is3d, &back, &err)) << i << ": " << err;
            std::vector<uint8_t> orig(p, p + n);
            mask_vax(&orig, type, f.is3d);
            mask_vax(&back, type, f.is3d);
            EXPECT_EQ(back, orig) << "element " << i << " type " << type;
        }
    }
}

TEST(DgnServerLayout, FieldsWhereTheEngineReadsThem) {
    const DgnFile f = load("smalltest.dgn");
    std::vector<uint8_t> s;
    std::string err;
    // Line: vertices from byte 40 as native integers, symbology at 36.
    ASSERT_TRUE(dgn_file_to_server(elem(f, 14).data(), elem(f, 14).size(), false, &s, &err)) << err;
    ASSERT_EQ(s.size(), 56u);
    EXPECT_EQ(elm_server_vertex_count(s.data(), s.size(), 2), 2);
    ElementVertex v;
    ASSERT_TRUE(elm_server_vertex(s.data(), s.size(), 2, 1, &v));
    EXPECT_EQ(v.x, 25242);
    EXPECT_EQ(v.y, 60709);
    EXPECT_EQ(static_cast<int32_t>(elm_load32(s.data() + 40)), 25562);
    ElementSymbology sym;
    ASSERT_TRUE(elm_get_symbology(s.data(), s.size(), ElementLayout::Server, &sym));
    EXPECT_EQ(sym.color, 83);
    EXPECT_EQ(elm_load16(s.data() + 30), elm_load16(elem(f, 14).data() + 30) + 2);
    // Shape: count at 40, vertices at 44, linkage after them.
    ASSERT_TRUE(dgn_file_to_server(elem(f, 13).data(), elem(f, 13).size(), false, &s, &err)) << err;
    EXPECT_EQ(elm_load16(s.data() + 40), 5);
    EXPECT_EQ(static_cast<int32_t>(elm_load32(s.data() + 44 + 8)), 43832);
    const size_t lk = 2 * (16 + elm_load16(s.data() + 30));
    EXPECT_EQ(lk, 44u + 5 * 8);
    EXPECT_EQ(elm_load16(s.data() + lk + 2), 0x0041);
    // Text: characters after the counts at 64/65.
    ASSERT_TRUE(dgn_file_to_server(elem(f, 11).data(), elem(f, 11).size(), false, &s, &err)) << err;
    EXPECT_EQ(s[64], 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(s.data() + 66), 9), "Demo Text");
    // Ellipse: doubles as IEEE from 40, centre at 64.
    ASSERT_TRUE(dgn_file_to_server(elem(f, 12).data(), elem(f, 12).size(), false, &s, &err)) << err;
    double d;
    memcpy(&d, s.data() + 64, 8);
    EXPECT_NEAR(d, 50082, 1e-6);
    // 3D line string of x3d: 12-byte vertices.
    const DgnFile g = load("out3d-dgnlib.dgn");
    for (size_t i = 0; i < g.elements.size(); ++i) {
        if (g.elements[i].type != 4 || g.elements[i].deleted) continue;
        DgnElement e;
        ASSERT_TRUE(dgn_decode_element(elem(g, static_cast<int>(i)).data(), elem(g, static_cast<int>(i)).size(), true, &e, &err));
        ASSERT_TRUE(dgn_file_to_server(elem(g, static_cast<int>(i)).data(), elem(g, static_cast<int>(i)).size(), true, &s, &err));
        ASSERT_EQ(elm_server_vertex_count(s.data(), s.size(), 3), static_cast<int>(e.vertices.size()));
        for (size_t k = 0; k < e.vertices.size(); ++k) {
            ASSERT_TRUE(elm_server_vertex(s.data(), s.size(), 3, static_cast<int>(k), &v));
            EXPECT_EQ(v.x, e.vertices[k].x);
            EXPECT_EQ(v.y, e.vertices[k].y);
            EXPECT_EQ(v.z, e.vertices[k].z);
        }
    }
}

TEST(DgnServerLayout, UnsoundServerElementsAreRefused) {
    DgnElement e = dgn_new_vertex_element(4, 1, false, {DgnPoint{0, 0, 0}, DgnPoint{10, 10, 0}});
    std::vector<uint8_t> file, server, back;
    std::string err;
    ASSERT_TRUE(dgn_finish_element(&e, &file, &err)) << err;
    ASSERT_TRUE(dgn_file_to_server(file.data(), file.size(), false, &server, &err)) << err;
    std::vector<uint8_t> bad = server;
    elm_store16(bad.data() + 40, 1000);  // vertex count far beyond the element
    EXPECT_FALSE(dgn_server_to_file(bad.data(), bad.size(), false, &back, &err));
    bad = server;
    elm_store16(bad.data() + 2, 10);  // shorter than its type's data
    bad.resize(24);
    EXPECT_FALSE(dgn_server_to_file(bad.data(), bad.size(), false, &back, &err));
    EXPECT_FALSE(dgn_server_to_file(server.data(), 30, false, &back, &err));  // words to follow past the buffer
    // Just the 40 header bytes of a line string: the vertex count itself is missing.
    bad.assign(server.begin(), server.begin() + 40);
    elm_store16(bad.data() + 2, 18);
    EXPECT_FALSE(dgn_server_to_file(bad.data(), bad.size(), false, &back, &err));
    ASSERT_TRUE(dgn_server_to_file(server.data(), server.size(), false, &back, &err)) << err;
    EXPECT_EQ(back, file);
}

struct RangeCase {
    const char *what;
    DgnElement e;
    int32_t lo[2], hi[2];
};

TEST(DgnRange, NewElementRanges) {
    std::vector<RangeCase> cases = {
        {"line", dgn_new_vertex_element(3, 1, false, {DgnPoint{5, -7, 0}, DgnPoint{-3, 9, 0}}), {-3, -7}, {5, 9}},
        {"quarter arc", dgn_new_arc(1, false, 0, 0, 0, 100, 100, 0, 0, 90), {0, 0}, {100, 100}},
        {"clockwise quarter arc", dgn_new_arc(1, false, 0, 0, 0, 100, 100, 0, 0, -90), {0, -100}, {100, 0}},
        {"half arc across 90", dgn_new_arc(1, false, 10, 10, 0, 100, 100, 0, 45, 90), {-61, 80}, {81, 110}},
        {"rotated ellipse", dgn_new_ellipse(1, false, 0, 0, 0, 200, 100, 90), {-100, -200}, {100, 200}},
        {"text at 90 degrees", dgn_new_text(1, false, DgnPoint{0, 0, 0}, "ABC", 10, 20, 90, 1, 2), {-20, 0}, {0, 30}},
    };
    for (RangeCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::string err;
        ASSERT_TRUE(dgn_compute_range(&c.e, &err)) << err;
        EXPECT_NEAR(c.e.range[0], c.lo[0], 1);
        EXPECT_NEAR(c.e.range[1], c.lo[1], 1);
        EXPECT_NEAR(c.e.range[3], c.hi[0], 1);
        EXPECT_NEAR(c.e.range[4], c.hi[1], 1);
        // 2D elements cover the whole Z axis.
        EXPECT_EQ(c.e.range[2], INT32_MIN);
        EXPECT_EQ(c.e.range[5], INT32_MAX);
    }
    // 3D ellipse turned 90 degrees about Z through its quaternion.
    DgnElement e3 = dgn_new_ellipse(1, true, 0, 0, 50, 200, 100, 90);
    std::string err;
    ASSERT_TRUE(dgn_compute_range(&e3, &err));
    EXPECT_NEAR(e3.range[0], -100, 1);
    EXPECT_NEAR(e3.range[4], 200, 1);
    EXPECT_EQ(e3.range[2], 50);
    EXPECT_EQ(e3.range[5], 50);
    // Outside the design plane: refused.
    DgnElement far = dgn_new_ellipse(1, false, 2147483000.0, 0, 0, 5000, 5000, 0);
    EXPECT_FALSE(dgn_compute_range(&far, &err));
}

TEST(DgnEncode, WordsToFollowAttributeIndexAndLinkages) {
    DgnElement e = dgn_new_vertex_element(4, 3, false, {DgnPoint{0, 0, 0}, DgnPoint{1, 1, 0}, DgnPoint{2, 0, 0}});
    std::vector<uint8_t> b;
    std::string err;
    ASSERT_TRUE(dgn_finish_element(&e, &b, &err)) << err;
    ASSERT_EQ(b.size(), 38u + 3 * 8);
    EXPECT_EQ(elm_load16(b.data()), 0x0403);
    EXPECT_EQ(elm_load16(b.data() + 2), 17 + 4 * 3);
    EXPECT_EQ(elm_load16(b.data() + 30), elm_load16(b.data() + 2) - 14);
    EXPECT_EQ(elm_load16(b.data() + 32) & DGN_PROP_ATTRIBUTES, 0);
    // With a database linkage: after the vertices, attribute bit set.
    const uint8_t link[8] = {0x00, 0x00, 0x1B, 0x00, 0x11, 0x00, 0x00, 0x02};
    e.linkages.assign(link, link + 8);
    ASSERT_TRUE(dgn_finish_element(&e, &b, &err)) << err;
    ASSERT_EQ(b.size(), 38u + 24 + 8);
    EXPECT_EQ(32 + 2 * elm_load16(b.data() + 30), 62);
    EXPECT_NE(elm_load16(b.data() + 32) & DGN_PROP_ATTRIBUTES, 0);
    DgnElement d;
    ASSERT_TRUE(dgn_decode_element(b.data(), b.size(), false, &d, &err)) << err;
    std::vector<DgnLinkage> ls;
    ASSERT_TRUE(dgn_parse_linkages(d.linkages.data(), d.linkages.size(), &ls));
    ASSERT_EQ(ls.size(), 1u);
    EXPECT_EQ(ls[0].entity, 27);
    EXPECT_EQ(ls[0].mslink, 17u);
    // Odd text length is padded to a whole word before the linkages.
    DgnElement t = dgn_new_text(1, false, DgnPoint{0, 0, 0}, "ABC", 10, 10, 0, 1, 2);
    t.linkages.assign(link, link + 8);
    ASSERT_TRUE(dgn_finish_element(&t, &b, &err)) << err;
    EXPECT_EQ(b.size(), 60u + 3 + 1 + 8);
    ASSERT_TRUE(dgn_decode_element(b.data(), b.size(), false, &d, &err)) << err;
    EXPECT_EQ(d.text, "ABC");
    EXPECT_EQ(d.linkages.size(), 8u);
    // An edited double is re-encoded, an unchanged one keeps its bytes.
    DgnElement el = dgn_new_ellipse(1, false, 0.5, 0, 0, 10, 10, 0);
    ASSERT_TRUE(dgn_finish_element(&el, &b, &err)) << err;
    ASSERT_TRUE(dgn_decode_element(b.data(), b.size(), false, &d, &err)) << err;
    EXPECT_DOUBLE_EQ(d.centre[0].value, 0.5);
    d.centre[0].value = 2.5;
    std::vector<uint8_t> b2;
    ASSERT_TRUE(dgn_encode_element(d, &b2, &err)) << err;
    EXPECT_DOUBLE_EQ(elm_vax_to_double(b2.data() + 56), 2.5);
    // Too long a text is refused.
    t.text.assign(300, 'x');
    EXPECT_FALSE(dgn_encode_element(t, &b, &err));
}

TEST(DgnEncode, ComplexElementsCountTheirComponents) {
    for (bool is3d : {false, true}) {
        SCOPED_TRACE(is3d ? "3D" : "2D");
        DgnElement hdr = dgn_new_element(12, 4, is3d);
        std::vector<DgnElement> comps = {
            dgn_new_vertex_element(4, 0, is3d, {DgnPoint{0, 0, 0}, DgnPoint{10, 0, 0}, DgnPoint{10, 10, 0}}),
            dgn_new_arc(0, is3d, 10, 20, 0, 10, 10, 270, 0, 90),
        };
        std::vector<uint8_t> b;
        std::string err;
        ASSERT_TRUE(dgn_finish_complex(&hdr, &comps, &b, &err)) << err;
        // Header + components, the whole complex element ends at 38 + 2 * totlength.
        EXPECT_EQ(38u + 2 * elm_load16(b.data() + 36), b.size());
        EXPECT_EQ(elm_load16(b.data() + 38), 2);
        // Components carry the complex bit and the header's level.
        const size_t hsize = 4 + 2 * elm_load16(b.data() + 2);
        EXPECT_EQ(b[hsize] & 0x80, 0x80);
        EXPECT_EQ(b[hsize] & 0x3F, 4);
        // The header's range is the union of the components.
        int32_t r[6];
        ASSERT_TRUE(elm_get_range(b.data(), b.size(), r));
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[3], 20);
        EXPECT_EQ(r[4], 20);
    }
}

TEST(DgnRad50, NamesRoundTrip) {
    uint16_t w[2];
    dgn_rad50_encode("pole1", w);
    EXPECT_EQ(dgn_rad50_decode(w), "POLE1");
    dgn_rad50_encode("", w);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(dgn_rad50_decode(w), "");
}

}  // namespace
