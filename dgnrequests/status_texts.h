// Status codes shared by the request layer and the design-file server, and
// the routines that turn a status word into a line of text.
#ifndef NW_DGNREQUESTS_STATUS_TEXTS_H
#define NW_DGNREQUESTS_STATUS_TEXTS_H

#include <cstddef>
#include <cstdint>

// Smallest buffer get_error writes into, terminating NUL included.
constexpr size_t ERRMSG_TEXT_BYTES = 80;

struct ErrMsg {
    int16_t code;      // 0 ends the table
    const char *text;
};

// The status message table: 99 rows in ascending code order, then a row with
// code 0 and a null text.
extern const ErrMsg errmsgs[];
constexpr size_t ERRMSG_ROWS = 99;

// Text of a code, or nullptr when the table has no row for it.
const char *errmsg_text(int status);

// Writes the status line of *statusWord into text (at least 80 bytes):
// empty for 0, else "ERROR (<status>): " followed by the table's text or
// "Unknown". Never writes more than 80 bytes. A null statusWord gives an
// empty text.
void get_error(char *text, const int16_t *statusWord);
// Prints the status line followed by a newline on standard output.
void mcsl_error(const int16_t *statusWord);
// Same as mcsl_error.
void error(const int16_t *statusWord);

#endif
