// The server's request loop: takes requests (type 100) from the queue,
// dispatches them and posts one reply (type 101) for each. Between requests
// it watches its client: a client that ends without closing leaves the
// design file untouched, and a server started by that client ends too.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "connection/platform/winnt_extprog.h"
#include "resources/tcb_vartable.h"
#include "server/server.h"

static volatile sig_atomic_t stopRequested = 0;

static void on_stop_signal(int) { stopRequested = 1; }

int server_stop_requested(void) { return stopRequested != 0; }

void server_install_signal_handlers(void) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

static void post_reply(IPCPath *path, const uint8_t *request, const ServerReply &reply) {
    std::vector<uint8_t> msg(24 + reply.data.size(), 0);
    srv_put32(&msg[0], 101);
    srv_put32(&msg[4], (uint32_t)(msg.size() - 16));
    srv_put32(&msg[12], (uint32_t)srv_get32(request + 12));
    srv_put32(&msg[16], (uint32_t)reply.status);
    if (!reply.data.empty()) memcpy(&msg[24], reply.data.data(), reply.data.size());
    int st = externProg_sendMessage(msg.data(), (int)msg.size(), path, nullptr, 0, nullptr);
    if (st != 0) fprintf(stderr, "ustation.exe: reply not posted (status %d)\n", st);
}

static void end_handover(ServerState *s) {
    if (!s->handover) return;
    externProg_removeIPCPath(s->self, s->handover, 0);
    s->handover = nullptr;
}

// A serving server looks for a queue key a client wrote into the TCB (a
// client that was given only TCBKEY) and serves that queue until the client
// is done.
static void take_handover(ServerState *s) {
    uint8_t *t = (uint8_t *)s->tcb.address;
    if (!s->serving || s->handover || !t) return;
    int32_t key = srv_get32(t + TCB_OFF_QUEUE_KEY);
    if (key == 0) return;
    srv_put32(t + TCB_OFF_QUEUE_KEY, 0);
    IPCPath *path = nullptr;
    if (externProg_openIPCPath(&path, &key, EXTPROG_OPEN_EXISTING) != 0) {
        fprintf(stderr, "ustation.exe: queue %d handed over in the TCB cannot be opened\n", (int)key);
        return;
    }
    externProg_connectIPCToProgram(path, s->self, 0, 0, nullptr);
    s->handover = path;
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
    } else if (s->handover) {
        end_handover(s);
    } else if (s->path && s->path->platformPath) {
        // Ready for the next client.
        s->path->platformPath->peerSeen = 0;
    }
}

int server_run(ServerState *s) {
    std::vector<uint8_t> request(SRV_REQUEST_CAPACITY);
    while (!s->quit && !server_stop_requested()) {
        take_handover(s);
        IPCPath *path = s->handover ? s->handover : s->path;
        int status = EXTPROG_STATUS_NO_MESSAGE;
        externProg_receiveMessage(&status, request.data(), (int)request.size(), 100, path, 1,
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
            post_reply(path, request.data(), reply);
            if (reply.endAfter) s->quit = true;
            // The client of a handed-over queue is done with it after its close.
            if (path == s->handover && srv_get32(&request[12]) == 2) end_handover(s);
            continue;
        }
        if (status == EXTPROG_STATUS_PEER_ENDED) {
            client_gone(s);
            continue;
        }
        if (s->clientPid > 0 && !winNTExtProg_processAlive(s->clientPid)) client_gone(s);
    }
    if (server_stop_requested() && s->fileOpen) server_close_design_file(s, false);
    end_handover(s);
    return s->exitCode;
}
