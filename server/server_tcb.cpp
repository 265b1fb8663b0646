// The server's TCB: a named shared block of 8912 bytes, created by the
// server and filled from the design-file header element of the open file.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "connection/platform/winnt_extprog.h"

#include "resources/tcb_vartable.h"
#include "server/server.h"

// TCBs of servers that were killed and could not remove theirs: names of
// the form nwTcb + 8 hex digits of a process that no longer exists.
void server_sweep_stale_tcbs(void) {
    DIR *d = opendir("/dev/shm");
    if (!d) return;
    while (struct dirent *e = readdir(d)) {
        const char *n = e->d_name;
        if (strncmp(n, "nwTcb", 5) != 0 || strlen(n) != 13) continue;
        char *end = nullptr;
        long pid = strtol(n + 5, &end, 16);
        if (*end != '\0' || pid <= 0 || pid == (long)getpid()) continue;
        if (!winNTExtProg_processAlive((pid_t)pid)) namedObject_unlink(n);
    }
    closedir(d);
}

int server_create_tcb(ServerState *s) {
    snprintf(s->tcbName, sizeof s->tcbName, "nwTcb%08x", (unsigned)getpid());
    int err = namedMapping_create(&s->tcb, s->tcbName, TCB_SIZE);
    if (err != 0) {
        // A leftover of an ended process with our pid: take the name over.
        namedObject_unlink(s->tcbName);
        err = namedMapping_create(&s->tcb, s->tcbName, TCB_SIZE);
    }
    if (err != 0) {
        s->tcbName[0] = '\0';
        return SRV_STATUS_INIT;
    }
    memset(s->tcb.address, 0, TCB_SIZE);
    return 0;
}

void server_remove_tcb(ServerState *s) {
    if (s->tcb.address) namedMapping_close(&s->tcb);
    if (s->tcbName[0]) namedObject_unlink(s->tcbName);
    s->tcbName[0] = '\0';
}

void server_fill_tcb(ServerState *s) {
    uint8_t *t = (uint8_t *)s->tcb.address;
    if (!t) return;
    memset(t, 0, TCB_SIZE);
    if (!s->fileOpen) return;
    const DgnFile &f = s->file;
    srv_put16(t + TCB_OFF_DIMENSION, f.is3d ? 3 : 2);
    srv_put32(t + TCB_OFF_EU_MU, (uint32_t)f.eu_mu);
    srv_put32(t + TCB_OFF_EU_UOR, (uint32_t)f.eu_uor);
    memcpy(t + TCB_OFF_MU_NAME, f.master_name, 2);
    memcpy(t + TCB_OFF_SU_NAME, f.sub_name, 2);
    // The next graphic group to hand out: one above the largest in use.
    srv_put16(t + TCB_OFF_GRAFIC, (uint16_t)(f.max_graphic_group + 1u));
    if (f.has_symbology) {
        uint32_t symb = (uint32_t)(f.symbology.style & 0x7) |
                        ((uint32_t)(f.symbology.weight & 0x1F) << 3) |
                        ((uint32_t)(f.symbology.color & 0xFF) << 8);
        srv_put32(t + TCB_OFF_ACTIVE_SYMB, symb);
    }
}
