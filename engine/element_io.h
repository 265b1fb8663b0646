/*
 * element_io.h - the engine's use of the element operations.
 *
 * Splits element positions into block and byte, chooses the 2D or 3D form
 * of a placement, follows every placement with the run's graphic-group
 * operation, and reads the fields the engine needs from an element record
 * in the server layout, never past the element or the record.
 */
#ifndef NW_ENGINE_ELEMENT_IO_H
#define NW_ENGINE_ELEMENT_IO_H

#include "dgnrequests/element_ops.h"
#include "dgnrequests/element_layout.h"
#include "engine/run_context.h"

/* Reads the element at `position` (raw flag 0, server layout). */
int read_element(int32_t position, ReadRecord *rec);

/* Overwrites `length` bytes at `position` of the design file. */
int write_bytes(int32_t position, const void *data, int16_t length);

/* Deletes the element at `position`. */
int delete_at(int32_t position, uint16_t *block, uint16_t *byte);

/* Moves the element at `position` by (dx, dy, dz). */
int move_at(int32_t position, double dx, double dy, double dz);

/* The graphic-group operation with the run's pair; its status is ignored. */
void advance_graphic_group(const Run &r);

/* Places one flag circle (2D: rotation in degrees; 3D: identity matrix)
 * with the current placement pair, prints "Error %d placing ELLIPSE" on
 * failure and then advances the graphic group. Returns the status. */
int place_flag(Run &r, int level, const SymbologyRecord &symb, const double axes[2],
               const NwPoint &centre, double rotation);

/* Fields of an element record (server layout). */
size_t record_length(const ReadRecord *rec);     /* bytes of the element inside the record */
int rec_type(const ReadRecord *rec);
int rec_level(const ReadRecord *rec);
bool rec_complex(const ReadRecord *rec);
uint16_t rec_header_word(const ReadRecord *rec);
uint16_t rec_words_to_follow(const ReadRecord *rec);
uint16_t rec_graphic_group(const ReadRecord *rec);
int rec_class(const ReadRecord *rec);
ElementSymbology rec_symbology(const ReadRecord *rec);
void rec_range(const ReadRecord *rec, int32_t range[6]);
/* Vertex count of a line (2), line string or curve; 0 for other types or
 * an element whose vertices do not fit in it. */
int rec_vertex_count(const ReadRecord *rec, int dimension);
bool rec_vertex(const ReadRecord *rec, int dimension, int index, NwPoint *out);

/* Symbology record from fields; weight kept within 0..31 and color within
 * 0..255 so a derived value never spills into another field. */
SymbologyRecord make_symbology(int elclass, int style, int weight, int color);

/* True for cell headers, text nodes, ellipses and texts. */
inline bool is_point_feature_type(int type)
{
    return type == 2 || type == 7 || type == 15 || type == 17;
}

#endif
