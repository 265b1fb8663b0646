// Opening and closing the design file the server owns. The file is loaded
// whole; it is written back (safely: temporary file, fsync, rename) only
// when a client closes it after changing it.
#include <stdio.h>

#include "server/server.h"

int server_open_design_file(ServerState *s, const char *path) {
    if (!path || !path[0]) return SRV_STATUS_NO_DESIGN_FILE;
    DgnFile loaded;
    std::string err;
    if (!dgn_load_file(path, &loaded, &err)) {
        fprintf(stderr, "ustation.exe: %s\n", err.c_str());
        return SRV_STATUS_OPEN_FAILED;
    }
    s->file = std::move(loaded);
    s->fileOpen = true;
    s->modified = false;
    s->filePath = path;
    server_fill_tcb(s);
    return 0;
}

int server_close_design_file(ServerState *s, bool save) {
    int status = 0;
    if (s->fileOpen && s->modified && save) {
        std::string err;
        if (!dgn_save_file(&s->file, s->filePath.c_str(), &err)) {
            fprintf(stderr, "ustation.exe: %s\n", err.c_str());
            status = SRV_STATUS_FILE_WRITE;
        }
    }
    s->file = DgnFile();
    s->fileOpen = false;
    s->modified = false;
    s->filePath.clear();
    server_fill_tcb(s);
    return status;
}
