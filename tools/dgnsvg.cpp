// dgnsvg.cpp - pictures (SVG) of a design file, and of what a run changed in it.
//
//   dgnsvg FILE.dgn OUT.svg
//       the linework of one file.
//   dgnsvg --before BEFORE.dgn --after AFTER.dgn --out-before B.svg --out-after A.svg
//          [--tolerance MU] [--flag KIND=LEVEL]... [--zoom N]
//       two pictures on one view: before, with the ends the run moved circled in red; after,
//       with the mended ends in green and the flags drawn by kind, with a legend.
//       --zoom N centres the view on the Nth mended element's first moved end (from 1).
// Coordinates are drawn with y up; markers keep their size on screen whatever the scale.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "driver/report.h"

namespace {

const double kSize = 900;    // drawing area, pixels
const double kMargin = 30;

struct View {
    double x0 = 0, y0 = 0, x1 = 1, y1 = 1;  // UORs
    double scale() const { return kSize / std::max(x1 - x0, y1 - y0); }
    double sx(double x) const { return kMargin + (x - x0) * scale(); }
    double sy(double y) const { return kMargin + kSize - (y - y0) * scale(); }
    bool sees(double x, double y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

typedef std::vector<std::pair<double, double>> Line;

const char *kind_colour(FlagKind k) {
    switch (k) {
    case FLAG_DANGLE: return "#e67e22";
    case FLAG_CLOSE: return "#8e44ad";
    case FLAG_UNSOLVED: return "#c0392b";
    case FLAG_FLOATER: return "#16a085";
    case FLAG_MENDED_POINT: return "#27ae60";
    case FLAG_DIRECTION: return "#2980b9";
    case FLAG_MULTIPLE_LINE: return "#d35400";
    case FLAG_WHITE: return "#7f8c8d";
    case FLAG_SINGLE_LINE: return "#f39c12";
    case FLAG_MULTIPLE_POINT: return "#2c3e50";
    case FLAG_SINGLE_POINT: return "#1abc9c";
    default: return "#e84393";
    }
}

Line sample_conic(const DgnElement &e) {
    Line l;
    const double deg = M_PI / 180.0 / 360000.0;
    double start = 0, sweep = 2 * M_PI;
    if (e.type == 16) {
        start = e.start_angle * deg;
        double mag = static_cast<double>(e.sweep_raw & 0x7FFFFFFFu);
        if (mag == 0) mag = 360.0 * 360000.0;
        sweep = (e.sweep_raw & 0x80000000u ? -mag : mag) * deg;
    }
    const double r = e.is3d ? 0 : e.orientation.rotation * deg;
    const int n = 48;
    for (int i = 0; i <= n; ++i) {
        const double t = start + sweep * i / n;
        const double u = e.primary.value * std::cos(t), v = e.secondary.value * std::sin(t);
        l.push_back({e.centre[0].value + u * std::cos(r) - v * std::sin(r), e.centre[1].value + u * std::sin(r) + v * std::cos(r)});
    }
    return l;
}

// Linework of a file: every visible simple element (components of cells and chains too).
void linework(const DgnFile &f, const std::set<uint32_t> &skip, std::vector<Line> *lines, std::vector<Line> *texts) {
    for (size_t i = 0; i < f.elements.size(); ++i) {
        const DgnElementRef &r = f.elements[i];
        if (r.deleted || skip.count(r.offset)) continue;
        const int t = r.type;
        if (t != 3 && t != 4 && t != 6 && t != 11 && t != 15 && t != 16 && t != 17 && t != 21) continue;
        uint32_t n = 0;
        const uint8_t *b = dgn_element_bytes(&f, static_cast<int>(i), &n);
        DgnElement e;
        std::string err;
        if (!b || !dgn_decode_element(b, n, f.is3d, &e, &err)) continue;
        if (t == 15 || t == 16) {
            lines->push_back(sample_conic(e));
        } else if (t == 17) {
            texts->push_back({{static_cast<double>(e.origin.x), static_cast<double>(e.origin.y)}});
        } else {
            std::vector<DgnPoint> v = e.vertices;
            if (t == 11 && v.size() >= 6) v = std::vector<DgnPoint>(v.begin() + 2, v.end() - 2);
            Line l;
            for (const DgnPoint &p : v) l.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
            if (!l.empty()) lines->push_back(l);
        }
    }
}

void extent(const std::vector<Line> &lines, View *v, bool *any) {
    for (const Line &l : lines)
        for (const auto &p : l) {
            if (!*any) {
                v->x0 = v->x1 = p.first;
                v->y0 = v->y1 = p.second;
                *any = true;
            }
            v->x0 = std::min(v->x0, p.first);
            v->x1 = std::max(v->x1, p.first);
            v->y0 = std::min(v->y0, p.second);
            v->y1 = std::max(v->y1, p.second);
        }
}

struct Svg {
    std::string s;
    explicit Svg(const std::string &title) {
        char buf[512];
        snprintf(buf, sizeof buf,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n"
                 "<rect width=\"100%%\" height=\"100%%\" fill=\"#fdfdfb\"/>\n"
                 "<clipPath id=\"sheet\"><rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\"/></clipPath>\n",
                 kSize + 2 * kMargin, kSize + 2 * kMargin + 40, kSize + 2 * kMargin, kSize + 2 * kMargin + 40,
                 kMargin / 2, kMargin / 2, kSize + kMargin, kSize + kMargin);
        s = buf;
        text(kMargin, kSize + 2 * kMargin + 22, title, 16, "#222");
    }
    void text(double x, double y, const std::string &t, int size, const char *colour) {
        std::string esc;
        for (char c : t) esc += c == '<' ? std::string("&lt;") : c == '&' ? std::string("&amp;") : std::string(1, c);
        char buf[160];
        snprintf(buf, sizeof buf, "<text x=\"%.1f\" y=\"%.1f\" font-family=\"sans-serif\" font-size=\"%d\" fill=\"%s\">",
                 x, y, size, colour);
        s += buf + esc + "</text>\n";
    }
    void polyline(const View &v, const Line &l, const char *colour, double width) {
        if (l.size() < 2) return;
        s += "<polyline clip-path=\"url(#sheet)\" fill=\"none\" stroke=\"";
        s += colour;
        char buf[64];
        snprintf(buf, sizeof buf, "\" stroke-width=\"%.1f\" points=\"", width);
        s += buf;
        for (const auto &p : l) {
            snprintf(buf, sizeof buf, "%.1f,%.1f ", v.sx(p.first), v.sy(p.second));
            s += buf;
        }
        s += "\"/>\n";
    }
    void circle(double x, double y, double r, const char *stroke, const char *fill, double width) {
        char buf[200];
        snprintf(buf, sizeof buf, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" stroke=\"%s\" fill=\"%s\" stroke-width=\"%.1f\"/>\n",
                 x, y, r, stroke, fill, width);
        s += buf;
    }
    void ellipse(double x, double y, double rx, double ry, double rotDeg, const char *stroke) {
        char buf[260];
        snprintf(buf, sizeof buf,
                 "<ellipse cx=\"%.1f\" cy=\"%.1f\" rx=\"%.1f\" ry=\"%.1f\" transform=\"rotate(%.1f %.1f %.1f)\" "
                 "stroke=\"%s\" fill=\"none\" stroke-width=\"2\"/>\n",
                 x, y, rx, ry, -rotDeg, x, y, stroke);
        s += buf;
    }
    bool save(const char *path) {
        s += "</svg>\n";
        FILE *f = fopen(path, "wb");
        if (!f) return false;
        const bool ok = fwrite(s.data(), 1, s.size(), f) == s.size();
        return fclose(f) == 0 && ok;
    }
};

void draw_linework(Svg *svg, const View &v, const std::vector<Line> &lines, const std::vector<Line> &texts) {
    for (const Line &l : lines) svg->polyline(v, l, "#555", 1.2);
    for (const Line &t : texts)
        if (v.sees(t[0].first, t[0].second)) svg->circle(v.sx(t[0].first), v.sy(t[0].second), 2, "#999", "#999", 1);
}

int usage() {
    fprintf(stderr,
            "usage: dgnsvg FILE.dgn OUT.svg\n"
            "       dgnsvg --before BEFORE.dgn --after AFTER.dgn --out-before B.svg --out-after A.svg\n"
            "              [--tolerance MU] [--flag KIND=LEVEL]... [--zoom N]\n");
    return 2;
}

bool load(const char *path, DgnFile *f) {
    std::string err;
    if (dgn_load_file(path, f, &err)) return true;
    fprintf(stderr, "dgnsvg: %s\n", err.c_str());
    return false;
}

std::string base_name(const char *p) {
    const char *s = strrchr(p, '/');
    return s ? s + 1 : p;
}

}  // namespace

int main(int argc, char **argv) {
    const char *before = nullptr, *after = nullptr, *outBefore = nullptr, *outAfter = nullptr;
    std::vector<const char *> plain;
    ReportOptions o;
    double toleranceMu = 0;
    int zoom = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool v = i + 1 < argc;
        if (a == "--before" && v) before = argv[++i];
        else if (a == "--after" && v) after = argv[++i];
        else if (a == "--out-before" && v) outBefore = argv[++i];
        else if (a == "--out-after" && v) outAfter = argv[++i];
        else if (a == "--tolerance" && v) toleranceMu = atof(argv[++i]);
        else if (a == "--zoom" && v) zoom = atoi(argv[++i]);
        else if (a == "--flag" && v) {
            const std::string f = argv[++i];
            const size_t eq = f.find('=');
            const FlagKind k = eq == std::string::npos ? FLAG_UNKNOWN : flag_kind_from_name(f.substr(0, eq));
            if (k == FLAG_UNKNOWN) {
                fprintf(stderr, "dgnsvg: bad --flag %s\n", f.c_str());
                return 2;
            }
            o.flag_level[k] = atoi(f.c_str() + eq + 1);
        } else if (!a.empty() && a[0] != '-') plain.push_back(argv[i]);
        else {
            fprintf(stderr, "dgnsvg: unknown option or missing value: %s\n", a.c_str());
            return usage();
        }
    }

    if (!before && !after) {
        if (plain.size() != 2) return usage();
        DgnFile f;
        if (!load(plain[0], &f)) return 3;
        std::vector<Line> lines, texts;
        linework(f, {}, &lines, &texts);
        View v;
        bool any = false;
        extent(lines, &v, &any);
        extent(texts, &v, &any);
        Svg svg(base_name(plain[0]));
        draw_linework(&svg, v, lines, texts);
        if (!svg.save(plain[1])) {
            fprintf(stderr, "dgnsvg: cannot write %s\n", plain[1]);
            return 4;
        }
        return 0;
    }
    if (!before || !after || !outBefore || !outAfter || !plain.empty()) return usage();

    DgnFile fb, fa;
    if (!load(before, &fb) || !load(after, &fa)) return 3;
    o.tolerance_uor = toleranceMu * static_cast<double>(fa.eu_mu) * fa.eu_uor;
    RunReport r;
    diff_design_files(fb, fa, o, &r);

    std::set<uint32_t> flagPositions;
    for (const FlagFound &f : r.flags) flagPositions.insert(f.position);
    std::vector<Line> lb, tb, la, ta;
    linework(fb, {}, &lb, &tb);
    linework(fa, flagPositions, &la, &ta);
    View v;
    bool any = false;
    extent(lb, &v, &any);
    extent(la, &v, &any);
    std::string zoomNote;
    if (zoom > 0 && static_cast<size_t>(zoom) <= r.mended.size()) {
        const MendedElement &m = r.mended[static_cast<size_t>(zoom) - 1];
        const bool startMoved = m.old_start.x != m.new_start.x || m.old_start.y != m.new_start.y;
        const DgnPoint &c = startMoved ? m.new_start : m.new_end;
        const DgnPoint &old = startMoved ? m.old_start : m.old_end;
        const double d = std::hypot(double(c.x) - old.x, double(c.y) - old.y);
        const double half = std::max(d * 4, 20.0);
        v.x0 = c.x - half, v.x1 = c.x + half, v.y0 = c.y - half, v.y1 = c.y + half;
        char note[120];
        snprintf(note, sizeof note, " (detail: %.4g master units across)",
                 2 * half / std::max(1.0, static_cast<double>(fa.eu_mu) * fa.eu_uor));
        zoomNote = note;
    }

    // Before: the linework, and a red ring at every end the run moved.
    Svg sb(base_name(before) + ": before the run - red rings: ends that will be welded" + zoomNote);
    draw_linework(&sb, v, lb, tb);
    size_t movedEnds = 0;
    for (const MendedElement &m : r.mended) {
        for (int k = 0; k < 2; ++k) {
            const DgnPoint &o2 = k ? m.old_end : m.old_start;
            const DgnPoint &n2 = k ? m.new_end : m.new_start;
            if (o2.x == n2.x && o2.y == n2.y) continue;
            ++movedEnds;
            if (v.sees(o2.x, o2.y)) sb.circle(v.sx(o2.x), v.sy(o2.y), 6, "#d62728", "none", 1.5);
        }
    }
    for (const MovedFeature &m : r.moved)
        if (v.sees(m.old_at.x, m.old_at.y)) sb.circle(v.sx(m.old_at.x), v.sy(m.old_at.y), 6, "#d62728", "none", 1.5);

    // After: the linework, green dots at the mended ends, flags by kind, a legend.
    Svg sa(base_name(after) + ": after the run - green: welded ends; rings: flags" + zoomNote);
    draw_linework(&sa, v, la, ta);
    for (const MendedElement &m : r.mended) {
        for (int k = 0; k < 2; ++k) {
            const DgnPoint &o2 = k ? m.old_end : m.old_start;
            const DgnPoint &n2 = k ? m.new_end : m.new_start;
            if ((o2.x == n2.x && o2.y == n2.y) || !v.sees(n2.x, n2.y)) continue;
            sa.circle(v.sx(n2.x), v.sy(n2.y), 3.5, "#2ca02c", "#2ca02c", 1);
        }
    }
    for (const MovedFeature &m : r.moved)
        if (v.sees(m.new_at.x, m.new_at.y)) sa.circle(v.sx(m.new_at.x), v.sy(m.new_at.y), 3.5, "#2ca02c", "#2ca02c", 1);
    size_t perKind[FLAG_KIND_COUNT] = {};
    for (const FlagFound &f : r.flags) {
        ++perKind[f.kind];
        if (!v.sees(f.x, f.y)) continue;
        const double rx = std::max(f.primary * v.scale(), 7.0), ry = std::max(f.secondary * v.scale(), 7.0 * f.secondary / std::max(f.primary, 1e-9));
        sa.ellipse(v.sx(f.x), v.sy(f.y), rx, std::max(ry, 4.0), f.rotation_deg, kind_colour(f.kind));
    }
    int legendLines = 1;
    for (int k = 0; k < FLAG_KIND_COUNT; ++k) legendLines += perKind[k] ? 1 : 0;
    {
        char box[200];
        snprintf(box, sizeof box,
                 "<rect x=\"%.0f\" y=\"%.0f\" width=\"250\" height=\"%d\" fill=\"#ffffff\" fill-opacity=\"0.85\" "
                 "stroke=\"#ccc\"/>\n",
                 kMargin - 6, kMargin - 4, legendLines * 18 + 8);
        sa.s += box;
    }
    double ly = kMargin + 14;
    char line[160];
    snprintf(line, sizeof line, "welded: %zu elements, %zu ends", r.mended.size(), movedEnds);
    sa.circle(kMargin + 6, ly - 5, 3.5, "#2ca02c", "#2ca02c", 1);
    sa.text(kMargin + 16, ly, line, 13, "#222");
    for (int k = 0; k < FLAG_KIND_COUNT; ++k) {
        if (!perKind[k]) continue;
        ly += 18;
        snprintf(line, sizeof line, "%s flags: %zu", flag_kind_name(static_cast<FlagKind>(k)), perKind[k]);
        sa.circle(kMargin + 6, ly - 5, 5, kind_colour(static_cast<FlagKind>(k)), "none", 2);
        sa.text(kMargin + 16, ly, line, 13, "#222");
    }
    if (!sb.save(outBefore) || !sa.save(outAfter)) {
        fprintf(stderr, "dgnsvg: cannot write the pictures\n");
        return 4;
    }
    return 0;
}
