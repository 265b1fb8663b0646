// Whole connection lifecycles through real processes leave no named object
// in /dev/shm: a normal run, a failed start of the server, a server that
// died, and a client killed while the server waits for it.
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "connection/extprog.h"
#include "connection/platform/winnt_extprog.h"
#include "tests/connection/peer_protocol.h"
#include "tests/connection/shm_watch.h"

namespace {

std::vector<std::string> listShm()
{
    std::vector<std::string> names;
    if (DIR *dir = opendir("/dev/shm")) {
        while (struct dirent *de = readdir(dir))
            if (de->d_name[0] != '.')
                names.push_back(de->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string hex8(uint32_t v)
{
    char t[16];
    snprintf(t, sizeof t, "%08x", v);
    return t;
}

// Names present now but not before that carry one of the marks (a queue key
// or a process id in hex): other tests may run at the same time.
std::vector<std::string> leftovers(const std::vector<std::string> &before,
                                   const std::vector<std::string> &marks)
{
    std::vector<std::string> out;
    for (const auto &n : listShm()) {
        if (std::binary_search(before.begin(), before.end(), n))
            continue;
        for (const auto &m : marks)
            if (n.find(m) != std::string::npos) {
                out.push_back(n);
                break;
            }
    }
    return out;
}

std::string joined(const std::vector<std::string> &v)
{
    std::string s;
    for (const auto &n : v)
        s += n + " ";
    return s;
}

int sendCode(IPCPath *path, ExternProgDescr *server, int32_t code)
{
    unsigned char m[32];
    memset(m, 0, sizeof m);
    int32_t type = 100, length = 16;
    memcpy(m, &type, 4);
    memcpy(m + 4, &length, 4);
    memcpy(m + 12, &code, 4);
    return externProg_sendMessage(m, sizeof m, path, server, 0, server);
}

int receiveReply(IPCPath *path, ExternProgDescr *server, int timeoutSeconds)
{
    unsigned char buf[8232];
    int status = 1;
    externProg_receiveMessage(&status, buf, sizeof buf, 101, path, 1, timeoutSeconds, 0, nullptr,
                              nullptr, server);
    return status;
}

enum Ending { NORMAL_END, START_FAILS, SERVER_DIES };

class Lifecycle : public ::testing::TestWithParam<Ending> {};

TEST_P(Lifecycle, NothingLeftInDevShm)
{
    long savedSecond = winNTExtProg_msPerTimeoutSecond;
    winNTExtProg_msPerTimeoutSecond = 50;  // 1200 "seconds" = 60 s: a fault cannot hang the suite
    std::vector<std::string> before = listShm();
    ExternProgDescr *client = nullptr, *server = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr));
    IPCPath *path = nullptr;
    int32_t key = 0;
    ASSERT_EQ(0, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
    externProg_connectIPCToProgram(path, client, 0, 0, nullptr);
    // The hello is posted before the server exists.
    ASSERT_EQ(0, sendCode(path, nullptr, PEER_ECHO));

    std::string prog = GetParam() == START_FAILS ? "/nonexistent/dir/ustation.exe" : peerProgram();
    std::string keyText = std::to_string(key);
    const char *argv[] = {"serve", keyText.c_str()};
    std::string env = "MSGKEY=" + keyText;
    const char *envv[] = {env.c_str()};
    testing::internal::CaptureStdout();
    int rc = externProg_startSpecifiedProgram(&server, 1, 0, EXTPROG_KIND_SERVER, prog.c_str(), argv, 2,
                                              envv, 1, 0, nullptr, nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    pid_t serverPid = 0;
    if (GetParam() == START_FAILS) {
        EXPECT_NE(0, rc);
        EXPECT_EQ(nullptr, server);
        EXPECT_EQ("Unable to start child process\n", out);
    } else {
        ASSERT_EQ(0, rc);
        serverPid = server->platformInfo->process;
        winNTExtProg_setupSignalEvents(server, 0, 0);
        EXPECT_EQ(0, receiveReply(path, server, 60)) << "answer to the hello";
        EXPECT_EQ(0, sendCode(path, server, GetParam() == SERVER_DIES ? PEER_DIE : PEER_QUIT));
        int st = receiveReply(path, server, 1200);
        EXPECT_EQ(GetParam() == SERVER_DIES ? EXTPROG_STATUS_PEER_ENDED : 0, st);
        int exitStatus = -1;
        EXPECT_EQ(0, externProg_wait(&exitStatus, server));
        EXPECT_EQ(GetParam() == SERVER_DIES ? 7 : 0, exitStatus);
    }
    externProg_removeIPCPath(client, nullptr, 0);
    externProg_removeDescriptor(client);
    std::vector<std::string> marks = {hex8((uint32_t)key), hex8((uint32_t)getpid())};
    if (serverPid > 0)
        marks.push_back(hex8((uint32_t)serverPid));
    EXPECT_EQ("", joined(leftovers(before, marks)));
    winNTExtProg_msPerTimeoutSecond = savedSecond;
}

INSTANTIATE_TEST_SUITE_P(Endings, Lifecycle, ::testing::Values(NORMAL_END, START_FAILS, SERVER_DIES));

TEST(LifecycleKilledClient, ServerNoticesAndRemovesEverything)
{
    std::vector<std::string> before = listShm();
    std::string file = tempPath("ckey");
    pid_t clientPid = spawnPeer({"create-wait", file});
    ASSERT_GT(clientPid, 0);
    long long end = nowMs() + 20000;
    while (access(file.c_str(), F_OK) != 0 && nowMs() < end)
        usleep(2000);
    int32_t key = (int32_t)atol(readText(file).c_str());
    unlink(file.c_str());
    ASSERT_NE(0, key);
    pid_t serverPid = spawnPeer({"serve", std::to_string(key)});
    ASSERT_GT(serverPid, 0);
    // Wait (bounded) until the server has attached as receiver 2.
    char name[32];
    snprintf(name, sizeof name, "qEvnt%08x_02", (unsigned)key);
    while (!shmExists(name) && nowMs() < end)
        usleep(2000);
    ASSERT_TRUE(shmExists(name));
    kill(clientPid, SIGKILL);
    EXPECT_EQ(-SIGKILL, waitExit(clientPid, 20000));
    EXPECT_EQ(0, waitExit(serverPid, 20000)) << "the server ends once its client is gone";
    EXPECT_EQ("", joined(leftovers(before, {hex8((uint32_t)key), hex8((uint32_t)clientPid),
                                            hex8((uint32_t)serverPid)})));
}

}  // namespace
