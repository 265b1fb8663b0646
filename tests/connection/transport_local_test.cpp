// Queue transport within one process: open statuses, object names and modes,
// segment layout, block accounting, type selection, short buffers, queue
// full, receive time-out and removal of every name on detach.
#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

#include "connection/extprog.h"
#include "connection/platform/winnt_extprog.h"
#include "tests/connection/queue_messages.h"
#include "tests/connection/shm_watch.h"

namespace {

class LocalQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedLock = winNTExtProg_lockTimeoutMs;
        savedSecond = winNTExtProg_msPerTimeoutSecond;
        ASSERT_EQ(0, externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0,
                                                 nullptr, nullptr));
    }
    void TearDown() override
    {
        if (client) {
            externProg_removeIPCPath(client, nullptr, 0);
            externProg_removeDescriptor(client);
        }
        winNTExtProg_lockTimeoutMs = savedLock;
        winNTExtProg_msPerTimeoutSecond = savedSecond;
    }
    // Creates a queue and hangs it on the client's descriptor.
    IPCPath *create(int32_t *keyOut)
    {
        IPCPath *path = nullptr;
        int32_t key = 0;
        EXPECT_EQ(0, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
        if (path)
            externProg_connectIPCToProgram(path, client, 0, 0, nullptr);
        *keyOut = key;
        return path;
    }
    IPCQueueSegment *seg(IPCPath *p) { return p->platformPath->view; }

    ExternProgDescr *client = nullptr;
    long savedLock = 0, savedSecond = 0;
};

TEST(QueueLayout, SegmentOffsetsAreTheWireFormat)
{
    EXPECT_EQ(0u, offsetof(IPCQueueSegment, receiverIds));
    EXPECT_EQ(128u, offsetof(IPCQueueSegment, freeBlock));
    EXPECT_EQ(132u, offsetof(IPCQueueSegment, messageCount));
    EXPECT_EQ(136u, offsetof(IPCQueueSegment, nextReceiverId));
    EXPECT_EQ(140u, offsetof(IPCQueueSegment, messageTable));
    EXPECT_EQ(1676u, offsetof(IPCQueueSegment, blocks));
    EXPECT_EQ(12u, sizeof(IPCMessageEntry));
    EXPECT_EQ(264u, sizeof(IPCBlock));
    EXPECT_EQ(8u, offsetof(IPCBlock, data));
    EXPECT_EQ(35468u, sizeof(IPCQueueSegment));
}

TEST_F(LocalQueue, OpenRefusalsCreateNothing)
{
    IPCPath *path = nullptr;
    int32_t key = 0;
    EXPECT_EQ(EXTPROG_STATUS_NO_KEY, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_EXISTING));
    EXPECT_EQ(nullptr, path);
    int32_t own = (int32_t)getpid() + 0x10000;
    EXPECT_TRUE(queueObjects(own).empty());

    // A given key never creates, in either mode.
    int32_t absent = (int32_t)getpid() + 0x7770000;
    for (int mode : {EXTPROG_OPEN_EXISTING, EXTPROG_OPEN_CREATE}) {
        key = absent;
        EXPECT_EQ(EXTPROG_STATUS_NO_MEMORY, externProg_openIPCPath(&path, &key, mode));
        EXPECT_EQ(nullptr, path);
    }
    EXPECT_TRUE(queueObjects(absent).empty());
}

TEST_F(LocalQueue, CreatorIsReceiverOneWithPrivateNames)
{
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    EXPECT_EQ((int32_t)getpid() + 0x10000, key);
    EXPECT_EQ(key, path->id);
    char keyText[20];
    snprintf(keyText, sizeof keyText, "%08x", (unsigned)key);
    EXPECT_STREQ(keyText, path->keyString);
    EXPECT_EQ(1, path->platformPath->receiverId);
    EXPECT_EQ(0, path->platformPath->slot);
    EXPECT_EQ(1, seg(path)->receiverIds[0]);
    EXPECT_EQ(2, seg(path)->nextReceiverId);

    std::string hex(keyText);
    for (const std::string &name : {"qMem" + hex, "qMtex" + hex, "qEvnt" + hex + "_01"}) {
        EXPECT_TRUE(shmExists(name)) << name;
        EXPECT_EQ(0600, shmMode(name)) << name;
    }
    EXPECT_EQ(3u, queueObjects(key).size());

    // The same key again: create refuses, open shares the platform record.
    int32_t again = key;
    IPCPath *second = nullptr;
    EXPECT_EQ(EXTPROG_STATUS_PATH_OPEN, externProg_openIPCPath(&second, &again, EXTPROG_OPEN_CREATE));
    EXPECT_EQ(0, externProg_openIPCPath(&second, &again, EXTPROG_OPEN_EXISTING));
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(path->platformPath, second->platformPath);
    externProg_connectIPCToProgram(second, client, 0, 0, nullptr);
    externProg_removeIPCPath(client, second, 0);
    EXPECT_EQ(3u, queueObjects(key).size()) << "a copy's detach leaves the shared queue";

    externProg_removeIPCPath(client, nullptr, 0);
    EXPECT_TRUE(queueObjects(key).empty());
}

TEST_F(LocalQueue, BlocksPerMessageAndFreeChainAfterRead)
{
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    struct Case {
        int size;
        int blocks;
    } cases[] = {{16, 1}, {256, 1}, {257, 2}, {512, 2}, {1600, 7}, {32768, 128}};
    for (const Case &c : cases) {
        auto m = message(100, c.size, 1);
        ASSERT_EQ(0, externProg_sendMessage(m.data(), c.size, path, nullptr, 0, nullptr)) << c.size;
        EXPECT_EQ(1, seg(path)->messageCount);
        EXPECT_EQ(c.size, seg(path)->messageTable[0].length);
        EXPECT_EQ(100, seg(path)->messageTable[0].type);
        EXPECT_EQ(c.blocks == 128 ? -1 : c.blocks, seg(path)->freeBlock) << c.size;

        std::vector<unsigned char> in((size_t)c.size);
        EXPECT_EQ(0, winNTExtProg_readMessageNoWait(in.data(), c.size, 100, path));
        EXPECT_EQ(0, seg(path)->messageCount);
        // The message's blocks head the free chain, which holds all 128 again.
        EXPECT_EQ(0, seg(path)->freeBlock);
        int n = 0;
        std::vector<int> order;
        for (int b = seg(path)->freeBlock; b != -1 && n <= 128; b = seg(path)->blocks[b].nextBlock, ++n)
            order.push_back(b);
        EXPECT_EQ(128, n) << c.size;
        for (int i = 0; i < c.blocks && i < (int)order.size(); ++i)
            EXPECT_EQ(i, order[(size_t)i]);
        // Rebuild the plain chain for the next case.
        winNTExtProg_clearMessages(path->platformPath, 0);
    }
}

TEST_F(LocalQueue, ContentSenderPidAndTypeSelection)
{
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    auto a = message(100, 700, 1, 0xA1);
    auto r = message(101, 300, 2, 0xB2);
    auto b = message(100, 20, 3, 0xC3);
    for (auto *m : {&a, &r, &b})
        ASSERT_EQ(0, externProg_sendMessage(m->data(), (int)m->size(), path, nullptr, 0, nullptr));
    EXPECT_EQ(getpid(), wordAt(a.data(), 8)) << "send writes the sender's pid into the caller's buffer";

    unsigned char in[1000];
    int status = 1;
    externProg_receiveMessage(&status, in, sizeof in, 101, path, 0, 0, 0, nullptr, nullptr, nullptr);
    ASSERT_EQ(0, status);
    EXPECT_EQ(2, wordAt(in, 12));
    EXPECT_EQ(0xB2, in[299]);
    // The requests stay, in order.
    ASSERT_EQ(2, seg(path)->messageCount);
    externProg_receiveMessage(&status, in, sizeof in, 0, path, 0, 0, 0, nullptr, nullptr, nullptr);
    ASSERT_EQ(0, status);
    EXPECT_EQ(1, wordAt(in, 12));
    EXPECT_EQ(getpid(), wordAt(in, 8));
    for (int i = 16; i < 700; ++i)
        ASSERT_EQ(0xA1, in[i]) << i;
    externProg_receiveMessage(&status, in, sizeof in, 100, path, 0, 0, 0, nullptr, nullptr, nullptr);
    ASSERT_EQ(0, status);
    EXPECT_EQ(3, wordAt(in, 12));
    externProg_receiveMessage(&status, in, sizeof in, 0, path, 0, 0, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(EXTPROG_STATUS_NO_MESSAGE, status);
}

TEST_F(LocalQueue, ShortBufferLeavesMessageQueued)
{
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    auto m = message(101, 600, 9, 0x5A);
    ASSERT_EQ(0, externProg_sendMessage(m.data(), 600, path, nullptr, 0, nullptr));
    unsigned char small[599], big[600];
    int status = 0;
    externProg_receiveMessage(&status, small, sizeof small, 101, path, 0, 0, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(EXTPROG_STATUS_TOO_LONG, status);
    EXPECT_EQ(1, seg(path)->messageCount);
    // A waiting receive stops at once on it rather than waiting out its limit
    // (1200 "seconds", here 60 s so that a fault cannot hang the suite).
    winNTExtProg_msPerTimeoutSecond = 50;
    long long t0 = nowMs();
    externProg_receiveMessage(&status, small, sizeof small, 101, path, 1, 1200, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(EXTPROG_STATUS_TOO_LONG, status);
    EXPECT_LT(nowMs() - t0, 10000);
    externProg_receiveMessage(&status, big, sizeof big, 101, path, 0, 0, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, status);
    EXPECT_EQ(0x5A, big[599]);
}

TEST_F(LocalQueue, QueueFullAndTooFewBlocks)
{
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    auto big = message(100, 32769, 1);
    EXPECT_EQ(EXTPROG_STATUS_NO_BLOCKS, externProg_sendMessage(big.data(), 32769, path, nullptr, 0, nullptr));
    EXPECT_EQ(0, seg(path)->messageCount);
    EXPECT_EQ(0, seg(path)->freeBlock);

    auto one = message(100, 100, 1);
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(0, externProg_sendMessage(one.data(), 100, path, nullptr, 0, nullptr)) << i;
    // 8 blocks left: 2049 bytes need 9.
    auto nine = message(100, 2049, 2);
    EXPECT_EQ(EXTPROG_STATUS_NO_BLOCKS, externProg_sendMessage(nine.data(), 2049, path, nullptr, 0, nullptr));
    auto eight = message(100, 2048, 3);
    EXPECT_EQ(0, externProg_sendMessage(eight.data(), 2048, path, nullptr, 0, nullptr));
    EXPECT_EQ(-1, seg(path)->freeBlock);
    // The table's limit is looked at first: 128 one-block messages fill both.
    winNTExtProg_clearMessages(path->platformPath, 0);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(0, externProg_sendMessage(one.data(), 100, path, nullptr, 0, nullptr)) << i;
    EXPECT_EQ(128, seg(path)->messageCount);
    EXPECT_EQ(EXTPROG_STATUS_QUEUE_FULL, externProg_sendMessage(one.data(), 100, path, nullptr, 0, nullptr));
    unsigned char in[200];
    ASSERT_EQ(0, winNTExtProg_readMessageNoWait(in, sizeof in, 100, path));
    EXPECT_EQ(0, externProg_sendMessage(one.data(), 100, path, nullptr, 0, nullptr));
}

TEST_F(LocalQueue, WaitingReceiveTimesOut)
{
    winNTExtProg_msPerTimeoutSecond = 20;  // one "second" of the limit = 20 ms
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    unsigned char in[100];
    int status = 0;
    long long t0 = nowMs();
    int rc = externProg_receiveMessage(&status, in, sizeof in, 101, path, 1, 5, 0, nullptr, nullptr, nullptr);
    long long elapsed = nowMs() - t0;
    EXPECT_EQ(1, rc);
    EXPECT_EQ(EXTPROG_STATUS_NO_MESSAGE, status);
    EXPECT_GE(elapsed, 90);
    EXPECT_LT(elapsed, 10000);
}

TEST_F(LocalQueue, OwnEventIsManualResetUntilNextLook)
{
    int32_t key = 0;
    IPCPath *path = create(&key);
    ASSERT_NE(nullptr, path);
    NamedEvent *own = &path->platformPath->event;
    EXPECT_FALSE(namedEvent_isSet(own));
    namedEvent_set(own);
    EXPECT_TRUE(namedEvent_isSet(own));
    EXPECT_TRUE(namedEvent_isSet(own)) << "stays set";
    EXPECT_EQ(1, namedEvent_wait(own, 0, 0));
    unsigned char in[64];
    EXPECT_EQ(EXTPROG_STATUS_NO_MESSAGE, winNTExtProg_readMessageNoWait(in, sizeof in, 0, path));
    EXPECT_FALSE(namedEvent_isSet(own)) << "a look into the queue resets it";
    EXPECT_EQ(0, namedEvent_wait(own, 20, 1));
}

TEST_F(LocalQueue, KeyGenerationSkipsKnownKeys)
{
    int32_t first = 0, second = 0;
    IPCPath *a = create(&first);
    IPCPath *b = create(&second);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ((int32_t)getpid() + 0x10000, first);
    EXPECT_EQ((int32_t)getpid() + 0x20000, second);
    externProg_removeIPCPath(client, nullptr, 0);
    EXPECT_TRUE(queueObjects(first).empty());
    EXPECT_TRUE(queueObjects(second).empty());
}

}  // namespace
