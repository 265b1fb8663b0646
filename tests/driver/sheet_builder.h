// sheet_builder.h - small design files built element by element for the driver tests.
#ifndef NW_TESTS_DRIVER_SHEET_BUILDER_H
#define NW_TESTS_DRIVER_SHEET_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_tcb.h"

struct SheetBuilder {
    DgnNewFileSettings units;
    std::vector<uint8_t> bytes;
    std::string err;
    bool ok = true;

    explicit SheetBuilder(bool is3d = false) {
        units.is3d = is3d;
        ok = dgn_make_file_header(units, &bytes, &err);
    }
    uint32_t add(DgnElement e) {
        std::vector<uint8_t> b;
        const uint32_t pos = static_cast<uint32_t>(bytes.size());
        if (!dgn_finish_element(&e, &b, &err)) ok = false;
        bytes.insert(bytes.end(), b.begin(), b.end());
        return pos;
    }
    uint32_t add_complex(DgnElement hdr, std::vector<DgnElement> comps) {
        std::vector<uint8_t> b;
        const uint32_t pos = static_cast<uint32_t>(bytes.size());
        if (!dgn_finish_complex(&hdr, &comps, &b, &err)) ok = false;
        bytes.insert(bytes.end(), b.begin(), b.end());
        return pos;
    }
    uint32_t line(int type, int level, std::vector<DgnPoint> pts, int color = 0, int weight = 0, int style = 0) {
        DgnElement e = dgn_new_vertex_element(type, level, units.is3d, pts);
        e.color = color;
        e.weight = weight;
        e.style = style;
        return add(e);
    }
    bool finish(DgnFile *f) {
        std::vector<uint8_t> b = bytes;
        dgn_finish_file(&b);
        return ok && dgn_load_buffer(b.data(), b.size(), f, &err);
    }
    std::vector<uint8_t> finished() const {
        std::vector<uint8_t> b = bytes;
        dgn_finish_file(&b);
        return b;
    }
};

inline DgnPoint P(int32_t x, int32_t y, int32_t z = 0) {
    DgnPoint p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
}

#endif
