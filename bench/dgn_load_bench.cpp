// dgn_load_bench.cpp - time to load and index a large design file, and to decode every element.
//
//   dgn_load_bench [FILE.dgn] [ROUNDS]
// Without FILE, a 50 MB sheet is generated with dgngen (next to this program) in a private
// temporary folder and removed afterwards. Prints megabytes per second for loading
// (read + validate + index) and for decoding all elements.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string program_dir(const char *argv0) {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string(argv0);
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

}  // namespace

int main(int argc, char **argv) {
    std::string path = argc > 1 ? argv[1] : "";
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    std::string tmpdir;
    if (path.empty()) {
        char tmpl[] = "/tmp/nwbench.XXXXXX";
        if (!mkdtemp(tmpl)) {
            perror("mkdtemp");
            return 1;
        }
        tmpdir = tmpl;
        path = tmpdir + "/sheet50.dgn";
        const std::string gen = program_dir(argv[0]) + "/dgngen";
        const std::string cmd = "'" + gen + "' --size-mb 50 --seed 1 '" + path + "' >/dev/null";
        const auto t0 = std::chrono::steady_clock::now();
        if (system(cmd.c_str()) != 0) {
            fprintf(stderr, "dgn_load_bench: %s failed\n", cmd.c_str());
            return 1;
        }
        printf("generate: %.2f s\n", seconds_since(t0));
    }
    double best_load = 1e30, best_decode = 1e30;
    size_t bytes = 0, elements = 0;
    for (int r = 0; r < (rounds > 0 ? rounds : 1); ++r) {
        DgnFile f;
        std::string err;
        auto t0 = std::chrono::steady_clock::now();
        if (!dgn_load_file(path.c_str(), &f, &err)) {
            fprintf(stderr, "dgn_load_bench: %s\n", err.c_str());
            return 1;
        }
        const double load = seconds_since(t0);
        bytes = f.data.size();
        elements = f.elements.size();
        t0 = std::chrono::steady_clock::now();
        size_t decoded = 0;
        DgnElement e;
        for (size_t i = 0; i < f.elements.size(); ++i) {
            uint32_t n = 0;
            const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
            decoded += dgn_decode_element(p, n, f.is3d, &e, &err);
        }
        const double decode = seconds_since(t0);
        if (decoded != elements) {
            fprintf(stderr, "dgn_load_bench: only %zu of %zu elements decoded\n", decoded, elements);
            return 1;
        }
        if (load < best_load) best_load = load;
        if (decode < best_decode) best_decode = decode;
    }
    const double mb = bytes / 1048576.0;
    printf("file: %s, %.1f MB, %zu elements\n", path.c_str(), mb, elements);
    printf("load+validate+index: best %.3f s (%.0f MB/s, %.0f ns/element)\n", best_load, mb / best_load,
           best_load * 1e9 / elements);
    printf("decode all elements: best %.3f s (%.0f MB/s, %.0f ns/element)\n", best_decode, mb / best_decode,
           best_decode * 1e9 / elements);
    if (!tmpdir.empty()) {
        unlink(path.c_str());
        const std::string truth = tmpdir + "/sheet50.truth.json";
        unlink(truth.c_str());
        rmdir(tmpdir.c_str());
    }
    return 0;
}
