// The design-file server ustation.exe as a program: its command line, the
// serving mode a client attaches to through MSGKEY/TCBKEY, the TCB it fills
// from the design file's header element, and how it outlives its clients.
#include "tests/startup/connection_fixture.h"

#include "dgn/dgn_file.h"
#include "resources/tcb_vartable.h"

char taskname[256] = "nodeweld";

namespace {

// Runs ustation.exe with the arguments and environment; returns its exit
// code, with what it wrote on stderr and its process id.
int run_server(const std::string &args, const std::string &env, std::string *err, pid_t *pid) {
    std::string cmd = "sh -c \"echo \\$\\$; exec env -u MSGKEY " + env + " '" + bin_dir() +
                      "/ustation.exe' " + args + " 2>&1 >/dev/null\"";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[1024];
    size_t n;
    std::string out;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    size_t nl = out.find('\n');
    *pid = nl == std::string::npos ? 0 : (pid_t)atol(out.substr(0, nl).c_str());
    *err = nl == std::string::npos ? out : out.substr(nl + 1);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

TEST(ServerCommandLine, RefusesWhatItCannotServe) {
    const struct {
        const char *what, *args, *env;
        int exitCode;
        const char *message;
    } cases[] = {
        {"no arguments", "", "", 2, "usage: ustation.exe"},
        {"unknown mode", "-x", "", 2, "usage: ustation.exe"},
        {"no MSGKEY", "-microcsl nodeweld sheet.dgn", "", 926 - 768, "MSGKEY"},
        {"MSGKEY not a number", "-microcsl nodeweld sheet.dgn", "MSGKEY=abc", 926 - 768, "MSGKEY"},
        {"MSGKEY naming no queue", "-microcsl nodeweld sheet.dgn", "MSGKEY=2147000003",
         926 - 768, "cannot attach to the queue"},
        {"serving a missing file", "-serve /nonexistent/sheet.dgn", "", 948 - 768,
         "cannot open the design file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string err;
        pid_t pid = 0;
        EXPECT_EQ(c.exitCode, run_server(c.args, c.env, &err, &pid)) << err;
        EXPECT_NE(std::string::npos, err.find(c.message)) << err;
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(shm_names_with("nwTcb" + hex8(pid)).empty());  // nothing left behind
        EXPECT_TRUE(shm_names_with(hex8(pid + 0x10000)).empty());
    }
}

// The TCB holds the header element's values at the offsets of ustation.rsc's
// table, and nothing else.
TEST_F(ConnectionTest, TcbIsFilledFromTheHeaderElement) {
    std::vector<std::string> files = {samples_dir() + "/smalltest.dgn", samples_dir() + "/tag.dgn",
                                      seed_file("seed_3d.dgn"), samples_dir() + "/e4-3d.dgn"};
    for (const std::string &from : files) {
        if (from.empty() || access(from.c_str(), R_OK) != 0) continue;
        SCOPED_TRACE(from);
        DgnFile f;
        std::string err;
        ASSERT_TRUE(dgn_load_file(from.c_str(), &f, &err)) << err;
        ASSERT_TRUE(use_file(from, "sheet.dgn"));
        Serving srv;
        ASSERT_TRUE(start_serving(work / "sheet.dgn", &srv));
        {
            EnvSetting key("MSGKEY", srv.msgkey.c_str());
            EnvSetting tcbName("TCBKEY", srv.tcbkey.c_str());
            ASSERT_EQ(0, open("sheet.dgn"));
            ASSERT_NE(nullptr, tcb);
            std::vector<unsigned char> expected(TCB_SIZE, 0);
            req_put16(&expected[TCB_OFF_DIMENSION], f.is3d ? 3 : 2);
            req_put32(&expected[TCB_OFF_EU_MU], (uint32_t)f.eu_mu);
            req_put32(&expected[TCB_OFF_EU_UOR], (uint32_t)f.eu_uor);
            memcpy(&expected[TCB_OFF_MU_NAME], f.master_name, 2);
            memcpy(&expected[TCB_OFF_SU_NAME], f.sub_name, 2);
            req_put16(&expected[TCB_OFF_GRAFIC], (uint16_t)(f.max_graphic_group + 1));
            if (f.has_symbology)
                req_put32(&expected[TCB_OFF_ACTIVE_SYMB],
                          (uint32_t)(f.symbology.style | (f.symbology.weight << 3) |
                                     (f.symbology.color << 8)));
            for (int i = 0; i < TCB_SIZE; i++)
                ASSERT_EQ(expected[i], tcb[i]) << "TCB byte " << i;
            EXPECT_EQ(0, close());
        }
        stop_serving(srv);
    }
}

// A server started by hand serves one client after another: a failed open is
// answered and the server goes on; a client that dies leaves the file as it
// was and the next client is served.
TEST_F(ConnectionTest, ServingServerOutlivesItsClients) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    std::string original;
    {
        std::ifstream in(work / "sheet.dgn", std::ios::binary);
        original.assign(std::istreambuf_iterator<char>(in), {});
    }
    Serving srv;
    ASSERT_TRUE(start_serving("", &srv));
    EnvSetting key("MSGKEY", srv.msgkey.c_str());
    EnvSetting tcbName("TCBKEY", srv.tcbkey.c_str());

    EXPECT_EQ(948, open("missing.dgn"));
    mcsl_shutdownConnection();
    EXPECT_EQ(0, kill(srv.pid, 0));

    ASSERT_EQ(0, open("sheet.dgn"));
    char buf[256];
    EXPECT_EQ(0, bsigetenv(buf, "MS_EXE", sizeof buf));
    EXPECT_EQ(0, close());

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(open("sheet.dgn") == 0 ? 0 : 1);  // ends without closing
    int st = 0;
    ASSERT_EQ(child, waitpid(child, &st, 0));
    EXPECT_EQ(0, WEXITSTATUS(st));

    ASSERT_EQ(0, open("sheet.dgn"));
    EXPECT_EQ(0, close());
    EXPECT_EQ(0, kill(srv.pid, 0));
    std::ifstream in(work / "sheet.dgn", std::ios::binary);
    EXPECT_EQ(original, std::string((std::istreambuf_iterator<char>(in)), {}));
    stop_serving(srv);
    // The dead client's signal events were swept by the server.
    EXPECT_TRUE(shm_names_with("Event" + hex8(child)).empty());
}

// A serving server that is killed while a client uses it: every request
// fails at once with 925, the close still completes, and the next server
// removes the TCB the killed one left.
TEST_F(ConnectionTest, ServingServerKilledMidSession) {
    ASSERT_TRUE(use_file(samples_dir() + "/smalltest.dgn", "sheet.dgn"));
    Serving srv;
    ASSERT_TRUE(start_serving("", &srv));
    {
        EnvSetting key("MSGKEY", srv.msgkey.c_str());
        EnvSetting tcbName("TCBKEY", srv.tcbkey.c_str());
        ASSERT_EQ(0, open("sheet.dgn"));
        ASSERT_EQ(0, kill(srv.pid, SIGKILL));
        ASSERT_TRUE(wait_gone(srv.pid, 20));
        char buf[64];
        time_t start = time(nullptr);
        EXPECT_EQ(925, bsigetenv(buf, "MS_EXE", sizeof buf));
        EXPECT_EQ(925, bsigetenv(buf, "MS_EXE", sizeof buf));
        EXPECT_LT(time(nullptr) - start, 50);
        EXPECT_EQ(0, close());
    }
    // The client was the last one attached: the queue's names are gone.
    EXPECT_TRUE(shm_names_with(hex8(strtol(srv.msgkey.c_str(), nullptr, 10))).empty());
    Serving next;
    ASSERT_TRUE(start_serving("", &next));
    EXPECT_TRUE(shm_names_with(srv.tcbkey).empty());
    stop_serving(next);
}

// A client given only TCBKEY creates its own queue and hands its key to the
// serving server through the TCB; the server serves that queue until the
// client closes.
TEST_F(ConnectionTest, QueueHandedOverThroughTheTcb) {
    ASSERT_TRUE(use_file(samples_dir() + "/tag.dgn", "sheet.dgn"));
    DgnFile f;
    std::string err;
    ASSERT_TRUE(dgn_load_file((work / "sheet.dgn").c_str(), &f, &err)) << err;
    Serving srv;
    ASSERT_TRUE(start_serving("", &srv));
    EnvSetting tcbName("TCBKEY", srv.tcbkey.c_str());
    for (int session = 0; session < 2; session++) {
        SCOPED_TRACE(session);
        EnvSetting noKey("MSGKEY", nullptr);
        ASSERT_EQ(0, open("sheet.dgn"));
        ASSERT_NE(nullptr, mcslIPCPathP);
        EXPECT_EQ(getpid() + 0x10000, mcslIPCPathP->key);  // the client's own queue
        EXPECT_EQ(0, server_pid());
        uint16_t v[16] = {0};
        int16_t words = 16, st = 0;
        EXPECT_EQ(0, rdtcbasc("EU.UOR", &words, v, &st));
        EXPECT_EQ((uint32_t)f.eu_uor, v[0] | ((uint32_t)v[1] << 16));
        EXPECT_EQ(0, close());
        EXPECT_EQ(0, kill(srv.pid, 0));
        EXPECT_TRUE(own_objects_gone());
    }
    stop_serving(srv);
}

}  // namespace
