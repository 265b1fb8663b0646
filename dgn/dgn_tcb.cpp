// dgn_tcb.cpp - header elements of a new design file.
#include "dgn/dgn_tcb.h"

#include "dgn/dgn_file.h"
#include "dgnrequests/element_layout.h"

bool dgn_make_file_header(const DgnNewFileSettings &s, std::vector<uint8_t> *out, std::string *err) {
    if (s.sub_per_master <= 0 || s.uor_per_sub <= 0 ||
        static_cast<int64_t>(s.sub_per_master) * s.uor_per_sub > INT32_MAX) {
        if (err) *err = "sub-units per master and UORs per sub-unit must be positive and their product below 2^31";
        return false;
    }
    const size_t base = out->size();
    out->resize(base + 2048, 0);
    uint8_t *t = out->data() + base;
    // Type 9, level 8; 3D files also set bits 6-7 of the first byte.
    t[0] = s.is3d ? 0xC8 : 0x08;
    t[1] = 0x09;
    elm_store16(t + 2, (DGN_TCB_SIZE - 4) / 2);
    const int64_t uor_per_master = static_cast<int64_t>(s.sub_per_master) * s.uor_per_sub;
    elm_store_i32m(t + 1108, static_cast<int32_t>(4294967296LL / uor_per_master > INT32_MAX
                                                      ? INT32_MAX
                                                      : 4294967296LL / uor_per_master));
    elm_store_i32m(t + 1112, s.sub_per_master);
    elm_store_i32m(t + 1116, s.uor_per_sub);
    for (int k = 0; k < 2; ++k) {
        t[1120 + k] = k < static_cast<int>(s.master_name.size()) ? static_cast<uint8_t>(s.master_name[k]) : 0;
        t[1122 + k] = k < static_cast<int>(s.sub_name.size()) ? static_cast<uint8_t>(s.sub_name[k]) : 0;
    }
    t[1214] = s.is3d ? 0x40 : 0x00;
    for (int k = 0; k < 3; ++k) elm_double_to_vax(s.global_origin[k], t + 1240 + 8 * k);

    // Digitizer setup: 356 bytes, contents unused.
    uint8_t *d = t + DGN_TCB_SIZE;
    d[1] = 0x08;
    elm_store16(d + 2, (356 - 4) / 2);
    // Level symbology: 156 bytes, header and 64 zero symbology words.
    uint8_t *l = d + 356;
    l[1] = 0x0A;
    elm_store16(l + 2, (156 - 4) / 2);
    return true;
}

void dgn_finish_file(std::vector<uint8_t> *out) {
    out->push_back(0xFF);
    out->push_back(0xFF);
    while (out->size() % 512) out->push_back(0);
}
