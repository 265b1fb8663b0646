// dgn_range.h - element ranges (the UOR box in bytes 4-27) for new or edited elements, and
// helpers that build new elements ready for encoding.
//
// Ranges: vertices' box for lines, line strings, shapes and curves; the exact box of the ellipse
// or of the swept part of an arc (parametric angles, 2D rotation or 3D quaternion); the rotated
// character box of a text; the origin for a text node; complex headers and cells take the union
// of their components (dgn_range_union). Low corners are rounded down, high corners up. In a 2D
// file the Z range is the whole axis (-2^31 .. 2^31-1), as design files carry it.
#ifndef NW_DGN_DGN_RANGE_H
#define NW_DGN_DGN_RANGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"

// Computes e->range from its geometry. False (range unchanged) when the element has no own
// geometry (complex headers, cells, other types) or its box leaves the 32-bit design plane.
bool dgn_compute_range(DgnElement *e, std::string *err);
// Grows `into` to include `r` (both xlow, ylow, zlow, xhigh, yhigh, zhigh).
void dgn_range_union(int32_t into[6], const int32_t r[6]);
// An empty range that any union replaces.
void dgn_range_empty(int32_t r[6]);

// New element of `type` on `level` with the display header set up (properties: new bit).
DgnElement dgn_new_element(int type, int level, bool is3d);
// Vertex elements: 3 line (2 points), 4 line string, 6 shape, 11 curve.
DgnElement dgn_new_vertex_element(int type, int level, bool is3d, const std::vector<DgnPoint> &pts);
// Ellipse (15) or arc (16, angles in degrees, sweep signed) centred at c with semi-axes a, b
// and a rotation about Z in degrees.
DgnElement dgn_new_ellipse(int level, bool is3d, double cx, double cy, double cz, double a, double b,
                           double rotation_deg);
DgnElement dgn_new_arc(int level, bool is3d, double cx, double cy, double cz, double a, double b,
                       double rotation_deg, double start_deg, double sweep_deg);
// Text (17) at lower-left origin, character width and height in UOR, rotation in degrees.
DgnElement dgn_new_text(int level, bool is3d, const DgnPoint &origin, const std::string &text, double width,
                        double height, double rotation_deg, int font, int justification);

// Fills the orientation of e for a rotation about Z (2D angle or 3D quaternion).
void dgn_set_rotation(DgnElement *e, double rotation_deg);

// Computes the range (when the type has geometry) and encodes the element.
bool dgn_finish_element(DgnElement *e, std::vector<uint8_t> *out, std::string *err);
// Encodes a complex header (2, 7, 12, 14) with its components: sets the complex bit and level of
// each component, the header's words in description, component count (12/14/7) and range
// (union of the components), then writes header and components one after another into out.
bool dgn_finish_complex(DgnElement *header, std::vector<DgnElement> *components, std::vector<uint8_t> *out,
                        std::string *err);

#endif
