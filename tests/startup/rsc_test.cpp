// Resource-file container: round trip, and refusal of damaged files.
#include <gtest/gtest.h>

#include <string.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "resources/rsc_file.h"
#include "tests/startup/test_dirs.h"

namespace {

std::vector<unsigned char> read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void write_all(const std::string &path, const std::vector<unsigned char> &bytes) {
    std::ofstream(path, std::ios::binary).write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

void put32(std::vector<unsigned char> &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (unsigned char)(v >> (8 * i));
}

class RscFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path;
    void SetUp() override {
        path = dir / "test.rsc";
        const char a[] = "first resource";
        const char b[] = "second";
        rsc_entry entries[] = {
            {0x11111111u, 1, a, (uint32_t)sizeof a},
            {0x55636D56u, 1, b, (uint32_t)sizeof b},
            {0x55636D56u, 2, a, 0},
        };
        ASSERT_EQ(RSC_OK, rsc_write_file(path.c_str(), entries, 3));
    }
    int read(const std::string &p, uint32_t type, uint32_t id, std::string *out) {
        rsc_file *f = nullptr;
        int st = rsc_open(&f, p.c_str());
        if (st != RSC_OK) return st;
        char buf[64] = "";
        size_t got = 0;
        st = rsc_read(f, type, id, buf, sizeof buf, &got);
        rsc_close(f);
        if (st == RSC_OK) out->assign(buf, got);
        return st;
    }
};

TEST_F(RscFile, LocatesByTypeAndId) {
    std::string data;
    ASSERT_EQ(RSC_OK, read(path, 0x55636D56u, 1, &data));
    EXPECT_EQ(std::string("second", 7), data);
    ASSERT_EQ(RSC_OK, read(path, 0x11111111u, 1, &data));
    EXPECT_EQ(std::string("first resource", 15), data);
    ASSERT_EQ(RSC_OK, read(path, 0x55636D56u, 2, &data));
    EXPECT_EQ("", data);
    EXPECT_EQ(RSC_ERR_NOTFOUND, read(path, 0x55636D56u, 3, &data));
}

TEST_F(RscFile, RefusesATooSmallBuffer) {
    rsc_file *f = nullptr;
    ASSERT_EQ(RSC_OK, rsc_open(&f, path.c_str()));
    char small[4];
    size_t got = 99;
    EXPECT_EQ(RSC_ERR_ARG, rsc_read(f, 0x11111111u, 1, small, sizeof small, &got));
    EXPECT_EQ(0u, got);
    rsc_close(f);
}

TEST_F(RscFile, RefusesDamagedFiles) {
    std::vector<unsigned char> good = read_all(path);
    struct Damage {
        const char *what;
        size_t at;
        uint32_t value;
        size_t truncateTo;  // 0: keep the size
        int expected;       // status of open (or of read, when open succeeds)
    } cases[] = {
        {"magic", 0, 0x41414141u, 0, RSC_ERR_FORMAT},
        {"count beyond the file", 8, 0x00FFFFFFu, 0, RSC_ERR_FORMAT},
        {"directory offset beyond the file", 12, 0x7FFFFFFFu, 0, RSC_ERR_FORMAT},
        {"directory offset inside the header", 12, 4, 0, RSC_ERR_FORMAT},
        {"data offset beyond the file", 16 + 16 + 8, 0xFFFFFFF0u, 0, RSC_ERR_FORMAT},
        {"data size beyond the file", 16 + 16 + 12, 0xFFFFFFFFu, 0, RSC_ERR_FORMAT},
        {"truncated header", 0, 0, 10, RSC_ERR_FORMAT},
        {"truncated directory", 0, 0, 30, RSC_ERR_FORMAT},
    };
    for (const Damage &d : cases) {
        std::vector<unsigned char> bytes = good;
        if (d.truncateTo)
            bytes.resize(d.truncateTo);
        else
            put32(bytes, d.at, d.value);
        std::string bad = dir / "bad.rsc";
        write_all(bad, bytes);
        std::string data;
        EXPECT_EQ(d.expected, read(bad, 0x55636D56u, 1, &data)) << d.what;
    }
    std::string none;
    EXPECT_EQ(RSC_ERR_OPEN, read(dir / "missing.rsc", 0x55636D56u, 1, &none));
}

}  // namespace
