// The request exchange with the design-file server and the helpers shared by
// placement requests.
#include "dgnrequests/request_exchange.h"

#include <stdlib.h>
#include <string.h>

#include "connection/extprog.h"
#include "connection/startup.h"
#include "connection/tcb.h"
#include "resources/tcb_vartable.h"

static int exchangeTimeLimit = EXCHANGE_TIME_LIMIT_S;

int exchange_time_limit(void) { return exchangeTimeLimit; }

void exchange_set_time_limit_for_tests(int seconds) {
    exchangeTimeLimit = seconds > 0 ? seconds : EXCHANGE_TIME_LIMIT_S;
}

int setstat(int16_t *statusWord, int code) {
    if (statusWord) *statusWord = (int16_t)code;
    return code;
}

// Stops the wait for a reply as soon as the server's process is found ended;
// the dead-process handler has already reported the end. Events raised by the
// server let the wait go on.
static int exchange_watch(int signal, int *signalFlag, void *checkArg,
                          ExternProgDescr *descriptor) {
    (void)signalFlag;
    (void)checkArg;
    if (signal == EXTPROG_SIGNAL_PROCESS_ENDED && descriptor == mstnExtProgP) return 1;
    return 0;
}

// Requests handed to the transport in this process (benchmarks report it).
static long requestsSent = 0;

long exchange_requests_sent(void) { return requestsSent; }

int send_crc(void *request, void *reply, int capacity, int noTimeLimit) {
    unsigned char *req = (unsigned char *)request;
    req_put32(req + REQ_OFF_TYPE, REQ_TYPE_REQUEST);
    int32_t length = (int32_t)req_get32(req + REQ_OFF_LENGTH);
    if (length < 0 || length > REQ_MAX_MESSAGE_BYTES - REQ_HEADER_BYTES)
        return EXTPROG_STATUS_NO_BLOCKS;
    if (!mcslIPCPathP) return EXCHANGE_STATUS_COMMUNICATION;
    // A server already known to have ended cannot answer: fail at once.
    if (ms32_status) return EXCHANGE_STATUS_COMMUNICATION;

    requestsSent++;
    int status = externProg_sendMessage(req, length + REQ_HEADER_BYTES, mcslIPCPathP,
                                        mstnExtProgP, 0, mstnExtProgP);
    if (status != 0) return status;

    int timeLimit = (noTimeLimit || (mcsl_debugMode & 2)) ? 0 : exchangeTimeLimit;
    if (capacity <= 0) capacity = REPLY_DEFAULT_CAPACITY;
    unsigned char *own = nullptr;
    unsigned char *buf = (unsigned char *)reply;
    if (!buf) {
        own = (unsigned char *)calloc(1, (size_t)capacity);
        if (!own) return EXCHANGE_STATUS_COMMUNICATION;
        buf = own;
    }
    int received = EXTPROG_STATUS_NO_MESSAGE;
    externProg_receiveMessage(&received, buf, capacity, REQ_TYPE_REPLY, mcslIPCPathP, 1,
                              timeLimit, timeLimit, exchange_watch, nullptr, mstnExtProgP);
    int result;
    if (received != 0 || capacity < REPLY_OFF_STATUS + 4)
        result = EXCHANGE_STATUS_COMMUNICATION;
    else
        result = (int32_t)req_get32(buf + REPLY_OFF_STATUS);
    free(own);
    return result;
}

static uint16_t tcb_word16(int offset) {
    return tcb ? (uint16_t)(tcb[offset] | (tcb[offset + 1] << 8)) : 0;
}

static uint32_t tcb_word32(int offset) {
    return (uint32_t)tcb_word16(offset) | ((uint32_t)tcb_word16(offset + 2) << 16);
}

void set_specs(unsigned char *target, const SymbologyRecord *specs) {
    SymbologyRecord r;
    if (specs) {
        r = *specs;
    } else {
        uint32_t symb = tcb_word32(TCB_OFF_ACTIVE_SYMB);
        r.elclass = (int16_t)(tcb_word16(TCB_OFF_ACTIVE_CLASS) & 0xF);
        r.reserved = 0;
        r.style = (int16_t)(symb & 0x7);
        r.weight = (int16_t)((symb >> 3) & 0x1F);
        r.color = (int16_t)((symb >> 8) & 0xFF);
    }
    req_put16(target, (uint16_t)r.elclass);
    req_put16(target + 2, (uint16_t)r.reserved);
    req_put16(target + 4, (uint16_t)r.style);
    req_put16(target + 6, (uint16_t)r.weight);
    req_put16(target + 8, (uint16_t)r.color);
}

int put_attributes_into_crc(unsigned char *target, const int16_t *list) {
    req_put16(target, 0);
    if (!list) return 0;
    int count = list[0];
    if (count <= 0) return 0;
    if (count >= 2 && list[1] >= 0) return 0;
    const int16_t *w = list + 2;
    int copied = 0;
    for (int i = 0; i < count; i++) {
        uint16_t first = (uint16_t)w[0];
        int words = 4;
        if (first & 0x1000) {
            // A user linkage must be a whole number of 4-word units.
            if (((first & 0xFF) & 3) != 3) {
                req_put16(target, 0);
                return 0;
            }
            words = (first & 0xFF) + 1;
        }
        if (copied + words > REQ_LINKAGE_MAX_WORDS) {
            // More than one element can carry: send none rather than a part.
            req_put16(target, 0);
            return 0;
        }
        for (int k = 0; k < words; k++) req_put16(target + 2 + 2 * (copied + k), (uint16_t)w[k]);
        copied += words;
        req_put16(target, (uint16_t)copied);
        w += words;
    }
    return 2 * copied;
}

static uint32_t savedLineStyle;
static int lineStyleSaved;

void mcsl_clearActiveUDLS(const SymbologyRecord *specs) {
    if (!specs || !tcb) return;
    savedLineStyle = tcb_word32(TCB_OFF_ACTIVE_UDLS);
    memset(tcb + TCB_OFF_ACTIVE_UDLS, 0, 4);
    lineStyleSaved = 1;
}

void mcsl_restoreActiveUDLS(void) {
    if (!lineStyleSaved) return;
    if (tcb) req_put32(tcb + TCB_OFF_ACTIVE_UDLS, savedLineStyle);
    lineStyleSaved = 0;
}
