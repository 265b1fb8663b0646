// dgn_tcb.h - the fixed opening of a new design file: design-file header (type 9) with units,
// dimension and global origin, digitizer setup (type 8) and level symbology (type 10).
#ifndef NW_DGN_DGN_TCB_H
#define NW_DGN_DGN_TCB_H

#include <cstdint>
#include <string>
#include <vector>

struct DgnNewFileSettings {
    bool is3d = false;
    int32_t sub_per_master = 1000;  // EU.MU
    int32_t uor_per_sub = 10;       // EU.UOR
    std::string master_name = "m";  // up to 2 characters
    std::string sub_name = "mm";
    double global_origin[3] = {0, 0, 0};  // UOR
};

// Appends the 2048 bytes of header elements to out. False when a unit count is not positive or
// UORs per master unit exceed 2^31.
bool dgn_make_file_header(const DgnNewFileSettings &s, std::vector<uint8_t> *out, std::string *err);

// Appends the end-of-design marker and zero padding to a whole number of 512-byte blocks.
void dgn_finish_file(std::vector<uint8_t> *out);

#endif
