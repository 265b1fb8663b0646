// Small design files for the element-operation tests, built with the DGN
// library: one of every element kind the operations handle, in a 2D or 3D
// file whose units make design coordinates equal to UORs (one UOR per master
// unit, global origin 0), so GDAL reports the UOR values themselves.
#ifndef NW_TESTS_ELEMENT_OPS_SHEET_FIXTURE_H
#define NW_TESTS_ELEMENT_OPS_SHEET_FIXTURE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_tcb.h"

// Order of the elements after the three header elements.
enum SheetElement {
    SHEET_LINE,          // level 5, (100, 100) - (200, 300)
    SHEET_LINE_STRING,   // level 6, 3 vertices, graphic group 7, one database linkage
    SHEET_CELL,          // cell at (1000, 1000) with two line components
    SHEET_TEXT_NODE,     // node at (3000, 3000) with one text
    SHEET_ELLIPSE,       // centre (5000, 5000), axes 400 / 200
    SHEET_ARC,           // centre (6000, 6000), radius 300, 0..90 degrees
    SHEET_CURVE,         // 6 vertices
    SHEET_CHAIN,         // complex chain of two line strings
    SHEET_COUNT
};

inline DgnPoint pt(int32_t x, int32_t y, int32_t z = 0) {
    DgnPoint p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
}

// Builds the sheet; `positions` receives the position of each SheetElement.
inline std::vector<uint8_t> make_sheet(bool is3d, std::vector<uint32_t> *positions = nullptr) {
    DgnNewFileSettings settings;
    settings.is3d = is3d;
    settings.sub_per_master = 1;
    settings.uor_per_sub = 1;
    settings.master_name = "m";
    settings.sub_name = "m";
    std::vector<uint8_t> out;
    std::string err;
    dgn_make_file_header(settings, &out, &err);
    std::vector<uint32_t> pos;
    auto add = [&](DgnElement e) {
        std::vector<uint8_t> b;
        pos.push_back((uint32_t)out.size());
        dgn_finish_element(&e, &b, &err);
        out.insert(out.end(), b.begin(), b.end());
    };
    auto add_complex = [&](DgnElement h, std::vector<DgnElement> comps) {
        std::vector<uint8_t> b;
        pos.push_back((uint32_t)out.size());
        dgn_finish_complex(&h, &comps, &b, &err);
        out.insert(out.end(), b.begin(), b.end());
    };
    DgnElement line = dgn_new_vertex_element(3, 5, is3d, {pt(100, 100, 10), pt(200, 300, 20)});
    line.color = 3;
    add(line);
    DgnElement ls = dgn_new_vertex_element(4, 6, is3d, {pt(0, 0), pt(500, 0), pt(500, 500)});
    ls.graphic_group = 7;
    ls.linkages = {0x00, 0x00, 0x1B, 0x00, 0x11, 0x00, 0x00, 0x02};  // entity 27, mslink 17
    add(ls);
    DgnElement cell = dgn_new_element(2, 4, is3d);
    cell.origin = pt(1000, 1000);
    cell.level_mask[0] = 1 << 3;
    cell.cell_matrix[0] = 214748;
    cell.cell_matrix[is3d ? 4 : 3] = 214748;
    if (is3d) cell.cell_matrix[8] = 214748;
    dgn_rad50_encode("CELL", cell.cell_name);
    add_complex(cell, {dgn_new_vertex_element(3, 4, is3d, {pt(1000, 1000), pt(1100, 1000)}),
                       dgn_new_vertex_element(3, 4, is3d, {pt(1100, 1000), pt(1100, 1200)})});
    DgnElement node = dgn_new_element(7, 8, is3d);
    node.origin = pt(3000, 3000);
    node.length_mult = node.height_mult = 16667;
    node.max_length = 255;
    add_complex(node, {dgn_new_text(8, is3d, pt(3000, 3000), "NODE", 100, 100, 0, 1, 2)});
    add(dgn_new_ellipse(9, is3d, 5000, 5000, 0, 400, 200, 0));
    add(dgn_new_arc(10, is3d, 6000, 6000, 0, 300, 300, 0, 0, 90));
    add(dgn_new_vertex_element(11, 11, is3d,
                               {pt(7000, 7000), pt(7100, 7000), pt(7200, 7100), pt(7300, 7100), pt(7400, 7200),
                                pt(7500, 7200)}));
    add_complex(dgn_new_element(12, 12, is3d),
                {dgn_new_vertex_element(4, 12, is3d, {pt(8000, 8000), pt(8100, 8000)}),
                 dgn_new_vertex_element(4, 12, is3d, {pt(8100, 8000), pt(8100, 8100)})});
    dgn_finish_file(&out);
    if (positions) *positions = pos;
    return out;
}

#endif
