// dgnpoints: the point extractor of the driver nodeweld.pl.
//
//   dgnpoints [-e L] [-ll L] [-ls L] [-lw L] [-lo L] [-lc L] [--table FILE] [--weights] [-P]
//             [--no-auto-weights] [-a ADJACENT.dgn]... -o POINTFILE DESIGN.dgn
//
// Weights are written with --weights or --table, and also when fixed or adjacent locations
// are present (they carry WEIGHT_FIXED), unless --no-auto-weights (flag-only runs).
// Reads the design file (and adjacent sheets) read-only, selects elements, writes the sorted
// point file and prints, one "key value" a line, what the driver needs:
//   dimension 2|3, records N, weights 0|1, elements N, fixed N, adjacent N, skipped N
// Exit status: 0 done; 2 bad option or criteria list; 3 a design file that cannot be read, is
// not a DGN V7 design file or holds a selected element beyond the largest position the point
// file can carry; 4 the point file cannot be written.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dgn/dgn_file.h"
#include "driver/criteria.h"
#include "driver/extract.h"
#include "driver/weight_table.h"

namespace {

int usage() {
    fprintf(stderr,
            "usage: dgnpoints [-e LIST] [-ll LIST] [-ls LIST] [-lw LIST] [-lo LIST] [-lc LIST]\n"
            "                 [--table WEIGHTS] [--weights] [--no-auto-weights] [-P] [-a ADJACENT.dgn]...\n"
            "                 -o POINTFILE DESIGN.dgn\n");
    return 2;
}

bool load(const char *path, DgnFile *f) {
    std::string err;
    if (!dgn_load_file(path, f, &err)) {
        fprintf(stderr, "dgnpoints: %s\n", err.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    ExtractOptions o;
    criteria_defaults(&o.criteria);
    const char *output = nullptr;
    const char *design = nullptr;
    const char *table = nullptr;
    bool forceWeights = false;
    bool autoWeights = true;
    std::vector<const char *> adjacent;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        int kind = -1;
        for (int k = 0; k < CRIT_COUNT; ++k)
            if (a == criteria_info(static_cast<CriteriaKind>(k))->option) kind = k;
        if (kind >= 0 && hasValue) {
            ValueSet *sets[CRIT_COUNT] = {&o.criteria.levels, &o.criteria.types, &o.criteria.styles,
                                          &o.criteria.weights, &o.criteria.colors, &o.criteria.classes};
            std::string err;
            if (!parse_value_list(static_cast<CriteriaKind>(kind), argv[++i], sets[kind], &err)) {
                fprintf(stderr, "dgnpoints: %s\n", err.c_str());
                return 2;
            }
        } else if (a == "--table" && hasValue) {
            table = argv[++i];
        } else if (a == "--weights") {
            forceWeights = true;
        } else if (a == "--no-auto-weights") {
            autoWeights = false;
        } else if (a == "-P") {
            o.point_weight = true;
        } else if (a == "-a" && hasValue) {
            adjacent.push_back(argv[++i]);
        } else if (a == "-o" && hasValue) {
            output = argv[++i];
        } else if (!a.empty() && a[0] != '-' && !design) {
            design = argv[i];
        } else {
            fprintf(stderr, "dgnpoints: unknown option or missing value: %s\n", a.c_str());
            return usage();
        }
    }
    if (!design || !output) return usage();
    if (table) {
        std::string err;
        if (!weight_table_load(table, &o.table, &err)) {
            fprintf(stderr, "dgnpoints: %s\n", err.c_str());
            return 2;
        }
        o.use_table = true;
    }

    DgnFile f;
    if (!load(design, &f)) return 3;
    std::vector<PointRecord> recs;
    ExtractStats st;
    std::string err;
    if (!extract_points(f, o, nullptr, false, &recs, &st, &err)) {
        fprintf(stderr, "dgnpoints: %s: %s\n", design, err.c_str());
        return 3;
    }
    long adjacentRecords = 0;
    for (const char *path : adjacent) {
        DgnFile adj;
        if (!load(path, &adj)) return 3;
        if (adj.is3d != f.is3d) {
            fprintf(stderr, "dgnpoints: adjacent sheet %s is %s, the design file %s\n", path, adj.is3d ? "3D" : "2D",
                    f.is3d ? "3D" : "2D");
            return 3;
        }
        ExtractStats as;
        if (!extract_points(adj, o, &f, true, &recs, &as, &err)) {
            fprintf(stderr, "dgnpoints: %s: %s\n", path, err.c_str());
            return 3;
        }
        adjacentRecords += as.records;
        st.skipped += as.skipped;
    }
    if (recs.size() > 0x7FFFFFFF) {
        fprintf(stderr, "dgnpoints: too many locations\n");
        return 4;
    }
    sort_points(&recs);
    // Fixed and adjacent locations decide a mending solution through their weight; a
    // flag-only run keeps every location a candidate.
    const bool weights = forceWeights || o.use_table || (autoWeights && (st.fixed_records > 0 || adjacentRecords > 0));
    const int dimension = f.is3d ? 3 : 2;
    if (!write_point_file(output, recs, dimension, weights, &err)) {
        fprintf(stderr, "dgnpoints: %s\n", err.c_str());
        return 4;
    }
    printf("dimension %d\nrecords %zu\nweights %d\nelements %ld\nfixed %ld\nadjacent %ld\nskipped %ld\n", dimension,
           recs.size(), weights ? 1 : 0, st.elements, st.fixed_elements, adjacentRecords, st.skipped);
    return 0;
}
