// The server's element operations on its in-memory design file, called
// through the server's own dispatch with hand-built request records.
#include <gtest/gtest.h>

#include <string.h>

#include "dgn/dgn_server_layout.h"
#include "dgnrequests/element_layout.h"
#include "server/ops_elements.h"
#include "server/server.h"
#include "tests/element_ops/request_builder.h"
#include "tests/element_ops/sheet_fixture.h"

namespace {

struct Sheet {
    ServerState s;
    std::vector<uint32_t> pos;
    std::vector<uint8_t> original;
    explicit Sheet(bool is3d = false) {
        original = make_sheet(is3d, &pos);
        std::string err;
        EXPECT_TRUE(dgn_load_buffer(original.data(), original.size(), &s.file, &err)) << err;
        s.fileOpen = true;
    }
    ServerReply call(const Req &r) {
        ServerReply reply;
        server_dispatch(&s, r.b.data(), r.b.size(), &reply);
        return reply;
    }
    int index(uint32_t p) const { return dgn_find_element(&s.file, p); }
    DgnElement decode(uint32_t p) const {
        uint32_t n = 0;
        const uint8_t *b = dgn_element_bytes(&s.file, index(p), &n);
        DgnElement e;
        std::string err;
        EXPECT_TRUE(dgn_decode_element(b, n, s.file.is3d, &e, &err)) << err;
        return e;
    }
    std::vector<uint8_t> bytes(uint32_t p) const {
        uint32_t n = 0;
        const uint8_t *b = dgn_element_bytes(&s.file, index(p), &n);
        return std::vector<uint8_t>(b, b + n);
    }
    // Bytes of the file that differ from the original, as [from, to) spans.
    std::vector<std::pair<size_t, size_t>> changed_spans() const {
        std::vector<std::pair<size_t, size_t>> out;
        const std::vector<uint8_t> &d = s.file.data;
        for (size_t i = 0; i < d.size() && i < original.size(); ++i) {
            if (d[i] == original[i]) continue;
            if (!out.empty() && out.back().second == i) out.back().second = i + 1;
            else out.push_back({i, i + 1});
        }
        return out;
    }
};

DgnElement decode_bytes(const std::vector<uint8_t> &b, bool is3d) {
    DgnElement e;
    std::string err;
    EXPECT_TRUE(dgn_decode_element(b.data(), b.size(), is3d, &e, &err)) << err;
    return e;
}

}  // namespace

// ---------------------------------------------------------------------------
// Read

TEST(ServerRead, EveryElementInServerLayoutAndRaw) {
    for (bool is3d : {false, true}) {
        Sheet t(is3d);
        for (size_t i = 0; i < t.s.file.elements.size(); ++i) {
            const DgnElementRef &r = t.s.file.elements[i];
            const uint8_t *file = t.s.file.data.data() + r.offset;
            std::vector<uint8_t> server;
            std::string err;
            ASSERT_TRUE(dgn_file_to_server(file, r.size, is3d, &server, &err)) << err;
            ServerReply a = t.call(read_req(r.offset));
            ASSERT_EQ(a.status, 0) << "element " << i;
            ASSERT_EQ(a.data.size(), 8 + server.size());
            EXPECT_EQ(2 * get16(&a.data[0]) - 4, (int)server.size());
            const uint32_t next = r.offset + r.size;
            EXPECT_EQ(get16(&a.data[2]), next / 512);
            EXPECT_EQ(get16(&a.data[4]), next % 512);
            EXPECT_EQ(0, memcmp(&a.data[8], server.data(), server.size()));
            ServerReply raw = t.call(read_req(r.offset, 1));
            ASSERT_EQ(raw.status, 0);
            EXPECT_EQ(2 * get16(&raw.data[0]) - 4, (int)r.size);
            EXPECT_EQ(0, memcmp(&raw.data[8], file, r.size));
        }
        EXPECT_FALSE(t.s.modified);
    }
}

TEST(ServerRead, PositionsThatAreNoElementStart) {
    Sheet t;
    const uint32_t end = t.s.file.end_offset;
    struct Case {
        const char *what;
        uint32_t pos;
        int status;
    } cases[] = {
        {"inside the line", t.pos[SHEET_LINE] + 2, 934},
        {"odd byte", t.pos[SHEET_CELL] + 1, 934},
        {"end-of-design marker", end, 1011},
        {"padding after the marker", end + 2, 1011},
        {"far past the file", 60000u * 512u, 1011},
    };
    for (const Case &c : cases) {
        ServerReply r = t.call(read_req(c.pos));
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_TRUE(r.data.empty()) << c.what;
    }
    Req shortReq(18, 2);
    EXPECT_EQ(t.call(shortReq).status, 925);
    t.s.fileOpen = false;
    EXPECT_EQ(t.call(read_req(t.pos[SHEET_LINE])).status, 953);
}

// The level-move walk over a cell's components: header and components read
// in the server layout, the next position from each element's own words to
// follow less its type's extra words; the element after the last component
// has its complex bit clear.
TEST(ServerRead, ComponentWalkReachesTheElementAfterTheCell) {
    for (bool is3d : {false, true}) {
        Sheet t(is3d);
        uint32_t at = t.pos[SHEET_CELL];
        int components = 0;
        for (int guard = 0; guard < 10; ++guard) {
            ServerReply r = t.call(read_req(at));
            ASSERT_EQ(r.status, 0);
            const uint8_t *e = &r.data[8];
            const int type = (get16(e) >> 8) & 0x7F;
            if (guard > 0 && !(get16(e) & 0x80)) break;
            if (guard > 0) ++components;
            const int fileWtf = elm_file_wtf_from_server(get16(e + 2), type, is3d ? 3 : 2);
            ASSERT_GE(fileWtf, 0);
            at += 2 * (uint32_t)fileWtf + 4;
        }
        EXPECT_EQ(components, 2);
        EXPECT_EQ(at, t.pos[SHEET_TEXT_NODE]);
    }
}

// ---------------------------------------------------------------------------
// Write

TEST(ServerWrite, HeaderWordAndCellLevelMaskInPlace) {
    Sheet t;
    std::vector<uint8_t> line = t.bytes(t.pos[SHEET_LINE]);
    const uint16_t word = (uint16_t)((get16(line.data()) & ~0x3F) | 40);
    uint8_t w[2] = {(uint8_t)word, (uint8_t)(word >> 8)};
    EXPECT_EQ(t.call(write_req(t.pos[SHEET_LINE], w, 2)).status, 0);
    EXPECT_EQ(t.decode(t.pos[SHEET_LINE]).level, 40);
    const uint8_t mask[8] = {0, 0, 1, 0, 0, 0, 0, 0};  // level 17
    EXPECT_EQ(t.call(write_req(t.pos[SHEET_CELL] + 44, mask, 8)).status, 0);
    EXPECT_EQ(t.decode(t.pos[SHEET_CELL]).level_mask[1], 1);
    EXPECT_EQ(t.decode(t.pos[SHEET_CELL]).level_mask[0], 0);
    EXPECT_TRUE(t.s.modified);
    // Only the written bytes changed.
    for (const auto &span : t.changed_spans()) {
        const bool inWord = span.first >= t.pos[SHEET_LINE] && span.second <= t.pos[SHEET_LINE] + 2;
        const bool inMask = span.first >= t.pos[SHEET_CELL] + 44 && span.second <= t.pos[SHEET_CELL] + 52;
        EXPECT_TRUE(inWord || inMask) << span.first;
    }
}

TEST(ServerWrite, RefusedWritesChangeNothing) {
    Sheet t;
    const uint32_t line = t.pos[SHEET_LINE];
    const uint32_t size = t.s.file.elements[t.index(line)].size;
    uint8_t junk[128];
    for (size_t k = 0; k < sizeof junk; ++k) junk[k] = (uint8_t)(k + 1);
    std::vector<uint8_t> badWtf = t.bytes(line);
    badWtf[2] ^= 1;
    std::vector<uint8_t> otherSize = t.bytes(t.pos[SHEET_LINE_STRING]);
    struct Case {
        const char *what;
        Req req;
        int status;
    } cases[] = {
        {"crosses the end of the element", write_req(line + size - 1, junk, 2), 1013},
        {"runs into the next element", write_req(line + 8, junk, (int16_t)(size - 4)), 1013},
        {"negative length", write_req(line, junk, -4), 1013},
        {"design file header", write_req(0, junk, 2), 1013},
        {"end of design", write_req(t.s.file.end_offset, junk, 2), 1011},
        {"words to follow changed", write_req(line, badWtf.data(), 4), 934},
        {"whole element of another size", write_req(line, otherSize.data(), 0, otherSize.size()), 1013},
        {"whole element not at an element start", write_req(line + 2, badWtf.data(), 0, 8), 934},
    };
    for (const Case &c : cases) EXPECT_EQ(t.call(c.req).status, c.status) << c.what;
    EXPECT_TRUE(t.changed_spans().empty());
    EXPECT_FALSE(t.s.modified);
}

TEST(ServerWrite, WholeElementAndUnchangedBytes) {
    Sheet t;
    const uint32_t line = t.pos[SHEET_LINE];
    std::vector<uint8_t> same = t.bytes(line);
    EXPECT_EQ(t.call(write_req(line, same.data(), 4)).status, 0);
    EXPECT_FALSE(t.s.modified);  // identical bytes are no change
    DgnElement e = t.decode(line);
    e.vertices[1].x = 250;
    std::vector<uint8_t> img;
    std::string err;
    ASSERT_TRUE(dgn_finish_element(&e, &img, &err));
    EXPECT_EQ(t.call(write_req(line, img.data(), 0, img.size())).status, 0);
    EXPECT_EQ(t.decode(line).vertices[1].x, 250);
    EXPECT_EQ(t.decode(line).range[3], 250);
    EXPECT_TRUE(t.s.modified);
}

// ---------------------------------------------------------------------------
// Delete

TEST(ServerDelete, SimpleAndComplexElements) {
    Sheet t;
    EXPECT_EQ(t.call(delete_req(t.pos[SHEET_LINE])).status, 0);
    EXPECT_TRUE(t.s.file.elements[t.index(t.pos[SHEET_LINE])].deleted);
    const int cell = t.index(t.pos[SHEET_CELL]);
    EXPECT_EQ(t.call(delete_req(t.s.file.elements[cell + 1].offset)).status, 976);
    EXPECT_FALSE(t.s.file.elements[cell + 1].deleted);
    EXPECT_EQ(t.call(delete_req(t.pos[SHEET_CELL])).status, 0);
    for (int i = cell; i < cell + 3; ++i) EXPECT_TRUE(t.s.file.elements[i].deleted) << i;
    EXPECT_FALSE(t.s.file.elements[cell + 3].deleted);  // the text node after the cell
    // Only the deleted bits changed; every position stays.
    for (const auto &span : t.changed_spans()) {
        EXPECT_EQ(span.second - span.first, 1u);
        EXPECT_EQ(t.s.file.data[span.first] & 0x7F, t.original[span.first] & 0x7F);
    }
    EXPECT_EQ(t.s.file.data.size(), t.original.size());
    EXPECT_EQ(t.call(delete_req(t.pos[SHEET_CELL])).status, 0);  // again: nothing more to do
    EXPECT_EQ(t.call(delete_req(t.pos[SHEET_LINE] + 2)).status, 934);
    EXPECT_EQ(t.call(delete_req(0)).status, 934);
    EXPECT_EQ(t.call(delete_req(t.s.file.end_offset)).status, 1011);
    // Word 0 restores, components included.
    EXPECT_EQ(t.call(delete_req(t.pos[SHEET_CELL], 0)).status, 0);
    EXPECT_EQ(t.call(delete_req(t.pos[SHEET_LINE], 0)).status, 0);
    EXPECT_TRUE(t.changed_spans().empty());
}

// ---------------------------------------------------------------------------
// Placements and graphic groups

TEST(ServerPlace, LineStringCarriesEveryField) {
    Sheet t;
    const uint32_t end = t.s.file.end_offset;
    const std::vector<uint16_t> link = {0x0000, 0x001B, 0x0011, 0x0200};  // database linkage
    ServerReply r = t.call(linear_req(31, 9, (7u << 16) | 1, {10, 20, 30, 40, -50, 60}, 3, false, link, 0,
                                      2147483647));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(get16(&r.data[0]), end / 512);
    EXPECT_EQ(get16(&r.data[2]), end % 512);
    EXPECT_EQ(t.s.file.end_offset, end + 38 + 24 + 8);
    DgnElement e = t.decode(end);
    EXPECT_EQ(e.type, 4);
    EXPECT_EQ(e.level, 9);
    EXPECT_FALSE(e.complex);
    EXPECT_EQ(e.graphic_group, 7);
    EXPECT_EQ(e.properties & 0xF, 2);
    EXPECT_EQ(e.style, 3);
    EXPECT_EQ(e.weight, 4);
    EXPECT_EQ(e.color, 5);
    EXPECT_NE(e.properties & 0x0800, 0);
    ASSERT_EQ(e.vertices.size(), 3u);
    EXPECT_EQ(e.vertices[2].x, -50);
    const int32_t range[6] = {-50, 20, 0, 30, 60, 2147483647};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(e.range[k], range[k]) << k;
    ASSERT_EQ(e.linkages.size(), 8u);
    // Attribute index: linkages start right after the vertices.
    const std::vector<uint8_t> b = t.bytes(end);
    EXPECT_EQ(32 + 2 * get16(&b[30]), 38 + 24);
    EXPECT_EQ(get16(&b[38 + 24 + 2]), 0x1B);
    // The file after the new element still ends with the marker.
    EXPECT_EQ(t.s.file.data[t.s.file.end_offset], 0xFF);
    EXPECT_TRUE(t.s.modified);
}

TEST(ServerPlace, VertexLimitsAndDimensionChecks) {
    Sheet t2(false), t3(true);
    std::vector<int32_t> many(2 * 102, 1);
    struct Case {
        const char *what;
        Sheet *sheet;
        Req req;
        int status;
    } cases[] = {
        {"line string of one vertex", &t2, linear_req(31, 1, 0, {1, 2}, 1, false), 904},
        {"curve of two vertices", &t2, linear_req(32, 1, 0, {1, 2, 3, 4}, 2, false), 904},
        {"line string of 102 vertices", &t2, linear_req(31, 1, 0, many, 102, false), 905},
        {"2D ellipse in a 3D file", &t3, Req(11, 64), 917},
        {"3D ellipse in a 2D file", &t2, Req(12, 136), 918},
        {"bad graphic-group function", &t2, linear_req(31, 1, 9, {1, 2, 3, 4}, 2, false), 902},
        {"level above 63", &t2, linear_req(31, 64, 0, {1, 2, 3, 4}, 2, false), 934},
        {"linkage count beyond the message", &t2, linear_req(31, 1, 0, {1, 2, 3, 4}, 2, false).put16(56 + 16, 4),
         925},
        {"linkage that runs past its block", &t2, linear_req(31, 1, 0, {1, 2, 3, 4}, 2, false, {0x1007, 1, 2, 3}),
         934},
    };
    for (Case &c : cases) {
        const size_t before = c.sheet->s.file.data.size();
        EXPECT_EQ(c.sheet->call(c.req).status, c.status) << c.what;
        EXPECT_EQ(c.sheet->s.file.data.size(), before) << c.what;
    }
    std::vector<int32_t> limit(2 * 101, 3);
    EXPECT_EQ(t2.call(linear_req(31, 1, 0, limit, 101, false)).status, 0);
    EXPECT_EQ(t2.call(linear_req(32, 1, 0, {1, 2, 3, 4, 5, 6}, 3, false)).status, 0);
}

TEST(ServerPlace, GraphicGroupFunctions) {
    Sheet t;
    const uint16_t top = t.s.file.max_graphic_group;  // 7
    auto gg_of_new = [&](uint32_t pair) {
        const uint32_t at = t.s.file.end_offset;
        EXPECT_EQ(t.call(linear_req(31, 1, pair, {1, 2, 3, 4}, 2, false)).status, 0);
        return t.decode(at).graphic_group;
    };
    EXPECT_EQ(gg_of_new(3), top + 1);  // the active group
    EXPECT_EQ(gg_of_new((12u << 16) | 1), 12);
    EXPECT_EQ(gg_of_new((12u << 16) | 2), 0);
    EXPECT_EQ(gg_of_new(0), 0);
    Req gg(20, 4);
    EXPECT_EQ(t.call(gg.put32(16, 3)).status, 902);                   // end group 0
    EXPECT_EQ(t.call(gg.put32(16, 1)).status, 901);                   // make group 0 active
    EXPECT_EQ(t.call(gg.put32(16, 5)).status, 902);                   // no such function
    EXPECT_EQ(t.call(gg.put32(16, (40u << 16) | 3)).status, 0);       // end group 40
    ServerReply fresh = t.call(gg.put32(16, 2));                      // start a new group
    EXPECT_EQ(fresh.status, 0);
    EXPECT_GT(get16(&fresh.data[0]), top);
}

TEST(ServerPlace, EllipsesOfBothDimensions) {
    Sheet t2(false);
    const uint32_t at2 = t2.s.file.end_offset;
    Req e2(11, 64);
    e2.put32(16, 2).put16(20, 20).put16(30, 6);
    e2.putd(32, 300).putd(40, 100).putd(48, 2000.5).putd(56, -1000).putd(64, 90);
    ASSERT_EQ(t2.call(e2).status, 0);
    DgnElement a = t2.decode(at2);
    EXPECT_EQ(a.type, 15);
    EXPECT_EQ(a.level, 20);
    EXPECT_EQ(a.color, 6);
    EXPECT_DOUBLE_EQ(a.primary.value, 300);
    EXPECT_DOUBLE_EQ(a.secondary.value, 100);
    EXPECT_DOUBLE_EQ(a.centre[0].value, 2000.5);
    EXPECT_EQ(a.orientation.rotation, 90 * 360000);
    // Rotated by 90 degrees: the primary axis lies along y.
    EXPECT_EQ(a.range[0], 1900);
    EXPECT_EQ(a.range[3], 2101);
    EXPECT_EQ(a.range[1], -1300);
    EXPECT_EQ(a.range[4], -700);

    Sheet t3(true);
    const uint32_t at3 = t3.s.file.end_offset;
    Req e3(12, 136);
    e3.put16(20, 3).putd(32, 50).putd(40, 50).putd(48, 10).putd(56, 20).putd(64, 30);
    // A quarter turn about x: the ellipse stands in the x-z plane.
    const double m[9] = {1, 0, 0, 0, 0, -1, 0, 1, 0};
    for (int k = 0; k < 9; ++k) e3.putd(72 + 8 * k, m[k]);
    ASSERT_EQ(t3.call(e3).status, 0);
    DgnElement b = t3.decode(at3);
    EXPECT_DOUBLE_EQ(b.centre[2].value, 30);
    EXPECT_NEAR(b.orientation.quat[0] / 2147483647.0, 0.70710678, 1e-6);
    EXPECT_NEAR(b.orientation.quat[1] / 2147483647.0, -0.70710678, 1e-6);
    EXPECT_EQ(b.range[2], -20);
    EXPECT_EQ(b.range[5], 80);
    const double skew[9] = {1, 1, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 9; ++k) e3.putd(72 + 8 * k, skew[k]);
    EXPECT_EQ(t3.call(e3).status, 934);
}

// ---------------------------------------------------------------------------
// Move

TEST(ServerMove, EveryKindMovesWithItsRange) {
    for (bool is3d : {false, true}) {
        Sheet t(is3d);
        const double dz = is3d ? 7 : 0;
        std::vector<DgnElement> before;
        for (uint32_t p : t.pos) before.push_back(t.decode(p));
        for (int k = 0; k < SHEET_COUNT; ++k)
            ASSERT_EQ(t.call(move_by(t.pos[k], is3d, 10, -5, dz)).status, 0) << k;
        for (size_t i = 3; i < t.s.file.elements.size(); ++i) {
            const DgnElementRef &r = t.s.file.elements[i];
            const std::vector<uint8_t> now(t.s.file.data.begin() + r.offset, t.s.file.data.begin() + r.offset + r.size);
            const std::vector<uint8_t> was(t.original.begin() + r.offset, t.original.begin() + r.offset + r.size);
            DgnElement a = decode_bytes(was, is3d), b = decode_bytes(now, is3d);
            EXPECT_EQ(b.range[0], a.range[0] + 10) << i;
            EXPECT_EQ(b.range[4], a.range[4] - 5) << i;
            EXPECT_EQ(b.range[2], is3d ? a.range[2] + 7 : a.range[2]) << i;
            for (size_t v = 0; v < a.vertices.size(); ++v) {
                EXPECT_EQ(b.vertices[v].x, a.vertices[v].x + 10);
                EXPECT_EQ(b.vertices[v].y, a.vertices[v].y - 5);
                EXPECT_EQ(b.vertices[v].z, a.vertices[v].z + (int)dz);
            }
            if (a.type == 2 || a.type == 7 || a.type == 17) {
                EXPECT_EQ(b.origin.x, a.origin.x + 10) << i;
                EXPECT_EQ(b.origin.y, a.origin.y - 5) << i;
            }
            if (a.type == 15 || a.type == 16) {
                EXPECT_DOUBLE_EQ(b.centre[0].value, a.centre[0].value + 10);
                EXPECT_DOUBLE_EQ(b.centre[1].value, a.centre[1].value - 5);
                EXPECT_DOUBLE_EQ(b.primary.value, a.primary.value);
            }
            EXPECT_EQ(b.level, a.level);
            EXPECT_EQ(b.linkages, a.linkages);
            EXPECT_EQ(now.size(), was.size());
        }
        EXPECT_EQ(t.s.file.data.size(), t.original.size());
    }
}

TEST(ServerMove, RefusalsChangeNothing) {
    Sheet t;
    const uint32_t line = t.pos[SHEET_LINE];
    const double rotate[12] = {0, -1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    const double tail[12] = {1, 0, 5, 0, 1, 5, 0, 0, 0, 0, 0, 1};
    const double scale[12] = {2, 0, 5, 0, 2, 5, 0, 0, 0, 0, 0, 0};
    struct Case {
        const char *what;
        Req req;
        int status;
    } cases[] = {
        {"rotation", move_req(line, rotate), 927},
        {"2D matrix with a non-zero tail", move_req(line, tail), 927},
        {"scale", move_req(line, scale), 927},
        {"off the design plane", move_by(line, false, 2147483600.0, 0, 0), 933},
        {"inside an element", move_by(line + 4, false, 1, 1, 0), 934},
        {"end of design", move_by(t.s.file.end_offset, false, 1, 1, 0), 1011},
        {"reference file", move_req(line, tail, 1), 970},
        {"design file header", move_by(0, false, 1, 1, 0), 934},
    };
    for (const Case &c : cases) EXPECT_EQ(t.call(c.req).status, c.status) << c.what;
    EXPECT_EQ(t.call(move_by(line, false, 0, 0, 0)).status, 0);
    EXPECT_TRUE(t.changed_spans().empty());
    EXPECT_FALSE(t.s.modified);
}

TEST(ServerMove, ComponentAloneGrowsItsHeaderRange) {
    Sheet t;
    const int node = t.index(t.pos[SHEET_TEXT_NODE]);
    const uint32_t text = t.s.file.elements[node + 1].offset;
    ASSERT_EQ(t.call(move_by(text, false, 5000, 0, 0)).status, 0);
    const DgnElement h = t.decode(t.pos[SHEET_TEXT_NODE]);
    const DgnElement c = t.decode(text);
    EXPECT_EQ(c.origin.x, 8000);
    EXPECT_GE(h.range[3], c.range[3]);
    EXPECT_EQ(h.origin.x, 3000);  // the node itself stays
}

// A line inside a cell nested in another cell, moved alone: both cell
// headers grow to cover it.
TEST(ServerMove, ComponentOfANestedCellGrowsBothHeaders) {
    std::string err;
    std::vector<uint8_t> inner;
    DgnElement innerCell = dgn_new_element(2, 4, false);
    std::vector<DgnElement> innerParts = {dgn_new_vertex_element(3, 4, false, {pt(10, 10), pt(20, 20)})};
    ASSERT_TRUE(dgn_finish_complex(&innerCell, &innerParts, &inner, &err)) << err;
    for (size_t at = 0; at < inner.size(); at += 4 + 2 * (size_t)get16(&inner[at + 2])) inner[at] |= 0x80;
    DgnElement outerCell = dgn_new_element(2, 4, false);
    std::vector<DgnElement> outerParts = {dgn_new_vertex_element(3, 4, false, {pt(0, 0), pt(5, 5)})};
    std::vector<uint8_t> outer;
    ASSERT_TRUE(dgn_finish_complex(&outerCell, &outerParts, &outer, &err)) << err;
    // The nested cell goes after the outer header's own component.
    const uint16_t words = (uint16_t)(get16(&outer[36]) + inner.size() / 2);
    outer[36] = (uint8_t)words;
    outer[37] = (uint8_t)(words >> 8);
    int32_t range[6];
    ASSERT_TRUE(elm_get_range(outer.data(), outer.size(), range));
    range[3] = range[4] = 20;
    elm_set_range(outer.data(), outer.size(), range);
    std::vector<uint8_t> file;
    DgnNewFileSettings settings;
    ASSERT_TRUE(dgn_make_file_header(settings, &file, &err));
    const uint32_t outerAt = (uint32_t)file.size();
    file.insert(file.end(), outer.begin(), outer.end());
    const uint32_t innerAt = (uint32_t)file.size();
    file.insert(file.end(), inner.begin(), inner.end());
    dgn_finish_file(&file);

    ServerState s;
    ASSERT_TRUE(dgn_load_buffer(file.data(), file.size(), &s.file, &err)) << err;
    s.fileOpen = true;
    const int innerIndex = dgn_find_element(&s.file, innerAt);
    const uint32_t lineAt = s.file.elements[innerIndex + 1].offset;
    ServerReply reply;
    const Req req = move_by(lineAt, false, 1000, 0, 0);
    server_dispatch(&s, req.b.data(), req.b.size(), &reply);
    ASSERT_EQ(reply.status, 0);
    for (uint32_t at : {outerAt, innerAt}) {
        const uint8_t *b = s.file.data.data() + at;
        int32_t r[6];
        ASSERT_TRUE(elm_get_range(b, 40, r));
        EXPECT_EQ(r[3], 1020) << at;
    }
}
