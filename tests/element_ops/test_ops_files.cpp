// Design files written by other software through a whole session: a session
// that changes nothing leaves them byte for byte, a read-modify-close cycle
// changes only what was asked, and a client killed in the middle of a
// session leaves the file as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>

#include "dgn/dgn_element.h"
#include "dgnrequests/element_ops.h"
#include "tests/element_ops/session_fixture.h"
#include "tests/element_ops/sheet_fixture.h"

char taskname[256] = "nodeweld";

namespace {

std::string sample(const char *name) { return std::string(NW_SOURCE_DIR) + "/tests/dgn/data/" + name; }

// A sheet as GDAL's writer makes it from GeoJSON: a polygon with a hole (a
// cell), a long line string (a complex chain), a text and a short line.
const char *GEOJSON =
    "{\"type\":\"FeatureCollection\",\"features\":["
    "{\"type\":\"Feature\",\"properties\":{\"Level\":3,\"ColorIndex\":4},\"geometry\":{\"type\":\"Polygon\","
    "\"coordinates\":[[[0,0],[10,0],[10,10],[0,10],[0,0]],[[2,2],[4,2],[4,4],[2,4],[2,2]]]}},"
    "{\"type\":\"Feature\",\"properties\":{\"Level\":5,\"ColorIndex\":2},\"geometry\":{\"type\":\"LineString\","
    "\"coordinates\":[[0,0],[1,1],[2,0],[3,1],[4,0],[5,1],[6,0],[7,1],[8,0],[9,1],[10,0],[11,1],[12,0],[13,1],"
    "[14,0],[15,1],[16,0],[17,1],[18,0],[19,1],[20,0],[21,1],[22,0],[23,1],[24,0],[25,1],[26,0],[27,1],[28,0],"
    "[29,1],[30,0],[31,1],[32,0],[33,1],[34,0],[35,1],[36,0],[37,1],[38,0],[39,1],[40,0]]}},"
    "{\"type\":\"Feature\",\"properties\":{\"Level\":7,\"Text\":\"HELLO\"},\"geometry\":{\"type\":\"Point\","
    "\"coordinates\":[5,5]}},"
    "{\"type\":\"Feature\",\"properties\":{\"Level\":8},\"geometry\":{\"type\":\"LineString\","
    "\"coordinates\":[[1,2],[3,4]]}}]}";

class ForeignFiles : public OpsSession {
protected:
    // Writes the GeoJSON sheet with ogr2ogr; false when GDAL is missing.
    bool make_gdal_sheet(const std::string &name) {
        if (!have_ogr()) return false;
        const std::string json = path("sheet.geojson");
        FILE *f = fopen(json.c_str(), "w");
        if (!f) return false;
        fputs(GEOJSON, f);
        fclose(f);
        ProgramResult r = run_program({"/usr/bin/ogr2ogr", "-f", "DGN", path(name), json}, {}, "", 60);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0;
    }
    bool copy_in(const std::string &from, const std::string &name) {
        std::vector<uint8_t> b = read_bytes(from);
        return !b.empty() && write_bytes(path(name), b);
    }
    // Reads every element through the server, raw and in the server layout.
    void read_all(const DgnFile &f) {
        ReadRecord rec;
        int16_t status = -1;
        for (const DgnElementRef &r : f.elements) {
            const uint16_t b = (uint16_t)(r.offset / 512), y = (uint16_t)(r.offset % 512);
            const int16_t raw = 1;
            EXPECT_EQ(rddfpi(&b, &y, &raw, &rec, &status), r.size > sizeof rec.element ? 934 : 0)
                << r.offset;
            rddfpi(&b, &y, nullptr, &rec, &status);
        }
        const uint16_t b = (uint16_t)(f.end_offset / 512), y = (uint16_t)(f.end_offset % 512);
        EXPECT_EQ(rddfpi(&b, &y, nullptr, &rec, &status), 1011);
    }
};

}  // namespace

TEST_F(ForeignFiles, SessionThatChangesNothingLeavesEveryByte) {
    std::vector<std::pair<std::string, std::string>> files = {
        {sample("smalltest.dgn"), "smalltest.dgn"}, {sample("tag.dgn"), "tag.dgn"},
        {sample("e4-3d.dgn"), "e4.dgn"},           {sample("out3d-dgnlib.dgn"), "out3d.dgn"},
    };
    if (!gdal_seed("seed_2d.dgn").empty()) files.push_back({gdal_seed("seed_2d.dgn"), "seed_2d.dgn"});
    if (!gdal_seed("seed_3d.dgn").empty()) files.push_back({gdal_seed("seed_3d.dgn"), "seed_3d.dgn"});
    std::vector<std::string> names;
    for (auto &f : files) {
        ASSERT_TRUE(copy_in(f.first, f.second)) << f.first;
        names.push_back(f.second);
    }
    if (make_gdal_sheet("gdal.dgn")) names.push_back("gdal.dgn");
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> before = read_bytes(path(name));
        DgnFile f = load(name);
        ASSERT_EQ(open(name.c_str()), 0);
        read_all(f);
        // Requests that are refused or change nothing.
        int16_t status = -1;
        const int16_t two = 2;
        const uint16_t zero = 0;
        EXPECT_EQ(wtdfpi(&zero, &zero, &two, before.data(), &status), 1013);
        if (f.elements.size() > 3) {
            const DgnElementRef &last = f.elements.back();
            const uint16_t b = (uint16_t)(last.offset / 512), y = (uint16_t)(last.offset % 512);
            const double none = 0;
            EXPECT_EQ(wtdfpi(&b, &y, &two, f.data.data() + last.offset, &status), 0);
            if (!last.deleted && dgn_type_has_display_header(last.type))
                move_element(nullptr, &b, &y, &none, &none, &none, nullptr);
        }
        ASSERT_EQ(close(), 0);
        EXPECT_TRUE(read_bytes(path(name)) == before);
    }
}

// Changes to a file GDAL wrote: a line string placed, the short line
// deleted and the cell moved by one degree (3,600,000 UORs in its units).
TEST_F(ForeignFiles, ReadModifyCloseChangesOnlyWhatWasAsked) {
    if (!make_gdal_sheet("gdal.dgn")) GTEST_SKIP() << "GDAL's ogr2ogr is not installed";
    const std::vector<uint8_t> before = read_bytes(path("gdal.dgn"));
    DgnFile f0 = load("gdal.dgn");
    const std::vector<OgrFeature> ogrBefore = ogr_features(path("gdal.dgn"));
    int cell = -1, shortLine = -1;
    for (size_t i = 0; i < f0.elements.size(); ++i) {
        if (f0.elements[i].type == 2 && cell < 0) cell = (int)i;
        if (f0.elements[i].type == 4 && !f0.elements[i].complex && f0.elements[i].level == 8) shortLine = (int)i;
    }
    ASSERT_GE(cell, 0);
    ASSERT_GE(shortLine, 0);
    const uint32_t cellPos = f0.elements[cell].offset, linePos = f0.elements[shortLine].offset;

    ASSERT_EQ(open("gdal.dgn"), 0);
    int16_t status = -1, count = 3, level = 20;
    SymbologyRecord sym = {0, 0, 0, 1, 9};
    const int32_t v[6] = {-720000000 + 3600000, -720000000, -720000000 + 7200000, -720000000 + 3600000,
                          -720000000 + 10800000, -720000000};
    EXPECT_EQ(lsdfpi_ex(nullptr, &level, &sym, v, &count, &status, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr),
              0);
    const uint16_t lb = (uint16_t)(linePos / 512), ly = (uint16_t)(linePos % 512);
    EXPECT_EQ(delete_element(&lb, &ly, nullptr, &status), 0);
    const uint16_t cb = (uint16_t)(cellPos / 512), cy = (uint16_t)(cellPos % 512);
    const double dx = 3600000, dy = 0;
    EXPECT_EQ(move_element(nullptr, &cb, &cy, &dx, &dy, nullptr, nullptr), 0);
    ASSERT_EQ(close(), 0);

    const std::vector<uint8_t> after = read_bytes(path("gdal.dgn"));
    DgnFile f1 = load("gdal.dgn");
    ASSERT_EQ(f1.elements.size(), f0.elements.size() + 1);
    // Every byte before the old end of the design is unchanged except the
    // deleted bit of the line and the cell with its components.
    const DgnElementRef &cr = f0.elements[cell];
    uint32_t cellEnd = cr.offset + cr.size;
    for (size_t i = (size_t)cell + 1; i < f0.elements.size() && f0.elements[i].complex; ++i)
        cellEnd = f0.elements[i].offset + f0.elements[i].size;
    for (size_t i = 0; i < f0.end_offset; ++i) {
        if (i >= cellPos && i < cellEnd) continue;
        if (i == linePos + 1) {
            EXPECT_EQ(after[i], before[i] | 0x80);
            continue;
        }
        ASSERT_EQ(after[i], before[i]) << "byte " << i;
    }
    // The tail after the end-of-design marker follows the new element.
    const size_t grown = f1.end_offset - f0.end_offset;
    ASSERT_EQ(after.size(), before.size() + grown);
    EXPECT_TRUE(std::equal(before.begin() + f0.end_offset, before.end(), after.begin() + f1.end_offset));

    // GDAL: the line is gone, the new line string is there, the cell's
    // polygons moved by one degree, every other feature is the same.
    const std::vector<OgrFeature> ogrAfter = ogr_features(path("gdal.dgn"));
    EXPECT_EQ(ogr_find(ogrAfter, shortLine), nullptr);
    const OgrFeature *added = ogr_find(ogrAfter, (long)f0.elements.size());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->field("Level"), 20);
    EXPECT_EQ(added->field("ColorIndex"), 9);
    const std::vector<double> want = {1, 0, 2, 1, 3, 0};
    ASSERT_EQ(added->coords().size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(added->coords()[k], want[k], 1e-9);
    for (const OgrFeature &b : ogrBefore) {
        if (b.fid == shortLine) continue;
        const OgrFeature *a = ogr_find(ogrAfter, b.fid);
        ASSERT_NE(a, nullptr) << b.fid;
        EXPECT_EQ(a->fields, b.fields) << b.fid;
        const std::vector<double> cb0 = b.coords(), ca = a->coords();
        ASSERT_EQ(ca.size(), cb0.size());
        const bool inCell = b.fid > cell && (uint32_t)f0.elements[b.fid].offset < cellEnd;
        for (size_t k = 0; k < ca.size(); ++k)
            EXPECT_NEAR(ca[k], cb0[k] + (inCell && k % 2 == 0 ? 1.0 : 0.0), 1e-9) << b.fid << " " << k;
    }
}

// A client that dies in the middle of a session (after placing, deleting
// and moving) leaves the file byte for byte as it was.
TEST_F(ForeignFiles, KilledClientLeavesTheFileUntouched) {
    const std::vector<uint8_t> sheet = make_sheet(false);
    ASSERT_TRUE(write_bytes(path("sheet.dgn"), sheet));
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFd[0]);
        int32_t server = -1;
        if (open("sheet.dgn") == 0) {
            int16_t status = -1, count = 2;
            const int32_t v[4] = {1, 2, 3, 4};
            lsdfpi_ex(nullptr, nullptr, nullptr, v, &count, &status, nullptr, nullptr, nullptr, nullptr, nullptr,
                      nullptr, nullptr, nullptr);
            DgnFile f;
            std::string err;
            dgn_load_buffer(sheet.data(), sheet.size(), &f, &err);
            const uint16_t b = (uint16_t)(f.elements[3].offset / 512), y = (uint16_t)(f.elements[3].offset % 512);
            delete_element(&b, &y, nullptr, &status);
            const double d = 100;
            move_element(nullptr, &b, &y, &d, &d, nullptr, nullptr);
            server = mstnExtProgP && mstnExtProgP->platformInfo ? (int32_t)mstnExtProgP->platformInfo->process : -1;
        }
        if (write(pipeFd[1], &server, sizeof server) != (ssize_t)sizeof server) _exit(3);
        for (;;) pause();
    }
    ::close(pipeFd[1]);
    int32_t server = -1;
    ASSERT_EQ(read(pipeFd[0], &server, sizeof server), (ssize_t)sizeof server);
    ::close(pipeFd[0]);
    kill(child, SIGKILL);
    int st = 0;
    waitpid(child, &st, 0);
    ASSERT_GT(server, 0) << "the child could not start its session";
    // The server notices its client is gone and ends without saving.
    bool gone = false;
    for (int i = 0; i < 600 && !gone; ++i) {
        gone = kill(server, 0) != 0;
        if (!gone) usleep(50000);
    }
    EXPECT_TRUE(gone) << "server " << server << " still runs";
    EXPECT_TRUE(read_bytes(path("sheet.dgn")) == sheet);
}

// GDAL's 3D seed ends without an end-of-design marker: a placed line goes
// after its last element and the file gets a marker after it.
TEST_F(ForeignFiles, PlacementIntoASeedWithoutEndMarker) {
    const std::string seed = gdal_seed("seed_3d.dgn");
    if (seed.empty()) GTEST_SKIP() << "GDAL's seed_3d.dgn is not installed";
    ASSERT_TRUE(copy_in(seed, "seed_3d.dgn"));
    const std::vector<uint8_t> before = read_bytes(path("seed_3d.dgn"));
    ASSERT_EQ(open("seed_3d.dgn"), 0);
    int16_t status = -1, level = 4;
    SymbologyRecord sym = {0, 0, 0, 0, 6};
    const int32_t v[6] = {1000, 2000, 3000, 4000, 5000, 6000};
    EXPECT_EQ(lndfpi_ex(nullptr, &level, &sym, v, &status, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr),
              0);
    ASSERT_EQ(close(), 0);
    const std::vector<uint8_t> after = read_bytes(path("seed_3d.dgn"));
    ASSERT_EQ(after.size(), before.size() + 60 + 2);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
    EXPECT_EQ(after[after.size() - 2], 0xFF);
    EXPECT_EQ(after[after.size() - 1], 0xFF);
    if (!have_ogr()) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    const std::vector<OgrFeature> fs = ogr_features(path("seed_3d.dgn"));
    const OgrFeature *line = ogr_find(fs, 3);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->field("Level"), 4);
    EXPECT_EQ(line->field("ColorIndex"), 6);
    // seed_3d: 1000 UORs per master unit, global origin 0.
    const std::vector<double> want = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(line->coords(), want);
}
