// Building and reading queue messages in the transport tests: a message of a
// given size with its header filled, and a 32-bit word at a byte offset.
#ifndef NW_TESTS_CONNECTION_QUEUE_MESSAGES_H
#define NW_TESTS_CONNECTION_QUEUE_MESSAGES_H

#include <cstdint>
#include <cstring>
#include <vector>

// size bytes: type, length (size - 16) and code in the header, the rest fill.
inline std::vector<unsigned char> message(int32_t type, int size, int32_t code, unsigned char fill = 0)
{
    std::vector<unsigned char> m((size_t)size, fill);
    int32_t length = size - 16;
    memcpy(&m[0], &type, 4);
    memcpy(&m[4], &length, 4);
    memcpy(&m[12], &code, 4);
    return m;
}

inline int32_t wordAt(const unsigned char *m, int off)
{
    int32_t v;
    memcpy(&v, m + off, 4);
    return v;
}

#endif
