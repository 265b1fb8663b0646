// Program registry: descriptors, program start with arguments and
// environment, exit codes, end notification while waiting, signal events.
#include <cstring>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <unistd.h>

#include "connection/extprog.h"
#include "connection/platform/winnt_extprog.h"
#include "tests/connection/shm_watch.h"

namespace {

int terminateCalls = 0;
ExternProgDescr *terminatedDescriptor = nullptr;
int terminatedStatus = -999, terminatedSignal = -999;

int onTerminate(ExternProgDescr *d, int exitStatus, int signal)
{
    ++terminateCalls;
    terminatedDescriptor = d;
    terminatedStatus = exitStatus;
    terminatedSignal = signal;
    return 0;
}

void resetTerminate()
{
    terminateCalls = 0;
    terminatedDescriptor = nullptr;
    terminatedStatus = terminatedSignal = -999;
}

bool inRegistry(ExternProgDescr *d)
{
    for (ExternProgDescr *p = externProg_getFirst(); p; p = externProg_getNext(p))
        if (p == d)
            return true;
    return false;
}

ExternProgDescr *start(const std::vector<std::string> &args, std::vector<std::string> env = {})
{
    std::string prog = peerProgram();
    std::vector<const char *> argv, envv;
    for (const auto &a : args)
        argv.push_back(a.c_str());
    for (const auto &e : env)
        envv.push_back(e.c_str());
    ExternProgDescr *d = nullptr;
    int rc = externProg_startSpecifiedProgram(&d, 1, 0, EXTPROG_KIND_SERVER, prog.c_str(), argv.data(),
                                              (int)argv.size(), envv.data(), (int)envv.size(), 0,
                                              onTerminate, nullptr);
    EXPECT_EQ(0, rc);
    return d;
}

TEST(Registry, DescriptorsGoToTheFront)
{
    ExternProgDescr *a = nullptr, *b = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&a, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr));
    ASSERT_EQ(0, externProg_createDescriptor(&b, 0, EXTPROG_KIND_SERVER, "srv", 0, nullptr, nullptr));
    EXPECT_EQ(b, externProg_getFirst());
    EXPECT_EQ(a, externProg_getNext(b));
    EXPECT_STREQ("srv", b->name);
    EXPECT_STREQ("", a->name);
    EXPECT_EQ(EXTPROG_STATE_CREATED, a->state);
    EXPECT_EQ(EXTPROG_KIND_CLIENT, a->kind);
    EXPECT_EQ(0, externProg_removeDescriptor(b));
    EXPECT_EQ(a, externProg_getFirst());
    EXPECT_EQ(0, externProg_removeDescriptor(a));
    EXPECT_EQ(nullptr, externProg_getFirst());
}

TEST(Registry, ArgumentsWithBlanksArriveIntact)
{
    std::string file = tempPath("args");
    const std::string withBlanks = "/tmp/my drawings/sheet 1.dgn";
    ExternProgDescr *d = start({"args", file, "-microcsl", "nodeweld", withBlanks, "-c/tmp/cache dir", ""});
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(EXTPROG_STATE_RUNNING, d->state);
    // The command line as the system builds and logs it: unquoted, single blanks.
    EXPECT_EQ(peerProgram() + " args " + file + " -microcsl nodeweld " + withBlanks + " -c/tmp/cache dir ",
              std::string(d->platformInfo->commandLine));
    int status = -1;
    EXPECT_EQ(0, externProg_wait(&status, d));
    EXPECT_EQ(0, status);
    EXPECT_EQ("5\n-microcsl\nnodeweld\n" + withBlanks + "\n-c/tmp/cache dir\n\n", readText(file));
    unlink(file.c_str());
}

TEST(Registry, EnvironmentEntriesWithValuesOnly)
{
    unsetenv("NW_REG_SET");
    unsetenv("NW_REG_EMPTY");
    struct Case {
        const char *entry;
        const char *var;
        const char *seen;
    } cases[] = {
        {"NW_REG_SET=4242", "NW_REG_SET", "4242"},
        {"NW_REG_EMPTY=", "NW_REG_EMPTY", "<unset>"},
        {"NW_REG_NOEQUALS", "NW_REG_NOEQUALS", "<unset>"},
        {"NW_REG_EQ=a=b", "NW_REG_EQ", "a=b"},
    };
    for (const Case &c : cases) {
        std::string file = tempPath("env");
        ExternProgDescr *d = start({"env", file, c.var}, {c.entry});
        ASSERT_NE(nullptr, d);
        int status = -1;
        externProg_wait(&status, d);
        EXPECT_EQ(0, status);
        EXPECT_EQ(c.seen, readText(file)) << c.entry;
        unlink(file.c_str());
    }
    EXPECT_STREQ("4242", getenv("NW_REG_SET")) << "set in the client's own environment";
    unsetenv("NW_REG_SET");
    unsetenv("NW_REG_EQ");
}

TEST(Registry, WaitGivesExitCodeAndRunsCallbackOnce)
{
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {{{"exit", "5", "50"}, 5}, {{"exit", "0"}, 0}, {{"exit", "152"}, 152}};
    for (const Case &c : cases) {
        resetTerminate();
        ExternProgDescr *d = start(c.args);
        ASSERT_NE(nullptr, d);
        int status = -1;
        EXPECT_EQ(0, externProg_wait(&status, d));
        EXPECT_EQ(c.code, status);
        EXPECT_EQ(1, terminateCalls);
        EXPECT_EQ(d, terminatedDescriptor);
        EXPECT_EQ(c.code, terminatedStatus);
        EXPECT_EQ(0, terminatedSignal);
        EXPECT_FALSE(inRegistry(d));
    }
}

TEST(Registry, ProgramEndedBySignal)
{
    resetTerminate();
    ExternProgDescr *d = start({"exit", "0", "60000"});
    ASSERT_NE(nullptr, d);
    pid_t pid = d->platformInfo->process;
    ASSERT_GT(pid, 0);
    EXPECT_EQ(getsid(pid), pid) << "started in a session of its own";
    kill(pid, SIGKILL);
    int status = 0;
    externProg_wait(&status, d);
    EXPECT_EQ(-SIGKILL, status);
    EXPECT_EQ(1, terminateCalls);
}

TEST(Registry, TerminateForgetsButLeavesProcessRunning)
{
    ExternProgDescr *d = start({"exit", "3", "1500"});
    ASSERT_NE(nullptr, d);
    pid_t pid = d->platformInfo->process;
    EXPECT_EQ(0, externProg_terminateProgram(d) == 1 ? 0 : 1);
    EXPECT_FALSE(inRegistry(d));
    EXPECT_TRUE(winNTExtProg_processAlive(pid));
    EXPECT_EQ(3, waitExit(pid, 20000));
}

TEST(Registry, StartFailureRemovesDescriptor)
{
    ExternProgDescr *d = nullptr;
    const char *args[] = {"x"};
    testing::internal::CaptureStdout();
    int rc = externProg_startSpecifiedProgram(&d, 1, 0, EXTPROG_KIND_SERVER, "/nonexistent/ustation.exe",
                                              args, 1, nullptr, 0, 0, onTerminate, nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(0, rc);
    EXPECT_EQ(nullptr, d);
    EXPECT_EQ("Unable to start child process\n", out);
    EXPECT_EQ(nullptr, externProg_getFirst());
}

TEST(Registry, WaitWithNothingToWatchReturns)
{
    ExternProgDescr *d = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&d, 0, EXTPROG_KIND_SERVER, nullptr, 0, nullptr, nullptr));
    int status = -1;
    EXPECT_EQ(0, externProg_wait(&status, d));
    EXPECT_EQ(0, status);
    EXPECT_FALSE(inRegistry(d));
}

TEST(Registry, ForeignProcessEndIsNoticed)
{
    pid_t other = spawnPeer({"exit", "0", "200"});
    ASSERT_GT(other, 0);
    ExternProgDescr *d = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&d, 0, EXTPROG_KIND_SERVER, nullptr, 0, nullptr, nullptr));
    winNTExtProg_setProcessId(d, other);
    // Reap it from the side so it does not stay a zombie of ours.
    EXPECT_EQ(0, waitExit(other, 20000));
    int status = -1;
    EXPECT_EQ(0, externProg_wait(&status, d));
    EXPECT_FALSE(inRegistry(d));
}

int checkCalls = 0, lastSignal = 0;
int checkStopOnEnd(int signal, int *flag, void *, ExternProgDescr *)
{
    ++checkCalls;
    lastSignal = signal;
    (void)flag;
    return signal == EXTPROG_SIGNAL_PROCESS_ENDED ? 1 : 0;
}

TEST(Registry, ReceiveWithCheckWatchesServerProcessAndEvents)
{
    resetTerminate();
    checkCalls = 0;
    ExternProgDescr *client = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr));
    IPCPath *path = nullptr;
    int32_t key = 0;
    ASSERT_EQ(0, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
    externProg_connectIPCToProgram(path, client, 0, 0, nullptr);

    // A "server" that never attaches: it raises the client's get event, then
    // a second one ends with code 152.
    ExternProgDescr *server = start({"exit", "152", "300"});
    ASSERT_NE(nullptr, server);
    winNTExtProg_setupSignalEvents(server, 0, 0);
    std::string p1 = signalObjects(getpid()).empty() ? "" : signalObjects(getpid())[0];
    EXPECT_EQ(2u, signalObjects(getpid()).size());
    for (const auto &n : signalObjects(getpid()))
        EXPECT_EQ(0600, shmMode(n)) << n;
    pid_t raiser = spawnPeer({"signal-events", std::to_string(getpid())});
    ASSERT_GT(raiser, 0);

    unsigned char buf[128];
    int status = 0;
    long long t0 = nowMs();
    int rc = externProg_receiveMessage(&status, buf, sizeof buf, 101, path, 1, 0, 0, checkStopOnEnd,
                                       nullptr, nullptr);
    EXPECT_EQ(1, rc) << "the check's result";
    EXPECT_EQ(EXTPROG_STATUS_NO_MESSAGE, status);
    EXPECT_LT(nowMs() - t0, 30000);
    EXPECT_EQ(0, waitExit(raiser, 20000));
    EXPECT_EQ(2, checkCalls) << "one get event, then the end";
    EXPECT_EQ(EXTPROG_SIGNAL_PROCESS_ENDED, lastSignal);
    EXPECT_EQ(1, terminateCalls);
    EXPECT_EQ(152, terminatedStatus);
    EXPECT_EQ(EXTPROG_STATE_ENDED, server->state);
    EXPECT_EQ(1, haveTerminatedProgram);
    EXPECT_EQ(1, externProg_checkTerminatedPrograms(nullptr));
    EXPECT_FALSE(inRegistry(server));
    EXPECT_TRUE(signalObjects(getpid()).empty()) << "signal events removed with the descriptor";

    externProg_removeIPCPath(client, nullptr, 0);
    externProg_removeDescriptor(client);
    EXPECT_TRUE(queueObjects(key).empty());
}

TEST(Registry, SendRaisesPeerSendEvent)
{
    ExternProgDescr *client = nullptr, *server = nullptr;
    ASSERT_EQ(0, externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr));
    ASSERT_EQ(0, externProg_createDescriptor(&server, 0, EXTPROG_KIND_SERVER, nullptr, 0, nullptr, nullptr));
    winNTExtProg_setupSignalEvents(server, 0, 0);
    char p2[32];
    snprintf(p2, sizeof p2, "p2Event%08x", (unsigned)getpid());
    EXPECT_TRUE(shmExists(p2));
    IPCPath *path = nullptr;
    int32_t key = 0;
    ASSERT_EQ(0, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
    externProg_connectIPCToProgram(path, client, 0, 0, nullptr);
    EXPECT_FALSE(namedEvent_isSet(&server->platformInfo->sendEvent));
    unsigned char m[16] = {100};
    EXPECT_EQ(0, externProg_sendMessage(m, 16, path, server, 0, server));
    EXPECT_TRUE(namedEvent_isSet(&server->platformInfo->sendEvent)) << "p2 raised after a request";
    EXPECT_FALSE(namedEvent_isSet(&server->platformInfo->getEvent));
    EXPECT_EQ(1, externProg_terminateProgram(server));
    EXPECT_FALSE(shmExists(p2));
    externProg_removeIPCPath(client, nullptr, 0);
    externProg_removeDescriptor(client);
}

}  // namespace
