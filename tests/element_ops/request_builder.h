// Request records built by hand, byte by byte, for tests that talk to the
// server's handlers directly: an independent statement of the wire layouts.
#ifndef NW_TESTS_ELEMENT_OPS_REQUEST_BUILDER_H
#define NW_TESTS_ELEMENT_OPS_REQUEST_BUILDER_H

#include <stdint.h>
#include <string.h>

#include <vector>

struct Req {
    std::vector<uint8_t> b;
    Req(int code, size_t body) : b(16 + body, 0) {
        put32(0, 100);
        put32(4, (uint32_t)body);
        put32(12, (uint32_t)code);
    }
    Req &put16(size_t at, uint16_t v) {
        grow(at + 2);
        b[at] = (uint8_t)v;
        b[at + 1] = (uint8_t)(v >> 8);
        return *this;
    }
    Req &put32(size_t at, uint32_t v) {
        put16(at, (uint16_t)v);
        return put16(at + 2, (uint16_t)(v >> 16));
    }
    Req &putd(size_t at, double v) {
        grow(at + 8);
        memcpy(&b[at], &v, 8);
        return *this;
    }
    Req &bytes(size_t at, const uint8_t *p, size_t n) {
        grow(at + n);
        memcpy(&b[at], p, n);
        return *this;
    }
    void grow(size_t n) {
        if (b.size() < n) b.resize(n, 0);
        const uint32_t body = (uint32_t)(b.size() - 16);
        for (int k = 0; k < 4; ++k) b[4 + k] = (uint8_t)(body >> (8 * k));
    }
};

inline uint16_t get16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
inline uint32_t get32(const uint8_t *p) { return (uint32_t)get16(p) | ((uint32_t)get16(p + 2) << 16); }

// Position request fields.
inline Req read_req(uint32_t pos, uint16_t raw = 0) {
    Req r(18, 8);
    r.put16(16, (uint16_t)(pos / 512)).put16(18, (uint16_t)(pos % 512)).put16(20, raw);
    return r;
}
inline Req write_req(uint32_t pos, const uint8_t *data, int16_t len, size_t wholeBytes = 0) {
    Req r(19, 1568);
    r.put16(16, (uint16_t)(pos / 512)).put16(18, (uint16_t)(pos % 512)).put16(20, (uint16_t)len);
    r.bytes(22, data, len > 0 ? (size_t)len : wholeBytes);
    return r;
}
inline Req delete_req(uint32_t pos, uint16_t word = 1) {
    Req r(26, 6);
    r.put16(16, (uint16_t)(pos / 512)).put16(18, (uint16_t)(pos % 512)).put16(20, word);
    return r;
}
inline Req move_req(uint32_t pos, const double m[12], int32_t fileWord = 0) {
    Req r(61, 112);
    r.put32(16, (uint32_t)fileWord).put32(20, pos / 512).put32(24, pos % 512);
    for (int k = 0; k < 12; ++k) r.putd(32 + 8 * k, m[k]);
    return r;
}
inline Req move_by(uint32_t pos, bool is3d, double dx, double dy, double dz) {
    double m[12];
    if (is3d) {
        const double t[12] = {1, 0, 0, dx, 0, 1, 0, dy, 0, 0, 1, dz};
        memcpy(m, t, sizeof m);
    } else {
        const double t[12] = {1, 0, dx, 0, 1, dy, 0, 0, 0, 0, 0, 0};
        memcpy(m, t, sizeof m);
    }
    return move_req(pos, m);
}
// Line string (31) or curve (32): vertices as int32 triples or pairs.
inline Req linear_req(int code, uint16_t level, uint32_t pair, const std::vector<int32_t> &coords, int count,
                      bool is3d, const std::vector<uint16_t> &linkWords = {}, int32_t zlo = INT32_MIN,
                      int32_t zhi = INT32_MAX) {
    const size_t vb = (size_t)count * (is3d ? 12 : 8);
    Req r(code, 42 + vb + 2 * linkWords.size());
    r.put16(16, level).put32(18, pair);
    r.put16(22, 2).put16(26, 3).put16(28, 4).put16(30, 5);  // class 2, style 3, weight 4, color 5
    r.put16(32, (uint16_t)count);
    if (!is3d) r.put32(36, (uint32_t)zlo).put32(40, (uint32_t)zhi);
    r.put16(46, 0xFFFF).put16(48, 0xFFFF);
    for (size_t k = 0; k < coords.size(); ++k) r.put32(56 + 4 * k, (uint32_t)coords[k]);
    r.put16(56 + vb, (uint16_t)linkWords.size());
    for (size_t k = 0; k < linkWords.size(); ++k) r.put16(58 + vb + 2 * k, linkWords[k]);
    return r;
}

#endif
