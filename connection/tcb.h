// TCB access: the mapping of the server's terminal control block, the table
// of TCB variables loaded from ustation.rsc, radix-50 names, and reads and
// writes of TCB bytes by offset or by variable name.
#ifndef NW_CONNECTION_TCB_H
#define NW_CONNECTION_TCB_H

#include <stdint.h>

#define TCB_BYTES 8912
#define TCBDEF_MAX 700
#define TCB_NAME_MAX 127

// Statuses of this module.
#define TCB_STATUS_MAPPING 929      // not in the table, not type 1, or outside the TCB
#define TCB_STATUS_RADIX50 930      // character outside the alphabet, or word above 64000
#define TCB_STATUS_NO_MAPPING (-150)
#define TCB_STATUS_NOT_MAPPED (-116)
#define TCB_STATUS_TABLE 51193      // the variable table did not load

// One entry of the variable table.
typedef struct {
    uint16_t name50[2];
    int16_t offset;
    int16_t type;
    int16_t size;
} tcbdef_entry;

typedef struct {
    int16_t count;
    tcbdef_entry entries[TCBDEF_MAX];
} tcbdef_table;

// The mapped TCB (null while not connected) and the handle of its mapping.
extern unsigned char *tcb;
extern void *tcbHandle;
extern tcbdef_table tcbdef;

// Byte sizes of the format codes 0..15 of the variable records.
extern const int16_t fmt_size[16];

// Maps the TCB named `name` (or by TCBKEY when null). 0 also when one is
// already mapped; -150 when no such mapping exists; -116 when it could not be mapped.
int mcslLib_getTcbAndParent(unsigned char **tcbP, void **parent, const char *name);
void mcslLib_releaseTCB(unsigned char **tcbP);

// Loads the variable table from ustation.rsc (found through the server's
// configuration). 0 or 51193.
int read_ucmvars(void);
// Decodes resource data (the record layout of the table) into tcbdef.
// 0, or 51193 when the data is inconsistent.
int tcbdef_load_data(const unsigned char *data, uint32_t size);

int get_tcb_offset(int16_t *offset, int16_t *type, int16_t *size, const uint16_t name50[2]);

int rdtcbasc(const char *name, const int16_t *words, void *buffer, int16_t *status);
int rdtcba(const uint16_t name50[2], const int16_t *words, void *buffer, int16_t *status);
int rdtcb(const int16_t *offset, const int16_t *words, void *buffer, int16_t *status);
int wttcbasc(const char *name, const int16_t *words, const void *data, int16_t *status);
int wttcba(const uint16_t name50[2], const int16_t *words, const void *data, int16_t *status);
int wttcb(const int16_t *offset, const int16_t *words, const void *data, int16_t *status);

// Radix-50: `count` characters of text into words; words into text.
int asc2rd(const char *text, uint16_t *words, const int16_t *count, int16_t *status);
int rd2asc(const uint16_t *words, char *text, int16_t *count, int16_t *status);
// Pads text with blanks to n characters and ends it after n characters
// (text must hold n + 1 bytes).
void str_forcelen(char *text, int n);

#endif
