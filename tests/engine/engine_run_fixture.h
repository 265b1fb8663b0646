// engine_run_fixture.h - a whole nodeweld run on a small design file built
// element by element: the sheet and its sorted point file are written to a
// private folder, nodeweld runs there against the real design-file server,
// and the file it leaves is read back with the DGN library.
#ifndef NW_TESTS_ENGINE_RUN_FIXTURE_H
#define NW_TESTS_ENGINE_RUN_FIXTURE_H

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_tcb.h"
#include "tests/support/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

inline DgnPoint P(int32_t x, int32_t y, int32_t z = 0)
{
    DgnPoint p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
}

struct PointRecord {
    int32_t x, y, z, offset;
    int role, weight;
};

// Units of every sheet here: 1000 sub-units per master unit, 10 UORs per
// sub-unit, so -T 0.001 is a tolerance of 10 UORs.
class EngineRun : public ::testing::Test {
protected:
    std::string dir;
    bool is3d = false;
    std::vector<uint8_t> bytes;
    std::vector<PointRecord> records;
    std::string err;
    ProgramResult result;
    DgnFile after;
    bool withMsExe = true;  // name the server's folder in MS_EXE

    void SetUp() override
    {
        char tmpl[] = "/tmp/nw_engine_runXXXXXX";
        dir = mkdtemp(tmpl);
        start_sheet(false);
    }
    void TearDown() override
    {
        if (std::getenv("NW_KEEP_TEST_DIRS"))
            std::printf("kept %s\n", dir.c_str());
        else
            std::system(("rm -rf '" + dir + "'").c_str());
    }

    void start_sheet(bool threeD, int32_t subPerMaster = 1000, int32_t uorPerSub = 10)
    {
        is3d = threeD;
        bytes.clear();
        records.clear();
        DgnNewFileSettings s;
        s.is3d = threeD;
        s.sub_per_master = subPerMaster;
        s.uor_per_sub = uorPerSub;
        ASSERT_TRUE(dgn_make_file_header(s, &bytes, &err)) << err;
    }

    uint32_t add(DgnElement e)
    {
        std::vector<uint8_t> b;
        uint32_t pos = (uint32_t)bytes.size();
        EXPECT_TRUE(dgn_finish_element(&e, &b, &err)) << err;
        bytes.insert(bytes.end(), b.begin(), b.end());
        return pos;
    }

    uint32_t add_complex(DgnElement hdr, std::vector<DgnElement> comps)
    {
        std::vector<uint8_t> b;
        uint32_t pos = (uint32_t)bytes.size();
        EXPECT_TRUE(dgn_finish_complex(&hdr, &comps, &b, &err)) << err;
        bytes.insert(bytes.end(), b.begin(), b.end());
        return pos;
    }

    DgnElement vertex_element(int type, int level, std::vector<DgnPoint> pts, int color = 1, int weight = 1,
                              int style = 0)
    {
        DgnElement e = dgn_new_vertex_element(type, level, is3d, pts);
        e.color = color;
        e.weight = weight;
        e.style = style;
        return e;
    }

    // A linear element with records for its first and last location.
    uint32_t linear(int type, int level, std::vector<DgnPoint> pts, int color = 1, int weight = 1, int style = 0)
    {
        uint32_t pos = add(vertex_element(type, level, pts, color, weight, style));
        size_t a = type == 11 ? 2 : 0, b = type == 11 ? pts.size() - 3 : pts.size() - 1;
        ends(pos, pts[a], pts[b]);
        return pos;
    }

    void ends(uint32_t pos, DgnPoint a, DgnPoint b)
    {
        records.push_back({a.x, a.y, a.z, (int32_t)pos, 1, 0});
        records.push_back({b.x, b.y, b.z, (int32_t)pos, 2, 0});
    }

    void feature(uint32_t pos, DgnPoint p) { records.push_back({p.x, p.y, p.z, (int32_t)pos, 0, 0}); }

    std::string path(const std::string &name) const { return dir + "/" + name; }

    // Writes the sheet and the sorted point file and runs nodeweld there.
    void run(std::vector<std::string> args, bool sortRecords = true)
    {
        std::vector<uint8_t> b = bytes;
        dgn_finish_file(&b);
        std::ofstream(path("sheet.dgn"), std::ios::binary).write((const char *)b.data(), (std::streamsize)b.size());
        std::vector<PointRecord> r = records;
        if (sortRecords)
            std::stable_sort(r.begin(), r.end(), [](const PointRecord &p, const PointRecord &q) {
                return std::make_tuple(p.y, p.x, p.z, std::abs((long)p.offset)) <
                       std::make_tuple(q.y, q.x, q.z, std::abs((long)q.offset));
            });
        const bool weights = std::find(args.begin(), args.end(), "-w") != args.end();
        std::ofstream pf(path("sort_pts.12345"));
        for (const PointRecord &p : r) {
            if (is3d)
                pf << p.y << " " << p.x << " " << p.z << " " << p.offset << " " << p.role;
            else
                pf << p.y << " " << p.x << " " << p.offset << " " << p.role;
            if (weights)
                pf << " " << p.weight;
            pf << "\n";
        }
        pf.close();
        std::vector<std::string> argv = {nw_bin("nodeweld"), "-F", "sheet.dgn"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"VKR_segpid=12345", std::string("VKR_segdim=") + (is3d ? "3" : "2"),
                                        "VKR_maxverts=" + std::to_string(r.size()),
                                        withMsExe ? "MS_EXE=" + nw_bin("") : std::string("MS_EXE")};
        result = run_program(argv, env, dir, 120);
        after = DgnFile();
        ASSERT_TRUE(dgn_load_file(path("sheet.dgn").c_str(), &after, &err)) << err;
    }

    // The graphic elements of the file after the run, decoded, with positions.
    struct Found {
        uint32_t pos;
        DgnElement e;
    };
    std::vector<Found> elements(bool withDeleted = false) const
    {
        std::vector<Found> out;
        for (size_t i = 0; i < after.elements.size(); i++) {
            const DgnElementRef &r = after.elements[i];
            if (r.type == 9 || r.type == 8 || r.type == 10 || (r.deleted && !withDeleted))
                continue;
            uint32_t n = 0;
            const uint8_t *p = dgn_element_bytes(&after, (int)i, &n);
            DgnElement e;
            std::string why;
            if (dgn_decode_element(p, n, after.is3d, &e, &why))
                out.push_back({r.offset, e});
        }
        return out;
    }
    std::vector<Found> of_type(int type) const
    {
        std::vector<Found> all = elements(), out;
        for (const Found &f : all)
            if (f.e.type == type)
                out.push_back(f);
        return out;
    }
    bool deleted_at(uint32_t pos) const
    {
        int i = dgn_find_element(&after, pos);
        return i >= 0 && after.elements[i].deleted;
    }
    DgnElement at(uint32_t pos) const
    {
        int i = dgn_find_element(&after, pos);
        DgnElement e;
        uint32_t n = 0;
        const uint8_t *p = i >= 0 ? dgn_element_bytes(&after, i, &n) : nullptr;
        std::string why;
        if (p)
            dgn_decode_element(p, n, after.is3d, &e, &why);
        return e;
    }
    bool contains(const std::string &text) const { return result.out.find(text) != std::string::npos; }
};

inline bool same_xy(const DgnPoint &a, const DgnPoint &b) { return a.x == b.x && a.y == b.y; }

#endif
