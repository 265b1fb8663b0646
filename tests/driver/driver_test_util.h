// driver_test_util.h - running nodeweld.pl as a user would, and reading design files back
// independently with GDAL's ogrinfo.
#ifndef NW_TESTS_DRIVER_DRIVER_TEST_UTIL_H
#define NW_TESTS_DRIVER_DRIVER_TEST_UTIL_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "../support/run_program.h"

inline std::string drv_temp_dir() {
    const char *base = getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/nwdrv.XXXXXX";
    std::vector<char> name(t.begin(), t.end());
    name.push_back('\0');
    return mkdtemp(name.data()) ? std::string(name.data()) : std::string();
}

inline void drv_remove_tree(const std::string &dir) {
    if (dir.size() > 5 && system(("rm -rf '" + dir + "'").c_str()) != 0) { /* best effort */ }
}

inline std::string drv_read(const std::string &path) {
    std::string s;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

inline bool drv_write(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

inline std::string bin_dir() {
    const char *d = getenv("NW_BIN_DIR");
    return d ? d : NW_BIN_DIR;
}

// perl -S nodeweld.pl ARGS, from folder cwd, with the build's programs on PATH.
inline ProgramResult run_driver(const std::vector<std::string> &args, const std::string &cwd,
                                const std::vector<std::string> &env = {}, int timeout = 300) {
    std::vector<std::string> argv = {"/usr/bin/perl", "-S", "nodeweld.pl"};
    argv.insert(argv.end(), args.begin(), args.end());
    // Working folders go under cwd/nwtmp, so a test can see that none is left behind.
    const std::string tmp = (cwd.empty() ? std::string(".") : cwd) + "/nwtmp";
    mkdir(tmp.c_str(), 0755);
    std::vector<std::string> e = {"PATH=" + bin_dir() + ":/usr/local/bin:/usr/bin:/bin", "MS_EXE", "TMPDIR=" + tmp};
    e.insert(e.end(), env.begin(), env.end());
    return run_program(argv, e, cwd, timeout);
}

inline ProgramResult run_tool(const std::string &name, const std::vector<std::string> &args,
                              const std::string &cwd = "") {
    std::vector<std::string> argv = {bin_dir() + "/" + name};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, {}, cwd, 300);
}

// Whether the driver left no working folder behind in cwd/nwtmp.
inline bool no_working_folder_left(const std::string &cwd) {
    ProgramResult ls = run_program({"/bin/ls", "-A", cwd + "/nwtmp"});
    return ls.exitCode == 0 && ls.out.empty();
}

// One feature as ogrinfo prints it: element type, level and geometry vertices (UORs).
struct OgrFeature {
    long fid = -1;
    int type = -1, level = -1;
    std::string geometry;  // LINESTRING, POINT, POLYGON, ...
    std::vector<std::vector<long long>> pts;  // x, y in UORs
};

// Reads every feature of a design file with ogrinfo; coordinates in master units are turned
// back into UORs (the sheets of these tests have global origin 0).
inline bool ogr_features(const std::string &path, double uorPerMaster, std::vector<OgrFeature> *out) {
    ProgramResult r = run_program({"/usr/bin/ogrinfo", "-ro", "-al", "-q", path}, {}, "", 300);
    if (r.exitCode != 0) return false;
    std::istringstream in(r.out);
    std::string line;
    OgrFeature cur;
    bool open = false;
    while (std::getline(in, line)) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            if (open) out->push_back(cur);
            cur = OgrFeature();
            cur.fid = atol(line.c_str() + line.find(':') + 1);
            open = true;
            continue;
        }
        size_t p;
        if ((p = line.find("Type (Integer) = ")) != std::string::npos) cur.type = atoi(line.c_str() + p + 17);
        else if ((p = line.find("Level (Integer) = ")) != std::string::npos) cur.level = atoi(line.c_str() + p + 18);
        else {
            const size_t paren = line.find('(');
            const std::string head = line.substr(0, paren);
            const size_t first = head.find_first_not_of(' ');
            if (paren == std::string::npos || first == std::string::npos) continue;
            const std::string word = head.substr(first, head.find_last_not_of(' ') - first + 1);
            if (word != "LINESTRING" && word != "POINT" && word != "POLYGON" && word != "MULTILINESTRING") continue;
            cur.geometry = word;
            std::string body = line.substr(paren);
            for (char &c : body)
                if (c == '(' || c == ')' || c == ',') c = ' ';
            std::istringstream nums(body);
            double x, y;
            while (nums >> x >> y)
                cur.pts.push_back({std::llround(x * uorPerMaster), std::llround(y * uorPerMaster)});
        }
    }
    if (open) out->push_back(cur);
    return true;
}

#endif
