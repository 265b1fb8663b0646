// dgn_test_util.h - sample design files and small file helpers for the dgn tests.
#ifndef NW_TESTS_DGN_TEST_UTIL_H
#define NW_TESTS_DGN_TEST_UTIL_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/files.h"

inline std::string dgn_sample(const std::string &name) {
    return std::string(NW_SOURCE_DIR) + "/tests/dgn/data/" + name;
}

// The V7 samples that load (every one but the V8 file).
inline std::vector<std::string> dgn_v7_samples() {
    return {"smalltest.dgn", "tag.dgn", "x3d.dgn", "e4-3d.dgn", "out3d-dgnlib.dgn",
            "knot_oob.dgn", "seed_2d.dgn", "seed_3d.dgn"};
}

// A fresh private folder under TMPDIR (or /tmp), removed by the caller with remove_tree().
inline std::string make_temp_dir() {
    const char *base = getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/nwdgn.XXXXXX";
    std::vector<char> name(t.begin(), t.end());
    name.push_back('\0');
    return mkdtemp(name.data()) ? std::string(name.data()) : std::string();
}

inline void remove_tree(const std::string &dir) {
    if (dir.size() > 5) {
        const std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) { /* best effort */ }
    }
}

#endif
