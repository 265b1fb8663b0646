// indfpi / dedfpi against the real design-file server, started by the client
// (own queue) or found serving (MSGKEY / TCBKEY), and the exchange's
// behaviour when the server fails or goes away.
#include "tests/startup/connection_fixture.h"

#include "dgn/dgn_file.h"

char taskname[256] = "nodeweld";

namespace {

uint32_t tcb_value(const char *name) {
    uint16_t buf[16] = {0};
    int16_t words = 16, status = -1;
    EXPECT_EQ(0, rdtcbasc(name, &words, buf, &status)) << name;
    return (uint32_t)buf[0] | ((uint32_t)buf[1] << 16);
}

struct SheetCase {
    const char *path;
};

TEST_F(ConnectionTest, StartsTheServerOpensTheFileAndReadsItsUnits) {
    std::vector<std::string> files = {seed_file("seed_2d.dgn"), seed_file("seed_3d.dgn"),
                                      samples_dir() + "/smalltest.dgn",
                                      samples_dir() + "/tag.dgn", samples_dir() + "/x3d.dgn"};
    for (const std::string &from : files) {
        if (from.empty() || access(from.c_str(), R_OK) != 0) continue;
        SCOPED_TRACE(from);
        EnvSetting noKey("MSGKEY", nullptr);  // the previous session set it
        ASSERT_TRUE(use_file(from, "sheet.dgn"));
        DgnFile expected;
        std::string err;
        ASSERT_TRUE(dgn_load_file(from.c_str(), &expected, &err)) << err;

        ASSERT_EQ(0, open("sheet.dgn"));
        EXPECT_EQ(0, dfpiDetached);
        EXPECT_EQ(1, mcsl_translationMode);
        // Own queue: key = own process id + 0x10000, handed to the server in MSGKEY.
        ASSERT_NE(nullptr, mcslIPCPathP);
        EXPECT_EQ(getpid() + 0x10000, mcslIPCPathP->key);
        ASSERT_NE(nullptr, getenv("MSGKEY"));
        EXPECT_EQ(std::to_string(getpid() + 0x10000), getenv("MSGKEY"));
        // This client is receiver 1, the server receiver 2.
        std::string key = hex8(getpid() + 0x10000);
        EXPECT_EQ(1u, shm_names_with("qEvnt" + key + "_01").size());
        EXPECT_EQ(1u, shm_names_with("qEvnt" + key + "_02").size());

        EXPECT_EQ(expected.max_graphic_group + 1u, tcb_value("GRAFIC"));
        EXPECT_EQ((uint32_t)expected.eu_mu, tcb_value("EU.MU"));
        EXPECT_EQ((uint32_t)expected.eu_uor, tcb_value("EU.UOR"));
        int16_t off = 4072, one = 1, st = 0;
        int16_t dim = 0;
        ASSERT_EQ(0, rdtcb(&off, &one, &dim, &st));
        EXPECT_EQ(expected.is3d ? 3 : 2, dim);

        pid_t server = server_pid();
        ASSERT_GT(server, 0);
        EXPECT_EQ(0, close());
        EXPECT_EQ(1, dfpiDetached);
        EXPECT_EQ(nullptr, tcb);
        // The server answered the close with 1021 and has ended.
        EXPECT_NE(0, kill(server, 0));
        EXPECT_EQ(0, close());  // a second close does nothing
        EXPECT_TRUE(own_objects_gone());
    }
    EXPECT_TRUE(new_orphan_tcbs().empty());
}

TEST_F(ConnectionTest, ConfigurationLookupsThroughTheServer) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    // Values whose replies take exactly one and two queue blocks (256 / 257 bytes).
    std::string v231(231, 'a'), v232(232, 'b');
    EnvSetting one("NW_TEST_VALUE_231", v231.c_str());
    EnvSetting two("NW_TEST_VALUE_232", v232.c_str());
    EnvSetting none("NW_TEST_SURELY_UNSET", nullptr);
    ASSERT_EQ(0, open("sheet.dgn"));

    char buf[512];
    char real[4096];
    ASSERT_NE(nullptr, realpath(bin_dir().c_str(), real));
    EXPECT_EQ(0, bsigetenv(buf, "MS_RSRC", sizeof buf));
    EXPECT_EQ(std::string(real) + "/ustation.rsc", buf);
    EXPECT_EQ(0, bsigetenv(buf, "MS_EXE", sizeof buf));
    EXPECT_EQ(std::string(real) + "/ustation.exe", buf);
    EXPECT_EQ(0, bsigetenv(buf, "NW_TEST_VALUE_231", sizeof buf));
    EXPECT_EQ(v231, buf);
    EXPECT_EQ(0, bsigetenv(buf, "NW_TEST_VALUE_232", sizeof buf));
    EXPECT_EQ(v232, buf);
    EXPECT_EQ(0, bsigetenv(buf, "NW_TEST_VALUE_232", 11));
    EXPECT_EQ(std::string(10, 'b'), buf);
    EXPECT_EQ(0x8000, bsigetenv(buf, "NW_TEST_SURELY_UNSET", sizeof buf));
    EXPECT_STREQ("", buf);
}

TEST_F(ConnectionTest, UnknownRequestIsAnsweredWith900) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    ASSERT_EQ(0, open("sheet.dgn"));
    unsigned char req[16 + 8] = {0};
    req_put32(req + REQ_OFF_LENGTH, 8);
    req_put32(req + REQ_OFF_CODE, 77);
    EXPECT_EQ(900, send_crc(req, nullptr, 0, 0));
}

// A reply that did not fit the buffer is never taken as a later request's reply.
TEST_F(ConnectionTest, ReplyLeftByAFailedExchangeIsNotTakenLater) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    ASSERT_EQ(0, open("sheet.dgn"));
    unsigned char req[16 + 130] = {0};
    req_put32(req + REQ_OFF_LENGTH, 130);
    req_put32(req + REQ_OFF_CODE, 134);
    snprintf((char *)req + 16, 128, "%s", "MS_EXE");
    unsigned char small[30];
    EXPECT_EQ(925, send_crc(req, small, sizeof small, 0));

    char buf[512];
    EXPECT_EQ(0, bsigetenv(buf, "MS_RSRCPATH", sizeof buf));
    char real[4096];
    ASSERT_NE(nullptr, realpath(bin_dir().c_str(), real));
    EXPECT_EQ(std::string(real) + "/", buf);
    EXPECT_EQ(0, close());
}

TEST_F(ConnectionTest, UnopenableDesignFileGives948AndTheServerEnds) {
    write_file(work / "text.dgn", "this is not a design file\n");
    ASSERT_TRUE(copy_file(samples_dir() + "/v8-reject.dgn", work / "v8.dgn"));
    const char *names[] = {"missing.dgn", "text.dgn", "v8.dgn"};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        EnvSetting noKey("MSGKEY", nullptr);
        testing::internal::CaptureStdout();
        EXPECT_EQ(948, open(name));
        fflush(stdout);
        EXPECT_EQ("", testing::internal::GetCapturedStdout());
        EXPECT_EQ(nullptr, mcslIPCPathP);
        EXPECT_EQ(nullptr, mstnExtProgP);
        mcsl_shutdownConnection();
    }
    // Every server ended on its own and removed its TCB.
    for (int i = 0; i < 100 && !new_orphan_tcbs().empty(); i++) usleep(50000);
    EXPECT_TRUE(new_orphan_tcbs().empty());
}

struct FakeServerCase {
    int exitCode;
    const char *message;
};

// A server that ends before answering the hello: its end is reported and the
// start-up fails with 925.
TEST_F(ConnectionTest, ServerEndingBeforeItsReplyGives925) {
    const FakeServerCase cases[] = {
        {152, "MicroStation terminated with status of 920\n"},
        {3, "MicroStation terminated with status of 3\n"},
        {0, ""},
    };
    TempDir fake;
    std::string dir = fake.path + "/";
    EnvSetting exe("MS_EXE", dir.c_str());
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    for (const FakeServerCase &c : cases) {
        SCOPED_TRACE(c.exitCode);
        EnvSetting noKey("MSGKEY", nullptr);
        write_file(fake / "ustation.exe", "#!/bin/sh\nexit " + std::to_string(c.exitCode) + "\n",
                   0755);
        testing::internal::CaptureStdout();
        EXPECT_EQ(925, open("sheet.dgn"));
        fflush(stdout);
        EXPECT_EQ(c.message, testing::internal::GetCapturedStdout());
        mcsl_shutdownConnection();
    }
}

// The started program's command line and environment, recorded by a stand-in.
TEST_F(ConnectionTest, ServerIsStartedWithTaskDesignFileAndCacheFolder) {
    TempDir fake;
    std::string dir = fake.path + "/";
    EnvSetting exe("MS_EXE", dir.c_str());
    write_file(fake / "ustation.exe",
               "#!/bin/sh\necho \"$*\" > \"" + fake.path + "/args\"\necho \"$MSGKEY\" > \"" +
                   fake.path + "/key\"\nexit 0\n",
               0755);
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    const struct {
        const char *cache;
        std::string args;
    } cases[] = {
        {nullptr, "-microcsl nodeweld sheet.dgn"},
        {"/tmp/cache dir", "-microcsl nodeweld sheet.dgn -c/tmp/cache dir"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        EnvSetting noKey("MSGKEY", nullptr);
        EnvSetting cache("MS_CACH", c.cache);
        EXPECT_EQ(925, open("sheet.dgn"));
        mcsl_shutdownConnection();
        std::ifstream args(fake / "args"), key(fake / "key");
        std::string line, keyLine;
        std::getline(args, line);
        std::getline(key, keyLine);
        EXPECT_EQ(c.args, line);
        EXPECT_EQ(std::to_string(getpid() + 0x10000), keyLine);
    }
}

TEST_F(ConnectionTest, QueueOpensThatMustNotCreate) {
    IPCPath *path = nullptr;
    int32_t key = 0;
    EXPECT_EQ(-138, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_EXISTING));
    EXPECT_EQ(nullptr, path);
    key = 2147000004;
    EXPECT_EQ(-116, externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE));
    EXPECT_EQ(nullptr, path);
    EXPECT_TRUE(shm_names_with(hex8(2147000004)).empty());
    EXPECT_TRUE(own_objects().empty());
}

TEST_F(ConnectionTest, ServerThatNeverAnswersGives983) {
    exchange_set_time_limit_for_tests(2);
    TempDir fake;
    std::string dir = fake.path + "/";
    EnvSetting exe("MS_EXE", dir.c_str());
    write_file(fake / "ustation.exe", "#!/bin/sh\necho $$ > \"" + fake.path + "/pid\"\nexec sleep 60\n",
               0755);
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    EXPECT_EQ(983, open("sheet.dgn"));
    EXPECT_EQ(nullptr, mstnExtProgP);  // dropped
    std::ifstream in(fake / "pid");
    pid_t pid = 0;
    in >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_EQ(0, kill(pid, 0));  // dropping does not stop it
    kill(pid, SIGKILL);
    EXPECT_TRUE(wait_gone(pid, 10));
}

TEST_F(ConnectionTest, StartUpFailuresBeforeTheServerRuns) {
    TempDir emptyBin;
    std::string emptyDir = emptyBin.path + "/";
    {
        // ustation.exe neither in the current folder nor under MS_EXE.
        EnvSetting exe("MS_EXE", emptyDir.c_str());
        EXPECT_EQ(982, open("sheet.dgn"));
        EXPECT_EQ(nullptr, mcslIPCPathP);
        mcsl_shutdownConnection();
    }
    {
        // A server must be started, but no design file is named.
        EXPECT_EQ(953, open(nullptr));
        mcsl_shutdownConnection();
        EXPECT_EQ(953, open(""));
        mcsl_shutdownConnection();
    }
    {
        // MSGKEY names a queue that does not exist: nothing is created.
        EnvSetting key("MSGKEY", "2147000001");
        testing::internal::CaptureStdout();
        EXPECT_EQ(926, open("sheet.dgn"));
        fflush(stdout);
        EXPECT_EQ("Could not create msg queue, error=-116\n", testing::internal::GetCapturedStdout());
        EXPECT_TRUE(shm_names_with(hex8(2147000001)).empty());
        mcsl_shutdownConnection();
    }
    EXPECT_TRUE(own_objects_gone());
}

TEST_F(ConnectionTest, MissingResourceFileGives952) {
    TempDir lonely;
    ASSERT_TRUE(copy_file(bin_dir() + "/ustation.exe", lonely / "ustation.exe", 0755));
    std::string dir = lonely.path + "/";
    EnvSetting exe("MS_EXE", dir.c_str());
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    EXPECT_EQ(952, open("sheet.dgn"));
    EXPECT_EQ(nullptr, mcslIPCPathP);
    EXPECT_EQ(nullptr, tcb);
    // The dropped server sees its client detach, ends and removes its objects.
    EXPECT_TRUE(own_objects_gone());
    EXPECT_TRUE(new_orphan_tcbs().empty());
}

TEST_F(ConnectionTest, ServerDyingMidRunFailsEachRequestAtOnce) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    ASSERT_EQ(0, open("sheet.dgn"));
    pid_t server = server_pid();
    ASSERT_GT(server, 0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(0, kill(server, SIGKILL));
    char buf[64];
    time_t start = time(nullptr);
    EXPECT_EQ(925, bsigetenv(buf, "MS_EXE", sizeof buf));
    EXPECT_EQ(925, bsigetenv(buf, "MS_EXE", sizeof buf));
    EXPECT_EQ(925, bsigetenv(buf, "MS_EXE", sizeof buf));
    EXPECT_LT(time(nullptr) - start, 50);  // far below the 60 s limit set for the test
    EXPECT_EQ(0, close());
    fflush(stdout);
    EXPECT_EQ("MicroStation terminated with status of -9\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(own_objects_gone());
    EXPECT_TRUE(shm_names_with("nwTcb" + hex8(server)).empty());  // removed for the killed server
}

// A server started by hand: the client attaches through MSGKEY and TCBKEY,
// opens its file by name, and the server outlives the client's close.
TEST_F(ConnectionTest, AttachesToAServingServer) {
    ASSERT_TRUE(use_file(samples_dir() + "/tag.dgn", "sheet.dgn"));
    Serving srv;
    ASSERT_TRUE(start_serving("", &srv));
    EnvSetting key("MSGKEY", srv.msgkey.c_str());
    EnvSetting tcbName("TCBKEY", srv.tcbkey.c_str());

    DgnFile expected;
    std::string err;
    ASSERT_TRUE(dgn_load_file((work / "sheet.dgn").c_str(), &expected, &err)) << err;
    for (int session = 0; session < 2; session++) {
        SCOPED_TRACE(session);
        ASSERT_EQ(0, open("sheet.dgn"));
        EXPECT_EQ(0, server_pid());  // not started by this client
        EXPECT_EQ((uint32_t)expected.eu_uor, tcb_value("EU.UOR"));
        EXPECT_EQ(expected.max_graphic_group + 1u, tcb_value("GRAFIC"));
        EXPECT_EQ(0, close());
        EXPECT_EQ(0, kill(srv.pid, 0));  // still serving
    }
    stop_serving(srv);
}

// A client that ends without closing: its server ends by itself and the
// design file is left as it was.
TEST_F(ConnectionTest, ServerEndsWhenItsClientDiesWithoutClosing) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    std::ifstream before(work / "sheet.dgn", std::ios::binary);
    std::string original((std::istreambuf_iterator<char>(before)), {});
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        int st = open("sheet.dgn");
        pid_t server = st == 0 ? server_pid() : 0;
        if (write(fds[1], &server, sizeof server) != (ssize_t)sizeof server) _exit(2);
        _exit(0);  // no close request, no clean-up
    }
    ::close(fds[1]);
    pid_t server = 0;
    ASSERT_EQ((ssize_t)sizeof server, read(fds[0], &server, sizeof server));
    ::close(fds[0]);
    int st = 0;
    waitpid(child, &st, 0);
    ASSERT_GT(server, 0);
    EXPECT_TRUE(wait_gone(server, 30));
    // The server removed its own objects and the client's leftovers.
    EXPECT_TRUE(shm_names_with("nwTcb" + hex8(server)).empty());
    EXPECT_TRUE(shm_names_with("Event" + hex8(child)).empty());
    std::ifstream after(work / "sheet.dgn", std::ios::binary);
    EXPECT_EQ(original, std::string((std::istreambuf_iterator<char>(after)), {}));
}

}  // namespace
