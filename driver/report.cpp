// report.cpp - comparing a design file before and after a run, and writing the result.
#include "driver/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "dgnrequests/element_layout.h"

namespace {

const char *const kKindNames[FLAG_KIND_COUNT] = {
    "unknown", "close_point", "unsolved", "dangle", "floater", "mended_point", "direction",
    "multiple_line", "white", "single_line", "multiple_point", "single_point",
};

bool decode(const DgnFile &f, int index, DgnElement *e) {
    uint32_t n = 0;
    const uint8_t *b = dgn_element_bytes(&f, index, &n);
    std::string why;
    return b && dgn_decode_element(b, n, f.is3d, e, &why);
}

bool is_point_feature(int type) { return type == 2 || type == 7 || type == 15 || type == 17; }
bool is_linear(int type) { return type == 3 || type == 4 || type == 11; }

bool same_point(const DgnPoint &a, const DgnPoint &b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

double dist(const DgnPoint &a, const DgnPoint &b) {
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Flags: the family of a flag by its axis ratio, then the kind within it.
enum Family { FAM_NONE, FAM_CIRCLE, FAM_DANGLE, FAM_FLOATER, FAM_LINE, FAM_POINT };

Family family_of(double a, double b) {
    if (a <= 0 || b <= 0) return FAM_NONE;
    const double r = a / b;
    if (std::fabs(r - 1.0) < 0.01) return FAM_CIRCLE;
    if (std::fabs(r - 0.667) < 0.02) return FAM_DANGLE;
    if (std::fabs(r - 1.25) < 0.03) return FAM_FLOATER;
    if (std::fabs(r - 1.0 / 0.33) < 0.1) return FAM_LINE;
    if (std::fabs(r - 2.0) < 0.05) return FAM_POINT;
    return FAM_NONE;
}

bool in_family(FlagKind k, Family f) {
    switch (f) {
    case FAM_CIRCLE: return k == FLAG_CLOSE || k == FLAG_UNSOLVED || k == FLAG_MENDED_POINT || k == FLAG_DIRECTION;
    case FAM_DANGLE: return k == FLAG_DANGLE;
    case FAM_FLOATER: return k == FLAG_FLOATER;
    case FAM_LINE: return k == FLAG_MULTIPLE_LINE || k == FLAG_WHITE || k == FLAG_SINGLE_LINE;
    case FAM_POINT: return k == FLAG_MULTIPLE_POINT || k == FLAG_SINGLE_POINT;
    default: return false;
    }
}

FlagKind classify_flag(const DgnElement &e, const ReportOptions &o) {
    const Family fam = family_of(e.primary.value, e.secondary.value);
    std::vector<FlagKind> cands;
    for (int k = 1; k < FLAG_KIND_COUNT; ++k)
        if (o.flag_level[k] == e.level && in_family(static_cast<FlagKind>(k), fam)) cands.push_back(static_cast<FlagKind>(k));
    if (cands.empty()) {
        if (fam == FAM_DANGLE) return FLAG_DANGLE;
        if (fam == FAM_FLOATER) return FLAG_FLOATER;
        return FLAG_UNKNOWN;
    }
    if (cands.size() == 1) return cands[0];
    const double rot = e.is3d ? 0.0 : e.orientation.rotation / 360000.0;
    auto has = [&](FlagKind k) { return std::find(cands.begin(), cands.end(), k) != cands.end(); };
    if (fam == FAM_LINE) {
        if (has(FLAG_WHITE) && e.color == 0 && e.weight == 10) return FLAG_WHITE;
        if (has(FLAG_SINGLE_LINE) && (std::fabs(rot - 112.5) < 0.01 || e.color == 1)) return FLAG_SINGLE_LINE;
        if (has(FLAG_MULTIPLE_LINE)) return FLAG_MULTIPLE_LINE;
    } else if (fam == FAM_POINT) {
        if (has(FLAG_SINGLE_POINT) && (std::fabs(rot - 202.5) < 0.01 || e.color == 2)) return FLAG_SINGLE_POINT;
        if (has(FLAG_MULTIPLE_POINT)) return FLAG_MULTIPLE_POINT;
    } else if (fam == FAM_CIRCLE) {
        if (has(FLAG_UNSOLVED) && e.color == 3 && e.style == 2) return FLAG_UNSOLVED;
        if (has(FLAG_CLOSE)) return FLAG_CLOSE;
    }
    return cands[0];
}

// Key of a rebuilt element: its interior vertices, in the direction that sorts first.
std::string interior_key(const std::vector<DgnPoint> &w, bool *reversed) {
    *reversed = false;
    if (w.size() <= 2) return std::string();
    std::vector<DgnPoint> in(w.begin() + 1, w.end() - 1);
    std::vector<DgnPoint> rev(in.rbegin(), in.rend());
    auto less = [](const std::vector<DgnPoint> &a, const std::vector<DgnPoint> &b) {
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i].x != b[i].x) return a[i].x < b[i].x;
            if (a[i].y != b[i].y) return a[i].y < b[i].y;
            if (a[i].z != b[i].z) return a[i].z < b[i].z;
        }
        return false;
    };
    if (less(rev, in)) {
        in.swap(rev);
        *reversed = true;
    }
    std::string k(reinterpret_cast<const char *>(in.data()), in.size() * sizeof(DgnPoint));
    return k;
}

struct Linear {
    int index;
    uint32_t position;
    std::vector<DgnPoint> walk;
    bool deleted_by_run;
    bool matched = false;
};

uint64_t cell_key(int64_t cx, int64_t cy) { return (static_cast<uint64_t>(cx) << 32) ^ static_cast<uint32_t>(cy); }

void put_point(std::string *s, const DgnPoint &p, bool is3d) {
    char buf[64];
    if (is3d)
        snprintf(buf, sizeof buf, "[%d,%d,%d]", p.x, p.y, p.z);
    else
        snprintf(buf, sizeof buf, "[%d,%d]", p.x, p.y);
    *s += buf;
}

std::string json_string(const std::string &in) {
    std::string s = "\"";
    for (unsigned char c : in) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

}  // namespace

const char *flag_kind_name(FlagKind k) { return k >= 0 && k < FLAG_KIND_COUNT ? kKindNames[k] : "unknown"; }

FlagKind flag_kind_from_name(const std::string &name) {
    for (int k = 1; k < FLAG_KIND_COUNT; ++k)
        if (name == kKindNames[k]) return static_cast<FlagKind>(k);
    return FLAG_UNKNOWN;
}

std::vector<DgnPoint> element_walk(const DgnFile &f, int index) {
    std::vector<DgnPoint> w;
    if (index < 0 || static_cast<size_t>(index) >= f.elements.size()) return w;
    const int type = f.elements[static_cast<size_t>(index)].type;
    if (type != 3 && type != 4 && type != 6 && type != 11 && type != 21) return w;
    DgnElement e;
    if (!decode(f, index, &e)) return w;
    w = e.vertices;
    if (type == 11 && w.size() >= 6) w = std::vector<DgnPoint>(w.begin() + 2, w.end() - 2);
    if (!f.is3d)
        for (DgnPoint &p : w) p.z = 0;
    return w;
}

bool point_feature_at(const DgnFile &f, int index, DgnPoint *p) {
    DgnElement e;
    if (!decode(f, index, &e)) return false;
    if (e.type == 15) {
        p->x = static_cast<int32_t>(std::llround(e.centre[0].value));
        p->y = static_cast<int32_t>(std::llround(e.centre[1].value));
        p->z = f.is3d ? static_cast<int32_t>(std::llround(e.centre[2].value)) : 0;
        return true;
    }
    if (!is_point_feature(e.type)) return false;
    *p = e.origin;
    if (!f.is3d) p->z = 0;
    return true;
}

void diff_design_files(const DgnFile &before, const DgnFile &after, const ReportOptions &o, RunReport *out) {
    *out = RunReport();
    out->is3d = after.is3d;
    out->uor_per_master = static_cast<double>(after.eu_mu) * after.eu_uor;
    if (out->uor_per_master <= 0) out->uor_per_master = 1;

    // Elements of the file before the run, and what became of each.
    std::vector<Linear> olds;
    std::unordered_map<std::string, std::vector<size_t>> byInterior;
    std::unordered_map<uint64_t, std::vector<size_t>> byCell;
    const double cell = std::max(1.0, o.tolerance_uor > 0 ? o.tolerance_uor : 1000.0);
    std::vector<uint32_t> deletedOther;
    for (size_t i = 0; i < before.elements.size(); ++i) {
        const DgnElementRef &r = before.elements[i];
        if (r.deleted || r.complex || !dgn_type_has_display_header(r.type)) continue;
        const int j = dgn_find_element(&after, r.offset);
        const DgnElementRef *a = j >= 0 ? &after.elements[static_cast<size_t>(j)] : nullptr;
        const bool gone = !a || a->deleted || a->type != r.type;
        if (is_linear(r.type)) {
            Linear l;
            l.index = static_cast<int>(i);
            l.position = r.offset;
            l.walk = element_walk(before, static_cast<int>(i));
            l.deleted_by_run = gone;
            if (l.walk.size() < 2) {
                if (gone) deletedOther.push_back(r.offset);
                continue;
            }
            const size_t at = olds.size();
            bool rev;
            if (l.walk.size() > 2) {
                byInterior[interior_key(l.walk, &rev)].push_back(at);
            } else {
                for (const DgnPoint &p : {l.walk.front(), l.walk.back()}) {
                    const uint64_t k = cell_key(static_cast<int64_t>(std::floor(p.x / cell)),
                                                static_cast<int64_t>(std::floor(p.y / cell)));
                    std::vector<size_t> &v = byCell[k];
                    if (v.empty() || v.back() != at) v.push_back(at);
                }
            }
            olds.push_back(std::move(l));
        } else if (gone) {
            deletedOther.push_back(r.offset);
        }
        if (gone || !a) continue;
        // Changed in place: a move of a point feature, or a level move.
        uint32_t nb = 0, na = 0;
        const uint8_t *bb = dgn_element_bytes(&before, static_cast<int>(i), &nb);
        const uint8_t *ba = dgn_element_bytes(&after, j, &na);
        if (nb == na && std::equal(bb, bb + nb, ba)) continue;
        if (a->level != r.level) {
            LevelMove m;
            m.position = r.offset;
            m.type = r.type;
            m.old_level = r.level;
            m.new_level = a->level;
            out->level_moves.push_back(m);
        }
        if (is_point_feature(r.type)) {
            MovedFeature m;
            m.position = r.offset;
            m.type = r.type;
            if (point_feature_at(before, static_cast<int>(i), &m.old_at) && point_feature_at(after, j, &m.new_at) &&
                !same_point(m.old_at, m.new_at))
                out->moved.push_back(m);
        }
    }

    // Elements placed by the run: positions the file before the run did not have.
    std::map<size_t, MendedElement> mended;  // by index into olds
    for (size_t j = 0; j < after.elements.size(); ++j) {
        const DgnElementRef &a = after.elements[j];
        if (a.deleted || a.complex || !dgn_type_has_display_header(a.type)) continue;
        if (a.offset < before.end_offset && dgn_find_element(&before, a.offset) >= 0) continue;
        if (a.type == 15) {
            DgnElement e;
            if (!decode(after, static_cast<int>(j), &e)) continue;
            FlagFound fl;
            fl.position = a.offset;
            fl.kind = classify_flag(e, o);
            fl.level = e.level;
            fl.color = e.color;
            fl.x = e.centre[0].value;
            fl.y = e.centre[1].value;
            fl.z = after.is3d ? e.centre[2].value : 0;
            fl.primary = e.primary.value;
            fl.secondary = e.secondary.value;
            fl.rotation_deg = after.is3d ? 0 : e.orientation.rotation / 360000.0;
            out->flags.push_back(fl);
            continue;
        }
        std::vector<DgnPoint> w = is_linear(a.type) ? element_walk(after, static_cast<int>(j)) : std::vector<DgnPoint>();
        if (w.size() < 2) {
            out->added.push_back(a.offset);
            continue;
        }
        // The old element: same interior vertices (either way), ends within the tolerance.
        std::vector<size_t> cands;
        bool rev = false;
        if (w.size() > 2) {
            auto it = byInterior.find(interior_key(w, &rev));
            if (it != byInterior.end()) cands = it->second;
        } else {
            const int64_t cx = static_cast<int64_t>(std::floor(w.front().x / cell));
            const int64_t cy = static_cast<int64_t>(std::floor(w.front().y / cell));
            for (int64_t dx = -1; dx <= 1; ++dx)
                for (int64_t dy = -1; dy <= 1; ++dy) {
                    auto it = byCell.find(cell_key(cx + dx, cy + dy));
                    if (it != byCell.end()) cands.insert(cands.end(), it->second.begin(), it->second.end());
                }
        }
        long best = -1;
        bool bestFlip = false;
        double bestScore = 0;
        for (size_t c : cands) {
            const Linear &l = olds[c];
            if (l.matched || l.walk.size() != w.size()) continue;
            for (int flip = 0; flip < 2; ++flip) {
                const DgnPoint &s = flip ? w.back() : w.front();
                const DgnPoint &e = flip ? w.front() : w.back();
                bool inner = true;
                for (size_t k = 1; k + 1 < w.size() && inner; ++k)
                    inner = same_point(l.walk[k], flip ? w[w.size() - 1 - k] : w[k]);
                if (!inner) continue;
                const double d1 = dist(l.walk.front(), s), d2 = dist(l.walk.back(), e);
                if (o.tolerance_uor > 0 && (d1 > o.tolerance_uor * 2 + 1 || d2 > o.tolerance_uor * 2 + 1)) continue;
                // A deleted element is the better match; then the nearer one.
                const double score = d1 + d2 + (l.deleted_by_run ? 0 : 1e12);
                if (best < 0 || score < bestScore) {
                    best = static_cast<long>(c);
                    bestScore = score;
                    bestFlip = flip != 0;
                }
            }
        }
        if (best < 0) {
            out->added.push_back(a.offset);
            continue;
        }
        Linear &l = olds[static_cast<size_t>(best)];
        l.matched = true;
        MendedElement m;
        m.position = l.position;
        m.new_positions.push_back(a.offset);
        m.type = before.elements[static_cast<size_t>(l.index)].type;
        m.new_type = a.type;
        m.level = before.elements[static_cast<size_t>(l.index)].level;
        m.new_level = a.level;
        m.old_start = l.walk.front();
        m.old_end = l.walk.back();
        m.new_start = bestFlip ? w.back() : w.front();
        m.new_end = bestFlip ? w.front() : w.back();
        mended[static_cast<size_t>(best)] = m;
    }
    for (auto &kv : mended) out->mended.push_back(kv.second);
    std::sort(out->mended.begin(), out->mended.end(),
              [](const MendedElement &a, const MendedElement &b) { return a.position < b.position; });
    for (const Linear &l : olds)
        if (l.deleted_by_run && !l.matched) deletedOther.push_back(l.position);
    std::sort(deletedOther.begin(), deletedOther.end());
    out->deleted = deletedOther;
}

std::string report_json(const RunReport &r, const std::string &designName) {
    std::string s = "{\n  \"design_file\": " + json_string(designName) + ",\n";
    char buf[256];
    snprintf(buf, sizeof buf,
             "  \"dimension\": %d,\n  \"uor_per_master\": %.17g,\n  \"counts\": {\"mended\": %zu, \"moved\": %zu, "
             "\"level_moves\": %zu, \"flags\": %zu, \"deleted\": %zu, \"added\": %zu},\n",
             r.is3d ? 3 : 2, r.uor_per_master, r.mended.size(), r.moved.size(), r.level_moves.size(), r.flags.size(),
             r.deleted.size(), r.added.size());
    s += buf;
    s += "  \"mended\": [";
    for (size_t i = 0; i < r.mended.size(); ++i) {
        const MendedElement &m = r.mended[i];
        snprintf(buf, sizeof buf, "%s\n    {\"position\": %u, \"type\": %d, \"level\": %d, \"new_positions\": [",
                 i ? "," : "", m.position, m.type, m.level);
        s += buf;
        for (size_t k = 0; k < m.new_positions.size(); ++k) s += (k ? "," : "") + std::to_string(m.new_positions[k]);
        snprintf(buf, sizeof buf, "], \"new_type\": %d, \"new_level\": %d, \"old_start\": ", m.new_type, m.new_level);
        s += buf;
        put_point(&s, m.old_start, r.is3d);
        s += ", \"old_end\": ";
        put_point(&s, m.old_end, r.is3d);
        s += ", \"new_start\": ";
        put_point(&s, m.new_start, r.is3d);
        s += ", \"new_end\": ";
        put_point(&s, m.new_end, r.is3d);
        s += "}";
    }
    s += "\n  ],\n  \"moved\": [";
    for (size_t i = 0; i < r.moved.size(); ++i) {
        const MovedFeature &m = r.moved[i];
        snprintf(buf, sizeof buf, "%s\n    {\"position\": %u, \"type\": %d, \"old\": ", i ? "," : "", m.position, m.type);
        s += buf;
        put_point(&s, m.old_at, r.is3d);
        s += ", \"new\": ";
        put_point(&s, m.new_at, r.is3d);
        s += "}";
    }
    s += "\n  ],\n  \"level_moves\": [";
    for (size_t i = 0; i < r.level_moves.size(); ++i) {
        const LevelMove &m = r.level_moves[i];
        snprintf(buf, sizeof buf, "%s\n    {\"position\": %u, \"type\": %d, \"old_level\": %d, \"new_level\": %d}",
                 i ? "," : "", m.position, m.type, m.old_level, m.new_level);
        s += buf;
    }
    s += "\n  ],\n  \"flags\": [";
    for (size_t i = 0; i < r.flags.size(); ++i) {
        const FlagFound &f = r.flags[i];
        snprintf(buf, sizeof buf,
                 "%s\n    {\"position\": %u, \"kind\": \"%s\", \"level\": %d, \"color\": %d, \"x\": %.17g, \"y\": %.17g",
                 i ? "," : "", f.position, flag_kind_name(f.kind), f.level, f.color, f.x, f.y);
        s += buf;
        if (r.is3d) {
            snprintf(buf, sizeof buf, ", \"z\": %.17g", f.z);
            s += buf;
        }
        snprintf(buf, sizeof buf, ", \"axes\": [%.17g,%.17g], \"rotation\": %.17g}", f.primary, f.secondary,
                 f.rotation_deg);
        s += buf;
    }
    s += "\n  ],\n  \"deleted\": [";
    for (size_t i = 0; i < r.deleted.size(); ++i) s += (i ? "," : "") + std::to_string(r.deleted[i]);
    s += "],\n  \"added\": [";
    for (size_t i = 0; i < r.added.size(); ++i) s += (i ? "," : "") + std::to_string(r.added[i]);
    s += "]\n}\n";
    return s;
}

std::string report_csv(const RunReport &r) {
    std::string s = "record,position,new_position,type,level,kind,x1,y1,z1,x2,y2,z2,x3,y3,z3,x4,y4,z4\n";
    char buf[512];
    for (const MendedElement &m : r.mended) {
        snprintf(buf, sizeof buf, "mended,%u,%u,%d,%d,,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d\n", m.position,
                 m.new_positions.empty() ? 0u : m.new_positions[0], m.type, m.level, m.old_start.x, m.old_start.y,
                 m.old_start.z, m.old_end.x, m.old_end.y, m.old_end.z, m.new_start.x, m.new_start.y, m.new_start.z,
                 m.new_end.x, m.new_end.y, m.new_end.z);
        s += buf;
    }
    for (const MovedFeature &m : r.moved) {
        snprintf(buf, sizeof buf, "moved,%u,%u,%d,,,%d,%d,%d,%d,%d,%d,,,,,,\n", m.position, m.position, m.type,
                 m.old_at.x, m.old_at.y, m.old_at.z, m.new_at.x, m.new_at.y, m.new_at.z);
        s += buf;
    }
    for (const LevelMove &m : r.level_moves) {
        snprintf(buf, sizeof buf, "level_move,%u,%u,%d,%d,from_level_%d,,,,,,,,,,,,\n", m.position, m.position,
                 m.type, m.new_level, m.old_level);
        s += buf;
    }
    for (const FlagFound &f : r.flags) {
        snprintf(buf, sizeof buf, "flag,%u,,15,%d,%s,%.17g,%.17g,%.17g,,,,,,,,,\n", f.position, f.level,
                 flag_kind_name(f.kind), f.x, f.y, f.z);
        s += buf;
    }
    for (uint32_t p : r.deleted) s += "deleted," + std::to_string(p) + ",,,,,,,,,,,,,,,,\n";
    for (uint32_t p : r.added) s += "added," + std::to_string(p) + ",,,,,,,,,,,,,,,,\n";
    return s;
}
