// Shared pieces of the tests that bring the connection up against the real
// design-file server (bin/ustation.exe) in a temporary folder.
#ifndef NW_TESTS_STARTUP_CONNECTION_FIXTURE_H
#define NW_TESTS_STARTUP_CONNECTION_FIXTURE_H

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "connection/file_search.h"
#include "connection/platform/winnt_extprog.h"
#include "connection/startup.h"
#include "connection/tcb.h"
#include "dgnrequests/request_exchange.h"
#include "tests/startup/test_dirs.h"

inline std::string bin_dir() {
    const char *b = getenv("NW_BIN_DIR");
    return b ? b : NW_BIN_DIR;
}

// Sample sheets written by other software, kept with the tests.
inline std::string samples_dir() { return std::string(NW_SOURCE_DIR) + "/tests/dgn/data"; }

// Seed files from GDAL's data package, where installed.
inline std::string seed_file(const char *name) {
    std::string p = std::string("/usr/share/gdal/") + name;
    return access(p.c_str(), R_OK) == 0 ? p : std::string();
}

// Names in /dev/shm that contain `part`.
inline std::vector<std::string> shm_names_with(const std::string &part) {
    std::vector<std::string> out;
    DIR *d = opendir("/dev/shm");
    if (!d) return out;
    while (dirent *e = readdir(d))
        if (strstr(e->d_name, part.c_str())) out.push_back(e->d_name);
    closedir(d);
    return out;
}

inline std::string hex8(long v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%08lx", v);
    return buf;
}

// Waits (bounded) until the process has gone; reaps it when it is our child.
inline bool wait_gone(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 20; i++) {
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) return true;
        if (kill(pid, 0) != 0) return true;
        usleep(50000);
    }
    return false;
}

// The queue names and signal events this process creates for its own queue.
inline std::vector<std::string> own_objects() {
    std::vector<std::string> names;
    for (const std::string &n : shm_names_with(hex8(getpid() + 0x10000))) names.push_back(n);
    for (const std::string &n : shm_names_with("Event" + hex8(getpid()))) names.push_back(n);
    return names;
}

// Waits (bounded) until none of this process's queue and signal-event
// objects is left; a server dropped by an earlier case may still be ending.
inline bool own_objects_gone() {
    for (int i = 0; i < 200; i++) {
        if (own_objects().empty()) return true;
        usleep(50000);
    }
    return false;
}

// Server TCBs whose server process no longer exists.
inline std::vector<std::string> orphan_tcbs() {
    std::vector<std::string> out;
    for (const std::string &n : shm_names_with("nwTcb")) {
        long pid = strtol(n.c_str() + 5, nullptr, 16);
        if (pid > 0 && kill((pid_t)pid, 0) != 0) out.push_back(n);
    }
    return out;
}

// ---- servers started by hand (-serve) ----

// A server started by hand for a test. It is stopped when the test ends,
// also when the test fails early, and it ends with the test process.
struct Serving {
    pid_t pid = 0;
    std::string msgkey, tcbkey;
    Serving() = default;
    Serving(const Serving &) = delete;
    ~Serving() {
        if (pid > 0 && kill(pid, 0) == 0) {
            kill(pid, SIGTERM);
            wait_gone(pid, 20);
        }
    }
};

// Starts `ustation.exe -serve [file]` and reads the keys it prints.
inline bool start_serving(const std::string &file, Serving *s) {
    int out[2];
    if (pipe(out) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::string exe = bin_dir() + "/ustation.exe";
        if (file.empty())
            execl(exe.c_str(), exe.c_str(), "-serve", (char *)nullptr);
        else
            execl(exe.c_str(), exe.c_str(), "-serve", file.c_str(), (char *)nullptr);
        _exit(127);
    }
    ::close(out[1]);
    s->pid = pid;
    FILE *from = fdopen(out[0], "r");
    char l1[128] = "", l2[128] = "";
    bool ok = fgets(l1, sizeof l1, from) && fgets(l2, sizeof l2, from) &&
              strncmp(l1, "MSGKEY=", 7) == 0 && strncmp(l2, "TCBKEY=", 7) == 0;
    fclose(from);
    if (!ok) return false;
    l1[strcspn(l1, "\n")] = '\0';
    l2[strcspn(l2, "\n")] = '\0';
    s->msgkey = l1 + 7;
    s->tcbkey = l2 + 7;
    return true;
}

inline void stop_serving(Serving &s) {
    if (s.pid <= 0) return;
    kill(s.pid, SIGTERM);
    EXPECT_TRUE(wait_gone(s.pid, 20));
    s.pid = 0;
    EXPECT_TRUE(shm_names_with(hex8(strtol(s.msgkey.c_str(), nullptr, 10))).empty());
    EXPECT_TRUE(shm_names_with(s.tcbkey).empty());
}

class ConnectionTest : public ::testing::Test {
protected:
    TempDir work;
    std::vector<std::string> orphansBefore;  // left by something else before the test
    std::string dgn;  // the copy the test opens, relative to the work folder
    ChangeDir *here = nullptr;
    EnvSetting *msgkey = nullptr, *tcbkey = nullptr, *msexe = nullptr, *cach = nullptr,
               *debug = nullptr;

    void SetUp() override {
        orphansBefore = orphan_tcbs();
        here = new ChangeDir(work.path);
        msgkey = new EnvSetting("MSGKEY", nullptr);
        tcbkey = new EnvSetting("TCBKEY", nullptr);
        std::string exeDir = bin_dir() + "/";
        msexe = new EnvSetting("MS_EXE", exeDir.c_str());
        cach = new EnvSetting("MS_CACH", nullptr);
        debug = new EnvSetting("MS_DEBUG", nullptr);
        snprintf(taskname, sizeof taskname, "%s", "nodeweld");
        exchange_set_time_limit_for_tests(60);
    }
    void TearDown() override {
        if (!dfpiDetached) {
            int16_t zero = 0;
            dedfpi(&zero);
        }
        mcsl_shutdownConnection();
        exchange_set_time_limit_for_tests(0);
        delete debug;
        delete cach;
        delete msexe;
        delete tcbkey;
        delete msgkey;
        delete here;
    }
    // Server TCBs left behind by servers of this test.
    std::vector<std::string> new_orphan_tcbs() const {
        std::vector<std::string> out;
        for (const std::string &n : orphan_tcbs()) {
            bool old = false;
            for (const std::string &b : orphansBefore) old = old || b == n;
            if (!old) out.push_back(n);
        }
        return out;
    }
    // Copies a design file into the work folder under `name`.
    bool use_file(const std::string &from, const std::string &name) {
        dgn = name;
        return copy_file(from, work / name);
    }
    int open(const char *name) {
        int16_t z1 = 0, z6 = 0, z8 = 0, mode = 0, translation = 1, status = -1;
        int r = indfpi(&z1, name, &mode, nullptr, &translation, &z6, &status, &z8);
        EXPECT_EQ(r, status);
        return status;
    }
    int close() {
        int16_t zero = 0;
        return dedfpi(&zero);
    }
    pid_t server_pid() const {
        return mstnExtProgP && mstnExtProgP->platformInfo ? mstnExtProgP->platformInfo->process : 0;
    }
};

#endif
