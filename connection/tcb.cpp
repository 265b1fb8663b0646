// TCB variable table, radix-50 names and TCB reads and writes.
#include "connection/tcb.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "connection/file_search.h"
#include "dgnrequests/request_exchange.h"
#include "resources/rsc_file.h"
#include "resources/tcb_vartable.h"

tcbdef_table tcbdef;

const int16_t fmt_size[16] = {0, 1, 2, 4, 8, 1, 118, 72, 8, 2, 2, 4, 1, 4, 8, 4};

// ---- radix-50 --------------------------------------------------------------

// Value of a character in the radix-50 alphabet, or -1 when outside it.
static int r50_value(char c) {
    if (c == ' ') return 0;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
    if (c == '$') return 27;
    if (c == '.') return 28;
    if (c == '_' || c == '?') return 29;
    if (c >= '0' && c <= '9') return c - '0' + 30;
    return -1;
}

static const char r50_chars[41] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ$._0123456789";

int asc2rd(const char *text, uint16_t *words, const int16_t *count, int16_t *status) {
    int result = 0;
    int n = count ? *count : 0;
    if (!words) return setstat(status, TCB_STATUS_RADIX50);
    int w = 0, inWord = 0;
    words[0] = 0;
    for (int i = 0; i < n; i++) {
        int v = r50_value(text[i]);
        if (v < 0) {
            v = 0;
            result = TCB_STATUS_RADIX50;
        }
        words[w] = (uint16_t)(words[w] * 40 + v);
        if (++inWord == 3 && i + 1 < n) {
            words[++w] = 0;
            inWord = 0;
        }
    }
    // A partial last word is padded as with blanks.
    if (n > 0)
        for (; inWord < 3; inWord++) words[w] = (uint16_t)(words[w] * 40);
    return setstat(status, result);
}

int rd2asc(const uint16_t *words, char *text, int16_t *count, int16_t *status) {
    int n = count ? *count : 0;
    int nwords = n > 0 ? (n + 2) / 3 : 0;
    for (int w = 0; w < nwords; w++) {
        unsigned v = words[w];
        if (v > 64000) {
            if (count) *count = (int16_t)(3 * w);
            return setstat(status, TCB_STATUS_RADIX50);
        }
        for (int k = 2; k >= 0; k--) {
            text[3 * w + k] = r50_chars[v % 40];
            v /= 40;
        }
    }
    if (count) *count = (int16_t)(3 * nwords);
    return setstat(status, 0);
}

void str_forcelen(char *text, int n) {
    int len = (int)strnlen(text, (size_t)n);
    for (int i = len; i < n; i++) text[i] = ' ';
    text[n] = '\0';
}

// ---- variable table --------------------------------------------------------

static uint32_t get_le32(const unsigned char *p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

int tcbdef_load_data(const unsigned char *data, uint32_t size) {
    if (!data || size < TCBVARS_HEAD_SIZE) return TCB_STATUS_TABLE;
    int n = (int16_t)(data[2] | (data[3] << 8));
    // The record count is checked against the data actually present and the
    // table's room; a table that claims more is refused as damaged.
    if (n < 0 || n > TCBDEF_MAX || (uint32_t)n > (size - TCBVARS_HEAD_SIZE) / TCBVARS_RECORD_SIZE)
        return TCB_STATUS_TABLE;
    tcbdef.count = (int16_t)n;
    for (int i = 0; i < n; i++) {
        const unsigned char *r = data + TCBVARS_HEAD_SIZE + (size_t)i * TCBVARS_RECORD_SIZE;
        char name[8];
        memcpy(name, r, 7);
        name[6] = '\0';
        str_forcelen(name, 6);
        tcbdef_entry *e = &tcbdef.entries[i];
        int16_t six = 6;
        asc2rd(name, e->name50, &six, nullptr);  // an unclean name is kept as encoded
        e->type = r[7];
        e->offset = (int16_t)get_le32(r + 8);
        uint32_t fmt = get_le32(r + 12);
        e->size = (int16_t)(fmt_size[fmt & 0xF] * ((fmt >> 4) & 0xFFF));
    }
    return 0;
}

static int load_table_file(const char *path) {
    rsc_file *rf = nullptr;
    if (rsc_open(&rf, path) != RSC_OK) return TCB_STATUS_TABLE;
    uint32_t size = 0;
    int status = TCB_STATUS_TABLE;
    if (rsc_locate(rf, TCBVARS_RSC_TYPE, TCBVARS_RSC_ID, &size) == RSC_OK && size > 0) {
        unsigned char *data = (unsigned char *)malloc(size);
        size_t got = 0;
        if (data && rsc_read(rf, TCBVARS_RSC_TYPE, TCBVARS_RSC_ID, data, size, &got) == RSC_OK)
            status = tcbdef_load_data(data, (uint32_t)got);
        free(data);
    }
    rsc_close(rf);
    return status;
}

int read_ucmvars(void) {
    // From now until the connection is closed, search variables come from the server.
    util_setEnvFunc(bsigetenv);
    char rsrc[129] = "";
    bsigetenv(rsrc, "MS_RSRC", sizeof rsrc);
    char variables[FS_PATH_MAX];
    util_buildString(variables, nullptr, "MS_EXE", "MS_RSRCPATH", (const char *)nullptr);
    char path[FS_PATH_MAX] = "";
    if (rsrc[0]) {
        char dir[FS_PATH_MAX] = "";
        util_parseFilename(rsrc, nullptr, dir, nullptr, nullptr);
        if (dir[0])
            snprintf(path, sizeof path, "%s", rsrc);
        else if (util_findFile(nullptr, path, rsrc, variables, "ustation.rsc", 0) != 0)
            return TCB_STATUS_TABLE;
    } else if (util_findFile(nullptr, path, nullptr, variables, "ustation.rsc", 0) != 0) {
        return TCB_STATUS_TABLE;
    }
    return load_table_file(path);
}

int get_tcb_offset(int16_t *offset, int16_t *type, int16_t *size, const uint16_t name50[2]) {
    int n = tcbdef.count;
    if (n > TCBDEF_MAX) n = TCBDEF_MAX;
    for (int i = 0; i < n; i++) {
        const tcbdef_entry *e = &tcbdef.entries[i];
        if (e->name50[0] == name50[0] && e->name50[1] == name50[1]) {
            if (offset) *offset = e->offset;
            if (type) *type = e->type;
            if (size) *size = e->size;
            return 0;
        }
    }
    return TCB_STATUS_MAPPING;
}

// ---- reads and writes --------------------------------------------------------

// Checks that [offset, offset + bytes) lies inside a mapped TCB.
static bool tcb_range_ok(int offset, int bytes) {
    return tcb != nullptr && offset >= 0 && bytes >= 0 && offset + bytes <= TCB_BYTES;
}

// Looks up a variable for access by name; gives offset and the byte count to copy.
static int lookup_access(const uint16_t name50[2], const int16_t *words, int *offset, int *bytes) {
    int16_t off = 0, type = 0, size = 0;
    if (get_tcb_offset(&off, &type, &size, name50) != 0 || type != 1) return TCB_STATUS_MAPPING;
    int len = size;
    if (words && 2 * *words < len) len = 2 * *words;
    if (len < 0) len = 0;
    if (!tcb_range_ok(off, len)) return TCB_STATUS_MAPPING;
    *offset = off;
    *bytes = len;
    return 0;
}

int rdtcba(const uint16_t name50[2], const int16_t *words, void *buffer, int16_t *status) {
    int off = 0, len = 0;
    int st = lookup_access(name50, words, &off, &len);
    if (st != 0) return setstat(status, st);
    if (len > 0) memcpy(buffer, tcb + off, (size_t)len);
    return setstat(status, 0);
}

int wttcba(const uint16_t name50[2], const int16_t *words, const void *data, int16_t *status) {
    if (!words) return setstat(status, TCB_STATUS_MAPPING);
    int off = 0, len = 0;
    int st = lookup_access(name50, words, &off, &len);
    if (st != 0) return setstat(status, st);
    if (len > 0) memcpy(tcb + off, data, (size_t)len);
    return setstat(status, 0);
}

// Encodes the first six characters of a name for lookup.
static int encode_name(const char *name, uint16_t name50[2]) {
    char six[8] = "";
    if (name) snprintf(six, sizeof six, "%.6s", name);
    str_forcelen(six, 6);
    int16_t count = 6;
    return asc2rd(six, name50, &count, nullptr);
}

int rdtcbasc(const char *name, const int16_t *words, void *buffer, int16_t *status) {
    uint16_t name50[2];
    if (encode_name(name, name50) != 0) return setstat(status, TCB_STATUS_RADIX50);
    return rdtcba(name50, words, buffer, status);
}

int wttcbasc(const char *name, const int16_t *words, const void *data, int16_t *status) {
    uint16_t name50[2];
    if (encode_name(name, name50) != 0) return setstat(status, TCB_STATUS_RADIX50);
    return wttcba(name50, words, data, status);
}

int rdtcb(const int16_t *offset, const int16_t *words, void *buffer, int16_t *status) {
    if (!offset || !words) return setstat(status, TCB_STATUS_MAPPING);
    int off = *offset, len = 2 * *words;
    if (!tcb_range_ok(off, len)) return setstat(status, TCB_STATUS_MAPPING);
    if (len > 0) memcpy(buffer, tcb + off, (size_t)len);
    return setstat(status, 0);
}

int wttcb(const int16_t *offset, const int16_t *words, const void *data, int16_t *status) {
    if (!offset || !words) return setstat(status, TCB_STATUS_MAPPING);
    int off = *offset, len = 2 * *words;
    if (!tcb_range_ok(off, len)) return setstat(status, TCB_STATUS_MAPPING);
    if (len > 0) memcpy(tcb + off, data, (size_t)len);
    return setstat(status, 0);
}
