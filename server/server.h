// The design-file server: state of one server process and the pieces that
// serve requests. Requests are dispatched by request code to handlers kept in
// route tables, one table per group of operations (server_dispatch.cpp).
#ifndef NW_SERVER_SERVER_H
#define NW_SERVER_SERVER_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "connection/extprog.h"
#include "connection/platform/named_objects.h"
#include "dgn/dgn_file.h"

// Statuses the server answers with.
#define SRV_STATUS_NONEXISTENT_REQUEST 900
#define SRV_STATUS_INIT 926
#define SRV_STATUS_NO_DESIGN_FILE 953
#define SRV_STATUS_OPEN_FAILED 948
#define SRV_STATUS_FILE_WRITE 912
#define SRV_STATUS_ENDING 1021
#define SRV_STATUS_UNSET_VARIABLE 0x8000

// Exit code that tells a watching client a status code (code - 768).
#define SRV_EXIT_FOR_STATUS(code) ((code) - 768)

// Largest request the queue can carry; replies stay within the client's buffer.
#define SRV_REQUEST_CAPACITY 32768
#define SRV_REPLY_CAPACITY 8232

struct ServerState {
    // Queue.
    IPCPath *path = nullptr;
    // A queue a client created and handed over through the TCB (its key
    // written at TCB byte 5168); served instead of `path` until that client
    // closes or ends.
    IPCPath *handover = nullptr;
    ExternProgDescr *self = nullptr;
    int32_t key = 0;
    bool serving = false;          // started by hand: outlives its clients
    pid_t starterPid = 0;          // the client that started this server (hello sender)
    pid_t clientPid = 0;           // the client being served
    std::string taskName;
    std::string cacheDir;

    // TCB.
    NamedMapping tcb = {};
    char tcbName[NAMED_OBJECT_NAME_BYTES] = "";

    // Design file.
    DgnFile file;
    bool fileOpen = false;
    bool modified = false;
    std::string filePath;          // as named by the command line or the open request
    int openStatus = 0;            // status of the command line's open (0 or 948)

    // Where the server lives (configuration look-ups).
    std::string exePath;
    std::string exeDir;            // with a trailing slash

    bool quit = false;
    int exitCode = 0;
};

// A reply under construction: the status and the bytes from reply offset 24.
struct ServerReply {
    int32_t status = 0;
    std::vector<uint8_t> data;
    bool endAfter = false;         // the server ends once this reply is posted
};

typedef void (*RequestHandler)(ServerState *s, const uint8_t *request, size_t length,
                               ServerReply *reply);

struct RequestRoute {
    int32_t code;                  // 0 ends a table
    RequestHandler handler;
};

// Route tables of the operation groups.
extern const RequestRoute session_routes[];
extern const RequestRoute element_routes[];

// Handles one request message (header included) and fills the reply.
void server_dispatch(ServerState *s, const uint8_t *request, size_t length, ServerReply *reply);

// Design file: open (load) and close (save when changed). 0 or a status.
int server_open_design_file(ServerState *s, const char *path);
int server_close_design_file(ServerState *s, bool save);

// TCB: create the named block and fill it from the open design file.
int server_create_tcb(ServerState *s);
void server_fill_tcb(ServerState *s);
void server_remove_tcb(ServerState *s);
// Removes TCBs left by servers that were killed.
void server_sweep_stale_tcbs(void);

// SIGTERM, SIGINT and SIGHUP end the server cleanly (installed first thing).
void server_install_signal_handlers(void);
int server_stop_requested(void);

// Runs the server until it ends; returns the process exit code.
int server_run(ServerState *s);

// Little-endian fields of request and reply records.
int32_t srv_get32(const uint8_t *p);
uint16_t srv_get16(const uint8_t *p);
void srv_put32(uint8_t *p, uint32_t v);
void srv_put16(uint8_t *p, uint16_t v);

// A zero-terminated string of a field of at most `size` bytes at `offset` of
// the request; empty when the field lies outside the message.
std::string srv_get_string(const uint8_t *request, size_t length, size_t offset, size_t size);

#endif
