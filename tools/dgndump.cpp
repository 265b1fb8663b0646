// dgndump.cpp - prints every element of a DGN V7 design file, as text or JSON.
//
//   dgndump [--json] [--deleted-only] FILE
// Position, type, level, complex and deleted bits, graphic group, class, symbology, range,
// vertices or origin, text and linkages of each element. Coordinates are UORs.
// Exit status: 0 success, 1 usage, 2 the file cannot be read or is not a sound V7 design file.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"

namespace {

std::string json_string(const std::string &s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': o += "\\\""; break;
        case '\\': o += "\\\\"; break;
        case '\n': o += "\\n"; break;
        case '\r': o += "\\r"; break;
        case '\t': o += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char b[8];
                snprintf(b, sizeof b, "\\u%04x", c);
                o += b;
            } else {
                o += static_cast<char>(c);
            }
        }
    }
    return o + "\"";
}

// Text for the plain dump: printable bytes as is, others as \xNN.
std::string quoted(const std::string &s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            o += static_cast<char>(c);
        } else {
            char b[8];
            snprintf(b, sizeof b, "\\x%02x", c);
            o += b;
        }
    }
    return o + "\"";
}

std::string point_text(const DgnPoint &p, bool is3d) {
    char b[64];
    if (is3d) snprintf(b, sizeof b, "(%d, %d, %d)", p.x, p.y, p.z);
    else snprintf(b, sizeof b, "(%d, %d)", p.x, p.y);
    return b;
}

std::string point_json(const DgnPoint &p, bool is3d) {
    char b[64];
    if (is3d) snprintf(b, sizeof b, "[%d,%d,%d]", p.x, p.y, p.z);
    else snprintf(b, sizeof b, "[%d,%d]", p.x, p.y);
    return b;
}

std::string orient_text(const DgnElement &e) {
    char b[96];
    if (e.is3d)
        snprintf(b, sizeof b, "quaternion (%d, %d, %d, %d)", e.orientation.quat[0], e.orientation.quat[1],
                 e.orientation.quat[2], e.orientation.quat[3]);
    else
        snprintf(b, sizeof b, "rotation %d", e.orientation.rotation);
    return b;
}

std::string orient_json(const DgnElement &e) {
    char b[96];
    if (e.is3d)
        snprintf(b, sizeof b, ",\"quaternion\":[%d,%d,%d,%d]", e.orientation.quat[0], e.orientation.quat[1],
                 e.orientation.quat[2], e.orientation.quat[3]);
    else
        snprintf(b, sizeof b, ",\"rotation\":%d", e.orientation.rotation);
    return b;
}

std::string num(double v) {
    char b[40];
    snprintf(b, sizeof b, "%.17g", v);
    return b;
}

std::string hex_words(const std::vector<uint8_t> &area, size_t at, size_t words) {
    std::string o;
    for (size_t i = 0; i < words && at + 2 * i + 1 < area.size(); ++i) {
        char b[8];
        snprintf(b, sizeof b, "%s%04x", i ? " " : "", area[at + 2 * i] | (area[at + 2 * i + 1] << 8));
        o += b;
    }
    return o;
}

struct Out {
    bool json;
    bool first = true;
};

void dump_text(const DgnFile &f, size_t i, const DgnElement &e) {
    const DgnElementRef &r = f.elements[i];
    printf("%zu pos %u (block %u byte %u) size %u type %d %s level %d%s%s\n", i, r.offset, r.offset / 512,
           r.offset % 512, r.size, e.type, dgn_type_name(e.type), e.level, e.complex ? " complex" : "",
           e.deleted ? " deleted" : "");
    if (!e.has_display_header) return;
    printf("  gg %u class %d props 0x%04x color %d weight %d style %d\n", e.graphic_group, e.properties & 0xF,
           e.properties, e.color, e.weight, e.style);
    printf("  range (%d, %d, %d) - (%d, %d, %d)\n", e.range[0], e.range[1], e.range[2], e.range[3], e.range[4],
           e.range[5]);
    const bool d3 = e.is3d;
    switch (e.type) {
    case 3: case 4: case 6: case 11:
        printf("  vertices %zu:", e.vertices.size());
        for (const DgnPoint &p : e.vertices) printf(" %s", point_text(p, d3).c_str());
        printf("\n");
        break;
    case 2:
        printf("  cell %s totlength %u origin %s\n", quoted(dgn_rad50_decode(e.cell_name)).c_str(), e.totlength,
               point_text(e.origin, d3).c_str());
        break;
    case 7:
        printf("  text node %u strings %u totlength %u font %u just %u origin %s %s\n", e.node_number, e.numelems,
               e.totlength, e.font, e.justification, point_text(e.origin, d3).c_str(), orient_text(e).c_str());
        break;
    case 12: case 14:
        printf("  components %u totlength %u\n", e.numelems, e.totlength);
        break;
    case 15: case 16:
        if (e.type == 16)
            printf("  start %d sweep %s%u", e.start_angle, (e.sweep_raw & 0x80000000u) ? "-" : "",
                   e.sweep_raw & 0x7FFFFFFFu);
        else
            printf(" ");
        printf(" axes %s %s centre (%s, %s%s%s) %s\n", num(e.primary.value).c_str(),
               num(e.secondary.value).c_str(), num(e.centre[0].value).c_str(), num(e.centre[1].value).c_str(),
               d3 ? ", " : "", d3 ? num(e.centre[2].value).c_str() : "", orient_text(e).c_str());
        break;
    case 17:
        printf("  text %s font %u just %u size %d x %d origin %s %s\n", quoted(e.text).c_str(), e.font,
               e.justification, e.length_mult, e.height_mult, point_text(e.origin, d3).c_str(),
               orient_text(e).c_str());
        break;
    default:
        break;
    }
    std::vector<DgnLinkage> ls;
    const bool ok = dgn_parse_linkages(e.linkages.data(), e.linkages.size(), &ls);
    for (const DgnLinkage &l : ls) {
        if (l.database)
            printf("  linkage database entity %u mslink %u%s\n", l.entity, l.mslink,
                   (l.first_word & 0x8000) ? " read-only" : "");
        else
            printf("  linkage %s id 0x%04x words %u: %s\n", l.user ? "user" : "other", l.id, l.words,
                   hex_words(e.linkages, l.offset, l.words).c_str());
    }
    if (!ok) printf("  linkage area malformed after %zu linkage(s)\n", ls.size());
}

void dump_json(const DgnFile &f, size_t i, const DgnElement &e, Out *o) {
    const DgnElementRef &r = f.elements[i];
    printf("%s\n  {\"index\":%zu,\"position\":%u,\"size\":%u,\"type\":%d,\"type_name\":%s,\"level\":%d,"
           "\"complex\":%s,\"deleted\":%s",
           o->first ? "" : ",", i, r.offset, r.size, e.type, json_string(dgn_type_name(e.type)).c_str(), e.level,
           e.complex ? "true" : "false", e.deleted ? "true" : "false");
    o->first = false;
    if (e.has_display_header) {
        printf(",\"graphic_group\":%u,\"class\":%d,\"properties\":%u,\"color\":%d,\"weight\":%d,\"style\":%d,"
               "\"range\":[%d,%d,%d,%d,%d,%d]",
               e.graphic_group, e.properties & 0xF, e.properties, e.color, e.weight, e.style, e.range[0],
               e.range[1], e.range[2], e.range[3], e.range[4], e.range[5]);
        const bool d3 = e.is3d;
        switch (e.type) {
        case 3: case 4: case 6: case 11: {
            printf(",\"vertices\":[");
            for (size_t k = 0; k < e.vertices.size(); ++k)
                printf("%s%s", k ? "," : "", point_json(e.vertices[k], d3).c_str());
            printf("]");
            break;
        }
        case 2:
            printf(",\"cell_name\":%s,\"totlength\":%u,\"origin\":%s",
                   json_string(dgn_rad50_decode(e.cell_name)).c_str(), e.totlength, point_json(e.origin, d3).c_str());
            break;
        case 7:
            printf(",\"node_number\":%u,\"strings\":%u,\"totlength\":%u,\"font\":%u,\"justification\":%u,"
                   "\"origin\":%s",
                   e.node_number, e.numelems, e.totlength, e.font, e.justification, point_json(e.origin, d3).c_str());
            printf("%s", orient_json(e).c_str());
            break;
        case 12: case 14:
            printf(",\"components\":%u,\"totlength\":%u", e.numelems, e.totlength);
            break;
        case 15: case 16:
            if (e.type == 16)
                printf(",\"start_angle\":%d,\"sweep_angle\":%s%u", e.start_angle,
                       (e.sweep_raw & 0x80000000u) ? "-" : "", e.sweep_raw & 0x7FFFFFFFu);
            printf(",\"primary_axis\":%s,\"secondary_axis\":%s,\"centre\":[%s,%s%s%s]", num(e.primary.value).c_str(),
                   num(e.secondary.value).c_str(), num(e.centre[0].value).c_str(), num(e.centre[1].value).c_str(),
                   d3 ? "," : "", d3 ? num(e.centre[2].value).c_str() : "");
            printf("%s", orient_json(e).c_str());
            break;
        case 17:
            printf(",\"text\":%s,\"font\":%u,\"justification\":%u,\"length_mult\":%d,\"height_mult\":%d,"
                   "\"origin\":%s",
                   json_string(e.text).c_str(), e.font, e.justification, e.length_mult, e.height_mult,
                   point_json(e.origin, d3).c_str());
            printf("%s", orient_json(e).c_str());
            break;
        default:
            break;
        }
        std::vector<DgnLinkage> ls;
        const bool ok = dgn_parse_linkages(e.linkages.data(), e.linkages.size(), &ls);
        printf(",\"linkages\":[");
        for (size_t k = 0; k < ls.size(); ++k) {
            const DgnLinkage &l = ls[k];
            printf("%s{\"kind\":\"%s\",\"words\":%u,\"id\":%u", k ? "," : "",
                   l.database ? "database" : (l.user ? "user" : "other"), l.words, l.id);
            if (l.database) printf(",\"entity\":%u,\"mslink\":%u", l.entity, l.mslink);
            printf(",\"raw\":%s}", json_string(hex_words(e.linkages, l.offset, l.words)).c_str());
        }
        printf("]%s", ok ? "" : ",\"linkages_malformed\":true");
    }
    printf("}");
}

int usage() {
    fprintf(stderr, "usage: dgndump [--json] FILE\n");
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    bool json = false;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--json") == 0) json = true;
        else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) return usage() - 1;
        else if (argv[i][0] == '-' && argv[i][1]) return usage();
        else if (path) return usage();
        else path = argv[i];
    }
    if (!path) return usage();
    DgnFile f;
    std::string err;
    if (!dgn_load_file(path, &f, &err)) {
        fprintf(stderr, "dgndump: %s\n", err.c_str());
        return 2;
    }
    if (json) {
        printf("{\"file\":%s,\"dimension\":%d,\"sub_units_per_master\":%d,\"uor_per_sub_unit\":%d,"
               "\"master_unit\":%s,\"sub_unit\":%s,\"global_origin\":[%s,%s,%s],\"elements_count\":%zu,"
               "\"end_of_design\":%u,\"end_marker\":%s,\"file_size\":%zu,\"max_graphic_group\":%u,\"elements\":[",
               json_string(path).c_str(), f.is3d ? 3 : 2, f.eu_mu, f.eu_uor, json_string(f.master_name).c_str(),
               json_string(f.sub_name).c_str(), num(f.global_origin[0]).c_str(), num(f.global_origin[1]).c_str(),
               num(f.global_origin[2]).c_str(), f.elements.size(), f.end_offset, f.has_end_marker ? "true" : "false",
               f.data.size(), f.max_graphic_group);
    } else {
        printf("file %s: %s, %d sub-units per master (%s/%s), %d UOR per sub-unit, global origin (%s, %s, %s)\n",
               path, f.is3d ? "3D" : "2D", f.eu_mu, f.master_name, f.sub_name, f.eu_uor,
               num(f.global_origin[0]).c_str(), num(f.global_origin[1]).c_str(), num(f.global_origin[2]).c_str());
        printf("%zu elements, end of design at %u%s, file size %zu, largest graphic group %u\n", f.elements.size(),
               f.end_offset, f.has_end_marker ? "" : " (no end marker)", f.data.size(), f.max_graphic_group);
    }
    Out o{json};
    for (size_t i = 0; i < f.elements.size(); ++i) {
        uint32_t n = 0;
        const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
        DgnElement e;
        if (!dgn_decode_element(p, n, f.is3d, &e, &err)) {
            // Deleted elements are not validated on load; show them as raw.
            e = DgnElement();
            e.type = f.elements[i].type;
            e.level = f.elements[i].level;
            e.complex = f.elements[i].complex;
            e.deleted = f.elements[i].deleted;
            e.is3d = f.is3d;
        }
        if (json) dump_json(f, i, e, &o);
        else dump_text(f, i, e);
    }
    if (json) printf("\n]}\n");
    if (fflush(stdout) != 0) return 2;
    return 0;
}
