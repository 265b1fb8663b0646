// dgn_server_layout.h - translation of an element between the file layout (as stored in the
// design file) and the server layout (as the design-file server delivers reads).
//
// Server layout: bytes 0-33 as in the file (words to follow and attribute index grow by the
// extra words of the type, elm_server_extra_words()); 34-35 zero; 36-39 symbology (low word,
// high word zero); type data from byte 40 with 32-bit integers as native little-endian values
// and VAX D-floats as IEEE doubles (little-endian); whatever follows the type data (text bytes,
// padding, spare words, linkages) is copied unchanged after it. Offsets below are bytes; v = 8
// bytes per vertex in 2D, 12 in 3D; 2D / 3D where they differ.
//
//   3 line          40 start vertex, 40+v end vertex
//   4, 6, 11        40 u16 vertex count, 42-43 zero, 44 vertices
//   2 cell header   40 u16 words in description, 42-43 zero, 44 name (2 radix-50 words),
//                   48 u16 class map, 50-51 zero, 52 level mask (4 words), 60 range-block low and
//                   high corners, then the transformation (4 / 9 int32), then the origin
//   7 text node     40 u16 words in description, 42 u16 strings, 44 u16 node number,
//                   46 u8 max length, 47 u8 max used, 48 u8 font, 49 u8 justification,
//                   50-51 zero, 52 int32 line spacing, 56 length multiplier, 60 height
//                   multiplier, 64 rotation (2D) / quaternion Q4,Q1,Q2,Q3 (3D), then the origin
//   12, 14          40 u16 words in description, 42 u16 components, 44 the rest as stored
//   15 ellipse      40 double primary axis, 48 secondary axis, 56 rotation (2D, then 60-63 zero)
//                   or quaternion (3D), then the centre as doubles (2D 64, 3D 72)
//   16 arc          40 int32 start angle, 44 sweep (sign-magnitude bits kept), 48 primary axis,
//                   56 secondary axis, 64 rotation (2D, then 68-71 zero) or quaternion (3D),
//                   then the centre as doubles (2D 72, 3D 80)
//   17 text         40 u8 font, 41 u8 justification, 42-43 zero, 44 length multiplier,
//                   48 height multiplier, 52 rotation / quaternion, then the origin, then u8 count
//                   of characters and u8 count of enter-data fields (2D 64, 3D 80), then the text
//   other types     identical in both layouts
// Words in description (types 2, 7, 12, 14) keep their file value. Doubles lose the three low
// fraction bits a VAX D-float has beyond IEEE, so a file -> server -> file round trip is exact
// except in those bits.
#ifndef NW_DGN_DGN_SERVER_LAYOUT_H
#define NW_DGN_DGN_SERVER_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// File layout -> server layout. The element is checked first (sizes, attribute index); false
// with a message when it is unsound or the result would exceed 65535 words.
bool dgn_file_to_server(const uint8_t *bytes, size_t n, bool is3d, std::vector<uint8_t> *out, std::string *err);
// Server layout -> file layout; the result is checked like a loaded element.
bool dgn_server_to_file(const uint8_t *bytes, size_t n, bool is3d, std::vector<uint8_t> *out, std::string *err);

#endif
