// nodeweld.pl through the real script: refusals before anything runs, what the engine is
// handed (short names, -Nm, weights), symbolic links, long paths and concurrent runs.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "driver_test_util.h"

namespace {

class DriverScript : public ::testing::Test {
protected:
    std::string dir;
    std::string sheet;  // a generated sheet, copied per test
    void SetUp() override {
        dir = drv_temp_dir();
        ASSERT_FALSE(dir.empty());
        ProgramResult g = run_tool("dgngen", {"-n", "150", "--seed", "7", dir + "/orig.dgn"});
        ASSERT_EQ(g.exitCode, 0) << g.err;
        sheet = dir + "/sheet.dgn";
        ASSERT_TRUE(drv_write(sheet, drv_read(dir + "/orig.dgn")));
    }
    void TearDown() override { drv_remove_tree(dir); }
};

struct BadCase {
    std::vector<std::string> args;
    int status;
    const char *message;
};

TEST_F(DriverScript, BadInputIsRefusedWithItsMessageAndLeavesTheFileAlone) {
    ASSERT_TRUE(drv_write(dir + "/notes.txt", "just some text, not a drawing\n"));
    ASSERT_TRUE(drv_write(dir + "/v8.dgn", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')));
    ASSERT_TRUE(drv_write(dir + "/empty.dgn", ""));
    ASSERT_TRUE(drv_write(dir + "/bad.ulf", "design sheet.dgn\nneighbour x.dgn\n"));
    ASSERT_TRUE(drv_write(dir + "/nodesign.ulf", "# nothing\nadjacent sheet.dgn\n"));
    ASSERT_TRUE(drv_write(dir + "/noadj.ulf", "design sheet.dgn\nadjacent missing.dgn\n"));
    ASSERT_TRUE(drv_write(dir + "/two.ulf", "design sheet.dgn\ndesign orig.dgn\n"));
    ASSERT_TRUE(drv_write(dir + "/self.ulf", "design sheet.dgn\nadjacent ./sheet.dgn\n"));
    ASSERT_TRUE(drv_write(dir + "/bad.wt", "level 1-5\n"));
    ASSERT_EQ(mkdir((dir + "/folder.dgn").c_str(), 0755), 0);
    const BadCase cases[] = {
        {{}, 2, "no input"},
        {{"-T", "0.5"}, 2, "no input"},
        {{"-F", "missing.dgn", "-T", "0.5"}, 20, "design file 'missing.dgn' does not exist"},
        {{"-F", "folder.dgn", "-T", "0.5"}, 20, "is not a file"},
        {{"-F", "notes.txt", "-T", "0.5"}, 20, "is not a DGN V7 design file"},
        {{"-F", "empty.dgn", "-T", "0.5"}, 20, "is empty"},
        {{"-F", "v8.dgn", "-T", "0.5"}, 20, "DGN V8"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-ll", "5-3"}, 2, "-ll 5-3: the range 5-3 runs backwards"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-ll", "1 2"}, 2, "blanks are not allowed"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-e", "3,5"}, 2, "element type 5 cannot be selected"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-lo", "300"}, 2, "300 is not a valid colour"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-lc", "1,,2"}, 2, "a value is missing"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-x"}, 2, "unknown option '-x'"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-Fx", "a"}, 2, "unknown option '-Fx'"},
        {{"-F", "sheet.dgn", "-T"}, 2, "-T needs a value"},
        {{"-F", "sheet.dgn", "-f", "9,1", "-T", "-D", "61,3"}, 2, "-T needs a value"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-ll", "-e", "3"}, 2, "-ll needs a list"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-Nm", "-O", "1,2,3"}, 2, "-Nm (mend by the average only) and -O"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-w", "missing.wt"}, 2, "weighting table 'missing.wt' cannot be read"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-w", "bad.wt"}, 2, "line 1: expected"},
        {{"-F", "sheet.dgn", "-U", "bad.ulf"}, 2, "only one input file"},
        {{"-U", "missing.ulf", "-T", "0.5"}, 20, "ULF file 'missing.ulf' does not exist"},
        {{"-U", "bad.ulf", "-T", "0.5"}, 20, "line 2: unknown key 'neighbour'"},
        {{"-U", "nodesign.ulf", "-T", "0.5"}, 20, "names no design file"},
        {{"-U", "noadj.ulf", "-T", "0.5"}, 20, "adjacent sheet"},
        {{"-U", "two.ulf", "-T", "0.5"}, 20, "line 2: a second design file"},
        {{"-U", "self.ulf", "-T", "0.5"}, 20, "is the design file itself"},
        // Refused by the engine before it opens the file: its status, as a byte.
        {{"-F", "sheet.dgn", "-L", "64", "-T", "0.5"}, 254, "invalid level specification - 64"},
        {{"-F", "sheet.dgn"}, 255, "I am not a mind reader"},
        {{"-F", "sheet.dgn", "-T", "0.5", "-FR", "1"}, 245, "You cannot mend data"},
    };
    const std::string before = drv_read(sheet);
    for (const BadCase &c : cases) {
        std::string line;
        for (const std::string &a : c.args) line += a + " ";
        ProgramResult r = run_driver(c.args, dir);
        EXPECT_EQ(r.exitCode, c.status) << line << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << line << "\n" << r.out << r.err;
        EXPECT_EQ(drv_read(sheet), before) << line;
        EXPECT_TRUE(no_working_folder_left(dir)) << line;
    }
}

TEST_F(DriverScript, AnUnwritableDesignFileIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    chmod(sheet.c_str(), 0444);
    ProgramResult r = run_driver({"-F", "sheet.dgn", "-T", "0.5"}, dir);
    EXPECT_EQ(r.exitCode, 20);
    EXPECT_NE(r.err.find("cannot be written"), std::string::npos) << r.err;
}

TEST_F(DriverScript, ASymbolicLinkIsFollowedAndKept) {
    ASSERT_EQ(symlink("sheet.dgn", (dir + "/link.dgn").c_str()), 0);
    const std::string before = drv_read(sheet);
    ProgramResult r = run_driver({"-F", "link.dgn", "-T", "0.5"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    struct stat st;
    ASSERT_EQ(lstat((dir + "/link.dgn").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    char target[256] = {0};
    ASSERT_GT(readlink((dir + "/link.dgn").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "sheet.dgn");
    EXPECT_NE(drv_read(sheet), before) << "the real file was not mended";
    EXPECT_NE(r.out.find("Modified"), std::string::npos) << r.out;
    EXPECT_TRUE(no_working_folder_left(dir));
}

TEST_F(DriverScript, ALongPathReachesTheEngineByAShortName) {
    std::string deep = dir;
    for (int i = 0; i < 4; ++i) {
        deep += "/a-rather-long-folder-name-" + std::to_string(i);
        ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    }
    const std::string file = deep + "/a sheet whose name has blanks and is long enough.dgn";
    ASSERT_GT(file.size(), 59u);
    ASSERT_TRUE(drv_write(file, drv_read(sheet)));
    // Unquoted, as the front end passes it: the words are joined back into the path.
    std::vector<std::string> args = {"-F"};
    std::istringstream words(file);
    std::string w;
    while (words >> w) args.push_back(w);
    args.insert(args.end(), {"-T", "0.5"});
    ProgramResult r = run_driver(args, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Opening dgnfilename design.dgn"), std::string::npos) << r.out;
    EXPECT_NE(drv_read(file), drv_read(sheet));
}

TEST_F(DriverScript, NmMeansTheAveragePassAlone) {
    ProgramResult r = run_driver({"-F", "sheet.dgn", "-Nm", "-T", "0.5"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Intersection value = 0\n  Modal value = 0\n  Average value = 3"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("-Nm"), std::string::npos);
}

TEST_F(DriverScript, KeptFolderHoldsThePointFileTheEngineRead) {
    ASSERT_TRUE(drv_write(dir + "/w.tbl", "level 1-2 100\n"));
    ProgramResult r = run_driver({"-F", "sheet.dgn", "-ll", "1-3", "-w", "w.tbl", "-T", "0.5", "--keep-folder"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string tag = "working folder kept: ";
    const size_t at = r.err.find(tag);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string folder = r.err.substr(at + tag.size(), r.err.find('\n', at) - at - tag.size());
    ProgramResult ls = run_program({"/bin/ls", folder});
    EXPECT_NE(ls.out.find("sort_pts."), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("sheet.dgn"), std::string::npos) << ls.out;
    const size_t name = ls.out.find("sort_pts.");
    ASSERT_NE(name, std::string::npos);
    const std::string pts = drv_read(folder + "/" + ls.out.substr(name, ls.out.find('\n', name) - name));
    // With -w every record has five fields; levels above 3 are not selected.
    std::istringstream in(pts);
    std::string line;
    int rows = 0, heavy = 0;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        long v[6];
        int n = 0;
        while (n < 6 && f >> v[n]) ++n;
        ASSERT_EQ(n, 5) << line;
        ++rows;
        heavy += v[4] == 100;
    }
    EXPECT_GT(rows, 10);
    EXPECT_GT(heavy, 0);
    EXPECT_NE(r.out.find("Total number of records input = " + std::to_string(rows)), std::string::npos);
    drv_remove_tree(folder);
}

TEST_F(DriverScript, TwoConcurrentRunsInOneFolderDoNotCollide) {
    const std::string a = dir + "/a.dgn", b = dir + "/b.dgn";
    ASSERT_TRUE(drv_write(a, drv_read(sheet)));
    // b gets a different sheet, so a mix-up of point files would show.
    ProgramResult g = run_tool("dgngen", {"-n", "120", "--seed", "99", b});
    ASSERT_EQ(g.exitCode, 0);
    const std::string bOrig = drv_read(b);
    ProgramResult ra, rb;
    std::thread ta([&] { ra = run_driver({"-F", "a.dgn", "-T", "0.5"}, dir); });
    std::thread tb([&] { rb = run_driver({"-F", "b.dgn", "-T", "0.5"}, dir); });
    ta.join();
    tb.join();
    ASSERT_EQ(ra.exitCode, 0) << ra.out << ra.err;
    ASSERT_EQ(rb.exitCode, 0) << rb.out << rb.err;
    // Each agrees with a run of its own.
    ASSERT_TRUE(drv_write(dir + "/a2.dgn", drv_read(sheet)));
    ASSERT_TRUE(drv_write(dir + "/b2.dgn", bOrig));
    ASSERT_EQ(run_driver({"-F", "a2.dgn", "-T", "0.5"}, dir).exitCode, 0);
    ASSERT_EQ(run_driver({"-F", "b2.dgn", "-T", "0.5"}, dir).exitCode, 0);
    EXPECT_EQ(drv_read(a), drv_read(dir + "/a2.dgn"));
    EXPECT_EQ(drv_read(b), drv_read(dir + "/b2.dgn"));
}

TEST_F(DriverScript, NoSelectedElementRunsNothing) {
    const std::string before = drv_read(sheet);
    ProgramResult r = run_driver({"-F", "sheet.dgn", "-ll", "40", "-T", "0.5"}, dir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("nothing to do"), std::string::npos) << r.out;
    EXPECT_EQ(drv_read(sheet), before);
}

TEST_F(DriverScript, PicturesShowTheWeldedEndsAndTheFlags) {
    ProgramResult r = run_driver({"-F", "sheet.dgn", "-T", "0.5", "-D", "60,1"}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const size_t at = r.out.find("Modified ", r.out.find("point elements"));
    ASSERT_NE(at, std::string::npos) << r.out;
    const int linear = atoi(r.out.c_str() + at + 9);
    const size_t d = r.out.find("Identified ");
    ASSERT_NE(d, std::string::npos);
    const int dangles = atoi(r.out.c_str() + d + 11);
    ProgramResult p = run_tool("dgnsvg", {"--before", dir + "/orig.dgn", "--after", sheet, "--out-before", dir + "/b.svg",
                                          "--out-after", dir + "/a.svg", "--tolerance", "0.5", "--flag", "dangle=60"});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    const std::string after = drv_read(dir + "/a.svg");
    const std::string before = drv_read(dir + "/b.svg");
    EXPECT_EQ(after.rfind("<svg", 0), 0u);
    EXPECT_NE(after.find("welded: " + std::to_string(linear) + " elements"), std::string::npos);
    EXPECT_NE(after.find("dangle flags: " + std::to_string(dangles)), std::string::npos);
    EXPECT_NE(before.find("stroke=\"#d62728\""), std::string::npos) << "no moved end circled";
    EXPECT_EQ(after.substr(after.size() - 7), "</svg>\n");
    // One file alone, and bad input.
    EXPECT_EQ(run_tool("dgnsvg", {sheet, dir + "/one.svg"}).exitCode, 0);
    EXPECT_EQ(run_tool("dgnsvg", {dir + "/missing.dgn", dir + "/x.svg"}).exitCode, 3);
    EXPECT_EQ(run_tool("dgnsvg", {"--before", sheet}).exitCode, 2);
}

TEST_F(DriverScript, AnInterruptedRunStopsTheEngineLeavesTheFileAndCleansUp) {
    ProgramResult g = run_tool("dgngen", {"-n", "30000", "--seed", "5", sheet});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    const std::string before = drv_read(sheet);
    const std::string tmp = dir + "/tmp";
    ASSERT_EQ(mkdir(tmp.c_str(), 0755), 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        if (chdir(dir.c_str()) != 0) _exit(126);
        setenv("PATH", (bin_dir() + ":/usr/bin:/bin").c_str(), 1);
        setenv("TMPDIR", tmp.c_str(), 1);
        unsetenv("MS_EXE");
        execl("/usr/bin/perl", "perl", "-S", "nodeweld.pl", "-F", "sheet.dgn", "-T", "0.5", (char *)nullptr);
        _exit(127);
    }
    close(out[1]);
    // Wait (bounded) until the engine reads its points, then interrupt the driver.
    std::string seen;
    char buf[4096];
    for (int i = 0; i < 600 && seen.find("Reading point data") == std::string::npos; ++i) {
        struct pollfd p = {out[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0) break;
            seen.append(buf, static_cast<size_t>(n));
        }
    }
    kill(pid, SIGINT);
    while (read(out[0], buf, sizeof buf) > 0) {
    }
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) GTEST_SKIP() << "the run ended before the interrupt";
    EXPECT_EQ(WEXITSTATUS(status), 130) << seen;
    EXPECT_EQ(drv_read(sheet), before) << "an interrupted run changed the file";
    ProgramResult ls = run_program({"/bin/ls", "-A", tmp});
    EXPECT_EQ(ls.out, "") << "working folder left behind";
}

}  // namespace
