/*
 * files.h - whole-file reads and writes for tests that compare a design
 * file before and after a run, byte for byte.
 */
#ifndef NW_TESTS_FILES_H
#define NW_TESTS_FILES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/* Every byte of the file; empty when it cannot be read. */
inline std::vector<uint8_t> read_bytes(const std::string &path)
{
    std::vector<uint8_t> b;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        b.insert(b.end(), buf, buf + n);
    std::fclose(f);
    return b;
}

/* Writes the file whole; false when any of it could not be written. */
inline bool write_bytes(const std::string &path, const std::vector<uint8_t> &b)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

#endif
