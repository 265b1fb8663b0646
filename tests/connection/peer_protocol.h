// Request codes understood by the test peer program (nw_ipc_peer) in its
// "serve" mode, and the shape of its replies.
#ifndef NW_TESTS_CONNECTION_PEER_PROTOCOL_H
#define NW_TESTS_CONNECTION_PEER_PROTOCOL_H

#include <cstdint>

enum PeerRequestCode {
    PEER_ECHO = 10,        // reply: status 0, the request's body from byte 20 on
    PEER_SLOW = 11,        // wait (int32 at byte 20) ms, then reply as ECHO
    PEER_DIE = 12,         // end at once with exit code 7, no reply
    PEER_QUIT = 13,        // reply, detach, exit 0
    PEER_WHOAMI = 14,      // reply int32 receiverId at 24, slot at 28, pid at 32
    PEER_HOLD_LOCK = 15,   // take the queue lock, reply-less; hold it for (byte 20) ms, then
                           // release it (or die holding it when byte 24 is non-zero)
};

// Byte offsets of a message.
enum { MSG_TYPE = 0, MSG_LENGTH = 4, MSG_SENDER = 8, MSG_CODE = 12, MSG_STATUS = 16, MSG_BODY = 20 };

#endif
