// Queue transport between two processes: request / reply exchange with the
// test peer, receiver ids, the peer's end noticed while waiting, stale
// replies, the lock's time-out and a holder that died, and no names left in
// /dev/shm afterwards.
#include <cstring>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "connection/extprog.h"
#include "connection/platform/winnt_extprog.h"
#include "tests/connection/peer_protocol.h"
#include "tests/connection/queue_messages.h"
#include "tests/connection/shm_watch.h"

namespace {

class PeerQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedLock = winNTExtProg_lockTimeoutMs;
        savedSecond = winNTExtProg_msPerTimeoutSecond;
        ASSERT_EQ(0, externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0,
                                                 nullptr, nullptr));
        ASSERT_EQ(0, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
        externProg_connectIPCToProgram(path, client, 0, 0, nullptr);
    }
    void TearDown() override
    {
        if (peer > 0)
            waitExit(peer, 1);  // kills it if still running
        externProg_removeIPCPath(client, nullptr, 0);
        externProg_removeDescriptor(client);
        EXPECT_TRUE(queueObjects(key).empty()) << "names left behind";
        winNTExtProg_lockTimeoutMs = savedLock;
        winNTExtProg_msPerTimeoutSecond = savedSecond;
    }
    void startServer()
    {
        peer = spawnPeer({"serve", std::to_string(key)});
        ASSERT_GT(peer, 0);
    }
    // Sends a request of size bytes with code and body word.
    int send(int32_t code, int size = 32, int32_t body = 0, unsigned char fill = 0)
    {
        std::vector<unsigned char> m = message(100, size, code, fill);
        if (size >= 24)
            memcpy(&m[20], &body, 4);
        return externProg_sendMessage(m.data(), size, path, nullptr, 0, nullptr);
    }
    int receive(unsigned char *buf, int cap, int timeoutSeconds)
    {
        int status = 1;
        externProg_receiveMessage(&status, buf, cap, 101, path, 1, timeoutSeconds, 0, nullptr,
                                  nullptr, nullptr);
        return status;
    }

    ExternProgDescr *client = nullptr;
    IPCPath *path = nullptr;
    int32_t key = 0;
    pid_t peer = -1;
    long savedLock = 0, savedSecond = 0;
    unsigned char buf[8232];
};

TEST_F(PeerQueue, ExchangeWithSecondReceiver)
{
    startServer();
    ASSERT_EQ(0, send(PEER_WHOAMI));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(101, wordAt(buf, 0));
    EXPECT_EQ(2, wordAt(buf, 24)) << "the second process to attach is receiver 2";
    EXPECT_EQ(1, wordAt(buf, 28));
    EXPECT_EQ(peer, wordAt(buf, 8)) << "reply carries the peer's pid";
    char name[32];
    snprintf(name, sizeof name, "qEvnt%08x_02", (unsigned)key);
    EXPECT_TRUE(shmExists(name));
    EXPECT_EQ(0600, shmMode(name));

    // 1.6 KB requests and replies, contents intact, many in a row.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(0, send(PEER_ECHO, 1600, i, (unsigned char)i));
        ASSERT_EQ(0, receive(buf, sizeof buf, 60)) << i;
        ASSERT_EQ(PEER_ECHO, wordAt(buf, 12));
        ASSERT_EQ(i, wordAt(buf, 20));
        ASSERT_EQ((unsigned char)i, buf[1599]);
    }
    EXPECT_EQ(0, path->platformPath->view->messageCount);

    ASSERT_EQ(0, send(PEER_QUIT));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(0, waitExit(peer, 20000));
    peer = -1;
    EXPECT_FALSE(shmExists(name)) << "the peer removed its event when it detached";
}

TEST_F(PeerQueue, PeerDeathDuringWaitFailsPromptly)
{
    startServer();
    ASSERT_EQ(0, send(PEER_ECHO));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    // A limit of 1200 "seconds" (here 60 s, so that a fault cannot hang the
    // suite): the wait must end long before, because the peer ended.
    winNTExtProg_msPerTimeoutSecond = 50;
    ASSERT_EQ(0, send(PEER_DIE));
    long long t0 = nowMs();
    EXPECT_EQ(EXTPROG_STATUS_PEER_ENDED, receive(buf, sizeof buf, 1200));
    EXPECT_LT(nowMs() - t0, 30000);
    EXPECT_EQ(7, waitExit(peer, 20000));
    peer = -1;
    // Later requests fail at once as well.
    ASSERT_EQ(0, send(PEER_ECHO));
    t0 = nowMs();
    EXPECT_EQ(EXTPROG_STATUS_PEER_ENDED, receive(buf, sizeof buf, 1200));
    EXPECT_LT(nowMs() - t0, 30000);
}

TEST_F(PeerQueue, PeerKilledWhileIdleIsNoticedByNextRequest)
{
    startServer();
    ASSERT_EQ(0, send(PEER_ECHO));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    kill(peer, SIGKILL);
    EXPECT_EQ(-SIGKILL, waitExit(peer, 20000));
    peer = -1;
    winNTExtProg_msPerTimeoutSecond = 50;  // 1200 "seconds" = 60 s
    char name[32];
    snprintf(name, sizeof name, "qEvnt%08x_02", (unsigned)key);
    ASSERT_EQ(0, send(PEER_ECHO));
    EXPECT_EQ(EXTPROG_STATUS_PEER_ENDED, receive(buf, sizeof buf, 1200));
    EXPECT_FALSE(shmExists(name)) << "the dead receiver's slot and event were cleared";
    EXPECT_EQ(0, path->platformPath->view->receiverIds[1]);
}

TEST_F(PeerQueue, WaitBeforeAnyPeerAttachedKeepsWaiting)
{
    // Start-up: the hello is posted before the server exists; no peer yet
    // is not a peer that ended.
    winNTExtProg_msPerTimeoutSecond = 20;
    ASSERT_EQ(0, send(PEER_ECHO));
    EXPECT_EQ(EXTPROG_STATUS_NO_MESSAGE, receive(buf, sizeof buf, 10));
    startServer();
    winNTExtProg_msPerTimeoutSecond = 1000;
    EXPECT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(PEER_ECHO, wordAt(buf, 12));
}

TEST_F(PeerQueue, StaleReplyIsNeverTakenForALaterRequest)
{
    startServer();
    winNTExtProg_msPerTimeoutSecond = 20;
    // The peer answers this one after 400 ms; the exchange gives up at 20 ms.
    ASSERT_EQ(0, send(PEER_SLOW, 32, 400));
    EXPECT_EQ(EXTPROG_STATUS_NO_MESSAGE, receive(buf, sizeof buf, 1));
    winNTExtProg_msPerTimeoutSecond = 1000;
    ASSERT_EQ(0, send(PEER_ECHO, 32, 12345));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(PEER_ECHO, wordAt(buf, 12));
    EXPECT_EQ(12345, wordAt(buf, 20));
    // The late reply was dropped, not left to confuse the next exchange.
    ASSERT_EQ(0, send(PEER_ECHO, 32, 777));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(777, wordAt(buf, 20));
    EXPECT_EQ(0, path->platformPath->view->messageCount);
}

TEST_F(PeerQueue, ReplyTooLongIsDroppedByNextExchange)
{
    startServer();
    ASSERT_EQ(0, send(PEER_ECHO, 2000, 1));
    unsigned char small[100];
    // Wait until it is there, then the short buffer refuses it.
    int status = EXTPROG_STATUS_NO_MESSAGE;
    long long end = nowMs() + 20000;
    while (status == EXTPROG_STATUS_NO_MESSAGE && nowMs() < end)
        status = receive(small, sizeof small, 1);
    EXPECT_EQ(EXTPROG_STATUS_TOO_LONG, status);
    ASSERT_EQ(0, send(PEER_ECHO, 40, 2));
    ASSERT_EQ(0, receive(small, sizeof small, 60));
    EXPECT_EQ(2, wordAt(small, 20));
}

TEST_F(PeerQueue, QueueLimitsWhileThePeerIsBusy)
{
    startServer();
    ASSERT_EQ(0, send(PEER_WHOAMI));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    // Keep the peer away from the queue while it fills up.
    ASSERT_EQ(0, send(PEER_SLOW, 32, 1500));
    long long end = nowMs() + 20000;
    while (path->platformPath->view->messageCount != 0 && nowMs() < end)
        usleep(1000);
    ASSERT_EQ(0, path->platformPath->view->messageCount) << "the peer took the request";
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(0, send(PEER_ECHO, 256, i)) << i;
    EXPECT_EQ(EXTPROG_STATUS_NO_BLOCKS, send(PEER_ECHO, 2049, 1000)) << "9 blocks, 8 free";
    for (int i = 120; i < 128; ++i)
        ASSERT_EQ(0, send(PEER_ECHO, 200, i)) << i;
    EXPECT_EQ(EXTPROG_STATUS_QUEUE_FULL, send(PEER_ECHO, 32, 999));
    // The peer drains the queue; only the answer to the last request counts,
    // the earlier ones are dropped as they turn up.
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(127, wordAt(buf, 20));
    ASSERT_EQ(0, send(PEER_QUIT));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(PEER_QUIT, wordAt(buf, 12));
    EXPECT_EQ(0, waitExit(peer, 20000));
    peer = -1;
    EXPECT_EQ(0, path->platformPath->view->messageCount);
}

TEST_F(PeerQueue, LockHeldTooLongGivesLockStatus)
{
    startServer();
    winNTExtProg_lockTimeoutMs = 100;
    ASSERT_EQ(0, send(PEER_HOLD_LOCK, 32, 1500));
    // Wait (bounded) until the peer holds the lock.
    long long end = nowMs() + 20000;
    bool held = false;
    while (!held && nowMs() < end) {
        if (namedLock_take(&path->platformPath->lock, 0) == LOCK_TIMED_OUT)
            held = true;
        else
            namedLock_release(&path->platformPath->lock), usleep(1000);
    }
    ASSERT_TRUE(held);
    EXPECT_EQ(EXTPROG_STATUS_LOCK_TIMEOUT, send(PEER_ECHO));
    unsigned char in[64];
    EXPECT_EQ(EXTPROG_STATUS_LOCK_TIMEOUT, winNTExtProg_readMessageNoWait(in, sizeof in, 0, path));
    winNTExtProg_lockTimeoutMs = 5000;
    ASSERT_EQ(0, send(PEER_QUIT));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    EXPECT_EQ(0, waitExit(peer, 20000));
    peer = -1;
}

TEST_F(PeerQueue, LockHolderThatDiedDoesNotHangTheOtherSide)
{
    startServer();
    ASSERT_EQ(0, send(PEER_WHOAMI));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    // The peer takes the lock, keeps it 200 ms and dies holding it.
    int32_t dieBody[2] = {200, 1};
    std::vector<unsigned char> m(32, 0);
    int32_t type = 100, length = 16, code = PEER_HOLD_LOCK;
    memcpy(&m[0], &type, 4);
    memcpy(&m[4], &length, 4);
    memcpy(&m[12], &code, 4);
    memcpy(&m[20], dieBody, 8);
    ASSERT_EQ(0, externProg_sendMessage(m.data(), 32, path, nullptr, 0, nullptr));
    long long end = nowMs() + 20000;
    bool held = false;
    while (!held && nowMs() < end) {
        if (namedLock_take(&path->platformPath->lock, 0) == LOCK_TIMED_OUT)
            held = true;
        else
            namedLock_release(&path->platformPath->lock), usleep(1000);
    }
    ASSERT_TRUE(held);
    long long t0 = nowMs();
    EXPECT_EQ(0, send(PEER_ECHO)) << "the lock is taken over once its holder died";
    EXPECT_LT(nowMs() - t0, 4500);
    EXPECT_EQ(9, waitExit(peer, 20000));
    peer = -1;
    // The queue still works: the message is there and can be read back.
    unsigned char in[64];
    EXPECT_EQ(0, winNTExtProg_readMessageNoWait(in, sizeof in, 100, path));
}

TEST_F(PeerQueue, ServerSideNoticesClientLeaving)
{
    startServer();
    ASSERT_EQ(0, send(PEER_ECHO));
    ASSERT_EQ(0, receive(buf, sizeof buf, 60));
    // The client detaches; the serving peer, waiting for requests, ends.
    externProg_removeIPCPath(client, nullptr, 0);
    EXPECT_EQ(0, waitExit(peer, 20000));
    peer = -1;
    EXPECT_TRUE(queueObjects(key).empty());
}

TEST(PeerQueueCleanup, DeadAttachedPeerLeavesNothingAfterDetach)
{
    ExternProgDescr *client = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr));
    IPCPath *path = nullptr;
    int32_t key = 0;
    ASSERT_EQ(0, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
    externProg_connectIPCToProgram(path, client, 0, 0, nullptr);
    pid_t p = spawnPeer({"attach-die", std::to_string(key), "0"});
    ASSERT_GT(p, 0);
    EXPECT_EQ(0, waitExit(p, 20000));
    char name[32];
    snprintf(name, sizeof name, "qEvnt%08x_02", (unsigned)key);
    EXPECT_TRUE(shmExists(name)) << "the peer ended without detaching";
    externProg_removeIPCPath(client, nullptr, 0);
    externProg_removeDescriptor(client);
    EXPECT_TRUE(queueObjects(key).empty());
}

TEST(PeerQueueCleanup, QueuesOfEndedProcessesAreSwept)
{
    std::string file = tempPath("key");
    pid_t p = spawnPeer({"create-die", file});
    ASSERT_GT(p, 0);
    ASSERT_EQ(0, waitExit(p, 20000));
    int32_t key = (int32_t)atol(readText(file).c_str());
    unlink(file.c_str());
    ASSERT_NE(0, key);
    // Left behind by the killed run (unless a concurrent sweep got there first).
    winNTExtProg_sweepStaleObjects();
    EXPECT_TRUE(queueObjects(key).empty());
}

}  // namespace
