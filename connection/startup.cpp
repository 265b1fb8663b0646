// indfpi / dedfpi: bringing the connection to the design-file server up and
// taking it down.
#include "connection/startup.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "connection/file_search.h"
#include "connection/platform/named_objects.h"
#include "connection/platform/winnt_extprog.h"
#include "connection/tcb.h"
#include "dgnrequests/request_exchange.h"

ExternProgDescr *mcslExtProgP = nullptr;
ExternProgDescr *mstnExtProgP = nullptr;
IPCPath *mcslIPCPathP = nullptr;
int dfpiDetached = 1;
int mcsl_debugMode = 0;
int mcsl_translationMode = 0;
int ms32_status = 0;

// Name of the TCB of a server this client started. A server that was
// killed cannot remove its TCB; once its end is confirmed the client does.
static char startedServerTcb[NAMED_OBJECT_NAME_BYTES];

void mcslLib_setDebugMode(int mode) { mcsl_debugMode = mode; }

int32_t mcsl_getConnectionInfo(void) {
    const char *v = getenv("MSGKEY");
    if (!v || !v[0]) return 0;
    char *end = nullptr;
    long key = strtol(v, &end, 10);
    if (end == v || *end != '\0' || key < INT32_MIN || key > INT32_MAX) return 0;
    return (int32_t)key;
}

int mcsl_microStationDied(ExternProgDescr *descriptor, int exitStatus, int signal) {
    (void)descriptor;
    (void)signal;
    int status = exitStatus + 768;
    if (status > 900 && status < 950)
        printf("MicroStation terminated with status of %d\n", status);
    else if (exitStatus != 0)
        printf("MicroStation terminated with status of %d\n", exitStatus);
    fflush(stdout);
    ms32_status = 1;
    return 0;
}

int mcsl_signalWhileOffline(int signal, int *signalFlag, void *checkArg,
                            ExternProgDescr *descriptor) {
    (void)signalFlag;
    (void)checkArg;
    // The dead-process handler has run the termination callback already.
    if (signal == EXTPROG_SIGNAL_PROCESS_ENDED && descriptor == mstnExtProgP) return 1;
    return 0;
}

// Takes down whatever is left of the connection when the process ends
// without dedfpi, so that no named object of this client outlives it. The
// server notices its client's end and leaves the design file untouched.
void mcsl_shutdownConnection(void) {
    if (tcb) mcslLib_releaseTCB(&tcb);
    if (mcslExtProgP && mcslIPCPathP) externProg_removeIPCPath(mcslExtProgP, mcslIPCPathP, 0);
    mcslIPCPathP = nullptr;
    if (mstnExtProgP) externProg_terminateProgram(mstnExtProgP);
    mstnExtProgP = nullptr;
    if (mcslExtProgP) externProg_cleanupProgram(mcslExtProgP);
    mcslExtProgP = nullptr;
    util_setEnvFunc(nullptr);
    dfpiDetached = 1;
}

static void register_atexit(void) {
    static int registered = 0;
    if (!registered) {
        // The queue layer's own exit hook must run after this one (exit
        // hooks run last-registered first): this one releases the paths
        // through their owners, the queue layer's then finds nothing left.
        winNTExtProg_installExitHook();
        atexit(mcsl_shutdownConnection);
        registered = 1;
    }
}

int indfpiSetstat(int16_t *status, int code, int detachQueue, int dropServer) {
    if (detachQueue && mcslIPCPathP) {
        externProg_removeIPCPath(mcslExtProgP, mcslIPCPathP, 0);
        mcslIPCPathP = nullptr;
    }
    if (dropServer) {
        if (tcb) mcslLib_releaseTCB(&tcb);
        if (mstnExtProgP) externProg_terminateProgram(mstnExtProgP);
        mstnExtProgP = nullptr;
    }
    return setstat(status, code);
}

// The server installed beside this program, for when neither the current
// folder nor MS_EXE holds one.
static bool server_beside_program(char *exePath) {
    char self[FS_PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return false;
    self[n] = '\0';
    char *slash = strrchr(self, '/');
    if (!slash) return false;
    slash[1] = '\0';
    if (snprintf(exePath, FS_PATH_MAX, "%sustation.exe", self) >= FS_PATH_MAX) return false;
    return access(exePath, X_OK) == 0;
}

static int create_server_descriptor(void) {
    int st = externProg_createDescriptor(&mstnExtProgP, 0, EXTPROG_KIND_SERVER, nullptr, 0,
                                         mcsl_microStationDied, nullptr);
    if (st != 0) return st;
    winNTExtProg_setupSignalEvents(mstnExtProgP, 0, 0);
    return 0;
}

// Copies a name into a zero-filled field of DFPI_NAME_BYTES bytes.
static void put_name(unsigned char *field, const char *name) {
    memset(field, 0, DFPI_NAME_BYTES);
    if (name) memcpy(field, name, strlen(name));
}

// Branch B: own queue, start the server (or hand the queue to a running one
// found through TCBKEY) and wait for its answer to the hello message.
// Returns 0 or a status already stored through indfpiSetstat; *started
// tells whether this call started the server.
static int start_server(unsigned char *openRequest, int32_t key, const char *designFile,
                        int16_t *status, int *started) {
    int st = externProg_openIPCPath(&mcslIPCPathP, &key, EXTPROG_OPEN_CREATE);
    if (st != 0) {
        printf("Could not create msg queue, error=%d\n", st);
        mcslIPCPathP = nullptr;
        return indfpiSetstat(status, INDFPI_STATUS_INIT, 0, 0);
    }
    externProg_connectIPCToProgram(mcslIPCPathP, mcslExtProgP, 0, 0, nullptr);

    unsigned char hello[HELLO_BYTES];
    memset(hello, 0, sizeof hello);
    req_put32(hello + REQ_OFF_TYPE, REQ_TYPE_REQUEST);
    req_put32(hello + REQ_OFF_LENGTH, HELLO_BYTES - REQ_HEADER_BYTES);
    req_put32(hello + REQ_OFF_CODE, REQ_CODE_HELLO);
    snprintf((char *)hello + REQ_HEADER_BYTES, DFPI_NAME_BYTES, "%.127s", taskname);
    st = externProg_sendMessage(hello, HELLO_BYTES, mcslIPCPathP, nullptr, 0, nullptr);
    if (st != 0) return indfpiSetstat(status, st, 1, 0);

    unsigned char *reply = (unsigned char *)calloc(1, REPLY_DEFAULT_CAPACITY);
    if (!reply) return indfpiSetstat(status, 978, 1, 0);
    int received = EXTPROG_STATUS_NO_MESSAGE;

    if (mcslLib_getTcbAndParent(&tcb, nullptr, nullptr) == 0) {
        // A server is running and this client was given its TCB: hand it the queue.
        if (!mstnExtProgP && create_server_descriptor() != 0) {
            free(reply);
            return indfpiSetstat(status, 978, 1, 0);
        }
        req_put32(tcb + 5168, (uint32_t)mcslIPCPathP->key);
        externProg_receiveMessage(&received, reply, REPLY_DEFAULT_CAPACITY, REQ_TYPE_REPLY,
                                  mcslIPCPathP, 1, exchange_time_limit(), exchange_time_limit(),
                                  nullptr, nullptr, nullptr);
        free(reply);
        if (received != 0) {
            if (ms32_status) return indfpiSetstat(status, EXCHANGE_STATUS_COMMUNICATION, 1, 0);
            return indfpiSetstat(status, INDFPI_STATUS_TIMEOUT, 1, 1);
        }
        return 0;
    }

    if (!designFile || !designFile[0]) {
        free(reply);
        return indfpiSetstat(status, INDFPI_STATUS_NO_DESIGN_FILE, 1, 0);
    }
    char exePath[FS_PATH_MAX];
    if (externProg_findExecutable(exePath, "ustation.exe", "MS_EXE", nullptr) != 0 &&
        !server_beside_program(exePath)) {
        free(reply);
        return indfpiSetstat(status, INDFPI_STATUS_EXEC, 1, 0);
    }
    char cache[FS_PATH_MAX + 2];
    const char *argv[4] = {"-microcsl", taskname, designFile, nullptr};
    int argc = 3;
    const char *msCach = getenv("MS_CACH");
    if (msCach) {
        snprintf(cache, sizeof cache, "-c%s", msCach);
        argv[argc++] = cache;
    }
    char envEntry[32];
    snprintf(envEntry, sizeof envEntry, "MSGKEY=%d", (int)mcslIPCPathP->key);
    const char *env[1] = {envEntry};
    fflush(stdout);
    st = externProg_startSpecifiedProgram(&mstnExtProgP, 1, 0, EXTPROG_KIND_SERVER, exePath, argv,
                                          argc, env, 1, 0, mcsl_microStationDied, nullptr);
    if (st != 0) {
        mstnExtProgP = nullptr;
        free(reply);
        return indfpiSetstat(status, INDFPI_STATUS_EXEC, 1, 0);
    }
    *started = 1;
    winNTExtProg_setupSignalEvents(mstnExtProgP, 0, 0);

    externProg_receiveMessage(&received, reply, REPLY_DEFAULT_CAPACITY, REQ_TYPE_REPLY,
                              mcslIPCPathP, 1, exchange_time_limit(), exchange_time_limit(),
                              mcsl_signalWhileOffline, nullptr, mstnExtProgP);
    if (received != 0) {
        free(reply);
        if (ms32_status) return indfpiSetstat(status, EXCHANGE_STATUS_COMMUNICATION, 1, 0);
        return indfpiSetstat(status, INDFPI_STATUS_TIMEOUT, 1, 1);
    }
    int replyStatus = (int32_t)req_get32(reply + REPLY_OFF_STATUS);
    if (replyStatus != 0) {
        free(reply);
        return indfpiSetstat(status, replyStatus, 1, 1);
    }
    // The server opened the file from its command line.
    memset(openRequest + REQ_HEADER_BYTES, 0, DFPI_NAME_BYTES);

    char tcbName[DFPI_NAME_BYTES];
    const char *named = (const char *)reply + REPLY_OFF_DATA;
    size_t n = strnlen(named, sizeof tcbName - 1);
    memcpy(tcbName, named, n);
    tcbName[n] = '\0';
    free(reply);
    st = mcslLib_getTcbAndParent(&tcb, nullptr, tcbName);
    if (st == 0) snprintf(startedServerTcb, sizeof startedServerTcb, "%.47s", tcbName);
    if (st != 0) {
        printf("Unable to create TCB, errno = %d\n", st);
        return indfpiSetstat(status, st, 1, 1);
    }
    return 0;
}

int indfpi(int16_t *ignored1, const char *designFile, const int16_t *openMode,
           const char *cellLibrary, const int16_t *translation, void *ignored6,
           int16_t *status, void *ignored8) {
    (void)ignored1;
    (void)ignored6;
    (void)ignored8;
    register_atexit();
    if (!mstnExtProgP) {
        ms32_status = 0;
        startedServerTcb[0] = '\0';
    }

    unsigned char openRequest[OPEN_REQUEST_BYTES];
    memset(openRequest, 0, sizeof openRequest);
    req_put32(openRequest + REQ_OFF_LENGTH, OPEN_REQUEST_BYTES - REQ_HEADER_BYTES);
    req_put32(openRequest + REQ_OFF_CODE, REQ_CODE_OPEN);
    req_put16(openRequest + 276, 0x0500);
    const char *debug = getenv("MS_DEBUG");
    if (debug) mcslLib_setDebugMode(atoi(debug));
    // Names are sent in 128-byte fields; a longer one would name another file.
    if ((designFile && strlen(designFile) >= DFPI_NAME_BYTES) ||
        (cellLibrary && strlen(cellLibrary) >= DFPI_NAME_BYTES))
        return setstat(status, INDFPI_STATUS_OPEN_FILE);
    put_name(openRequest + REQ_HEADER_BYTES, designFile);
    req_put16(openRequest + 144, (uint16_t)(openMode ? *openMode : 0));
    put_name(openRequest + 146, cellLibrary);
    int16_t translationWord = translation ? *translation : 0;
    req_put16(openRequest + 274, (uint16_t)translationWord);

    int32_t key = mcsl_getConnectionInfo();
    int createdQueue = 0, startedServer = 0;
    if (!mcslExtProgP) {
        int st = externProg_createDescriptor(&mcslExtProgP, 0, EXTPROG_KIND_CLIENT, nullptr, 0,
                                             nullptr, nullptr);
        if (st != 0) return setstat(status, st);
    }
    // A queue already known is attached to; else the one MSGKEY names, if it exists.
    bool attach = mcslIPCPathP != nullptr;
    if (!attach) {
        attach = externProg_openIPCPath(&mcslIPCPathP, &key, EXTPROG_OPEN_EXISTING) == 0;
        if (!attach) mcslIPCPathP = nullptr;
    }

    if (attach) {
        if (!mstnExtProgP) {
            int st = create_server_descriptor();
            if (st != 0) return setstat(status, st);
            if (!mcslExtProgP->ipcPaths)
                externProg_connectIPCToProgram(mcslIPCPathP, mcslExtProgP, 0, 0, nullptr);
            st = mcslLib_getTcbAndParent(&tcb, nullptr, nullptr);
            if (st != 0) {
                printf("Unable to create TCB, errno = %d\n", st);
                return setstat(status, st);
            }
        }
    } else {
        createdQueue = 1;
        int st = start_server(openRequest, key, designFile, status, &startedServer);
        if (st != 0)
            return st;
    }

    unsigned char *reply = (unsigned char *)calloc(1, REPLY_DEFAULT_CAPACITY);
    if (!reply) return indfpiSetstat(status, 978, createdQueue, startedServer);
    int st = send_crc(openRequest, reply, REPLY_DEFAULT_CAPACITY, 0);
    free(reply);
    if (st != 0) return indfpiSetstat(status, st, createdQueue, startedServer);

    if (read_ucmvars() != 0)
        return indfpiSetstat(status, INDFPI_STATUS_RSC, createdQueue, startedServer);

    mcsl_translationMode = translationWord;
    dfpiDetached = 0;
    return setstat(status, 0);
}

int dedfpi(const int16_t *word) {
    if (dfpiDetached) return 0;
    unsigned char request[CLOSE_REQUEST_BYTES];
    memset(request, 0, sizeof request);
    req_put32(request + REQ_OFF_LENGTH, CLOSE_REQUEST_BYTES - REQ_HEADER_BYTES);
    req_put32(request + REQ_OFF_CODE, REQ_CODE_CLOSE);
    req_put16(request + REQ_HEADER_BYTES, (uint16_t)(word ? *word : 0));
    int result = send_crc(request, nullptr, 0, 0);

    if (mstnExtProgP) {
        if (result == SERVER_STATUS_ENDING || result == EXCHANGE_STATUS_COMMUNICATION) {
            int exitStatus = 0;
            externProg_wait(&exitStatus, mstnExtProgP);
            if (startedServerTcb[0]) namedObject_unlink(startedServerTcb);
            result = 0;
        } else {
            // Forget the server without waiting; its process is not touched.
            externProg_cleanupProgram(mstnExtProgP);
        }
    }
    if (mcslIPCPathP) externProg_removeIPCPath(mcslExtProgP, mcslIPCPathP, 0);
    if (mcslExtProgP) externProg_cleanupProgram(mcslExtProgP);
    mcslLib_releaseTCB(&tcb);
    util_setEnvFunc(nullptr);

    mstnExtProgP = nullptr;
    mcslIPCPathP = nullptr;
    mcslExtProgP = nullptr;
    startedServerTcb[0] = '\0';
    dfpiDetached = 1;
    return result;
}
