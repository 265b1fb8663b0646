// ustation.exe: the design-file server.
//
//   ustation.exe -microcsl <task> <designfile> [-c<dir>]
//       started by a client: attaches to the queue named by MSGKEY, opens the
//       design file, answers the client's hello with the name of its TCB and
//       serves until that client closes (or ends).
//   ustation.exe -serve [<designfile>]
//       started by hand: creates a queue and a TCB, prints the MSGKEY and
//       TCBKEY a client needs to attach, and serves clients one after the
//       other until it is stopped (SIGTERM / SIGINT).
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "server/server.h"

static void usage(void) {
    fprintf(stderr,
            "usage: ustation.exe -microcsl <task> <designfile> [-c<dir>]\n"
            "       ustation.exe -serve [<designfile>]\n");
}

static void locate_self(ServerState *s, const char *argv0) {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        s->exePath = buf;
    } else {
        s->exePath = argv0;
    }
    size_t slash = s->exePath.rfind('/');
    s->exeDir = slash == std::string::npos ? std::string("./") : s->exePath.substr(0, slash + 1);
}

static void shut_down(ServerState *s) {
    if (s->self && s->path) externProg_removeIPCPath(s->self, s->path, 0);
    s->path = nullptr;
    if (s->self) externProg_cleanupProgram(s->self);
    s->self = nullptr;
    server_remove_tcb(s);
}

static int fail(ServerState *s, const char *what, int status) {
    fprintf(stderr, "ustation.exe: %s\n", what);
    shut_down(s);
    return SRV_EXIT_FOR_STATUS(status);
}

int main(int argc, char **argv) {
    server_install_signal_handlers();
    static ServerState state;
    ServerState *s = &state;
    locate_self(s, argv[0]);
    const char *designFile = nullptr;

    if (argc >= 4 && strcmp(argv[1], "-microcsl") == 0) {
        s->taskName = argv[2];
        designFile = argv[3];
        for (int i = 4; i < argc; i++)
            if (strncmp(argv[i], "-c", 2) == 0) s->cacheDir = argv[i] + 2;
        const char *msgkey = getenv("MSGKEY");
        char *end = nullptr;
        long key = msgkey ? strtol(msgkey, &end, 10) : 0;
        if (!msgkey || end == msgkey || *end != '\0' || key == 0 || key < INT_MIN || key > INT_MAX) {
            fprintf(stderr, "ustation.exe: MSGKEY does not name a queue\n");
            return SRV_EXIT_FOR_STATUS(SRV_STATUS_INIT);
        }
        s->key = (int32_t)key;
        s->clientPid = getppid();
    } else if (argc >= 2 && argc <= 3 && strcmp(argv[1], "-serve") == 0) {
        s->serving = true;
        if (argc == 3) designFile = argv[2];
    } else {
        usage();
        return 2;
    }

    if (externProg_createDescriptor(&s->self, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr,
                                    nullptr) != 0)
        return fail(s, "out of memory", SRV_STATUS_INIT);
    server_sweep_stale_tcbs();
    if (server_create_tcb(s) != 0) return fail(s, "cannot create the TCB", SRV_STATUS_INIT);
    if (designFile) s->openStatus = server_open_design_file(s, designFile);
    if (s->serving && s->openStatus != 0)
        return fail(s, "cannot open the design file", s->openStatus);

    int st = externProg_openIPCPath(&s->path, &s->key,
                                    s->serving ? EXTPROG_OPEN_CREATE : EXTPROG_OPEN_EXISTING);
    if (st != 0) {
        s->path = nullptr;
        char what[64];
        snprintf(what, sizeof what, "cannot attach to the queue (status %d)", st);
        return fail(s, what, SRV_STATUS_INIT);
    }
    externProg_connectIPCToProgram(s->path, s->self, 0, 0, nullptr);

    if (s->serving) {
        printf("MSGKEY=%d\nTCBKEY=%s\n", (int)s->key, s->tcbName);
        fflush(stdout);
    }
    int code = server_run(s);
    shut_down(s);
    return code;
}
