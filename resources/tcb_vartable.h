// The TCB variable table shipped in ustation.rsc, and the TCB layout of the
// design-file server that it describes.
//
// The table is resource type TCBVARS_RSC_TYPE ("UcmV"), id 1. Its data:
//   0  u16  unused
//   2  i16  record count N
//   4  N records of 20 bytes:
//        0  name, at most 6 characters, zero-terminated (7 bytes)
//        7  u8   type (1 = readable by name)
//        8  i32  byte offset in the TCB
//        12 u32  format: bits 0-3 format code, bits 4-15 element count
//        16 u32  unused
// The server fills the TCB at the offsets below; the client finds them by name.
#ifndef NW_RESOURCES_TCB_VARTABLE_H
#define NW_RESOURCES_TCB_VARTABLE_H

#include <stddef.h>
#include <stdint.h>

#define TCBVARS_RSC_TYPE 0x55636D56u
#define TCBVARS_RSC_ID 1u
#define TCBVARS_RECORD_SIZE 20
#define TCBVARS_HEAD_SIZE 4

// Size of the TCB shared memory block.
#define TCB_SIZE 8912

// Fixed TCB words read or written by the client directly.
#define TCB_OFF_ACTIVE_CLASS 1414   // 16-bit, low 4 bits = active class
#define TCB_OFF_ACTIVE_SYMB 1416    // 32-bit: style bits 0-2, weight 3-7, colour 8-15
#define TCB_OFF_DIMENSION 4072      // 16-bit, 3 = three-dimensional file
#define TCB_OFF_QUEUE_KEY 5168      // 32-bit queue key written by a client
#define TCB_OFF_ACTIVE_UDLS 7776    // 32-bit active user-defined line style

// TCB variables reached by name through the table.
#define TCB_OFF_GRAFIC 1104         // 16-bit, next free graphic group number
#define TCB_OFF_EU_MU 1112          // 32-bit, sub-units per master unit
#define TCB_OFF_EU_UOR 1116         // 32-bit, UORs per sub-unit
#define TCB_OFF_MU_NAME 1120        // 2 characters, master unit name
#define TCB_OFF_SU_NAME 1122        // 2 characters, sub-unit name

// Format codes (index into the size table of the client).
#define TCB_FMT_CHAR 1
#define TCB_FMT_INT16 2
#define TCB_FMT_INT32 3

typedef struct {
    const char *name;   // at most 6 characters
    uint8_t type;
    int32_t offset;
    uint32_t format;    // code | (count << 4)
} tcb_var_def;

// The variables the server provides, in table order.
extern const tcb_var_def tcb_var_defs[];
extern const size_t tcb_var_def_count;

// Encodes definitions into the resource's data layout. Returns the number of
// bytes needed; writes them when capacity allows (pass 0 to ask the size).
size_t tcbvars_encode(const tcb_var_def *defs, size_t count, unsigned char *out,
                      size_t capacity);

#endif
