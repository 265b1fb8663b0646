// Status texts: the message table, get_error's lines, and what mcsl_error and
// error print.
#include "dgnrequests/status_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string line_of(int16_t status)
{
    // Heap buffer of exactly 80 bytes so a write past it is caught.
    std::vector<char> text(ERRMSG_TEXT_BYTES, 'x');
    get_error(text.data(), &status);
    return std::string(text.data());
}

TEST(StatusTable, NinetyNineRowsAscendingThenTheEndRow)
{
    size_t rows = 0;
    while (errmsgs[rows].code != 0)
        ++rows;
    EXPECT_EQ(rows, 99u);
    EXPECT_EQ(errmsgs[rows].text, nullptr);
    EXPECT_EQ(errmsgs[0].code, 900);
    EXPECT_EQ(errmsgs[98].code, 1014);
    for (size_t i = 0; i < rows; ++i) {
        SCOPED_TRACE(errmsgs[i].code);
        ASSERT_NE(errmsgs[i].text, nullptr);
        EXPECT_GT(std::strlen(errmsgs[i].text), 0u);
        if (i > 0) {
            EXPECT_LT(errmsgs[i - 1].code, errmsgs[i].code);
        }
    }
}

TEST(StatusTable, TextsByteForByte)
{
    struct Case {
        int16_t code;
        const char *text;
    } cases[] = {
        {900, "Nonexistent request"},
        {903, "GG descriptor > 743 words"},
        {906, "ECMPLX before BCMPLX"},
        {908, "ECMPLX Illegal element code"},
        {909, "Can't find TCB variable"},
        {913, "EDFILL - 1"},
        {917, "3D file, 2D subroutine"},
        {918, "2D file, 3D subroutine"},
        {924, "MicroStation Terminated"},
        {925, "Communication"},
        {926, "Indfpi initialization"},
        {928, "dedfpi"},
        {929, "TCB mapping"},
        {930, "Radix 50 conversion"},
        {932, "Font Library open"},
        {952, "Cant find or read ustation.rsc"},
        {953, "No design file open"},
        {959, "Path lost to dgn file"},
        {960, "Design file disk is full"},
        {961, "Invalid ustation.rsc file"},
        {974, "Bad File Slot"},
        {975, "Maximum number of shared memory"},
        {982, "Could not exec MicroStation"},
        {983, "Timed out waiting for MicroStation"},
        {985, "Invalid pattern spacing (zero)"},
        {994, "No message queue to database server"},
        {1003, "Bad format specifiedr"},
        {1013, "Can't write element at given position"},
        {1014, "Number of poles must be >= the order"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        const char *t = errmsg_text(c.code);
        ASSERT_NE(t, nullptr);
        EXPECT_STREQ(t, c.text);
    }
}

TEST(GetError, Lines)
{
    struct Case {
        int16_t status;
        const char *line;
    } cases[] = {
        {0, ""},
        {900, "ERROR (900): Nonexistent request"},
        {925, "ERROR (925): Communication"},
        {1014, "ERROR (1014): Number of poles must be >= the order"},
        {952, "ERROR (952): Cant find or read ustation.rsc"},
        {-1303, "ERROR (-1303): Unknown"},
        {950, "ERROR (950): Unknown"},
        {907, "ERROR (907): Unknown"},
        {899, "ERROR (899): Unknown"},
        {1015, "ERROR (1015): Unknown"},
        {1, "ERROR (1): Unknown"},
        {static_cast<int16_t>(0x8000), "ERROR (-32768): Unknown"},
        {32767, "ERROR (32767): Unknown"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(line_of(c.status), c.line);
    }
    // A missing status word gives an empty line too.
    char text[ERRMSG_TEXT_BYTES] = "stale";
    get_error(text, nullptr);
    EXPECT_STREQ(text, "");
}

TEST(GetError, EveryLineFitsTheBuffer)
{
    for (size_t i = 0; errmsgs[i].code != 0; ++i) {
        const std::string line = line_of(errmsgs[i].code);
        EXPECT_LT(line.size(), ERRMSG_TEXT_BYTES);
        EXPECT_EQ(line, "ERROR (" + std::to_string(errmsgs[i].code) + "): " + errmsgs[i].text);
    }
}

TEST(McslError, PrintsTheLineAndANewline)
{
    struct Case {
        int16_t status;
        const char *out;
    } cases[] = {
        {0, "\n"},
        {925, "ERROR (925): Communication\n"},
        {-1303, "ERROR (-1303): Unknown\n"},
        {1003, "ERROR (1003): Bad format specifiedr\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        testing::internal::CaptureStdout();
        mcsl_error(&c.status);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);

        testing::internal::CaptureStdout();
        error(&c.status);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
    }
}

}  // namespace
