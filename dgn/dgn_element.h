// dgn_element.h - decoding and encoding of single DGN V7 elements (file layout).
//
// Decoded types: 2 cell header, 3 line, 4 line string, 6 shape, 7 text node, 11 curve,
// 12 complex chain, 14 complex shape, 15 ellipse, 16 arc, 17 text. Every other type is kept
// as raw bytes and written back unchanged (only the header word is rebuilt from the fields).
// Bytes that no field covers (padding, the spare words of complex headers) are kept in `tail`
// and the attribute linkage area in `linkages`, so decode followed by encode gives the same
// bytes. Encoding computes words to follow and the attribute index and places the linkages
// after the type data; ranges come from dgn_compute_range() (dgn_range.h).
#ifndef NW_DGN_DGN_ELEMENT_H
#define NW_DGN_DGN_ELEMENT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum {
    DGN_PROP_ATTRIBUTES = 0x0800,  // linkage data present
    DGN_PROP_HOLE = 0x8000,
};

struct DgnPoint {
    int32_t x = 0, y = 0, z = 0;  // UOR; z is 0 in a 2D file
};

// A VAX D-float field: the value as IEEE, and the stored bytes so an unchanged value is
// written back bit for bit (IEEE keeps 3 fraction bits fewer than the file).
struct DgnVaxValue {
    double value = 0;
    uint8_t raw[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

// Orientation: 2D rotation in 1/360000 degree, or a 3D quaternion (Q4, Q1, Q2, Q3 as stored).
struct DgnOrientation {
    int32_t rotation = 0;
    int32_t quat[4] = {0, 0, 0, 0};
};

struct DgnElement {
    // Header.
    int type = 0;
    int level = 0;
    bool complex = false;
    bool deleted = false;
    bool reserved_bit = false;  // bit 6 of the header word, kept as found
    bool is3d = false;          // layout used by the type data (file dimension)
    bool has_display_header = false;
    int32_t range[6] = {0, 0, 0, 0, 0, 0};
    uint16_t graphic_group = 0;
    uint16_t properties = 0;
    int style = 0, weight = 0, color = 0;

    // Raw element for types that are not decoded (header word rebuilt on encode).
    std::vector<uint8_t> raw;

    // 3, 4, 6, 11: vertices. 2: cell range-block diagonal (low, high) is kept apart below.
    std::vector<DgnPoint> vertices;

    // 2, 7, 12, 14: words in description; 12, 14: number of components; 7: number of strings.
    uint16_t totlength = 0;
    uint16_t numelems = 0;

    // 2: cell header.
    uint16_t cell_name[2] = {0, 0};  // radix-50
    uint16_t class_map = 0;
    uint16_t level_mask[4] = {0, 0, 0, 0};
    DgnPoint cell_rdiag[2];
    int32_t cell_matrix[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};  // 2D: 4 used, 3D: 9
    DgnPoint origin;  // 2 cell origin, 7 user origin, 17 lower-left origin

    // 7 text node and 17 text.
    uint16_t node_number = 0;
    uint8_t max_length = 0, max_used = 0;
    uint8_t font = 0, justification = 0;
    int32_t line_spacing = 0;
    int32_t length_mult = 0, height_mult = 0;
    DgnOrientation orientation;          // 7, 15, 16, 17
    std::string text;                    // 17: the stored bytes
    std::vector<uint8_t> enter_data;     // 17: 3 bytes per enter-data field

    // 15 ellipse and 16 arc.
    int32_t start_angle = 0;  // 16, 1/360000 degree
    uint32_t sweep_raw = 0;   // 16, sign-magnitude as stored
    DgnVaxValue primary, secondary;
    DgnVaxValue centre[3];

    // Attribute index as found when the attribute bit is clear and it does not point at the
    // element's end (nobody reads it then); written back as found so such files keep their bytes.
    bool keep_attr_index = false;
    uint16_t attr_index = 0;

    std::vector<uint8_t> tail;      // bytes between the type data and the linkages
    std::vector<uint8_t> linkages;  // attribute linkage area, as stored (undecoded types: a copy
                                    // for information when the attribute index is sound)
};

// One linkage found in a linkage area.
struct DgnLinkage {
    uint32_t offset;   // within the linkage area
    uint32_t words;
    uint16_t first_word;
    uint16_t id;       // user linkages: application id (second word); 0 otherwise
    bool user;
    bool database;     // 4-word database (DMRS) linkage
    uint16_t entity;   // database linkages
    uint32_t mslink;
};

// Checks sizes of one element image without decoding it: header, words to follow against n,
// display header, attribute index (when the attribute bit is set) and the fixed and counted
// fields of the decoded types. On failure err says what is wrong (without a position).
bool dgn_element_check(const uint8_t *bytes, size_t n, bool is3d, std::string *err);

bool dgn_decode_element(const uint8_t *bytes, size_t n, bool is3d, DgnElement *out, std::string *err);
// Encodes `e` (words to follow, attribute index and the attribute bit are computed; the range is
// written as stored in e.range). False when the element would not fit its fields (more than 65535
// words, a text longer than 255 bytes, too many vertices).
bool dgn_encode_element(const DgnElement &e, std::vector<uint8_t> *out, std::string *err);

// Walks a linkage area; returns false (with the linkages found so far) when a linkage runs past
// the end of the area.
bool dgn_parse_linkages(const uint8_t *area, size_t n, std::vector<DgnLinkage> *out);

// Radix-50 cell names.
std::string dgn_rad50_decode(const uint16_t words[2]);
void dgn_rad50_encode(const char *name, uint16_t words[2]);

// Type names for messages and dumps ("line", "line string", ...; "type N" when unnamed).
const char *dgn_type_name(int type);
// True for the types decoded field by field.
bool dgn_type_is_decoded(int type);

#endif
