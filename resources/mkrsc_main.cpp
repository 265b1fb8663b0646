// Build-time tool: writes ustation.rsc, the resource file holding the TCB
// variable table of the design-file server.
//   nw_mkrsc <output path>
#include <stdio.h>
#include <stdlib.h>

#include "resources/rsc_file.h"
#include "resources/tcb_vartable.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <output.rsc>\n", argv[0]);
        return 2;
    }
    size_t size = tcbvars_encode(tcb_var_defs, tcb_var_def_count, nullptr, 0);
    unsigned char *data = (unsigned char *)malloc(size);
    if (!data) {
        fprintf(stderr, "%s: out of memory\n", argv[0]);
        return 1;
    }
    tcbvars_encode(tcb_var_defs, tcb_var_def_count, data, size);
    rsc_entry entry = {TCBVARS_RSC_TYPE, TCBVARS_RSC_ID, data, (uint32_t)size};
    int status = rsc_write_file(argv[1], &entry, 1);
    free(data);
    if (status != RSC_OK) {
        fprintf(stderr, "%s: cannot write %s (status %d)\n", argv[0], argv[1], status);
        return 1;
    }
    return 0;
}
