// A client session against the real design-file server for the end-to-end
// tests: a private folder with a copy of a design file, the environment that
// lets indfpi find bin/ustation.exe, and the design file read back with the
// DGN library and with GDAL's ogrinfo once the session has closed.
#ifndef NW_TESTS_ELEMENT_OPS_SESSION_FIXTURE_H
#define NW_TESTS_ELEMENT_OPS_SESSION_FIXTURE_H

#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "connection/platform/winnt_extprog.h"
#include "connection/startup.h"
#include "connection/tcb.h"
#include "dgn/dgn_file.h"
#include "dgnrequests/request_exchange.h"
#include "tests/support/files.h"
#include "tests/support/run_program.h"

inline std::string gdal_seed(const char *name) {
    const std::string p = std::string("/usr/share/gdal/") + name;
    return access(p.c_str(), R_OK) == 0 ? p : std::string();
}

inline bool have_ogr() { return access("/usr/bin/ogrinfo", X_OK) == 0 && access("/usr/bin/ogr2ogr", X_OK) == 0; }

// One feature as ogrinfo prints it.
struct OgrFeature {
    long fid = -1;
    std::map<std::string, std::string> fields;  // "Level" -> "5"
    std::string geometry;                       // "LINESTRING (1 2,3 4)"
    int field(const char *name) const {
        auto it = fields.find(name);
        return it == fields.end() ? -1 : atoi(it->second.c_str());
    }
    // Coordinates of the geometry, in order: x, y (, z) per point.
    std::vector<double> coords() const {
        std::vector<double> v;
        std::string s = geometry;
        for (char &c : s)
            if (c == '(' || c == ')' || c == ',') c = ' ';
        std::istringstream in(s);
        std::string word;
        while (in >> word) {
            char *end = nullptr;
            const double d = strtod(word.c_str(), &end);
            if (end && *end == '\0' && end != word.c_str()) v.push_back(d);
        }
        return v;
    }
};

// Features of a DGN file as GDAL reads it (empty when ogrinfo fails).
inline std::vector<OgrFeature> ogr_features(const std::string &path) {
    ProgramResult r = run_program({"/usr/bin/ogrinfo", "-al", "-q", path}, {}, "", 60);
    std::vector<OgrFeature> out;
    if (r.exitCode != 0) {
        ADD_FAILURE() << "ogrinfo failed on " << path << ": " << r.err;
        return out;
    }
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            OgrFeature f;
            f.fid = atol(line.c_str() + line.find("):") + 2);
            out.push_back(f);
            continue;
        }
        if (out.empty() || line.size() < 3) continue;
        const std::string body = line.substr(2);
        const size_t typed = body.find(" (");
        const size_t eq = body.find(") = ");
        if (typed != std::string::npos && eq != std::string::npos && typed < eq) {
            out.back().fields[body.substr(0, typed)] = body.substr(eq + 4);
        } else if (body.rfind("LINESTRING", 0) == 0 || body.rfind("POINT", 0) == 0 ||
                   body.rfind("POLYGON", 0) == 0 || body.rfind("MULTILINESTRING", 0) == 0) {
            out.back().geometry = body;
        }
    }
    return out;
}

inline const OgrFeature *ogr_find(const std::vector<OgrFeature> &fs, long fid) {
    for (const OgrFeature &f : fs)
        if (f.fid == fid) return &f;
    return nullptr;
}

// Sets or unsets an environment variable for the life of the object.
struct ScopedEnv {
    std::string name, saved;
    bool had;
    ScopedEnv(const char *n, const char *value) : name(n) {
        const char *old = getenv(n);
        had = old != nullptr;
        if (had) saved = old;
        if (value) setenv(n, value, 1);
        else unsetenv(n);
    }
    ~ScopedEnv() {
        if (had) setenv(name.c_str(), saved.c_str(), 1);
        else unsetenv(name.c_str());
    }
};

class OpsSession : public ::testing::Test {
protected:
    std::string dir;
    std::string oldCwd;
    ScopedEnv *env[4] = {nullptr, nullptr, nullptr, nullptr};

    void SetUp() override {
        char tmpl[] = "/tmp/nwopsXXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "";
        ASSERT_FALSE(dir.empty());
        char cwd[4096];
        oldCwd = getcwd(cwd, sizeof cwd) ? cwd : "/";
        ASSERT_EQ(chdir(dir.c_str()), 0);
        const std::string bin = nw_bin("");
        env[0] = new ScopedEnv("MSGKEY", nullptr);
        env[1] = new ScopedEnv("TCBKEY", nullptr);
        env[2] = new ScopedEnv("MS_EXE", bin.c_str());
        env[3] = new ScopedEnv("MS_DEBUG", nullptr);
        snprintf(taskname, sizeof taskname, "%s", "nodeweld");
        exchange_set_time_limit_for_tests(60);
    }
    void TearDown() override {
        if (!dfpiDetached) close();
        mcsl_shutdownConnection();
        exchange_set_time_limit_for_tests(0);
        for (ScopedEnv *e : env) delete e;
        if (chdir(oldCwd.c_str()) != 0) perror("chdir");
        const std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }

    // Opens `name` (in the session folder) with the given translation mode.
    int open(const char *name, int16_t translation = 1) {
        int16_t z1 = 0, z6 = 0, z8 = 0, mode = 0, status = -1;
        // indfpi leaves the key of the queue it created in MSGKEY; a new
        // session starts a server of its own.
        unsetenv("MSGKEY");
        indfpi(&z1, name, &mode, nullptr, &translation, &z6, &status, &z8);
        return status;
    }
    int close() {
        int16_t zero = 0;
        const int status = dedfpi(&zero);
        mcsl_shutdownConnection();
        return status;
    }
    DgnFile load(const std::string &name) {
        DgnFile f;
        std::string err;
        EXPECT_TRUE(dgn_load_file(path(name).c_str(), &f, &err)) << err;
        return f;
    }
};

#endif
