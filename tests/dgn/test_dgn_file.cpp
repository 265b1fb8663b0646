// Loading, validation, indexing, editing and safe saving of design files.
#include <gtest/gtest.h>

#include <cstring>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgnrequests/element_layout.h"
#include "tests/dgn/dgn_test_util.h"

namespace {

struct SampleFacts {
    const char *name;
    bool is3d;
    size_t elements;
    bool marker;
    int32_t mu, uor;
    const char *master;
};

TEST(DgnLoad, EverySampleAndSeed) {
    const SampleFacts facts[] = {
        {"smalltest.dgn", false, 15, true, 10, 1000, "mu"},
        {"tag.dgn", false, 1097, true, 10, 100, "FT"},
        {"x3d.dgn", true, 50, true, 1000, 100, "m"},
        {"e4-3d.dgn", true, 45, true, 1000, 80, "M"},
        {"out3d-dgnlib.dgn", true, 16, true, 1000, 80, "M"},
        {"knot_oob.dgn", false, 2, true, 0, 0, ""},
        {"seed_2d.dgn", false, 12, true, 10, 12, "ft"},
        {"seed_3d.dgn", true, 3, false, 1000, 1, "m"},
    };
    for (const SampleFacts &s : facts) {
        SCOPED_TRACE(s.name);
        DgnFile f;
        std::string err;
        ASSERT_TRUE(dgn_load_file(dgn_sample(s.name).c_str(), &f, &err)) << err;
        EXPECT_EQ(f.is3d, s.is3d);
        EXPECT_EQ(f.elements.size(), s.elements);
        EXPECT_EQ(f.has_end_marker, s.marker);
        EXPECT_EQ(f.eu_mu, s.mu);
        EXPECT_EQ(f.eu_uor, s.uor);
        EXPECT_STREQ(f.master_name, s.master);
        // The index is ordered, contiguous and inside the data.
        uint32_t next = 0;
        for (size_t i = 0; i < f.elements.size(); ++i) {
            EXPECT_EQ(f.elements[i].offset, next);
            next += f.elements[i].size;
            EXPECT_EQ(dgn_find_element(&f, f.elements[i].offset), static_cast<int>(i));
        }
        EXPECT_EQ(next, f.end_offset);
        EXPECT_LE(f.end_offset, f.data.size());
        EXPECT_EQ(dgn_find_element(&f, 1), -1);
    }
}

TEST(DgnLoad, HeaderValuesOfSmalltestAndTag) {
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(dgn_sample("smalltest.dgn").c_str(), &f, &err)) << err;
    EXPECT_EQ(f.end_offset, 10424u);  // marker, then junk up to 10752 that is never parsed
    EXPECT_EQ(f.data.size(), 10752u);
    EXPECT_EQ(f.max_graphic_group, 1);
    ASSERT_TRUE(dgn_load_file(dgn_sample("tag.dgn").c_str(), &f, &err)) << err;
    EXPECT_DOUBLE_EQ(f.global_origin[0], -2147483647.0);
    EXPECT_DOUBLE_EQ(f.global_origin[1], -2147483647.0);
    size_t deleted = 0;
    for (const DgnElementRef &r : f.elements) deleted += r.deleted;
    EXPECT_EQ(deleted, 197u);
}

TEST(DgnLoad, RefusesV8NonDesignAndMissingFiles) {
    struct Case {
        std::string path;
        const char *words;
    } cases[] = {
        {dgn_sample("v8-reject.dgn"), "V8"},
        {dgn_sample("does-not-exist.dgn"), "No such file"},
        {std::string(NW_SOURCE_DIR) + "/tests/dgn", "not a regular file"},
        {std::string(NW_SOURCE_DIR) + "/tests/dgn/test_dgn_file.cpp", "not a DGN V7 design file"},
    };
    for (const Case &c : cases) {
        DgnFile f;
        std::string err;
        EXPECT_FALSE(dgn_load_file(c.path.c_str(), &f, &err)) << c.path;
        EXPECT_NE(err.find(c.words), std::string::npos) << err;
        EXPECT_NE(err.find(c.path), std::string::npos) << err;
        EXPECT_TRUE(f.elements.empty());
    }
    // A cell library is not a design file.
    std::vector<uint8_t> lib(2048, 0);
    lib[0] = 0x08; lib[1] = 0x05; lib[2] = 0x17;
    DgnFile f;
    std::string err;
    EXPECT_FALSE(dgn_load_buffer(lib.data(), lib.size(), &f, &err));
    EXPECT_NE(err.find("cell library"), std::string::npos) << err;
}

// Every cut of a sample either ends exactly at an element boundary (and then loads with every
// element inside the data) or is refused with a message; nothing is read past the cut.
TEST(DgnLoad, TruncatedFilesAreRefusedOrExact) {
    for (const char *name : {"smalltest.dgn", "tag.dgn", "x3d.dgn", "e4-3d.dgn", "out3d-dgnlib.dgn"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> all = read_bytes(dgn_sample(name));
        DgnFile whole;
        std::string err;
        ASSERT_TRUE(dgn_load_buffer(all.data(), all.size(), &whole, &err)) << err;
        const size_t step = all.size() > 20000 ? 97 : 7;
        for (size_t cut = 0; cut < whole.end_offset; cut += step) {
            // Exact copy of the prefix on the heap so the sanitizer sees any overread.
            std::vector<uint8_t> part(all.begin(), all.begin() + cut);
            DgnFile f;
            const bool ok = dgn_load_buffer(part.data(), part.size(), &f, &err);
            bool boundary = false;
            for (const DgnElementRef &r : whole.elements) boundary |= r.offset + r.size == cut;
            EXPECT_EQ(ok, boundary) << "cut " << cut << ": " << err;
            if (!ok) {
                EXPECT_FALSE(err.empty());
            } else {
                EXPECT_FALSE(f.has_end_marker);
                EXPECT_EQ(f.end_offset, cut);
            }
        }
    }
}

TEST(DgnLoad, CorruptWordsToFollowAndAttributeIndex) {
    const std::vector<uint8_t> all = read_bytes(dgn_sample("smalltest.dgn"));
    DgnFile base;
    std::string err;
    ASSERT_TRUE(dgn_load_buffer(all.data(), all.size(), &base, &err)) << err;
    const uint16_t values[] = {0, 1, 17, 0x7FFF, 0xFFFF};
    for (const DgnElementRef &r : base.elements) {
        for (uint16_t v : values) {
            std::vector<uint8_t> bad = all;
            elm_store16(bad.data() + r.offset + 2, v);
            DgnFile f;
            if (dgn_load_buffer(bad.data(), bad.size(), &f, &err)) {
                // Whatever was accepted lies inside the data.
                for (const DgnElementRef &e : f.elements) EXPECT_LE(e.offset + e.size, f.data.size());
            } else {
                EXPECT_NE(err.find("position"), std::string::npos) << err;
            }
        }
    }
    // The words to follow of the line (last element) pointing past the end: refused with its position.
    std::vector<uint8_t> bad = all;
    elm_store16(bad.data() + 10372 + 2, 0xFFFF);
    DgnFile f;
    EXPECT_FALSE(dgn_load_buffer(bad.data(), bad.size(), &f, &err));
    EXPECT_NE(err.find("10372"), std::string::npos) << err;
    // Attribute bit on and an attribute index beyond the element: refused.
    bad = all;
    elm_store16(bad.data() + 10372 + 30, 0x4000);
    bad[10372 + 33] |= 0x08;
    EXPECT_FALSE(dgn_load_buffer(bad.data(), bad.size(), &f, &err));
    EXPECT_NE(err.find("attribute index"), std::string::npos) << err;
    // A vertex count larger than the shape element: refused.
    bad = all;
    elm_store16(bad.data() + 10278 + 36, 500);
    EXPECT_FALSE(dgn_load_buffer(bad.data(), bad.size(), &f, &err));
    EXPECT_NE(err.find("10278"), std::string::npos) << err;
}

TEST(DgnLoad, KnotOobLoadsWithoutTrustingItsAttributeIndex) {
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(dgn_sample("knot_oob.dgn").c_str(), &f, &err)) << err;
    ASSERT_EQ(f.elements.size(), 2u);
    EXPECT_EQ(f.elements[1].type, 26);
    uint32_t n = 0;
    const uint8_t *p = dgn_element_bytes(&f, 1, &n);
    DgnElement e;
    ASSERT_TRUE(dgn_decode_element(p, n, f.is3d, &e, &err)) << err;
    EXPECT_TRUE(e.linkages.empty());
}

TEST(DgnLoad, ComponentsOfComplexElements) {
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(dgn_sample("out3d-dgnlib.dgn").c_str(), &f, &err)) << err;
    EXPECT_EQ(dgn_component_count(&f, 10), 2);  // complex shape
    EXPECT_EQ(dgn_component_count(&f, 13), 2);  // cell
    EXPECT_EQ(dgn_component_count(&f, 3), 0);   // line
    EXPECT_EQ(dgn_component_count(&f, 99), 0);
    // Text nodes of tag.dgn: as many components as the node says it has strings.
    ASSERT_TRUE(dgn_load_file(dgn_sample("tag.dgn").c_str(), &f, &err)) << err;
    size_t nodes = 0;
    for (size_t i = 0; i < f.elements.size(); ++i) {
        if (f.elements[i].type != 7 || f.elements[i].deleted || f.elements[i].complex) continue;
        ++nodes;
        const int strings = elm_load16(f.data.data() + f.elements[i].offset + 38);
        EXPECT_EQ(dgn_component_count(&f, static_cast<int>(i)), strings) << "element " << i;
    }
    EXPECT_GT(nodes, 100u);
}

class DgnSave : public ::testing::Test {
protected:
    void SetUp() override { dir = make_temp_dir(); ASSERT_FALSE(dir.empty()); }
    void TearDown() override { remove_tree(dir); }
    std::string dir;
};

TEST_F(DgnSave, EditSaveReloadKeepsEverythingElse) {
    const std::string path = dir + "/small.dgn";
    const std::vector<uint8_t> orig = read_bytes(dgn_sample("smalltest.dgn"));
    ASSERT_TRUE(write_bytes(path, orig));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(path.c_str(), &f, &err)) << err;
    // Unchanged save gives the same bytes, junk after the marker included.
    ASSERT_TRUE(dgn_save_file(&f, path.c_str(), &err)) << err;
    EXPECT_EQ(read_bytes(path), orig);

    // Delete the line, append a new one.
    const int line = dgn_find_element(&f, 10372);
    ASSERT_GE(line, 0);
    ASSERT_TRUE(dgn_set_deleted(&f, line, true));
    DgnElement e = dgn_new_vertex_element(3, 7, false, {DgnPoint{100, 200, 0}, DgnPoint{300, -400, 0}});
    e.color = 3;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(dgn_finish_element(&e, &bytes, &err)) << err;
    uint32_t pos = 0;
    ASSERT_TRUE(dgn_append_element(&f, bytes.data(), bytes.size(), &pos, &err)) << err;
    EXPECT_EQ(pos, 10424u);
    ASSERT_TRUE(dgn_save_file(&f, path.c_str(), &err)) << err;

    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    DgnFile g;
    ASSERT_TRUE(dgn_load_file(path.c_str(), &g, &err)) << err;
    ASSERT_EQ(g.elements.size(), 16u);
    EXPECT_TRUE(g.elements[line].deleted);
    EXPECT_EQ(g.elements[15].offset, 10424u);
    EXPECT_EQ(g.elements[15].level, 7);
    EXPECT_EQ(g.end_offset, 10424u + 52u);
    EXPECT_TRUE(g.has_end_marker);
    // Bytes before the line are untouched.
    EXPECT_TRUE(std::equal(orig.begin(), orig.begin() + 10372, g.data.begin()));
    // No temporary file is left behind.
    const std::string ls = "ls -A '" + dir + "' | wc -l";
    FILE *p = popen(ls.c_str(), "r");
    int count = 0;
    ASSERT_EQ(fscanf(p, "%d", &count), 1);
    pclose(p);
    EXPECT_EQ(count, 1);
}

TEST_F(DgnSave, SymbolicLinkIsFollowedNotReplaced) {
    const std::string real = dir + "/real.dgn", link = dir + "/link.dgn";
    ASSERT_TRUE(write_bytes(real, read_bytes(dgn_sample("seed_3d.dgn"))));
    ASSERT_EQ(symlink("real.dgn", link.c_str()), 0);
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(link.c_str(), &f, &err)) << err;
    DgnElement e = dgn_new_vertex_element(4, 2, true, {DgnPoint{1, 2, 3}, DgnPoint{4, 5, 6}, DgnPoint{7, 8, 9}});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(dgn_finish_element(&e, &bytes, &err)) << err;
    ASSERT_TRUE(dgn_append_element(&f, bytes.data(), bytes.size(), nullptr, &err)) << err;
    ASSERT_TRUE(dgn_save_file(&f, link.c_str(), &err)) << err;
    struct stat lst;
    ASSERT_EQ(lstat(link.c_str(), &lst), 0);
    EXPECT_TRUE(S_ISLNK(lst.st_mode));
    DgnFile g;
    ASSERT_TRUE(dgn_load_file(real.c_str(), &g, &err)) << err;
    ASSERT_EQ(g.elements.size(), 4u);  // seed had no end marker: one is added after the new element
    EXPECT_TRUE(g.has_end_marker);
    EXPECT_EQ(g.elements[3].type, 4);
}

TEST_F(DgnSave, RefusesToReplaceWhatIsNotAFile) {
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(dgn_sample("seed_2d.dgn").c_str(), &f, &err)) << err;
    const std::string sub = dir + "/folder.dgn";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    EXPECT_FALSE(dgn_save_file(&f, sub.c_str(), &err));
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    // A link to a missing file is not turned into a file either.
    const std::string dangling = dir + "/dangling.dgn";
    ASSERT_EQ(symlink("nowhere/none.dgn", dangling.c_str()), 0);
    EXPECT_FALSE(dgn_save_file(&f, dangling.c_str(), &err));
    struct stat st;
    EXPECT_EQ(lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // A new file in an existing folder is fine.
    ASSERT_TRUE(dgn_save_file(&f, (dir + "/new.dgn").c_str(), &err)) << err;
    EXPECT_EQ(read_bytes(dir + "/new.dgn"), f.data);
}

// A write that fails half-way (file size limit) leaves the old file and no temporary file.
TEST_F(DgnSave, FailedWriteLeavesTheTargetUntouched) {
    const std::string path = dir + "/a.dgn";
    const std::vector<uint8_t> orig = read_bytes(dgn_sample("seed_3d.dgn"));
    ASSERT_TRUE(write_bytes(path, orig));
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(dgn_sample("tag.dgn").c_str(), &f, &err)) << err;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {8192, 8192};
        setrlimit(RLIMIT_FSIZE, &lim);
        std::string e;
        const bool ok = dgn_save_file(&f, path.c_str(), &e);
        _exit(!ok && e.find("cannot write") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_bytes(path), orig);
    const std::string ls = "ls -A '" + dir + "' | wc -l";
    FILE *p = popen(ls.c_str(), "r");
    int count = 0;
    ASSERT_EQ(fscanf(p, "%d", &count), 1);
    pclose(p);
    EXPECT_EQ(count, 1);
}

TEST_F(DgnSave, FailureLeavesTheTargetUntouched) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    const std::string sub = dir + "/ro";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::string path = sub + "/a.dgn";
    const std::vector<uint8_t> orig = read_bytes(dgn_sample("seed_2d.dgn"));
    ASSERT_TRUE(write_bytes(path, orig));
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(path.c_str(), &f, &err)) << err;
    f.data[1200] ^= 0xFF;
    ASSERT_EQ(chmod(sub.c_str(), 0555), 0);
    EXPECT_FALSE(dgn_save_file(&f, path.c_str(), &err));
    EXPECT_NE(err.find("temporary"), std::string::npos) << err;
    chmod(sub.c_str(), 0755);
    EXPECT_EQ(read_bytes(path), orig);
}

TEST(DgnEdit, OverwriteAndAppendAreChecked) {
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file(dgn_sample("smalltest.dgn").c_str(), &f, &err)) << err;
    const int line = dgn_find_element(&f, 10372);
    uint32_t n = 0;
    std::vector<uint8_t> b(dgn_element_bytes(&f, line, &n), dgn_element_bytes(&f, line, &n) + 52);
    b[0] = (b[0] & ~0x3F) | 9;  // level 9
    ASSERT_TRUE(dgn_overwrite_element(&f, line, b.data(), b.size(), &err)) << err;
    EXPECT_EQ(f.elements[line].level, 9);
    // Wrong size, or words to follow that disagree with the size: refused, nothing changed.
    EXPECT_FALSE(dgn_overwrite_element(&f, line, b.data(), 50, &err));
    std::vector<uint8_t> longer = b;
    longer.resize(54, 0);
    EXPECT_FALSE(dgn_append_element(&f, longer.data(), longer.size(), nullptr, &err));
    EXPECT_EQ(f.elements.size(), 15u);
    // The header element stays a header.
    std::vector<uint8_t> tcb(f.data.begin(), f.data.begin() + 1536);
    tcb[1] = 0x03;
    EXPECT_FALSE(dgn_overwrite_element(&f, 0, tcb.data(), tcb.size(), &err));
    EXPECT_FALSE(dgn_set_deleted(&f, 0, true));
    // Changing the units in the header is seen after the overwrite.
    tcb[1] = 0x09;
    elm_store_i32m(tcb.data() + 1112, 25);
    ASSERT_TRUE(dgn_overwrite_element(&f, 0, tcb.data(), tcb.size(), &err)) << err;
    EXPECT_EQ(f.eu_mu, 25);
}

}  // namespace
