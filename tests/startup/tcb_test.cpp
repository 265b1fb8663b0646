// TCB variable table, radix-50 names and TCB reads and writes on a TCB held
// in the test's own memory.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "connection/tcb.h"
#include "resources/rsc_file.h"
#include "resources/tcb_vartable.h"

char taskname[256] = "startup_tests";

namespace {

struct Name50Case {
    const char *text;
    uint16_t w0, w1;
};

TEST(Radix50, EncodesTheVariableNamesMainReads) {
    const Name50Case cases[] = {
        {"GRAFIC", 11921, 9963},
        {"EU.MU ", 8868, 21640},
        {"EU.UOR", 8868, 34218},
    };
    for (const Name50Case &c : cases) {
        uint16_t w[2] = {1, 1};
        int16_t count = 6, status = -1;
        EXPECT_EQ(0, asc2rd(c.text, w, &count, &status)) << c.text;
        EXPECT_EQ(0, status);
        EXPECT_EQ(c.w0, w[0]) << c.text;
        EXPECT_EQ(c.w1, w[1]) << c.text;
    }
}

TEST(Radix50, PartialWordIsPaddedAsWithBlanks) {
    uint16_t a[2], b[2];
    int16_t five = 5, six = 6;
    asc2rd("EU.MU", a, &five, nullptr);
    asc2rd("EU.MU ", b, &six, nullptr);
    EXPECT_EQ(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
}

TEST(Radix50, RefusesCharactersOutsideTheAlphabet) {
    uint16_t w[2];
    int16_t count = 6, status = 0;
    EXPECT_EQ(930, asc2rd("grafic", w, &count, &status));  // no case folding
    EXPECT_EQ(930, status);
    // '?' is taken as '_'.
    uint16_t q[2], u[2];
    asc2rd("A?B   ", q, &count, nullptr);
    asc2rd("A_B   ", u, &count, nullptr);
    EXPECT_EQ(q[0], u[0]);
}

TEST(Radix50, DecodesAndStopsAboveTheLargestWord) {
    uint16_t words[2] = {11921, 9963};
    char text[7] = "";
    int16_t count = 6, status = -1;
    EXPECT_EQ(0, rd2asc(words, text, &count, &status));
    EXPECT_EQ(std::string("GRAFIC"), std::string(text, 6));
    EXPECT_EQ(6, count);

    uint16_t blank[1] = {64000};
    char three[4] = "xxx";
    count = 3;
    EXPECT_EQ(0, rd2asc(blank, three, &count, nullptr));
    EXPECT_EQ(std::string("   "), std::string(three, 3));

    uint16_t bad[2] = {11921, 64001};
    count = 6;
    EXPECT_EQ(930, rd2asc(bad, text, &count, &status));
    EXPECT_EQ(3, count);  // one word done before the bad one
}

// A TCB in test memory with a table built from definitions.
class TcbTable : public ::testing::Test {
protected:
    std::vector<unsigned char> block = std::vector<unsigned char>(TCB_BYTES, 0);

    void SetUp() override { tcb = block.data(); }
    void TearDown() override {
        tcb = nullptr;
        memset(&tcbdef, 0, sizeof tcbdef);
    }
    void load(const tcb_var_def *defs, size_t n) {
        std::vector<unsigned char> data(tcbvars_encode(defs, n, nullptr, 0));
        tcbvars_encode(defs, n, data.data(), data.size());
        ASSERT_EQ(0, tcbdef_load_data(data.data(), (uint32_t)data.size()));
    }
};

TEST_F(TcbTable, ReadsByNameWithinTheCallersCapacity) {
    const tcb_var_def defs[] = {
        {"GRAFIC", 1, 100, TCB_FMT_INT16 | (1 << 4)},
        {"EU.MU", 1, 200, TCB_FMT_INT32 | (1 << 4)},
        {"HIDDEN", 2, 300, TCB_FMT_INT16 | (1 << 4)},
        {"GRAFIC", 1, 400, TCB_FMT_INT16 | (1 << 4)},  // duplicate: the first wins
    };
    load(defs, 4);
    block[100] = 0x34;
    block[101] = 0x12;
    block[400] = 0x99;
    block[200] = 10;

    uint16_t buf[16];
    memset(buf, 0xEE, sizeof buf);
    int16_t words = 16, status = -1;
    EXPECT_EQ(0, rdtcbasc("GRAFIC", &words, buf, &status));
    EXPECT_EQ(0x1234, buf[0]);
    EXPECT_EQ(0xEEEE, buf[1]);  // 2 bytes copied, no more

    memset(buf, 0xEE, sizeof buf);
    words = 0;
    EXPECT_EQ(0, rdtcbasc("GRAFIC", &words, buf, &status));
    EXPECT_EQ(0xEEEE, buf[0]);

    words = 16;
    memset(buf, 0, sizeof buf);
    EXPECT_EQ(0, rdtcbasc("GRAFICXYZ", &words, buf, &status));  // cut to six characters
    EXPECT_EQ(0x1234, buf[0]);

    EXPECT_EQ(0, rdtcbasc("EU.MU", &words, buf, &status));
    EXPECT_EQ(10, buf[0]);

    EXPECT_EQ(929, rdtcbasc("HIDDEN", &words, buf, &status));  // type 2
    EXPECT_EQ(929, rdtcbasc("NOSUCH", &words, buf, &status));
    EXPECT_EQ(929, status);
    EXPECT_EQ(930, rdtcbasc("grafic", &words, buf, &status));
}

TEST_F(TcbTable, WritesByNameAndByOffset) {
    const tcb_var_def defs[] = {{"GRAFIC", 1, 100, TCB_FMT_INT16 | (1 << 4)}};
    load(defs, 1);
    uint16_t v = 0x4321;
    int16_t words = 1, status = -1;
    EXPECT_EQ(0, wttcbasc("GRAFIC", &words, &v, &status));
    EXPECT_EQ(0x21, block[100]);
    EXPECT_EQ(0x43, block[101]);
    EXPECT_EQ(929, wttcbasc("GRAFIC", nullptr, &v, &status));  // word count required

    int16_t off = 8910, one = 1;
    EXPECT_EQ(0, wttcb(&off, &one, &v, &status));
    uint16_t back = 0;
    EXPECT_EQ(0, rdtcb(&off, &one, &back, &status));
    EXPECT_EQ(0x4321, back);
    off = 8911;
    EXPECT_EQ(929, rdtcb(&off, &one, &back, &status));
    EXPECT_EQ(929, wttcb(&off, &one, &v, &status));
    off = -2;
    EXPECT_EQ(929, rdtcb(&off, &one, &back, &status));
}

TEST_F(TcbTable, NoMappedTcbIsAMappingError) {
    tcb = nullptr;
    int16_t off = 0, one = 1, status = 0;
    uint16_t v = 0;
    EXPECT_EQ(929, rdtcb(&off, &one, &v, &status));
}

TEST(TcbTableData, RefusesACountLargerThanTheData) {
    const tcb_var_def defs[] = {{"GRAFIC", 1, 100, TCB_FMT_INT16 | (1 << 4)}};
    std::vector<unsigned char> data(tcbvars_encode(defs, 1, nullptr, 0));
    tcbvars_encode(defs, 1, data.data(), data.size());
    data[2] = 2;  // claims two records, holds one
    EXPECT_EQ(TCB_STATUS_TABLE, tcbdef_load_data(data.data(), (uint32_t)data.size()));
    data[2] = 0xFF;
    data[3] = 0xFF;  // negative
    EXPECT_EQ(TCB_STATUS_TABLE, tcbdef_load_data(data.data(), (uint32_t)data.size()));
    EXPECT_EQ(TCB_STATUS_TABLE, tcbdef_load_data(data.data(), 3));
}

TEST(TcbTableData, SizeComesFromFormatCodeAndCount) {
    const tcb_var_def defs[] = {
        {"VIEW", 1, 0, 6 | (2 << 4)},   // 2 x 118 bytes
        {"NAMES", 1, 0, 1 | (4 << 4)},  // 4 x 1 byte
    };
    std::vector<unsigned char> data(tcbvars_encode(defs, 2, nullptr, 0));
    tcbvars_encode(defs, 2, data.data(), data.size());
    ASSERT_EQ(0, tcbdef_load_data(data.data(), (uint32_t)data.size()));
    EXPECT_EQ(236, tcbdef.entries[0].size);
    EXPECT_EQ(4, tcbdef.entries[1].size);
}

// The resource file built for the server holds the variables main reads, at
// the offsets the server fills.
TEST(ShippedResourceFile, HoldsTheVariableTable) {
    std::string path = std::string(NW_BIN_DIR) + "/ustation.rsc";
    rsc_file *rf = nullptr;
    ASSERT_EQ(RSC_OK, rsc_open(&rf, path.c_str())) << path;
    uint32_t size = 0;
    ASSERT_EQ(RSC_OK, rsc_locate(rf, 0x55636D56u, 1, &size));
    std::vector<unsigned char> data(size);
    size_t got = 0;
    ASSERT_EQ(RSC_OK, rsc_read(rf, 0x55636D56u, 1, data.data(), data.size(), &got));
    rsc_close(rf);
    ASSERT_EQ(0, tcbdef_load_data(data.data(), (uint32_t)got));
    const struct {
        const char *name;
        int offset, size;
    } expected[] = {{"GRAFIC", TCB_OFF_GRAFIC, 2}, {"EU.MU ", TCB_OFF_EU_MU, 4},
                    {"EU.UOR", TCB_OFF_EU_UOR, 4}};
    for (const auto &e : expected) {
        uint16_t w[2];
        int16_t six = 6;
        asc2rd(e.name, w, &six, nullptr);
        int16_t off = 0, type = 0, sz = 0;
        ASSERT_EQ(0, get_tcb_offset(&off, &type, &sz, w)) << e.name;
        EXPECT_EQ(e.offset, off);
        EXPECT_EQ(1, type);
        EXPECT_EQ(e.size, sz);
    }
}

}  // namespace
