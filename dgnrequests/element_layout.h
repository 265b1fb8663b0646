// Element layouts of a design file: the file layout (the element as it lies on
// disk) and the server layout (the element as the design-file server delivers
// it in reply to a read). Owns the encodings of 32-bit integers, range values
// and VAX D-floating values, element position arithmetic, the common element
// header accessors of both layouts and the server-layout length table.
//
// No state lives here: every function works on the buffer it is given and on
// nothing else, so the engine, the request layer, the DGN file library and the
// server can all share it.
//
// Byte order: buffers are read and written byte by byte (16-bit words
// little-endian), so the code is correct on any host. A "32-bit cell" below is
// the value whose little-endian storage gives the bytes of the element; on a
// little-endian host that is simply the 4 bytes copied into a uint32_t.
//
// Every reader takes the length of the buffer it reads and refuses (returns
// false, or -1 where a count is returned) when the bytes it needs are not all
// inside it.
#ifndef NW_DGNREQUESTS_ELEMENT_LAYOUT_H
#define NW_DGNREQUESTS_ELEMENT_LAYOUT_H

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Sizes

constexpr int32_t ELM_BLOCK_BYTES = 512;       // one design-file block
constexpr size_t ELM_MAX_BYTES = 1536;         // largest element handled
constexpr size_t ELM_MAX_WORDS = 768;
constexpr size_t ELM_HEADER_BYTES = 34;        // bytes 0-33, common to both layouts
constexpr size_t ELM_FILE_DATA_OFFSET = 36;    // type-specific data, file layout
constexpr size_t ELM_SERVER_DATA_OFFSET = 40;  // type-specific data, server layout

// Element types the system names.
enum ElementType : int {
    ELM_TYPE_CELL_HEADER = 2,
    ELM_TYPE_LINE = 3,
    ELM_TYPE_LINE_STRING = 4,
    ELM_TYPE_SHAPE = 6,
    ELM_TYPE_TEXT_NODE = 7,
    ELM_TYPE_CURVE = 11,
    ELM_TYPE_CONNECTED_STRING = 12,
    ELM_TYPE_COMPLEX_SHAPE = 14,
    ELM_TYPE_ELLIPSE = 15,
    ELM_TYPE_ARC = 16,
    ELM_TYPE_TEXT = 17,
};

// Which of the two layouts a buffer holds. Only the place of the symbology
// (and of the type-specific data) differs between them in the header.
enum class ElementLayout { File, Server };

// ---------------------------------------------------------------------------
// 16- and 32-bit words in a byte buffer (little-endian words). No bounds
// checks: callers have checked the offset against the buffer.

uint16_t elm_load16(const uint8_t *p);
void elm_store16(uint8_t *p, uint16_t v);
uint32_t elm_load32(const uint8_t *p);   // native little-endian 32-bit cell
void elm_store32(uint8_t *p, uint32_t v);
// A 32-bit integer of the file layout: more significant word first.
int32_t elm_load_i32m(const uint8_t *p);
void elm_store_i32m(uint8_t *p, int32_t v);

// ---------------------------------------------------------------------------
// Integer encodings

// Exchanges the two 16-bit halves of a 32-bit cell in place. Converts between
// the file's word order of a 32-bit integer and a native 32-bit integer.
void swap_word(uint32_t *cell);
void swap_word(int32_t *cell);

// Range value v to its scan-format cell: (v XOR 0x80000000), halves exchanged.
uint32_t scan_fmt(int32_t v);
// Scan-format cell to its value: halves exchanged, then bit 31 inverted.
int32_t un_scan_fmt(uint32_t s);
// Six scan-format cells (xlow, ylow, zlow, xhigh, yhigh, zhigh) to values,
// in place. Each cell holds the raw 32 bits as read from the element.
void convertScanRange(int32_t range[6]);

// ---------------------------------------------------------------------------
// VAX D-floating values (file layout, 8 bytes)

// VAX D-floating (file word order) to IEEE double (little-endian), in place on
// 8 bytes. The three lowest fraction bits are dropped. A VAX exponent of 0
// (zero, "dirty" zero or reserved operand) gives +0.0.
void convert_double(void *cell);
// IEEE double (little-endian) to VAX D-floating (file word order), in place on
// 8 bytes. Values too small for the VAX range (including 0, -0.0 and
// subnormals) become 0; values too large, and infinities, become the largest
// VAX magnitude with their sign; NaN becomes 0.
void unconvert_double(void *cell);

// Value forms of the same conversions.
double elm_vax_to_double(const uint8_t vax[8]);
void elm_double_to_vax(double value, uint8_t vax[8]);

// ---------------------------------------------------------------------------
// Element positions

// Block and byte of a position as requests carry them.
struct ElementBlockByte {
    uint16_t block;
    uint16_t byte;
};

// position -> (position / 512, position % 512). False when the position is
// negative or its block does not fit in 16 bits (out is left unchanged).
bool elm_position_to_block(int32_t position, ElementBlockByte *out);
// (block, byte) -> position. byte is taken as given (it may be >= 512).
int32_t elm_block_to_position(uint16_t block, uint16_t byte);

// Size in bytes of an element with the given words to follow: 2 * wtf + 4.
int32_t elm_bytes_from_wtf(uint16_t wordsToFollow);
// Position of the element that follows the one at `position` whose file-layout
// words to follow are `fileWordsToFollow`: position + 2 * wtf + 4.
int32_t elm_next_position(int32_t position, uint16_t fileWordsToFollow);

// ---------------------------------------------------------------------------
// Server layout versus file layout

// Number of 16-bit words by which the server layout of an element of `type`
// is longer than its file layout; `dimension` is 3 for a three-dimensional
// file, anything else means two-dimensional. Types 2:4, 3:2, 4/6/11:3, 7:3,
// 12/14:2, 15/16: 4 in 2D and 2 in 3D, 17:3. Every other type is passed
// through unchanged by the server and gives 0.
int elm_server_extra_words(int type, int dimension);

// File-layout words to follow of an element whose server-layout words to
// follow are `serverWordsToFollow`; -1 when that is smaller than the extra
// words of its type (not a valid server-layout element).
int elm_file_wtf_from_server(uint16_t serverWordsToFollow, int type, int dimension);
// The reverse; -1 when the result does not fit in 16 bits.
int elm_server_wtf_from_file(uint16_t fileWordsToFollow, int type, int dimension);

// ---------------------------------------------------------------------------
// Common element header

// Header word (bytes 0-1): bits 0-5 level, bit 7 complex, bits 8-14 type.
constexpr uint16_t ELM_LEVEL_MASK = 0x003F;
constexpr uint16_t ELM_COMPLEX_BIT = 0x0080;
constexpr uint16_t ELM_TYPE_MASK = 0x7F00;
constexpr uint16_t ELM_DELETED_BIT = 0x8000;  // file layout only; the engine never looks at it
constexpr uint16_t ELM_CLASS_MASK = 0x000F;   // properties bits 0-3

// Symbology word: bits 0-2 style, 3-7 weight, 8-15 color.
struct ElementSymbology {
    uint8_t style;   // 0-7
    uint8_t weight;  // 0-31
    uint8_t color;   // 0-255
};

uint16_t elm_pack_symbology(ElementSymbology s);  // out-of-range fields are masked
ElementSymbology elm_unpack_symbology(uint16_t word);

// Header word decoding and building.
int elm_header_level(uint16_t headerWord);
bool elm_header_complex(uint16_t headerWord);
int elm_header_type(uint16_t headerWord);
// Builds a header word; level and type are masked to their fields.
uint16_t elm_make_header_word(int type, int level, bool complex);

// The whole common header of an element, decoded.
struct ElementHeader {
    uint16_t headerWord;
    int level;                // 0-63 (bits 0-5)
    bool complex;             // bit 7
    int type;                 // 0-127 (bits 8-14)
    uint16_t wordsToFollow;
    int32_t range[6];         // xlow, ylow, zlow, xhigh, yhigh, zhigh (values)
    uint16_t graphicGroup;
    uint16_t attrIndex;
    uint16_t properties;
    int elementClass;         // properties bits 0-3
    ElementSymbology symbology;
};

// Bytes a buffer must hold for the header and the symbology of a layout:
// 36 for the file layout, 40 for the server layout.
size_t elm_header_bytes(ElementLayout layout);
// Byte offset of the 16-bit symbology word: 34 (file) or 36 (server).
size_t elm_symbology_offset(ElementLayout layout);

// Reads the whole header; false when the buffer is shorter than
// elm_header_bytes(layout).
bool elm_read_header(const uint8_t *buf, size_t len, ElementLayout layout, ElementHeader *out);

// Single fields. Getters store through `out` and return true, or return false
// (out unchanged) when the buffer is too short; setters return false and
// change nothing when the buffer is too short.
bool elm_get_header_word(const uint8_t *buf, size_t len, uint16_t *out);
bool elm_set_header_word(uint8_t *buf, size_t len, uint16_t word);
bool elm_get_level(const uint8_t *buf, size_t len, int *out);
bool elm_set_level(uint8_t *buf, size_t len, int level);            // level & 0x3F
bool elm_get_complex(const uint8_t *buf, size_t len, bool *out);
bool elm_set_complex(uint8_t *buf, size_t len, bool complex);
bool elm_get_type(const uint8_t *buf, size_t len, int *out);
bool elm_set_type(uint8_t *buf, size_t len, int type);              // type & 0x7F
bool elm_get_words_to_follow(const uint8_t *buf, size_t len, uint16_t *out);
bool elm_set_words_to_follow(uint8_t *buf, size_t len, uint16_t wtf);
// Range values (decoded from / encoded to scan format).
bool elm_get_range(const uint8_t *buf, size_t len, int32_t range[6]);
bool elm_set_range(uint8_t *buf, size_t len, const int32_t range[6]);
bool elm_get_graphic_group(const uint8_t *buf, size_t len, uint16_t *out);
bool elm_set_graphic_group(uint8_t *buf, size_t len, uint16_t gg);
bool elm_get_attr_index(const uint8_t *buf, size_t len, uint16_t *out);
bool elm_set_attr_index(uint8_t *buf, size_t len, uint16_t index);
bool elm_get_properties(const uint8_t *buf, size_t len, uint16_t *out);
bool elm_set_properties(uint8_t *buf, size_t len, uint16_t props);
bool elm_get_class(const uint8_t *buf, size_t len, int *out);
bool elm_set_class(uint8_t *buf, size_t len, int cls);              // cls & 0xF, other bits kept
bool elm_get_symbology(const uint8_t *buf, size_t len, ElementLayout layout, ElementSymbology *out);
bool elm_set_symbology(uint8_t *buf, size_t len, ElementLayout layout, ElementSymbology s);
bool elm_get_style(const uint8_t *buf, size_t len, ElementLayout layout, int *out);
bool elm_set_style(uint8_t *buf, size_t len, ElementLayout layout, int style);
bool elm_get_weight(const uint8_t *buf, size_t len, ElementLayout layout, int *out);
bool elm_set_weight(uint8_t *buf, size_t len, ElementLayout layout, int weight);
bool elm_get_color(const uint8_t *buf, size_t len, ElementLayout layout, int *out);
bool elm_set_color(uint8_t *buf, size_t len, ElementLayout layout, int color);

// Total bytes of the element at buf (2 * words to follow + 4); -1 when the
// buffer cannot hold the header words or the whole element.
int32_t elm_total_bytes(const uint8_t *buf, size_t len);

// ---------------------------------------------------------------------------
// Attribute linkages

// Byte offset of the attribute linkage data: 2 * (16 + attribute index).
size_t elm_linkage_offset(uint16_t attrIndex);
// Words of the linkage starting with `firstWord`: (firstWord & 0xFF) + 1 for a
// user linkage (bit 12 set), else 4.
int elm_linkage_words(uint16_t firstWord);

// ---------------------------------------------------------------------------
// Type-specific data of the server layout (line, line string, curve)

struct ElementVertex {
    int32_t x, y, z;  // z is 0 in a two-dimensional file
};

// Number of vertices of a line (2), line string or curve (the 16-bit count at
// byte 40) in the server layout; -1 for another type, a short buffer, or a
// count whose vertices do not all lie inside the buffer.
int elm_server_vertex_count(const uint8_t *buf, size_t len, int dimension);
// Vertex `index` of such an element; false when it is not inside the buffer.
bool elm_server_vertex(const uint8_t *buf, size_t len, int dimension, int index, ElementVertex *out);

#endif
