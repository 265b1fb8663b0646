// Element operations of the design-file server: the handlers of read (18),
// write (19), delete (26), graphic group (20), ellipse (11, 12), line (30),
// line string (31), curve (32) and move (61), and the helpers they share.
//
// Every change goes to the in-memory design file (ServerState::file) and sets
// ServerState::modified; the file is written back when the client closes.
// Positions of existing elements never change: a deleted element keeps its
// space and new elements go before the end-of-design marker.
#ifndef NW_SERVER_OPS_ELEMENTS_H
#define NW_SERVER_OPS_ELEMENTS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "server/server.h"

// Statuses of the element operations.
#define ELOP_STATUS_COMMUNICATION 925   // request shorter than its fields
#define ELOP_STATUS_BAD_GG_NUMBER 901
#define ELOP_STATUS_BAD_GG_CODE 902
#define ELOP_STATUS_TOO_FEW_VERTICES 904
#define ELOP_STATUS_TOO_MANY_VERTICES 905
#define ELOP_STATUS_3D_FILE 917
#define ELOP_STATUS_2D_FILE 918
#define ELOP_STATUS_MAX_LINKAGE 921
#define ELOP_STATUS_MOVE 927
#define ELOP_STATUS_OFF_PLANE 933
#define ELOP_STATUS_INVALID_ELEMENT 934
#define ELOP_STATUS_NO_DESIGN_FILE 953
#define ELOP_STATUS_NO_REFERENCE 970
#define ELOP_STATUS_DELETE_COMPONENT 976
#define ELOP_STATUS_END_OF_FILE 1011
#define ELOP_STATUS_BAD_POSITION 1013

// Largest element the server hands out or places (words to follow 766).
#define ELOP_MAX_ELEMENT_BYTES 1536
// Vertices of a line string or curve.
#define ELOP_MAX_VERTICES 101

// The route table of the element operations (server_dispatch.cpp).
extern const RequestRoute element_routes[];

// Handlers.
void elop_read(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_write(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_delete(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_graphic_group(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_ellipse_2d(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_ellipse_3d(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_line(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_line_string(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_curve(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);
void elop_move(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);

// Helpers ------------------------------------------------------------------

// Index of the element that starts at `position`, or a status: 953 without
// an open file, 1011 at or past the end of the design, 934 for a position
// that is not the start of an element.
int elop_element_at(const ServerState *s, int64_t position, int *index);
// Index of the element whose bytes contain `position` (same statuses).
int elop_element_containing(const ServerState *s, int64_t position, int *index);
// Index one past the last component of the element at `index`: the elements
// that follow a complex header with the complex bit set are its components.
int elop_complex_end(const ServerState *s, int index);
// Index of the header whose components include the element at `index`, or
// `index` itself when that element is not a component.
int elop_complex_header(const ServerState *s, int index);
// Reply words at 24, 26 (block, byte of a position).
void elop_reply_position(ServerReply *reply, uint32_t position);
// The graphic group number the server hands out next (TCB GRAFIC).
uint16_t elop_active_graphic_group(const ServerState *s);
void elop_set_active_graphic_group(ServerState *s, uint16_t group);

#endif
