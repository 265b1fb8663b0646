// Session requests: hello (63), open design file (1), close design file (2)
// and configuration look-ups (134).
#include <stdlib.h>
#include <string.h>

#include "server/server.h"

static pid_t sender_of(const uint8_t *request) { return (pid_t)srv_get32(request + 8); }

static void put_string(ServerReply *reply, const std::string &text) {
    // The value must fit the client's reply buffer after offset 24.
    size_t n = text.size();
    if (n > SRV_REPLY_CAPACITY - 24 - 1) n = SRV_REPLY_CAPACITY - 24 - 1;
    reply->data.assign(text.begin(), text.begin() + (long)n);
    reply->data.push_back(0);
}

// Hello: a client announces itself; answered with the TCB's name.
static void op_hello(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    (void)length;
    s->clientPid = sender_of(request);
    if (!s->serving && s->starterPid == 0) s->starterPid = s->clientPid;
    put_string(reply, s->tcbName);
    reply->status = s->openStatus;
    if (s->openStatus != 0 && !s->serving) {
        reply->endAfter = true;
        s->exitCode = SRV_EXIT_FOR_STATUS(s->openStatus);
    }
}

static void op_open(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    std::string name = srv_get_string(request, length, 16, 128);
    s->clientPid = sender_of(request);
    if (name.empty() || (s->fileOpen && name == s->filePath)) {
        reply->status = s->fileOpen ? 0 : SRV_STATUS_NO_DESIGN_FILE;
        return;
    }
    if (s->fileOpen) server_close_design_file(s, true);
    reply->status = server_open_design_file(s, name.c_str());
    if (reply->status != 0 && !s->serving) {
        reply->endAfter = true;
        s->exitCode = SRV_EXIT_FOR_STATUS(reply->status);
    }
}

static void op_close(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    (void)length;
    pid_t sender = sender_of(request);
    int status = server_close_design_file(s, true);
    if (!s->serving && sender == s->starterPid) {
        // The client that started this server is done: answer and end.
        reply->status = status != 0 ? status : SRV_STATUS_ENDING;
        reply->endAfter = true;
        return;
    }
    reply->status = status;
    if (sender == s->clientPid) s->clientPid = 0;
}

static void op_config(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply) {
    std::string name = srv_get_string(request, length, 16, 128);
    std::string value;
    bool set = true;
    if (name == "MS_RSRC") {
        value = s->exeDir + "ustation.rsc";
    } else if (name == "MS_RSRCPATH") {
        value = s->exeDir;
    } else if (name == "MS_EXE") {
        value = s->exePath;
    } else {
        const char *v = name.empty() ? nullptr : getenv(name.c_str());
        set = v != nullptr;
        if (v) value = v;
    }
    put_string(reply, value);
    reply->status = set ? 0 : SRV_STATUS_UNSET_VARIABLE;
}

const RequestRoute session_routes[] = {
    {63, op_hello},
    {1, op_open},
    {2, op_close},
    {134, op_config},
    {0, nullptr},
};
