// Mapping and release of the server's TCB (named shared memory created by
// the server; the client only opens it).
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "connection/platform/named_objects.h"
#include "connection/tcb.h"

unsigned char *tcb = nullptr;
void *tcbHandle = nullptr;

int mcslLib_getTcbAndParent(unsigned char **tcbP, void **parent, const char *name) {
    (void)parent;
    if (tcbP && *tcbP) return 0;
    char mapName[TCB_NAME_MAX + 1];
    const char *given = name ? name : getenv("TCBKEY");
    if (!given || !given[0]) return TCB_STATUS_NO_MAPPING;
    snprintf(mapName, sizeof mapName, "%s", given);
    // Names of named objects are plain words; a slash would reach elsewhere.
    if (strchr(mapName, '/') || strlen(mapName) >= NAMED_OBJECT_NAME_BYTES)
        return TCB_STATUS_NO_MAPPING;

    NamedMapping *m = (NamedMapping *)calloc(1, sizeof *m);
    if (!m) return TCB_STATUS_NOT_MAPPED;
    int err = namedMapping_open(m, mapName, TCB_BYTES);
    if (err == ENOENT) {
        free(m);
        return TCB_STATUS_NO_MAPPING;
    }
    if (err != 0 || !m->address) {
        printf("Could not mapViewOfFile for handle 0x%0x, mapName %s, error %d\n", 0u, mapName,
               err);
        free(m);
        return TCB_STATUS_NOT_MAPPED;
    }
    tcbHandle = m;
    if (tcbP) *tcbP = (unsigned char *)m->address;
    return 0;
}

void mcslLib_releaseTCB(unsigned char **tcbP) {
    NamedMapping *m = (NamedMapping *)tcbHandle;
    if (m) {
        namedMapping_close(m);
        free(m);
    }
    tcbHandle = nullptr;
    if (tcbP) *tcbP = nullptr;
}
