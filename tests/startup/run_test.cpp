// The engine's set-up through the real programs: nodeweld started on a copy
// of a design file with the driver's environment, starting bin/ustation.exe.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/wait.h>

#include <fstream>
#include <map>
#include <set>
#include <iterator>
#include <string>
#include <vector>

#include "dgn/dgn_file.h"
#include "tests/startup/connection_fixture.h"

namespace {

struct RunResult {
    int exitCode = -1;
    pid_t pid = 0;
    std::string out;
};

std::string quoted(const std::string &s) { return "'" + s + "'"; }

// Runs nodeweld in `dir` with the given environment changes ("NAME=value"
// sets, "-NAME" unsets) and arguments; stdout and stderr are collected.
RunResult run_nodeweld(const std::string &dir, const std::vector<std::string> &env,
                       const std::string &args, const std::string &program = "") {
    // Later entries override earlier ones of the same name.
    std::map<std::string, std::string> sets;
    std::set<std::string> unsets = {"MSGKEY", "TCBKEY", "MS_CACH"};
    for (const std::string &e : env) {
        if (e[0] == '-') {
            unsets.insert(e.substr(1));
            sets.erase(e.substr(1));
        } else {
            std::string name = e.substr(0, e.find('='));
            unsets.erase(name);
            sets[name] = e;
        }
    }
    std::string cmd = "cd " + quoted(dir) + " && echo $$ && exec env";
    for (const std::string &u : unsets) cmd += " -u " + u;
    for (const auto &kv : sets) cmd += " " + quoted(kv.second);
    cmd += " " + quoted(program.empty() ? bin_dir() + "/nodeweld" : program) + " " + args + " 2>&1";
    RunResult r;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.exitCode = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    size_t nl = r.out.find('\n');
    if (nl != std::string::npos) {
        r.pid = (pid_t)atol(r.out.substr(0, nl).c_str());
        r.out.erase(0, nl + 1);
    }
    return r;
}

std::string read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Objects named after a run's process: its queue and its signal events.
std::vector<std::string> objects_of(pid_t pid) {
    std::vector<std::string> names = shm_names_with(hex8(pid + 0x10000));
    for (const std::string &n : shm_names_with("Event" + hex8(pid))) names.push_back(n);
    return names;
}

class NodeweldRun : public ::testing::Test {
protected:
    TempDir dir;
    std::string exeDir = bin_dir() + "/";
    std::vector<std::string> env(int dim) {
        return {"VKR_segpid=123456789", "VKR_segdim=" + std::to_string(dim), "VKR_maxverts=0",
                "MS_EXE=" + exeDir};
    }
    void SetUp() override { write_file(dir / "sort_pts.12345", ""); }
};

TEST_F(NodeweldRun, OpensTheSheetReadsItsUnitsAndCloses) {
    std::vector<std::string> files = {samples_dir() + "/smalltest.dgn", samples_dir() + "/tag.dgn",
                                      samples_dir() + "/x3d.dgn", seed_file("seed_2d.dgn"),
                                      seed_file("seed_3d.dgn")};
    for (const std::string &from : files) {
        if (from.empty() || access(from.c_str(), R_OK) != 0) continue;
        SCOPED_TRACE(from);
        DgnFile f;
        std::string err;
        ASSERT_TRUE(dgn_load_file(from.c_str(), &f, &err)) << err;
        ASSERT_TRUE(copy_file(from, dir / "sheet.dgn"));

        RunResult r = run_nodeweld(dir.path, env(f.is3d ? 3 : 2), "-F sheet.dgn -T 0.5 -d");
        EXPECT_EQ(0, r.exitCode) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("\nOpening dgnfilename sheet.dgn\n")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("\nsheet.dgn has been opened\n")) << r.out;
        char line[256];
        snprintf(line, sizeof line, "\n\nGRAFIC=%d\n\n", f.max_graphic_group + 1);
        EXPECT_NE(std::string::npos, r.out.find(line)) << r.out;
        snprintf(line, sizeof line, "\nuorsub=%d submas=%d", f.eu_uor, f.eu_mu);
        EXPECT_NE(std::string::npos, r.out.find(line)) << r.out;
        snprintf(line, sizeof line,
                 "\nInput dgnfile: sheet.dgn\nOutput level: level of origin\nDistance(UORs): %.0f\n",
                 0.5 * f.eu_uor * f.eu_mu);
        EXPECT_NE(std::string::npos, r.out.find(line)) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("\nmaxverts=0")) << r.out;
        EXPECT_EQ(read_bytes(from), read_bytes(dir / "sheet.dgn"));  // nothing was changed
        EXPECT_TRUE(objects_of(r.pid).empty());
    }
}

TEST_F(NodeweldRun, HeaderNamesTheOutputLevel) {
    ASSERT_TRUE(copy_file(samples_dir() + "/smalltest.dgn", dir / "sheet.dgn"));
    RunResult r = run_nodeweld(dir.path, env(2), "-F sheet.dgn -T 2 -L 5");
    EXPECT_EQ(0, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos,
              r.out.find("\nInput dgnfile: sheet.dgn\nOutput level: 5\nDistance(UORs): 20000\n"))
        << r.out;
}

struct EnvCase {
    const char *what;
    std::vector<std::string> changes;
    const char *message;
};

TEST_F(NodeweldRun, UnusableEnvironmentEndsTheRunBeforeConnecting) {
    ASSERT_TRUE(copy_file(samples_dir() + "/smalltest.dgn", dir / "sheet.dgn"));
    const EnvCase cases[] = {
        {"segpid unset", {"-VKR_segpid"}, "\nEnvironment variable VKR_segpid is not set"},
        {"segdim unset", {"-VKR_segdim"}, "\nEnvironment variable VKR_segdim is not set"},
        {"maxverts unset", {"-VKR_maxverts"}, "\nEnvironment variable VKR_maxverts is not set"},
        {"maxverts empty", {"VKR_maxverts="}, "\nEnvironment variable VKR_maxverts is not set"},
        {"segdim 4", {"VKR_segdim=4"}, "\nInvalid VKR_segdim value \"4\" - must be 2 or 3\n"},
        {"segdim 2.0", {"VKR_segdim=2.0"}, "\nInvalid VKR_segdim value \"2.0\" - must be 2 or 3\n"},
        {"maxverts negative", {"VKR_maxverts=-3"}, "\nInvalid VKR_maxverts value \"-3\""},
        {"maxverts text", {"VKR_maxverts=12abc"}, "\nInvalid VKR_maxverts value \"12abc\""},
        {"maxverts too large", {"VKR_maxverts=99999999999"}, "\nInvalid VKR_maxverts value"},
        {"segpid with a folder", {"VKR_segpid=../x"}, "\nInvalid VKR_segpid value \"../x\""},
    };
    for (const EnvCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> e = env(2);
        for (const std::string &ch : c.changes) e.push_back(ch);
        RunResult r = run_nodeweld(dir.path, e, "-F sheet.dgn -T 0.5");
        EXPECT_EQ(3, r.exitCode) << r.out;
        EXPECT_NE(std::string::npos, r.out.find(c.message)) << r.out;
        EXPECT_EQ(std::string::npos, r.out.find("Opening dgnfilename")) << r.out;
        EXPECT_TRUE(objects_of(r.pid).empty());
    }
}

TEST_F(NodeweldRun, DesignFileThatCannotBeOpenedEndsWithStatus4) {
    TempDir lonely;
    ASSERT_TRUE(copy_file(bin_dir() + "/ustation.exe", lonely / "ustation.exe", 0755));
    TempDir empty;
    // A nodeweld with no server beside it either.
    TempDir alone;
    ASSERT_TRUE(copy_file(bin_dir() + "/nodeweld", alone / "nodeweld", 0755));
    ASSERT_TRUE(copy_file(samples_dir() + "/smalltest.dgn", dir / "sheet.dgn"));
    ASSERT_TRUE(copy_file(samples_dir() + "/v8-reject.dgn", dir / "v8.dgn"));
    const struct {
        const char *what;
        const char *file;
        std::string exeDir;
        std::string program;
    } cases[] = {
        {"missing file", "missing.dgn", exeDir, ""},
        {"not a V7 file", "v8.dgn", exeDir, ""},
        {"no server", "sheet.dgn", empty.path + "/", alone / "nodeweld"},
        {"no resource file", "sheet.dgn", lonely.path + "/", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> e = env(2);
        e.push_back("MS_EXE=" + c.exeDir);
        RunResult r = run_nodeweld(dir.path, e, std::string("-F ") + c.file + " -T 0.5", c.program);
        EXPECT_EQ(4, r.exitCode) << r.out;
        EXPECT_NE(std::string::npos, r.out.find(std::string("\nError opening design file ") + c.file))
            << r.out;
        // The run's objects go with it (a dropped server ends once its client has).
        for (int i = 0; i < 200 && !objects_of(r.pid).empty(); i++) usleep(50000);
        EXPECT_TRUE(objects_of(r.pid).empty());
    }
    EXPECT_EQ(read_bytes(samples_dir() + "/smalltest.dgn"), read_bytes(dir / "sheet.dgn"));
}

}  // namespace
