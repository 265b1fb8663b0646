// dgngen.cpp - writes sample design files for demos, tests and benchmarks.
//
// A road-network-like sheet: a jittered grid of junctions joined by lines, line strings and
// curves whose ends miss each junction by small random offsets, plus duplicates, dangling
// ends, closed loops, floating points, cells, texts and text nodes. Next to the sheet goes a
// ground-truth JSON file saying which element ends should meet where. The same seed and
// options give the same bytes.
//
// Ground truth (OUTPUT.truth.json), positions are element byte offsets in the sheet:
//   meeting_ends     [{node, x, y[, z], ends: [{position, vertex, end}]}]: the true junction
//                    (UOR) and every element end that should be welded there; `vertex` is the
//                    index of the end vertex (curves: 2 and count-3, the others 0 and count-1)
//   dangles          [{position, vertex}]: free ends that meet nothing
//   duplicates       [{position, copy_of}]: exact copies of another element
//   closed_loops     [{position}]: line strings whose two ends should meet each other
//   floating_points  [{position, x, y[, z]}]: zero-length lines away from everything
//   point_features   [{position, type, x, y}]: cells (2), text nodes (7) and texts (17)
//   largest_miss_uor: no end lies further than this from its junction in any coordinate.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_range.h"
#include "dgn/dgn_tcb.h"

namespace {

struct Options {
    std::string out;
    std::string truth;
    bool is3d = false;
    long elements = 200;
    double size_mb = 0;
    uint64_t seed = 1;
    double miss = 0.005;  // master units
    DgnNewFileSettings units;
};

// splitmix64: small, fast and the same everywhere.
struct Rng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int64_t range(int64_t lo, int64_t hi) {  // inclusive
        return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    double unit() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double p) { return unit() < p; }
};

struct End {
    uint32_t position;
    int vertex;
    const char *which;
};

struct Node {
    DgnPoint at;
    std::vector<End> ends;
};

struct Gen {
    Options o;
    Rng rng;
    std::vector<uint8_t> file;
    std::vector<Node> nodes;
    std::string dangles, duplicates, loops, floating, points;
    long graphic = 0;
    int32_t miss_uor = 1;
    int32_t spacing = 1000;
    int gg = 0;
    std::string err;

    DgnPoint jitter(const DgnPoint &p) {
        DgnPoint q = p;
        q.x += static_cast<int32_t>(rng.range(-miss_uor, miss_uor));
        q.y += static_cast<int32_t>(rng.range(-miss_uor, miss_uor));
        if (o.is3d) q.z += static_cast<int32_t>(rng.range(-miss_uor, miss_uor));
        return q;
    }

    void symbology(DgnElement *e) {
        e->color = static_cast<int>(rng.range(0, 7));
        e->weight = static_cast<int>(rng.range(0, 3));
        e->style = rng.chance(0.8) ? 0 : static_cast<int>(rng.range(1, 3));
    }

    // Appends an encoded element (or complex element); returns its position.
    uint32_t put(const std::vector<uint8_t> &bytes) {
        const uint32_t pos = static_cast<uint32_t>(file.size());
        file.insert(file.end(), bytes.begin(), bytes.end());
        ++graphic;
        return pos;
    }

    bool place(DgnElement *e, uint32_t *pos) {
        std::vector<uint8_t> b;
        if (!dgn_finish_element(e, &b, &err)) return false;
        *pos = put(b);
        return true;
    }

    // Vertices from a to b: straight for lines, bent for strings, with slope points for curves.
    std::vector<DgnPoint> path(int type, const DgnPoint &a, const DgnPoint &b) {
        std::vector<DgnPoint> v;
        if (type == 3) return {a, b};
        const int inner = type == 11 ? static_cast<int>(rng.range(2, 5)) : static_cast<int>(rng.range(1, 6));
        const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
        const double len = std::sqrt(dx * dx + dy * dy) + 1;
        const double nx = -dy / len, ny = dx / len;
        auto at = [&](double t, double off) {
            DgnPoint p;
            p.x = static_cast<int32_t>(std::lround(a.x + dx * t + nx * off));
            p.y = static_cast<int32_t>(std::lround(a.y + dy * t + ny * off));
            p.z = static_cast<int32_t>(std::lround(a.z + dz * t));
            return p;
        };
        if (type == 11) {
            // Two slope points before the start and two after the end, along the chord.
            v.push_back(at(-0.10, 0));
            v.push_back(at(-0.05, 0));
        }
        v.push_back(a);
        for (int i = 1; i <= inner; ++i) {
            const double t = static_cast<double>(i) / (inner + 1);
            v.push_back(at(t, (rng.unit() - 0.5) * spacing * 0.2));
        }
        v.push_back(b);
        if (type == 11) {
            v.push_back(at(1.05, 0));
            v.push_back(at(1.10, 0));
        }
        return v;
    }

    // Indexes of the two vertices that are the element's ends.
    static void end_vertices(int type, size_t n, int *first, int *last) {
        if (type == 11) {
            *first = 2;
            *last = static_cast<int>(n) - 3;
        } else {
            *first = 0;
            *last = static_cast<int>(n) - 1;
        }
    }

    int pick_linear_type() {
        const int64_t r = rng.range(0, 9);
        return r < 4 ? 3 : r < 8 ? 4 : 11;
    }

    int level() { return static_cast<int>(rng.range(1, 5)); }

    bool edge(int from, int to) {
        const int type = pick_linear_type();
        const DgnPoint a = jitter(nodes[from].at), b = jitter(nodes[to].at);
        DgnElement e = dgn_new_vertex_element(type, level(), o.is3d, path(type, a, b));
        symbology(&e);
        uint32_t pos;
        if (!place(&e, &pos)) return false;
        int first, last;
        end_vertices(type, e.vertices.size(), &first, &last);
        nodes[from].ends.push_back({pos, first, "start"});
        nodes[to].ends.push_back({pos, last, "end"});
        if (rng.chance(0.02)) {
            // An exact duplicate of the element just placed.
            uint32_t copy;
            if (!place(&e, &copy)) return false;
            nodes[from].ends.push_back({copy, first, "start"});
            nodes[to].ends.push_back({copy, last, "end"});
            duplicates += (duplicates.empty() ? "" : ",") + std::string("\n    {\"position\":") +
                          std::to_string(copy) + ",\"copy_of\":" + std::to_string(pos) + "}";
        }
        return true;
    }

    // Four slots inside the grid cell above-right of each junction, 0.2 spacing apart, for the
    // features that stand alone; no two features share a slot, so none touch by chance.
    std::vector<uint8_t> slots_used;
    size_t grid_nodes = 0;

    DgnPoint free_point() {
        // Grid junctions only (closed loops add nodes of their own inside the cells).
        if (slots_used.size() < grid_nodes) slots_used.resize(grid_nodes, 0);
        size_t i = static_cast<size_t>(rng.range(0, static_cast<int64_t>(grid_nodes) - 1));
        for (size_t probe = 0; probe < grid_nodes && slots_used[i] >= 4; ++probe) i = (i + 1) % grid_nodes;
        const int slot = slots_used[i] < 4 ? slots_used[i]++ : static_cast<int>(rng.range(0, 3));
        DgnPoint p = nodes[i].at;
        p.x += spacing / 4 + (slot & 1) * spacing / 5;
        p.y += spacing / 4 + (slot >> 1) * spacing / 5;
        return p;
    }

    bool dangle(int from) {
        const DgnPoint a = jitter(nodes[from].at);
        DgnPoint b = a;
        b.x += spacing / 4;
        b.y -= spacing / 5;
        const int type = rng.chance(0.5) ? 3 : 4;
        DgnElement e = dgn_new_vertex_element(type, level(), o.is3d, path(type, a, b));
        symbology(&e);
        uint32_t pos;
        if (!place(&e, &pos)) return false;
        nodes[from].ends.push_back({pos, 0, "start"});
        dangles += (dangles.empty() ? "" : ",") + std::string("\n    {\"position\":") + std::to_string(pos) +
                   ",\"vertex\":" + std::to_string(e.vertices.size() - 1) + "}";
        return true;
    }

    bool loop() {
        const DgnPoint c = free_point();
        const int32_t r = spacing / 12 + 1;
        std::vector<DgnPoint> v;
        const int n = static_cast<int>(rng.range(4, 9));
        for (int i = 0; i < n; ++i) {
            DgnPoint p = c;
            p.x += static_cast<int32_t>(std::lround(r * std::cos(2 * M_PI * i / n)));
            p.y += static_cast<int32_t>(std::lround(r * std::sin(2 * M_PI * i / n)));
            v.push_back(p);
        }
        v.push_back(jitter(v.front()));
        DgnElement e = dgn_new_vertex_element(4, level(), o.is3d, v);
        symbology(&e);
        uint32_t pos;
        if (!place(&e, &pos)) return false;
        Node nd;
        nd.at = v.front();
        nd.ends.push_back({pos, 0, "start"});
        nd.ends.push_back({pos, static_cast<int>(v.size()) - 1, "end"});
        nodes.push_back(nd);
        loops += (loops.empty() ? "" : ",") + std::string("\n    {\"position\":") + std::to_string(pos) + "}";
        return true;
    }

    bool floating_point() {
        const DgnPoint p = free_point();
        DgnElement e = dgn_new_vertex_element(3, level(), o.is3d, {p, p});
        symbology(&e);
        uint32_t pos;
        if (!place(&e, &pos)) return false;
        floating += (floating.empty() ? "" : ",") + std::string("\n    {\"position\":") + std::to_string(pos) +
                    ",\"x\":" + std::to_string(p.x) + ",\"y\":" + std::to_string(p.y) +
                    (o.is3d ? ",\"z\":" + std::to_string(p.z) : std::string()) + "}";
        return true;
    }

    void point_record(uint32_t pos, int type, const DgnPoint &p) {
        points += (points.empty() ? "" : ",") + std::string("\n    {\"position\":") + std::to_string(pos) +
                  ",\"type\":" + std::to_string(type) + ",\"x\":" + std::to_string(p.x) + ",\"y\":" +
                  std::to_string(p.y) + "}";
    }

    bool text() {
        const DgnPoint p = free_point();
        const double h = spacing / 40.0 + 1;
        DgnElement e = dgn_new_text(level(), o.is3d, p, "T" + std::to_string(graphic), h, h,
                                    static_cast<double>(rng.range(0, 3) * 30), 1, 2);
        symbology(&e);
        uint32_t pos;
        if (!place(&e, &pos)) return false;
        point_record(pos, 17, p);
        return true;
    }

    bool text_node() {
        const DgnPoint p = free_point();
        const double h = spacing / 40.0 + 1;
        DgnElement hdr = dgn_new_element(7, level(), o.is3d);
        symbology(&hdr);
        hdr.origin = p;
        hdr.font = 1;
        hdr.justification = 2;
        hdr.length_mult = hdr.height_mult = static_cast<int32_t>(std::lround(h * 1000.0 / 6.0));
        hdr.line_spacing = static_cast<int32_t>(h / 2);
        hdr.max_length = 255;
        hdr.node_number = static_cast<uint16_t>(graphic & 0xFFFF);
        std::vector<DgnElement> comps;
        const int lines = static_cast<int>(rng.range(1, 2));
        for (int i = 0; i < lines; ++i) {
            DgnPoint q = p;
            q.y -= static_cast<int32_t>(i * 1.5 * h);
            DgnElement t = dgn_new_text(hdr.level, o.is3d, q, "N" + std::to_string(graphic) + "." + std::to_string(i),
                                        h, h, 0, 1, 2);
            t.color = hdr.color;
            if (t.text.size() > hdr.max_used) hdr.max_used = static_cast<uint8_t>(t.text.size());
            comps.push_back(t);
        }
        std::vector<uint8_t> b;
        if (!dgn_finish_complex(&hdr, &comps, &b, &err)) return false;
        point_record(put(b), 7, p);
        graphic += lines;
        return true;
    }

    bool cell() {
        const DgnPoint p = free_point();
        const int32_t h = spacing / 50 + 1;
        DgnElement hdr = dgn_new_element(2, level(), o.is3d);
        symbology(&hdr);
        dgn_rad50_encode(rng.chance(0.5) ? "MANH" : "POLE", hdr.cell_name);
        hdr.origin = p;
        const int32_t one = 214748;  // 1.0 in the cell matrix
        if (o.is3d) {
            hdr.cell_matrix[0] = hdr.cell_matrix[4] = hdr.cell_matrix[8] = one;
        } else {
            hdr.cell_matrix[0] = hdr.cell_matrix[3] = one;
        }
        hdr.cell_rdiag[0].x = hdr.cell_rdiag[0].y = -h;
        hdr.cell_rdiag[1].x = hdr.cell_rdiag[1].y = h;
        hdr.level_mask[(hdr.level - 1) / 16] = static_cast<uint16_t>(1u << ((hdr.level - 1) % 16));
        std::vector<DgnPoint> sq;
        const int32_t dx[5] = {-h, h, h, -h, -h}, dy[5] = {-h, -h, h, h, -h};
        for (int i = 0; i < 5; ++i) {
            DgnPoint q = p;
            q.x += dx[i];
            q.y += dy[i];
            sq.push_back(q);
        }
        DgnPoint a = p, b = p;
        a.x -= h;
        b.x += h;
        std::vector<DgnElement> comps;
        comps.push_back(dgn_new_vertex_element(6, hdr.level, o.is3d, sq));
        comps.push_back(dgn_new_vertex_element(3, hdr.level, o.is3d, {a, b}));
        for (DgnElement &c : comps) c.color = hdr.color;
        std::vector<uint8_t> out;
        if (!dgn_finish_complex(&hdr, &comps, &out, &err)) return false;
        point_record(put(out), 2, p);
        ++graphic;
        return true;
    }

    bool run() {
        if (!dgn_make_file_header(o.units, &file, &err)) return false;
        const int64_t upm = static_cast<int64_t>(o.units.sub_per_master) * o.units.uor_per_sub;
        miss_uor = static_cast<int32_t>(std::max<double>(1.0, std::floor(o.miss * upm)));
        long target = o.elements;
        if (o.size_mb > 0) target = static_cast<long>(o.size_mb * 1048576.0 / 71.0);
        if (target < 1) target = 1;
        // About 80% of the elements are edges of a w x w grid (2w(w-1) edges).
        long w = 2;
        while (2 * w * (w - 1) < target * 8 / 10) ++w;
        const double want = 50.0 * upm;
        const double limit = 1.8e9 / (w + 1);
        spacing = static_cast<int32_t>(std::max(20.0 * miss_uor + 10, std::min(want, limit)));
        if (static_cast<double>(spacing) * (w + 1) > 2.0e9) {
            err = "too many elements for the design plane at this resolution";
            return false;
        }
        const int32_t base = -static_cast<int32_t>(spacing * (w / 2));
        for (long j = 0; j < w; ++j) {
            for (long i = 0; i < w; ++i) {
                Node n;
                n.at.x = base + static_cast<int32_t>(i * spacing) + static_cast<int32_t>(rng.range(-spacing / 8, spacing / 8));
                n.at.y = base + static_cast<int32_t>(j * spacing) + static_cast<int32_t>(rng.range(-spacing / 8, spacing / 8));
                n.at.z = o.is3d ? static_cast<int32_t>(rng.range(0, spacing / 4)) : 0;
                nodes.push_back(n);
            }
        }
        grid_nodes = nodes.size();
        for (long j = 0; j < w && graphic < target; ++j) {
            for (long i = 0; i < w && graphic < target; ++i) {
                const int here = static_cast<int>(j * w + i);
                if (i + 1 < w && !edge(here, here + 1)) return false;
                if (j + 1 < w && !edge(here, here + static_cast<int>(w))) return false;
                // The rest: features between the junctions.
                const double r = rng.unit();
                bool ok = true;
                if (r < 0.03) ok = dangle(here);
                else if (r < 0.05) ok = loop();
                else if (r < 0.07) ok = floating_point();
                else if (r < 0.12) ok = text();
                else if (r < 0.15) ok = text_node();
                else if (r < 0.18) ok = cell();
                if (!ok) return false;
            }
        }
        dgn_finish_file(&file);
        return true;
    }

    std::string truth_json() const {
        // The sheet's own name, without folders, so the truth does not depend on where it lies.
        std::string name = o.out.substr(o.out.rfind('/') == std::string::npos ? 0 : o.out.rfind('/') + 1);
        std::string quoted;
        for (char c : name) {
            if (c == '"' || c == '\\') quoted += '\\';
            if (static_cast<unsigned char>(c) >= 0x20) quoted += c;
        }
        std::string s = "{\n  \"file\": \"" + quoted + "\",\n  \"seed\": " + std::to_string(o.seed) +
                        ",\n  \"dimension\": " + (o.is3d ? "3" : "2") + ",\n  \"uor_per_master\": " +
                        std::to_string(static_cast<int64_t>(o.units.sub_per_master) * o.units.uor_per_sub) +
                        ",\n  \"largest_miss_uor\": " + std::to_string(miss_uor) +
                        ",\n  \"graphic_elements\": " + std::to_string(graphic) + ",\n  \"meeting_ends\": [";
        bool first = true;
        for (size_t i = 0; i < nodes.size(); ++i) {
            const Node &n = nodes[i];
            if (n.ends.size() < 2) continue;
            s += std::string(first ? "" : ",") + "\n    {\"node\":" + std::to_string(i) + ",\"x\":" +
                 std::to_string(n.at.x) + ",\"y\":" + std::to_string(n.at.y) +
                 (o.is3d ? ",\"z\":" + std::to_string(n.at.z) : std::string()) + ",\"ends\":[";
            for (size_t k = 0; k < n.ends.size(); ++k)
                s += std::string(k ? "," : "") + "{\"position\":" + std::to_string(n.ends[k].position) +
                     ",\"vertex\":" + std::to_string(n.ends[k].vertex) + ",\"end\":\"" + n.ends[k].which + "\"}";
            s += "]}";
            first = false;
        }
        s += "\n  ],\n  \"dangles\": [" + dangles + "\n  ],\n  \"duplicates\": [" + duplicates +
             "\n  ],\n  \"closed_loops\": [" + loops + "\n  ],\n  \"floating_points\": [" + floating +
             "\n  ],\n  \"point_features\": [" + points + "\n  ]\n}\n";
        return s;
    }
};

int usage(FILE *to) {
    fprintf(to,
            "usage: dgngen [options] OUTPUT.dgn\n"
            "  --3d                 three-dimensional file (default two-dimensional)\n"
            "  -n, --elements N     about N graphic elements (default 200)\n"
            "  --size-mb M          about M megabytes instead of a number of elements\n"
            "  --seed N             random seed (default 1); same seed, same file\n"
            "  --sub-per-master N   sub-units per master unit (default 1000)\n"
            "  --uor-per-sub N      UORs per sub-unit (default 10)\n"
            "  --master NAME        master unit name, up to 2 characters (default m)\n"
            "  --sub NAME           sub-unit name, up to 2 characters (default mm)\n"
            "  --miss D             largest miss between ends that should meet, master units (default 0.005)\n"
            "  --truth FILE         ground-truth JSON (default OUTPUT with .truth.json)\n");
    return to == stderr ? 1 : 0;
}

bool number(const char *s, double *out) {
    char *end = nullptr;
    *out = strtod(s, &end);
    return end != s && *end == 0 && std::isfinite(*out);
}

bool write_all(const std::string &path, const void *p, size_t n, std::string *err) {
    DgnFile f;
    f.data.assign(static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
    return dgn_save_file(&f, path.c_str(), err);
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](double *v) {
            if (i + 1 >= argc || !number(argv[i + 1], v)) return false;
            ++i;
            return true;
        };
        double v = 0;
        if (a == "--3d") o.units.is3d = o.is3d = true;
        else if (a == "-h" || a == "--help") return usage(stdout);
        else if ((a == "-n" || a == "--elements") && value(&v) && v >= 1 && v <= 2e7) o.elements = static_cast<long>(v);
        else if (a == "--size-mb" && value(&v) && v > 0 && v <= 1500) o.size_mb = v;
        else if (a == "--seed" && value(&v) && v >= 0) o.seed = static_cast<uint64_t>(v);
        else if (a == "--sub-per-master" && value(&v) && v >= 1 && v <= 1e9) o.units.sub_per_master = static_cast<int32_t>(v);
        else if (a == "--uor-per-sub" && value(&v) && v >= 1 && v <= 1e9) o.units.uor_per_sub = static_cast<int32_t>(v);
        else if (a == "--miss" && value(&v) && v >= 0) o.miss = v;
        else if (a == "--master" && i + 1 < argc && strlen(argv[i + 1]) <= 2) o.units.master_name = argv[++i];
        else if (a == "--sub" && i + 1 < argc && strlen(argv[i + 1]) <= 2) o.units.sub_name = argv[++i];
        else if (a == "--truth" && i + 1 < argc) o.truth = argv[++i];
        else if (!a.empty() && a[0] != '-' && o.out.empty()) o.out = a;
        else {
            fprintf(stderr, "dgngen: bad option or value: %s\n", a.c_str());
            return usage(stderr);
        }
    }
    if (o.out.empty()) return usage(stderr);
    if (o.truth.empty()) {
        o.truth = o.out;
        if (o.truth.size() > 4 && o.truth.compare(o.truth.size() - 4, 4, ".dgn") == 0) o.truth.resize(o.truth.size() - 4);
        o.truth += ".truth.json";
    }
    Gen g;
    g.o = o;
    g.rng.s = o.seed;
    if (!g.run()) {
        fprintf(stderr, "dgngen: %s\n", g.err.c_str());
        return 2;
    }
    // The sheet must read back as a sound design file.
    DgnFile check;
    std::string err;
    if (!dgn_load_buffer(g.file.data(), g.file.size(), &check, &err)) {
        fprintf(stderr, "dgngen: generated file fails its own check: %s\n", err.c_str());
        return 3;
    }
    const std::string truth = g.truth_json();
    if (!write_all(o.out, g.file.data(), g.file.size(), &err) || !write_all(o.truth, truth.data(), truth.size(), &err)) {
        fprintf(stderr, "dgngen: %s\n", err.c_str());
        return 2;
    }
    printf("%s: %ld graphic elements, %zu bytes, %s; ground truth in %s\n", o.out.c_str(), g.graphic, g.file.size(),
           o.is3d ? "3D" : "2D", o.truth.c_str());
    return 0;
}
