// Element operations of the engine: each builds one request record, sends it
// with send_crc and reports a status. Arguments are passed by address;
// optional ones may be null (the defaults are given per operation). Block
// and byte address an element position (position / 512, position % 512).
//
// Statuses: 0 done; local statuses 902 (graphic-group function 3 with group
// 0), 904 (too few vertices), 917 (2D ellipse in a 3D file), 918 (3D ellipse
// in a 2D file), all without an exchange; 925 no reply; otherwise the
// server's status or a negative transport status.
#ifndef NW_DGNREQUESTS_ELEMENT_OPS_H
#define NW_DGNREQUESTS_ELEMENT_OPS_H

#include "dgnrequests/request_exchange.h"

#include <stdint.h>

// Request codes.
#define REQ_CODE_ELLIPSE_2D 11
#define REQ_CODE_ELLIPSE_3D 12
#define REQ_CODE_READ 18
#define REQ_CODE_WRITE 19
#define REQ_CODE_GRAPHIC_GROUP 20
#define REQ_CODE_DELETE 26
#define REQ_CODE_LINE 30
#define REQ_CODE_LINE_STRING 31
#define REQ_CODE_CURVE 32
#define REQ_CODE_MOVE 61

// The caller's buffer for a read: three words of the reply (its bytes 24,
// 26, 28), two bytes not written, then the element from byte 8.
#define READ_RECORD_BYTES 1560
#define READ_RECORD_ELEMENT 8
typedef struct {
    uint16_t words[3];
    uint16_t unused;
    unsigned char element[READ_RECORD_BYTES - READ_RECORD_ELEMENT];
} ReadRecord;

// Read the element at (block, byte). raw non-zero: (2 x words[0]) - 4 bytes
// as the server sent them; raw 0: the element in the server layout
// (translation mode 1) or translated to the file layout (mode 0).
int rddfpi(const uint16_t *block, const uint16_t *byte, const int16_t *raw, ReadRecord *record,
           int16_t *status);

// Overwrite *length bytes of the design file at (block, byte) with data;
// *length 0 writes a whole element (translated to the file layout in mode 1).
int wtdfpi(const uint16_t *block, const uint16_t *byte, const int16_t *length, const void *data,
           int16_t *status);

// Delete the element at (block, byte); flags bit 0x4000 sends a delete word
// of 0, otherwise 1. flags null: 0.
int delete_element(const uint16_t *block, const uint16_t *byte, const int16_t *flags,
                   int16_t *status);

// Graphic-group operation with the pair (function in the low word, group
// number in the high word). Function 3 with group 0 gives 902, unsent.
void ggdfpi(const uint32_t *pair, int16_t *status);

// Place a 2D ellipse: axes (primary, secondary), centre (x, y), rotation in
// degrees. level null: 0; symbology null: the TCB's active settings;
// linkages null: none; rotation null: 0.
void eldfpi(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
            const double axes[2], const double centre[2], const double *rotation,
            int16_t *status, const int16_t *linkages);

// Place a 3D ellipse: centre (x, y, z) and a 3x3 rotation matrix (row-major;
// null: identity).
void eldfp3(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
            const double axes[2], const double centre[3], int16_t *status,
            const int16_t *linkages, const double matrix[9]);

// Place a line (2 vertices), a line string (count >= 2) or a curve
// (count >= 3). Vertices are int32 x, y (2D) or x, y, z (3D), packed.
// zlow/zhigh (2D files only) null: INT32_MIN / INT32_MAX. Words a (null: 0),
// b and c (null: -1); on success b and c receive the reply words at 24 and
// 26 where given. With both elementBuffer and elementSize given, the placed
// element is copied into the buffer (at most *elementSize bytes) and
// *elementSize set to its size.
int lndfpi_ex(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
              const int32_t *vertices, int16_t *status, const int16_t *linkages,
              const int16_t *a, int16_t *b, int16_t *c, const int32_t *zlow,
              const int32_t *zhigh, void *elementBuffer, int16_t *elementSize);
int lsdfpi_ex(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
              const int32_t *vertices, const int16_t *count, int16_t *status,
              const int16_t *linkages, const int16_t *a, int16_t *b, int16_t *c,
              const int32_t *zlow, const int32_t *zhigh, void *elementBuffer,
              int16_t *elementSize);
int cudfpi_ex(const uint32_t *pair, const int16_t *level, const SymbologyRecord *symbology,
              const int32_t *vertices, const int16_t *count, int16_t *status,
              const int16_t *linkages, const int16_t *a, int16_t *b, int16_t *c,
              const int32_t *zlow, const int32_t *zhigh, void *elementBuffer,
              int16_t *elementSize);

// Move the element at (block, byte) by (dx, dy, dz) (null distances: 0).
// fileWord and lastWord null: 0. Returns the status (no status word).
int move_element(const int16_t *fileWord, const uint16_t *block, const uint16_t *byte,
                 const double *dx, const double *dy, const double *dz, const int16_t *lastWord);

// The general form: a row-major 3 x 4 transformation (2D files use the
// first six values as a 2 x 3 matrix, the rest 0).
int transform_element(const int16_t *fileWord, const uint16_t *block, const uint16_t *byte,
                      const double matrix[12], const int16_t *lastWord);

#endif
