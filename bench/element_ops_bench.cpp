// Element operations through the real server: requests per second for
// reads, line-string placements and deletes, each one request and one reply
// over the queue, served by bin/ustation.exe on a generated sheet in a
// private temporary folder. Also times the close, which writes the file.
//
//   element_ops_bench [elements] [reads] [placements]
//   defaults: 20000 line strings in the sheet, 20000 reads, 5000 placements
//   (and as many deletes). Prints one line per operation.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "connection/startup.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_tcb.h"
#include "dgnrequests/element_ops.h"
#include "dgnrequests/request_exchange.h"

char taskname[256] = "nodeweld";

static double now_s() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

static std::string exe_dir() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    char *slash = strrchr(buf, '/');
    if (slash) *slash = '\0';
    return buf;
}

// A 2D sheet of `count` ten-vertex line strings; positions of each.
static bool make_sheet(const std::string &path, int count, std::vector<uint32_t> *positions) {
    DgnNewFileSettings s;
    std::vector<uint8_t> out;
    std::string err;
    if (!dgn_make_file_header(s, &out, &err)) return false;
    for (int i = 0; i < count; ++i) {
        std::vector<DgnPoint> pts(10);
        for (int k = 0; k < 10; ++k) {
            pts[k].x = (i % 200) * 1000 + k * 90;
            pts[k].y = (i / 200) * 1000 + (k % 2) * 50;
        }
        DgnElement e = dgn_new_vertex_element(4, 1 + i % 63, false, pts);
        std::vector<uint8_t> b;
        if (!dgn_finish_element(&e, &b, &err)) return false;
        positions->push_back((uint32_t)out.size());
        out.insert(out.end(), b.begin(), b.end());
    }
    dgn_finish_file(&out);
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}

static void report(const char *what, int done, int failed, double seconds) {
    printf("%-22s %7d requests %6.3f s %10.0f requests/s%s\n", what, done, seconds,
           seconds > 0 ? done / seconds : 0.0, failed ? "  (some failed)" : "");
}

int main(int argc, char **argv) {
    const int elements = argc > 1 ? atoi(argv[1]) : 20000;
    const int reads = argc > 2 ? atoi(argv[2]) : 20000;
    const int places = argc > 3 ? atoi(argv[3]) : 5000;
    if (elements < 1 || reads < 0 || places < 0 || elements > 60000) {
        fprintf(stderr, "usage: element_ops_bench [elements 1-60000] [reads] [placements]\n");
        return 2;
    }
    char tmpl[] = "/tmp/nwbenchXXXXXX";
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        return 1;
    }
    const std::string dir = tmpl;
    std::vector<uint32_t> positions;
    if (!make_sheet(dir + "/bench.dgn", elements, &positions)) {
        fprintf(stderr, "cannot write the sheet\n");
        return 1;
    }
    if (chdir(dir.c_str()) != 0) return 1;
    const std::string bin = exe_dir() + "/";
    setenv("MS_EXE", bin.c_str(), 1);
    unsetenv("MSGKEY");
    unsetenv("TCBKEY");
    int16_t z = 0, mode = 0, translation = 1, status = -1;
    double t0 = now_s();
    indfpi(&z, "bench.dgn", &mode, nullptr, &translation, nullptr, &status, nullptr);
    if (status != 0) {
        fprintf(stderr, "indfpi failed with status %d\n", status);
        return 1;
    }
    printf("sheet: %d line strings; start-up and open %.3f s\n", elements, now_s() - t0);

    ReadRecord rec;
    int failed = 0;
    t0 = now_s();
    for (int i = 0; i < reads; ++i) {
        const uint32_t p = positions[(size_t)i % positions.size()];
        const uint16_t b = (uint16_t)(p / 512), y = (uint16_t)(p % 512);
        if (rddfpi(&b, &y, nullptr, &rec, &status) != 0) ++failed;
    }
    report("read", reads, failed, now_s() - t0);

    std::vector<uint32_t> placed;
    placed.reserve((size_t)places);
    SymbologyRecord sym = {0, 0, 0, 1, 3};
    const int16_t level = 10, count = 10;
    const uint32_t pair = 2;
    int32_t v[20];
    failed = 0;
    t0 = now_s();
    for (int i = 0; i < places; ++i) {
        for (int k = 0; k < 10; ++k) {
            v[2 * k] = i * 10 + k;
            v[2 * k + 1] = -i;
        }
        int16_t bw = 0, cw = 0;
        if (lsdfpi_ex(&pair, &level, &sym, v, &count, &status, nullptr, nullptr, &bw, &cw, nullptr, nullptr, nullptr,
                      nullptr) != 0)
            ++failed;
        else
            placed.push_back((uint32_t)(uint16_t)bw * 512 + (uint16_t)cw);
    }
    report("place line string", places, failed, now_s() - t0);

    failed = 0;
    t0 = now_s();
    for (uint32_t p : placed) {
        const uint16_t b = (uint16_t)(p / 512), y = (uint16_t)(p % 512);
        if (delete_element(&b, &y, nullptr, &status) != 0) ++failed;
    }
    report("delete", (int)placed.size(), failed, now_s() - t0);

    t0 = now_s();
    int16_t zero = 0;
    const int closed = dedfpi(&zero);
    printf("close (file written)   %6.3f s, status %d\n", now_s() - t0, closed);
    if (chdir("/") != 0) return 1;
    const std::string cmd = "rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    return closed == 0 ? 0 : 1;
}
