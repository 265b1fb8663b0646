// Helpers of placement requests: symbology record, attribute linkage block
// and the suspension of the active line style, on a TCB in test memory.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "connection/tcb.h"
#include "dgnrequests/request_exchange.h"
#include "resources/tcb_vartable.h"

namespace {

class ExchangeHelpers : public ::testing::Test {
protected:
    std::vector<unsigned char> block = std::vector<unsigned char>(TCB_BYTES, 0);
    void SetUp() override { tcb = block.data(); }
    void TearDown() override { tcb = nullptr; }
};

TEST_F(ExchangeHelpers, SetstatStoresWhenGiven) {
    int16_t word = 0;
    EXPECT_EQ(925, setstat(&word, 925));
    EXPECT_EQ(925, word);
    EXPECT_EQ(-1303, setstat(nullptr, -1303));
    EXPECT_EQ(51193, setstat(&word, 51193));
    EXPECT_EQ((int16_t)51193, word);  // truncated to 16 bits
}

TEST_F(ExchangeHelpers, SymbologyFromTheTcbWhenNoRecordIsGiven) {
    req_put32(&block[TCB_OFF_ACTIVE_SYMB], 0xAB2D);
    req_put16(&block[TCB_OFF_ACTIVE_CLASS], 0x00F2);
    unsigned char target[12];
    memset(target, 0xEE, sizeof target);
    set_specs(target, nullptr);
    EXPECT_EQ(2, req_get16(target));       // class: low 4 bits
    EXPECT_EQ(0, req_get16(target + 2));   // reserved
    EXPECT_EQ(5, req_get16(target + 4));   // style
    EXPECT_EQ(5, req_get16(target + 6));   // weight
    EXPECT_EQ(0xAB, req_get16(target + 8));  // color
    EXPECT_EQ(0xEE, target[10]);           // 10 bytes only

    SymbologyRecord r = {3, 0, 1, 7, 200};
    set_specs(target, &r);
    EXPECT_EQ(3, req_get16(target));
    EXPECT_EQ(1, req_get16(target + 4));
    EXPECT_EQ(7, req_get16(target + 6));
    EXPECT_EQ(200, req_get16(target + 8));
}

struct LinkageCase {
    const char *what;
    std::vector<int16_t> list;
    int countWord;
    int result;
};

TEST_F(ExchangeHelpers, AttributeLinkageBlock) {
    const LinkageCase cases[] = {
        {"no linkages", {0, 0}, 0, 0},
        {"one database linkage, any marker", {1, 5, 0x0042, 1, 2, 3}, 4, 8},
        {"two linkages, marker not negative", {2, 0, 0x0042, 1, 2, 3, 0x0042, 4, 5, 6}, 0, 0},
        {"two linkages, negative marker", {2, -1, 0x0042, 1, 2, 3, 0x0042, 4, 5, 6}, 8, 16},
        {"user linkage of 8 words", {1, 0, 0x1007, 1, 2, 3, 4, 5, 6, 7}, 8, 16},
        {"user linkage of a bad length", {1, 0, 0x1005, 1, 2, 3, 4, 5}, 0, 0},
        {"bad user linkage after a good one",
         {2, -1, 0x0042, 1, 2, 3, 0x1005, 1, 2, 3, 4, 5}, 0, 0},
    };
    for (const LinkageCase &c : cases) {
        unsigned char target[64];
        memset(target, 0xEE, sizeof target);
        EXPECT_EQ(c.result, put_attributes_into_crc(target, c.list.data())) << c.what;
        EXPECT_EQ(c.countWord, req_get16(target)) << c.what;
        for (int i = 0; i < c.countWord; i++)
            EXPECT_EQ((uint16_t)c.list[2 + i], req_get16(target + 2 + 2 * i)) << c.what;
    }
    unsigned char target[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, put_attributes_into_crc(target, nullptr));
    EXPECT_EQ(0, req_get16(target));
}

TEST_F(ExchangeHelpers, LineStyleSuspendedOnlyWithAnExplicitRecord) {
    req_put32(&block[TCB_OFF_ACTIVE_UDLS], 77);
    mcsl_clearActiveUDLS(nullptr);
    EXPECT_EQ(77u, req_get32(&block[TCB_OFF_ACTIVE_UDLS]));
    mcsl_restoreActiveUDLS();
    EXPECT_EQ(77u, req_get32(&block[TCB_OFF_ACTIVE_UDLS]));

    SymbologyRecord r = {0, 0, 0, 0, 0};
    mcsl_clearActiveUDLS(&r);
    EXPECT_EQ(0u, req_get32(&block[TCB_OFF_ACTIVE_UDLS]));
    mcsl_restoreActiveUDLS();
    EXPECT_EQ(77u, req_get32(&block[TCB_OFF_ACTIVE_UDLS]));
    req_put32(&block[TCB_OFF_ACTIVE_UDLS], 5);
    mcsl_restoreActiveUDLS();  // nothing saved any more
    EXPECT_EQ(5u, req_get32(&block[TCB_OFF_ACTIVE_UDLS]));
}

}  // namespace
