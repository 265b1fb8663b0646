// Start-up and shut-down of the connection to the design-file server:
// indfpi attaches to a serving server (MSGKEY/TCBKEY) or creates a queue and
// starts ustation.exe on it, maps the TCB, opens the design file and loads
// the TCB variable table; dedfpi closes the design file and takes the
// connection down. The connection state is process-wide.
#ifndef NW_CONNECTION_STARTUP_H
#define NW_CONNECTION_STARTUP_H

#include <stdint.h>

#include "connection/extprog.h"

// Request codes of the session.
#define REQ_CODE_OPEN 1
#define REQ_CODE_CLOSE 2
#define REQ_CODE_HELLO 63
#define REQ_CODE_CONFIG 134

// Record sizes.
#define HELLO_BYTES 144
#define OPEN_REQUEST_BYTES 278
#define CLOSE_REQUEST_BYTES 18
#define DFPI_NAME_BYTES 128

// Statuses of the start-up.
#define INDFPI_STATUS_INIT 926
#define INDFPI_STATUS_NO_DESIGN_FILE 953
#define INDFPI_STATUS_EXEC 982
#define INDFPI_STATUS_TIMEOUT 983
#define INDFPI_STATUS_RSC 952
#define INDFPI_STATUS_OPEN_FILE 948
#define SERVER_STATUS_ENDING 1021

extern ExternProgDescr *mcslExtProgP;   // the client itself, kind 1
extern ExternProgDescr *mstnExtProgP;   // the server, kind 3
extern IPCPath *mcslIPCPathP;           // the queue, hung on mcslExtProgP
extern int dfpiDetached;                // 1 while not connected
extern int mcsl_debugMode;              // MS_DEBUG; bit value 2: exchanges wait without limit
extern int mcsl_translationMode;        // translation word of the last successful indfpi
extern int ms32_status;                 // set once the started server was found ended
// Program name sent in the hello message; the program defines it.
extern char taskname[256];

int indfpi(int16_t *ignored1, const char *designFile, const int16_t *openMode,
           const char *cellLibrary, const int16_t *translation, void *ignored6,
           int16_t *status, void *ignored8);
int dedfpi(const int16_t *word);

// Takes down whatever is left of the connection without a close request
// (run at process exit; the server then leaves the design file untouched).
void mcsl_shutdownConnection(void);

// Undoes the connection as far as asked, then stores the code.
int indfpiSetstat(int16_t *status, int code, int detachQueue, int dropServer);

// Queue key from MSGKEY (decimal); 0 when unset or 0.
int32_t mcsl_getConnectionInfo(void);
void mcslLib_setDebugMode(int mode);

// Termination callback of the started server.
int mcsl_microStationDied(ExternProgDescr *descriptor, int exitStatus, int signal);
// Check callback of the wait for the server's hello reply.
int mcsl_signalWhileOffline(int signal, int *signalFlag, void *checkArg,
                            ExternProgDescr *descriptor);

#endif
