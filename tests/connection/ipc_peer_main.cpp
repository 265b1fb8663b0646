// Test peer: a second process on the other side of a queue, or a child whose
// arguments, environment and exit code the tests check.
//   nw_ipc_peer serve KEY          attach to queue KEY, answer requests (peer_protocol.h)
//   nw_ipc_peer attach-die KEY N   attach to queue KEY and end with code N without detaching
//   nw_ipc_peer create-die FILE    create a queue, write its key to FILE, end without detaching
//   nw_ipc_peer create-wait FILE   create a queue, write its key to FILE, wait (at most 60 s)
//   nw_ipc_peer args FILE ARG...   write the arguments (one per line) to FILE, exit 0
//   nw_ipc_peer env FILE NAME      write the value of NAME (or "<unset>") to FILE, exit 0
//   nw_ipc_peer exit N [MS]        wait MS ms, then end with code N
//   nw_ipc_peer signal-events PID  open the p1/p2 events of PID, raise p1, exit 0
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "connection/extprog.h"
#include "connection/platform/winnt_extprog.h"
#include "tests/connection/peer_protocol.h"

static int32_t word(const unsigned char *m, int off)
{
    int32_t v;
    memcpy(&v, m + off, 4);
    return v;
}

static void putWord(unsigned char *m, int off, int32_t v)
{
    memcpy(m + off, &v, 4);
}

static int attach(int32_t key, IPCPath **path)
{
    int rc = externProg_openIPCPath(path, &key, EXTPROG_OPEN_EXISTING);
    if (rc != 0)
        fprintf(stderr, "nw_ipc_peer: cannot attach to %d: %d\n", key, rc);
    return rc;
}

static int reply(IPCPath *path, const unsigned char *request, int requestSize)
{
    static unsigned char out[40000];
    int size = requestSize < 32 ? 32 : requestSize;
    memset(out, 0, (size_t)size);
    putWord(out, MSG_TYPE, EXTPROG_MSG_REPLY);
    putWord(out, MSG_LENGTH, size - 16);
    putWord(out, MSG_CODE, word(request, MSG_CODE));
    putWord(out, MSG_STATUS, 0);
    if (requestSize > MSG_BODY)
        memcpy(out + MSG_BODY, request + MSG_BODY, (size_t)(requestSize - MSG_BODY));
    return externProg_sendMessage(out, size, path, nullptr, 0, nullptr);
}

static int serve(int32_t key)
{
    IPCPath *path = nullptr;
    if (attach(key, &path) != 0)
        return 2;
    static unsigned char in[40000];
    for (;;) {
        int status = 0;
        externProg_receiveMessage(&status, in, sizeof in, EXTPROG_MSG_REQUEST, path, 1, 0, 0,
                                  nullptr, nullptr, nullptr);
        if (status == EXTPROG_STATUS_PEER_ENDED) {
            externProg_removeIPCPath(nullptr, path, 0);
            return 0;  // the client left
        }
        if (status != 0) {
            fprintf(stderr, "nw_ipc_peer: receive failed: %d\n", status);
            externProg_removeIPCPath(nullptr, path, 0);
            return 3;
        }
        int size = word(in, MSG_LENGTH) + 16;
        if (size < 16 || size > (int)sizeof in)
            size = 16;
        switch (word(in, MSG_CODE)) {
        case PEER_SLOW:
            usleep((useconds_t)word(in, MSG_BODY) * 1000);
            reply(path, in, size);
            break;
        case PEER_DIE:
            _exit(7);
        case PEER_QUIT:
            reply(path, in, size);
            externProg_removeIPCPath(nullptr, path, 0);
            return 0;
        case PEER_WHOAMI: {
            unsigned char out[40];
            memset(out, 0, sizeof out);
            putWord(out, MSG_TYPE, EXTPROG_MSG_REPLY);
            putWord(out, MSG_LENGTH, 24);
            putWord(out, MSG_CODE, PEER_WHOAMI);
            putWord(out, 24, path->platformPath->receiverId);
            putWord(out, 28, path->platformPath->slot);
            putWord(out, 32, (int32_t)getpid());
            externProg_sendMessage(out, sizeof out, path, nullptr, 0, nullptr);
            break;
        }
        case PEER_HOLD_LOCK:
            namedLock_take(&path->platformPath->lock, 5000);
            usleep((useconds_t)word(in, MSG_BODY) * 1000);
            if (word(in, MSG_BODY + 4) != 0)
                _exit(9);
            namedLock_release(&path->platformPath->lock);
            break;
        default:
            reply(path, in, size);
            break;
        }
    }
}

static int writeFile(const char *file, const char *text)
{
    FILE *f = fopen(file, "w");
    if (!f)
        return 2;
    fputs(text, f);
    fclose(f);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return 64;
    const char *mode = argv[1];
    if (strcmp(mode, "serve") == 0 && argc >= 3)
        return serve((int32_t)strtol(argv[2], nullptr, 10));
    if (strcmp(mode, "attach-die") == 0 && argc >= 4) {
        IPCPath *path = nullptr;
        if (attach((int32_t)strtol(argv[2], nullptr, 10), &path) != 0)
            return 2;
        _exit(atoi(argv[3]));
    }
    if (strcmp(mode, "create-die") == 0 && argc >= 3) {
        IPCPath *path = nullptr;
        int32_t key = 0;
        if (externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE) != 0)
            return 2;
        char text[32];
        snprintf(text, sizeof text, "%d\n", key);
        writeFile(argv[2], text);
        _exit(0);
    }
    if (strcmp(mode, "create-wait") == 0 && argc >= 3) {
        IPCPath *path = nullptr;
        int32_t key = 0;
        if (externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE) != 0)
            return 2;
        char text[32];
        snprintf(text, sizeof text, "%d\n", key);
        std::string tmp = std::string(argv[2]) + ".tmp";
        writeFile(tmp.c_str(), text);
        rename(tmp.c_str(), argv[2]);
        sleep(60);
        externProg_removeIPCPath(nullptr, path, 0);
        return 0;
    }
    if (strcmp(mode, "args") == 0 && argc >= 3) {
        FILE *f = fopen(argv[2], "w");
        if (!f)
            return 2;
        fprintf(f, "%d\n", argc - 3);
        for (int i = 3; i < argc; ++i)
            fprintf(f, "%s\n", argv[i]);
        fclose(f);
        return 0;
    }
    if (strcmp(mode, "env") == 0 && argc >= 4) {
        const char *v = getenv(argv[3]);
        return writeFile(argv[2], v ? v : "<unset>");
    }
    if (strcmp(mode, "exit") == 0 && argc >= 3) {
        if (argc >= 4)
            usleep((useconds_t)atoi(argv[3]) * 1000);
        return atoi(argv[2]);
    }
    if (strcmp(mode, "signal-events") == 0 && argc >= 3) {
        ExternProgDescr *d = nullptr;
        if (externProg_createDescriptor(&d, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr) != 0)
            return 2;
        winNTExtProg_setupSignalEvents(d, atoi(argv[2]), 1);
        // swap 1: this side's send event is the client's p1 (its get event).
        if (!namedEvent_isOpen(&d->platformInfo->sendEvent))
            return 3;
        namedEvent_set(&d->platformInfo->sendEvent);
        externProg_removeDescriptor(d);
        return 0;
    }
    return 64;
}
