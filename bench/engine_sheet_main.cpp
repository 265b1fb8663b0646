// engine_sheet - writes a 2D sheet of rows of lines laid end to end for the
// engine benchmark: a third of the junctions miss by a few UORs (both ends
// there are mended), the rest meet exactly. Lines only, so a million point
// records fit the 16-bit block numbers of element positions (32 MB).
//
//   engine_sheet RECORDS OUTPUT.dgn
#include "dgn/dgn_element.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_tcb.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine_sheet RECORDS OUTPUT.dgn\n");
        return 2;
    }
    long records = std::atol(argv[1]);
    if (records < 2 || records > 1200000) {
        std::fprintf(stderr, "engine_sheet: RECORDS must be 2..1200000\n");
        return 2;
    }
    long lines = records / 2;
    const long perRow = 1000;
    DgnNewFileSettings s;
    std::vector<uint8_t> out;
    std::string err;
    if (!dgn_make_file_header(s, &out, &err)) {
        std::fprintf(stderr, "engine_sheet: %s\n", err.c_str());
        return 1;
    }
    unsigned seed = 12345;
    auto rnd = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    std::vector<uint8_t> b;
    for (long k = 0; k < lines; k++) {
        long row = k / perRow, col = k % perRow;
        int32_t y = (int32_t)(row * 5000);
        int32_t x0 = (int32_t)(col * 3000 - 1500000);
        DgnPoint a, z;
        a.x = x0;
        a.y = y;
        z.x = x0 + 3000;
        z.y = y;
        // A third of the junctions (this line's end, the next one's start)
        // miss: the end stops short by a few UORs and off the row.
        if (col + 1 < perRow && k % 3 == 0) {
            z.x -= (int32_t)(1 + rnd() % 20);
            z.y += (int32_t)(rnd() % 20) - 10;
        }
        DgnElement e = dgn_new_vertex_element(3, 1 + (int)(row % 60), false, {a, z});
        e.color = (int)(k % 7);
        b.clear();
        if (!dgn_finish_element(&e, &b, &err)) {
            std::fprintf(stderr, "engine_sheet: %s\n", err.c_str());
            return 1;
        }
        out.insert(out.end(), b.begin(), b.end());
    }
    dgn_finish_file(&out);
    FILE *f = std::fopen(argv[2], "wb");
    if (f == nullptr || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "engine_sheet: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %ld lines, %zu bytes\n", argv[2], lines, out.size());
    return 0;
}
