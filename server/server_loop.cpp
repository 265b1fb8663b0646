// The server's request loop: takes requests (type 100) from the queue,
// dispatches them and posts one reply (type 101) for each. Between requests
// it watches its client: a client that ends without closing leaves the
// design file untouched, and a server started by that client ends too.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "connection/platform/winnt_extprog.h"
#include "server/server.h"

static volatile sig_atomic_t stopRequested = 0;

static void on_stop_signal(int) { stopRequested = 1; }

static void install_signal_handlers(void) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

static void post_reply(ServerState *s, const uint8_t *request, const ServerReply &reply) {
    std::vector<uint8_t> msg(24 + reply.data.size(), 0);
    srv_put32(&msg[0], 101);
    srv_put32(&msg[4], (uint32_t)(msg.size() - 16));
    srv_put32(&msg[12], (uint32_t)srv_get32(request + 12));
    srv_put32(&msg[16], (uint32_t)reply.status);
    if (!reply.data.empty()) memcpy(&msg[24], reply.data.data(), reply.data.size());
    int st = externProg_sendMessage(msg.data(), (int)msg.size(), s->path, nullptr, 0, nullptr);
    if (st != 0) fprintf(stderr, "ustation.exe: reply not posted (status %d)\n", st);
}

// The client went away without closing: forget its changes.
static void client_gone(ServerState *s) {
    if (s->fileOpen) server_close_design_file(s, false);
    s->clientPid = 0;
    // Objects the client could not remove itself (its signal events).
    winNTExtProg_sweepStaleObjects();
    if (!s->serving) {
        s->quit = true;
        s->exitCode = 0;
    } else if (s->path && s->path->platformPath) {
        // Ready for the next client.
        s->path->platformPath->peerSeen = 0;
    }
}

int server_run(ServerState *s) {
    install_signal_handlers();
    std::vector<uint8_t> request(SRV_REQUEST_CAPACITY);
    while (!s->quit && !stopRequested) {
        int status = EXTPROG_STATUS_NO_MESSAGE;
        externProg_receiveMessage(&status, request.data(), (int)request.size(), 100, s->path, 1,
                                  1, 1, nullptr, nullptr, nullptr);
        if (status == 0) {
            int32_t length = srv_get32(&request[4]);
            size_t size = (length >= 0 && (size_t)length <= request.size() - 16)
                              ? (size_t)length + 16
                              : 16;
            ServerReply reply;
            if (size == 16 && length != 0)
                reply.status = SRV_STATUS_NONEXISTENT_REQUEST;
            else
                server_dispatch(s, request.data(), size, &reply);
            post_reply(s, request.data(), reply);
            if (reply.endAfter) s->quit = true;
            continue;
        }
        if (status == EXTPROG_STATUS_PEER_ENDED) {
            client_gone(s);
            continue;
        }
        if (s->clientPid > 0 && !winNTExtProg_processAlive(s->clientPid)) client_gone(s);
    }
    if (stopRequested && s->fileOpen) server_close_design_file(s, false);
    return s->exitCode;
}
