// Request records and the request exchange with the design-file server:
// the record layouts, send_crc (one request sent, one reply taken back),
// the status convention (setstat), and the helpers that placement requests
// share: the symbology record, the attribute linkage block and the
// suspension of the active user-defined line style.
#ifndef NW_DGNREQUESTS_REQUEST_EXCHANGE_H
#define NW_DGNREQUESTS_REQUEST_EXCHANGE_H

#include <stddef.h>
#include <stdint.h>

// Message header (all little-endian int32).
#define REQ_OFF_TYPE 0
#define REQ_OFF_LENGTH 4
#define REQ_OFF_SENDER 8
#define REQ_OFF_CODE 12
#define REQ_HEADER_BYTES 16

// Largest message the queue carries (128 blocks of 256 bytes).
#define REQ_MAX_MESSAGE_BYTES 32768

#define REQ_TYPE_REQUEST 100
#define REQ_TYPE_REPLY 101

// Reply record: status at 16, reply words at 24/26/28, returned bytes from 32.
// Configuration values and the TCB name of the hello reply start at 24.
#define REPLY_OFF_STATUS 16
#define REPLY_OFF_DATA 24
#define REPLY_OFF_BYTES 32
#define REPLY_DEFAULT_CAPACITY 8232

// Time limits of an exchange (product values).
#define EXCHANGE_TIME_LIMIT_S 1200

// Statuses produced by the exchange itself.
#define EXCHANGE_STATUS_COMMUNICATION 925

// Words of attribute linkages a placement can carry at most (one element).
#define REQ_LINKAGE_MAX_WORDS 768

// Symbology record of an element to place: five signed 16-bit fields.
typedef struct {
    int16_t elclass;
    int16_t reserved;
    int16_t style;
    int16_t weight;
    int16_t color;
} SymbologyRecord;

// Little-endian field access in request and reply records.
static inline void req_put16(unsigned char *p, uint16_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
static inline void req_put32(unsigned char *p, uint32_t v) {
    req_put16(p, (uint16_t)v);
    req_put16(p + 2, (uint16_t)(v >> 16));
}
static inline uint16_t req_get16(const unsigned char *p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}
static inline uint32_t req_get32(const unsigned char *p) {
    return (uint32_t)req_get16(p) | ((uint32_t)req_get16(p + 2) << 16);
}

// Stores code as a 16-bit status when statusWord is given; returns code.
int setstat(int16_t *statusWord, int code);

// Sends the request (its header's length + 16 bytes, type set to 100) and
// takes the first reply of type 101 into reply (capacity bytes; 0 means
// 8232; a null reply uses a buffer of the exchange's own). Returns 0, the
// reply's status, a negative transport status of the send, or 925 when no
// reply came (time limit, reply too long, the server ended, any transport
// failure of the receive). Prints nothing.
int send_crc(void *request, void *reply, int capacity, int noTimeLimit);

// Number of requests send_crc has handed to the transport in this process.
long exchange_requests_sent(void);

// Fills the 10-byte symbology field of a request from the caller's record,
// or from the TCB's active settings when specs is null.
void set_specs(unsigned char *target, const SymbologyRecord *specs);

// Writes the attribute linkage block (count word, then the linkage words)
// from the caller's list: word 0 = number of linkages, word 1 = marker
// (negative when two or more), then the linkages. Returns the bytes of
// linkage words written after the count word.
int put_attributes_into_crc(unsigned char *target, const int16_t *list);

// Suspend the active user-defined line style around a placement exchange
// with an explicit symbology record, and put it back afterwards.
void mcsl_clearActiveUDLS(const SymbologyRecord *specs);
void mcsl_restoreActiveUDLS(void);

// Time limit of an exchange in seconds: 1200 in the product. Tests of the
// connection may shorten it; there is no option or variable that does.
int exchange_time_limit(void);
void exchange_set_time_limit_for_tests(int seconds);

#endif
