// dgnreport: what a run did to a design file, from a snapshot taken before the run and the
// file after it.
//
//   dgnreport BEFORE.dgn AFTER.dgn [-o REPORT] [--csv] [--tolerance MU] [--flag KIND=LEVEL]...
//             [--name NAME]
//
// --tolerance is the run's -T in master units (the largest distance an end was moved);
// --flag tells the level a kind of flag was placed on (close_point, unsolved, dangle,
// floater, mended_point, direction, multiple_line, white, single_line, multiple_point,
// single_point); --name is the design-file name written into the report.
// Exit status: 0 done, 2 bad option, 3 a file that cannot be read, 4 the report cannot be written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dgn/dgn_file.h"
#include "driver/report.h"

namespace {

int usage() {
    fprintf(stderr,
            "usage: dgnreport BEFORE.dgn AFTER.dgn [-o REPORT] [--csv] [--tolerance MU] [--flag KIND=LEVEL]... "
            "[--name NAME]\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    const char *files[2] = {nullptr, nullptr};
    const char *output = nullptr;
    const char *name = nullptr;
    bool csv = false;
    double toleranceMu = 0;
    ReportOptions o;
    int nfiles = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "-o" && hasValue) {
            output = argv[++i];
        } else if (a == "--csv") {
            csv = true;
        } else if (a == "--name" && hasValue) {
            name = argv[++i];
        } else if (a == "--tolerance" && hasValue) {
            char *end = nullptr;
            toleranceMu = strtod(argv[++i], &end);
            if (end == argv[i] || *end || !(toleranceMu >= 0)) {
                fprintf(stderr, "dgnreport: bad tolerance %s\n", argv[i]);
                return 2;
            }
        } else if (a == "--flag" && hasValue) {
            const std::string v = argv[++i];
            const size_t eq = v.find('=');
            const FlagKind k = eq == std::string::npos ? FLAG_UNKNOWN : flag_kind_from_name(v.substr(0, eq));
            const int level = eq == std::string::npos ? 0 : atoi(v.c_str() + eq + 1);
            if (k == FLAG_UNKNOWN || level < 1 || level > 63) {
                fprintf(stderr, "dgnreport: bad --flag %s (KIND=LEVEL, level 1-63)\n", v.c_str());
                return 2;
            }
            o.flag_level[k] = level;
        } else if (!a.empty() && a[0] != '-' && nfiles < 2) {
            files[nfiles++] = argv[i];
        } else {
            fprintf(stderr, "dgnreport: unknown option or missing value: %s\n", a.c_str());
            return usage();
        }
    }
    if (nfiles != 2) return usage();
    DgnFile before, after;
    std::string err;
    if (!dgn_load_file(files[0], &before, &err) || !dgn_load_file(files[1], &after, &err)) {
        fprintf(stderr, "dgnreport: %s\n", err.c_str());
        return 3;
    }
    o.tolerance_uor = toleranceMu * static_cast<double>(after.eu_mu) * after.eu_uor;
    RunReport r;
    diff_design_files(before, after, o, &r);
    const std::string text = csv ? report_csv(r) : report_json(r, name ? name : files[1]);
    FILE *fp = output ? fopen(output, "wb") : stdout;
    if (!fp) {
        fprintf(stderr, "dgnreport: cannot create %s\n", output);
        return 4;
    }
    bool ok = fwrite(text.data(), 1, text.size(), fp) == text.size();
    ok = (fflush(fp) == 0) && ok;
    if (output) ok = (fclose(fp) == 0) && ok;
    if (!ok) {
        fprintf(stderr, "dgnreport: cannot write %s\n", output ? output : "standard output");
        return 4;
    }
    return 0;
}
