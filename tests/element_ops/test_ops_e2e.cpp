// The element operations end to end: this process is the client, bin/
// ustation.exe the server, the design file on disk the result; read back
// with the DGN library and, independently, with GDAL's ogrinfo.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>

#include "dgn/dgn_element.h"
#include "dgn/dgn_server_layout.h"
#include "dgnrequests/element_layout.h"
#include "dgnrequests/element_ops.h"
#include "tests/element_ops/session_fixture.h"
#include "tests/element_ops/sheet_fixture.h"

// The program's name for the hello message (the program defines it).
char taskname[256] = "nodeweld";

namespace {

uint16_t blk(uint32_t pos) { return (uint16_t)(pos / 512); }
uint16_t byt(uint32_t pos) { return (uint16_t)(pos % 512); }

DgnElement element_at(const DgnFile &f, uint32_t pos) {
    DgnElement e;
    const int i = dgn_find_element(&f, pos);
    EXPECT_GE(i, 0) << "no element at " << pos;
    if (i < 0) return e;
    uint32_t n = 0;
    const uint8_t *b = dgn_element_bytes(&f, i, &n);
    std::string err;
    EXPECT_TRUE(dgn_decode_element(b, n, f.is3d, &e, &err)) << err;
    return e;
}

// Ordinal of the element at a position: GDAL's feature id.
long fid_of(const DgnFile &f, uint32_t pos) { return dgn_find_element(&f, pos); }

class ElementOpsE2E : public OpsSession {
protected:
    std::vector<uint32_t> pos;
    std::vector<uint8_t> original;
    void make(const char *name, bool is3d) {
        original = make_sheet(is3d, &pos);
        ASSERT_TRUE(write_bytes(path(name), original));
    }
};

}  // namespace

// A line string placed by the client shows up in GDAL with its vertices,
// level and colour; the reply words give its position.
TEST_F(ElementOpsE2E, PlacedLineStringIsReadByGdal) {
    make("sheet.dgn", false);
    ASSERT_EQ(open("sheet.dgn"), 0);
    const uint32_t pair = 2;
    const int16_t level = 9, count = 4;
    SymbologyRecord sym = {1, 0, 2, 3, 5};
    const int32_t v[8] = {100, 200, 300, 400, 500, 600, 700, 800};
    const int16_t link[6] = {1, 0, 0x0000, 0x0021, 0x0005, 0x0100};  // database linkage, entity 33, link 5
    int16_t status = -1, b = 0, c = 0;
    unsigned char placed[200];
    int16_t placedSize = sizeof placed;
    EXPECT_EQ(lsdfpi_ex(&pair, &level, &sym, v, &count, &status, link, nullptr, &b, &c, nullptr, nullptr, placed,
                        &placedSize),
              0);
    EXPECT_EQ(status, 0);
    const uint32_t at = (uint32_t)(uint16_t)b * 512 + (uint16_t)c;
    // The placed element comes back in the server layout.
    ASSERT_GT(placedSize, 44);
    EXPECT_EQ(elm_server_vertex_count(placed, (size_t)placedSize, 2), 4);
    ggdfpi(&pair, &status);  // function 2: starts a new graphic group
    EXPECT_EQ(status, 0);
    ASSERT_EQ(close(), 0);

    DgnFile f = load("sheet.dgn");
    EXPECT_EQ(at, f.elements.back().offset);
    DgnElement e = element_at(f, at);
    EXPECT_EQ(e.type, 4);
    EXPECT_EQ(e.level, 9);
    EXPECT_EQ(e.color, 5);
    EXPECT_EQ(e.weight, 3);
    EXPECT_EQ(e.style, 2);
    EXPECT_EQ(e.properties & 0xF, 1);
    EXPECT_EQ(e.linkages.size(), 8u);
    if (!have_ogr()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    const std::vector<OgrFeature> fs = ogr_features(path("sheet.dgn"));
    const OgrFeature *g = ogr_find(fs, fid_of(f, at));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->field("Type"), 4);
    EXPECT_EQ(g->field("Level"), 9);
    EXPECT_EQ(g->field("ColorIndex"), 5);
    EXPECT_EQ(g->field("Weight"), 3);
    EXPECT_EQ(g->field("EntityNum"), 33);
    EXPECT_EQ(g->field("MSLink"), 5);
    const std::vector<double> xy = g->coords();
    ASSERT_EQ(xy.size(), 8u);
    for (int k = 0; k < 8; ++k) EXPECT_DOUBLE_EQ(xy[k], v[k]) << k;
}

// Deleted elements are gone for GDAL; everything else keeps its feature id.
TEST_F(ElementOpsE2E, DeletedElementsAreGoneForGdal) {
    make("sheet.dgn", false);
    ASSERT_EQ(open("sheet.dgn"), 0);
    int16_t status = -1;
    EXPECT_EQ(delete_element(nullptr, nullptr, nullptr, &status), 934);  // the file header stays
    const uint16_t b1 = blk(pos[SHEET_LINE]), y1 = byt(pos[SHEET_LINE]);
    EXPECT_EQ(delete_element(&b1, &y1, nullptr, &status), 0);
    const uint16_t b2 = blk(pos[SHEET_CELL]), y2 = byt(pos[SHEET_CELL]);
    EXPECT_EQ(delete_element(&b2, &y2, nullptr, &status), 0);
    const uint32_t comp = pos[SHEET_TEXT_NODE] + 0;  // a component: the text after the node header
    DgnFile before;
    std::string err;
    ASSERT_TRUE(dgn_load_buffer(original.data(), original.size(), &before, &err));
    const uint32_t text = before.elements[dgn_find_element(&before, comp) + 1].offset;
    const uint16_t b3 = blk(text), y3 = byt(text);
    EXPECT_EQ(delete_element(&b3, &y3, nullptr, &status), 976);
    ASSERT_EQ(close(), 0);

    DgnFile f = load("sheet.dgn");
    EXPECT_EQ(f.data.size(), original.size());
    const int cell = dgn_find_element(&f, pos[SHEET_CELL]);
    EXPECT_TRUE(f.elements[dgn_find_element(&f, pos[SHEET_LINE])].deleted);
    for (int i = cell; i < cell + 3; ++i) EXPECT_TRUE(f.elements[i].deleted);
    EXPECT_FALSE(f.elements[dgn_find_element(&f, text)].deleted);
    if (!have_ogr()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    const std::vector<OgrFeature> fs = ogr_features(path("sheet.dgn"));
    EXPECT_EQ(ogr_find(fs, fid_of(f, pos[SHEET_LINE])), nullptr);
    EXPECT_EQ(ogr_find(fs, cell + 1), nullptr);
    EXPECT_EQ(ogr_find(fs, cell + 2), nullptr);
    EXPECT_NE(ogr_find(fs, fid_of(f, pos[SHEET_LINE_STRING])), nullptr);
    EXPECT_NE(ogr_find(fs, fid_of(f, text)), nullptr);
}

// A moved cell has its new origin, and GDAL sees its components moved.
TEST_F(ElementOpsE2E, MovedCellAndTextShowTheirNewPlace) {
    for (bool is3d : {false, true}) {
        SCOPED_TRACE(is3d ? "3D" : "2D");
        make("sheet.dgn", is3d);
        ASSERT_EQ(open("sheet.dgn"), 0);
        const double dx = 10, dy = -5, dz = 7;
        const uint16_t b = blk(pos[SHEET_CELL]), y = byt(pos[SHEET_CELL]);
        EXPECT_EQ(move_element(nullptr, &b, &y, &dx, &dy, &dz, nullptr), 0);
        const uint16_t nb = blk(pos[SHEET_TEXT_NODE]), ny = byt(pos[SHEET_TEXT_NODE]);
        EXPECT_EQ(move_element(nullptr, &nb, &ny, &dx, &dy, &dz, nullptr), 0);
        ASSERT_EQ(close(), 0);

        DgnFile f = load("sheet.dgn");
        const DgnElement cell = element_at(f, pos[SHEET_CELL]);
        EXPECT_EQ(cell.origin.x, 1010);
        EXPECT_EQ(cell.origin.y, 995);
        EXPECT_EQ(cell.origin.z, is3d ? 7 : 0);
        EXPECT_EQ(cell.range[0], 1010);
        const DgnElement node = element_at(f, pos[SHEET_TEXT_NODE]);
        EXPECT_EQ(node.origin.x, 3010);
        if (!have_ogr()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
        const std::vector<OgrFeature> fs = ogr_features(path("sheet.dgn"));
        const int ci = dgn_find_element(&f, pos[SHEET_CELL]);
        const OgrFeature *first = ogr_find(fs, ci + 1);
        ASSERT_NE(first, nullptr);
        std::vector<double> expect = {1010, 995, 1110, 995};
        if (is3d) expect = {1010, 995, 7, 1110, 995, 7};
        EXPECT_EQ(first->coords(), expect);
        const OgrFeature *text = ogr_find(fs, dgn_find_element(&f, pos[SHEET_TEXT_NODE]) + 1);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->fields.at("Text"), "NODE");
        EXPECT_DOUBLE_EQ(text->coords()[0], 3010);
        EXPECT_DOUBLE_EQ(text->coords()[1], 2995);
    }
}

// The flag circles of the engine: a 2D ellipse with rotation 0, a 3D one
// with the identity matrix; GDAL strokes them around the centre.
TEST_F(ElementOpsE2E, EllipseFlagsShowCentreAndAxes) {
    for (bool is3d : {false, true}) {
        SCOPED_TRACE(is3d ? "3D" : "2D");
        make("sheet.dgn", is3d);
        ASSERT_EQ(open("sheet.dgn"), 0);
        const uint32_t pair = (3u << 16) | 1;
        const int16_t level = 33;
        SymbologyRecord sym = {0, 0, 0, 2, 0};
        const double axes[2] = {150, 150};
        const double centre[3] = {2000, 3000, 40};
        int16_t status = -1;
        if (is3d) {
            const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            eldfpi(&pair, &level, &sym, axes, centre, nullptr, &status, nullptr);
            EXPECT_EQ(status, 917);
            eldfp3(&pair, &level, &sym, axes, centre, &status, nullptr, identity);
        } else {
            const double rotation = 0;
            eldfp3(&pair, &level, &sym, axes, centre, &status, nullptr, nullptr);
            EXPECT_EQ(status, 918);
            eldfpi(&pair, &level, &sym, axes, centre, &rotation, &status, nullptr);
        }
        EXPECT_EQ(status, 0);
        ASSERT_EQ(close(), 0);

        DgnFile f = load("sheet.dgn");
        const uint32_t at = f.elements.back().offset;
        const DgnElement e = element_at(f, at);
        EXPECT_EQ(e.type, 15);
        EXPECT_EQ(e.level, 33);
        EXPECT_EQ(e.graphic_group, 3);
        EXPECT_EQ(e.weight, 2);
        EXPECT_DOUBLE_EQ(e.primary.value, 150);
        EXPECT_DOUBLE_EQ(e.centre[0].value, 2000);
        EXPECT_DOUBLE_EQ(e.centre[1].value, 3000);
        if (is3d) {
            EXPECT_DOUBLE_EQ(e.centre[2].value, 40);
        }
        const int32_t lo[2] = {1850, 2850}, hi[2] = {2150, 3150};
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(e.range[k], lo[k]);
            EXPECT_EQ(e.range[k + 3], hi[k]);
        }
        if (!have_ogr()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
        const std::vector<OgrFeature> fs = ogr_features(path("sheet.dgn"));
        const OgrFeature *g = ogr_find(fs, fid_of(f, at));
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->field("Type"), 15);
        EXPECT_EQ(g->field("Level"), 33);
        const std::vector<double> c = g->coords();
        const size_t step = is3d ? 3 : 2;
        ASSERT_GE(c.size(), 4 * step);
        double minx = 1e300, maxx = -1e300, miny = 1e300, maxy = -1e300;
        for (size_t i = 0; i + 1 < c.size(); i += step) {
            minx = std::min(minx, c[i]);
            maxx = std::max(maxx, c[i]);
            miny = std::min(miny, c[i + 1]);
            maxy = std::max(maxy, c[i + 1]);
        }
        EXPECT_NEAR((minx + maxx) / 2, 2000, 1e-6);
        EXPECT_NEAR((miny + maxy) / 2, 3000, 1e-6);
        EXPECT_NEAR((maxx - minx) / 2, 150, 1e-6);
        EXPECT_NEAR((maxy - miny) / 2, 150, 1e-6);
    }
}

// Reads in the server layout as the engine uses them: a cell and its
// components walked by their words to follow, the end of the design, a
// position inside an element; and the same element in translation mode 0.
TEST_F(ElementOpsE2E, ReadsOfTheServerLayout) {
    make("sheet.dgn", false);
    ASSERT_EQ(open("sheet.dgn"), 0);
    ReadRecord rec;
    int16_t status = -1;
    uint32_t at = pos[SHEET_CELL];
    std::vector<int> types;
    for (int guard = 0; guard < 6; ++guard) {
        const uint16_t b = blk(at), y = byt(at);
        ASSERT_EQ(rddfpi(&b, &y, nullptr, &rec, &status), 0);
        ASSERT_EQ(status, 0);
        const uint16_t word = (uint16_t)(rec.element[0] | (rec.element[1] << 8));
        if (guard > 0 && !(word & 0x80)) break;
        types.push_back((word >> 8) & 0x7F);
        const uint16_t wtf = (uint16_t)(rec.element[2] | (rec.element[3] << 8));
        at += 2 * (uint32_t)elm_file_wtf_from_server(wtf, types.back(), 2) + 4;
        // The reply words say where the next element starts.
        EXPECT_EQ((uint32_t)rec.words[1] * 512 + rec.words[2], at);
    }
    EXPECT_EQ(types, (std::vector<int>{2, 3, 3}));
    // The line's first vertex where the engine reads it.
    const uint16_t lb = blk(pos[SHEET_LINE]), ly = byt(pos[SHEET_LINE]);
    ASSERT_EQ(rddfpi(&lb, &ly, nullptr, &rec, &status), 0);
    ElementVertex v;
    ASSERT_TRUE(elm_server_vertex(rec.element, sizeof rec.element, 2, 1, &v));
    EXPECT_EQ(v.x, 200);
    EXPECT_EQ(v.y, 300);
    // Raw: the element as it lies in the file.
    const int16_t raw = 1;
    ASSERT_EQ(rddfpi(&lb, &ly, &raw, &rec, &status), 0);
    EXPECT_EQ(0, memcmp(rec.element, original.data() + pos[SHEET_LINE], 2 * rec.words[0] - 4));
    // End of the design, and a position inside an element.
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_buffer(original.data(), original.size(), &f, &err));
    const uint16_t eb = blk(f.end_offset), ey = byt(f.end_offset);
    EXPECT_EQ(rddfpi(&eb, &ey, nullptr, &rec, &status), 1011);
    EXPECT_EQ(status, 1011);
    const uint16_t ib = blk(pos[SHEET_LINE] + 6), iy = byt(pos[SHEET_LINE] + 6);
    EXPECT_EQ(rddfpi(&ib, &iy, nullptr, &rec, &status), 934);
    ASSERT_EQ(close(), 0);
    EXPECT_EQ(read_bytes(path("sheet.dgn")), original);  // reads change nothing

    // Translation mode 0: reads hand out the file layout.
    ASSERT_EQ(open("sheet.dgn", 0), 0);
    const uint16_t eb2 = blk(pos[SHEET_ELLIPSE]), ey2 = byt(pos[SHEET_ELLIPSE]);
    ASSERT_EQ(rddfpi(&eb2, &ey2, nullptr, &rec, &status), 0);
    uint32_t n = 0;
    const uint8_t *fileBytes = dgn_element_bytes(&f, dgn_find_element(&f, pos[SHEET_ELLIPSE]), &n);
    EXPECT_EQ(0, memcmp(rec.element, fileBytes, n));
    // ... and whole-element writes take the file layout as it is.
    const uint16_t lb0 = blk(pos[SHEET_LINE]), ly0 = byt(pos[SHEET_LINE]);
    ASSERT_EQ(rddfpi(&lb0, &ly0, nullptr, &rec, &status), 0);
    DgnElement line;
    ASSERT_TRUE(dgn_decode_element(rec.element, 2 * (size_t)(rec.element[2] | (rec.element[3] << 8)) + 4, false,
                                   &line, &err));
    line.vertices[0].x = -100;
    line.range[0] = -100;
    std::vector<uint8_t> image;
    ASSERT_TRUE(dgn_encode_element(line, &image, &err));
    const int16_t whole = 0;
    EXPECT_EQ(wtdfpi(&lb0, &ly0, &whole, image.data(), &status), 0);
    ASSERT_EQ(close(), 0);
    DgnFile after = load("sheet.dgn");
    EXPECT_EQ(element_at(after, pos[SHEET_LINE]).vertices[0].x, -100);
    EXPECT_EQ(element_at(after, pos[SHEET_LINE]).range[0], -100);
}

// Writes in place as the level moves use them, refused writes, and a whole
// element written back in the server layout (translated by the client).
TEST_F(ElementOpsE2E, WritesInPlace) {
    make("sheet.dgn", false);
    ASSERT_EQ(open("sheet.dgn"), 0);
    int16_t status = -1;
    ReadRecord rec;
    const uint16_t cb = blk(pos[SHEET_CELL]), cy = byt(pos[SHEET_CELL]);
    ASSERT_EQ(rddfpi(&cb, &cy, nullptr, &rec, &status), 0);
    rec.element[0] = (uint8_t)((rec.element[0] & 0xC0) | 17);
    const int16_t two = 2, eight = 8;
    EXPECT_EQ(wtdfpi(&cb, &cy, &two, rec.element, &status), 0);
    const uint8_t mask[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    const uint32_t maskAt = pos[SHEET_CELL] + 44;
    const uint16_t mb = blk(maskAt), my = byt(maskAt);
    EXPECT_EQ(wtdfpi(&mb, &my, &eight, mask, &status), 0);
    // Eight bytes from two bytes before the end of the line would cross it.
    const uint32_t late = pos[SHEET_LINE_STRING] - 2;
    const uint16_t lb = blk(late), ly = byt(late);
    EXPECT_EQ(wtdfpi(&lb, &ly, &eight, mask, &status), 1013);
    // The ellipse moved by rewriting it whole in the server layout.
    const uint16_t eb = blk(pos[SHEET_ELLIPSE]), ey = byt(pos[SHEET_ELLIPSE]);
    ASSERT_EQ(rddfpi(&eb, &ey, nullptr, &rec, &status), 0);
    double cx;
    memcpy(&cx, rec.element + 64, 8);  // 2D ellipse centre x in the server layout
    cx += 1000;
    memcpy(rec.element + 64, &cx, 8);
    const int16_t whole = 0;
    EXPECT_EQ(wtdfpi(&eb, &ey, &whole, rec.element, &status), 0);
    ASSERT_EQ(close(), 0);

    DgnFile f = load("sheet.dgn");
    EXPECT_EQ(element_at(f, pos[SHEET_CELL]).level, 17);
    EXPECT_EQ(element_at(f, pos[SHEET_CELL]).level_mask[1], 1);
    EXPECT_DOUBLE_EQ(element_at(f, pos[SHEET_ELLIPSE]).centre[0].value, 6000);
    const DgnElement line = element_at(f, pos[SHEET_LINE]);
    EXPECT_EQ(line.vertices[1].y, 300);  // the refused write left it alone
}

// Requests whose length the server checks against its fields: a 101-vertex
// line string (length 850), a 3D line with a 4-word linkage (length 72), a
// 2D move whose z distance is not sent.
TEST_F(ElementOpsE2E, RecordLengthsTheServerAccepts) {
    make("sheet2.dgn", false);
    ASSERT_EQ(open("sheet2.dgn"), 0);
    std::vector<int32_t> v(2 * 102);
    for (int i = 0; i < 102; ++i) v[2 * i] = i * 10, v[2 * i + 1] = i;
    int16_t status = -1, count = 101;
    SymbologyRecord sym = {0, 0, 0, 0, 1};
    EXPECT_EQ(lsdfpi_ex(nullptr, nullptr, &sym, v.data(), &count, &status, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr),
              0);
    count = 102;
    EXPECT_EQ(lsdfpi_ex(nullptr, nullptr, &sym, v.data(), &count, &status, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr),
              905);
    const int32_t zlo = 0, zhi = 0x7FFFFFFF;
    count = 6;
    EXPECT_EQ(cudfpi_ex(nullptr, nullptr, &sym, v.data(), &count, &status, nullptr, nullptr, nullptr, nullptr, &zlo,
                        &zhi, nullptr, nullptr),
              0);
    const double dx = 5, dy = -3, dz = 7;
    const uint16_t b = blk(pos[SHEET_LINE]), y = byt(pos[SHEET_LINE]);
    EXPECT_EQ(move_element(nullptr, &b, &y, &dx, &dy, &dz, nullptr), 0);
    ASSERT_EQ(close(), 0);
    DgnFile f2 = load("sheet2.dgn");
    const DgnElement ls = element_at(f2, f2.elements[f2.elements.size() - 2].offset);
    EXPECT_EQ(ls.vertices.size(), 101u);
    EXPECT_EQ(ls.level, 1);
    const DgnElement cu = element_at(f2, f2.elements.back().offset);
    EXPECT_EQ(cu.type, 11);
    EXPECT_EQ(cu.range[2], 0);
    EXPECT_EQ(cu.range[5], 0x7FFFFFFF);
    EXPECT_EQ(element_at(f2, pos[SHEET_LINE]).vertices[0].x, 105);
    EXPECT_EQ(element_at(f2, pos[SHEET_LINE]).vertices[0].y, 97);

    make("sheet3.dgn", true);
    ASSERT_EQ(open("sheet3.dgn"), 0);
    const int16_t link[6] = {1, 0, 0x0000, 0x0007, 0x0009, 0x0100};
    const int32_t line[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(lndfpi_ex(nullptr, nullptr, &sym, line, &status, link, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr),
              0);
    ASSERT_EQ(close(), 0);
    DgnFile f3 = load("sheet3.dgn");
    const DgnElement ln = element_at(f3, f3.elements.back().offset);
    EXPECT_EQ(ln.type, 3);
    EXPECT_EQ(ln.vertices[1].z, 6);
    EXPECT_NE(ln.properties & 0x0800, 0);
    ASSERT_EQ(ln.linkages.size(), 8u);
    EXPECT_EQ(ln.linkages[2], 7);
}
