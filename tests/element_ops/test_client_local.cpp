// The client's own checks, made before anything is sent: with no server
// connected every request that does reach the exchange fails with 925, so a
// local status shows that nothing was sent.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "connection/startup.h"
#include "connection/tcb.h"
#include "dgnrequests/element_ops.h"
#include "resources/tcb_vartable.h"

char taskname[256] = "nodeweld";

namespace {

class ClientLocal : public ::testing::Test {
protected:
    std::vector<unsigned char> fakeTcb = std::vector<unsigned char>(TCB_SIZE, 0);
    void SetUp() override { ASSERT_EQ(mcslIPCPathP, nullptr); }
    void TearDown() override { tcb = nullptr; }
    void dimension(int d) {
        fakeTcb[TCB_OFF_DIMENSION] = (unsigned char)d;
        tcb = fakeTcb.data();
    }
};

}  // namespace

TEST_F(ClientLocal, GraphicGroupFunctionThreeWithGroupZero) {
    for (int round = 0; round < 3; ++round) {
        int16_t status = 0;
        const uint32_t pair = 3;
        ggdfpi(&pair, &status);
        EXPECT_EQ(status, 902);
    }
    int16_t status = 0;
    const uint32_t other = (5u << 16) | 3;
    ggdfpi(&other, &status);
    EXPECT_EQ(status, 925);
}

TEST_F(ClientLocal, VertexCounts) {
    dimension(2);
    const int32_t v[8] = {0, 0, 1, 1, 2, 2, 3, 3};
    struct Case {
        bool curve;
        int16_t count;
        int status;
    } cases[] = {
        {false, 1, 904}, {false, 0, 904}, {false, -3, 904}, {false, 2, 925},
        {true, 2, 904},  {true, 3, 925},
    };
    for (const Case &c : cases) {
        int16_t status = 0;
        const int r = c.curve ? cudfpi_ex(nullptr, nullptr, nullptr, v, &c.count, &status, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
                              : lsdfpi_ex(nullptr, nullptr, nullptr, v, &c.count, &status, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(r, c.status) << (c.curve ? "curve " : "line string ") << c.count;
        EXPECT_EQ(status, c.status);
    }
    int16_t status = 0;
    EXPECT_EQ(lsdfpi_ex(nullptr, nullptr, nullptr, v, nullptr, &status, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr),
              904);
    // More vertices than one queue message can carry: refused here rather
    // than sent in part.
    dimension(3);
    std::vector<int32_t> many(3 * 3000, 0);
    const int16_t lots = 3000;
    EXPECT_EQ(lsdfpi_ex(nullptr, nullptr, nullptr, many.data(), &lots, &status, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, nullptr),
              905);
}

TEST_F(ClientLocal, EllipseOfTheWrongDimension) {
    const double axes[2] = {1, 1}, centre[3] = {0, 0, 0};
    int16_t status = 0;
    dimension(3);
    eldfpi(nullptr, nullptr, nullptr, axes, centre, nullptr, &status, nullptr);
    EXPECT_EQ(status, 917);
    eldfp3(nullptr, nullptr, nullptr, axes, centre, &status, nullptr, nullptr);
    EXPECT_EQ(status, 925);
    dimension(2);
    eldfp3(nullptr, nullptr, nullptr, axes, centre, &status, nullptr, nullptr);
    EXPECT_EQ(status, 918);
    eldfpi(nullptr, nullptr, nullptr, axes, centre, nullptr, &status, nullptr);
    EXPECT_EQ(status, 925);
    dimension(7);  // anything but 3 is two-dimensional
    eldfp3(nullptr, nullptr, nullptr, axes, centre, &status, nullptr, nullptr);
    EXPECT_EQ(status, 918);
}

TEST_F(ClientLocal, WriteLengthsThatCannotBeSent) {
    const uint16_t block = 4, byte = 0;
    std::vector<unsigned char> data(2000, 0);
    int16_t status = 0;
    const int16_t tooLong = 1563, longest = 1562, negative = -2;
    EXPECT_EQ(wtdfpi(&block, &byte, &tooLong, data.data(), &status), 1013);
    EXPECT_EQ(wtdfpi(&block, &byte, &negative, data.data(), &status), 1013);
    EXPECT_EQ(wtdfpi(&block, &byte, &longest, data.data(), &status), 925);
    EXPECT_EQ(status, 925);
}

TEST_F(ClientLocal, LineStyleIsPutBackAfterAFailedPlacement) {
    dimension(2);
    const uint32_t udls = 0x01020304;
    memcpy(&fakeTcb[TCB_OFF_ACTIVE_UDLS], &udls, 4);
    const SymbologyRecord sym = {0, 0, 1, 1, 1};
    const int32_t v[4] = {0, 0, 5, 5};
    int16_t status = 0;
    EXPECT_EQ(lndfpi_ex(nullptr, nullptr, &sym, v, &status, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr),
              925);
    uint32_t now;
    memcpy(&now, &fakeTcb[TCB_OFF_ACTIVE_UDLS], 4);
    EXPECT_EQ(now, udls);
}
