// report.h - what a run did to a design file, found by comparing the file before the run
// (a snapshot) with the file after it.
//
// The design-file server keeps the position of every element it does not delete and appends
// what it places, so the comparison works by position:
//   - an element deleted by the run whose interior vertices (and ends within the tolerance)
//     reappear in a new linear element was rebuilt: "mended", with its old and new ends;
//   - a point feature (cell, text node, ellipse, text) whose location changed in place was
//     moved: "moved", with its old and new location;
//   - an element whose level changed in place was moved to another level: "level_moves";
//   - a new ellipse is a flag; its kind comes from its level (the levels the run flagged on)
//     and, where levels are shared or unknown, from its axis ratio, colour and rotation;
//   - anything else deleted or added is listed as such.
#ifndef NW_DRIVER_REPORT_H
#define NW_DRIVER_REPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"

// Flag kinds, in the order of the options that place them.
enum FlagKind {
    FLAG_UNKNOWN, FLAG_CLOSE, FLAG_UNSOLVED, FLAG_DANGLE, FLAG_FLOATER, FLAG_MENDED_POINT, FLAG_DIRECTION,
    FLAG_MULTIPLE_LINE, FLAG_WHITE, FLAG_SINGLE_LINE, FLAG_MULTIPLE_POINT, FLAG_SINGLE_POINT, FLAG_KIND_COUNT
};
const char *flag_kind_name(FlagKind k);
// "dangle" -> FLAG_DANGLE; FLAG_UNKNOWN when the name is not a kind.
FlagKind flag_kind_from_name(const std::string &name);

struct ReportOptions {
    double tolerance_uor = 0;  // largest end displacement of a rebuilt element; 0: any
    // Level of each flag kind the run placed (0: kind not placed by the run).
    int flag_level[FLAG_KIND_COUNT] = {};
};

struct MendedElement {
    uint32_t position = 0;                // in the file before the run
    std::vector<uint32_t> new_positions;  // the element(s) placed for it
    int type = 0, new_type = 0, level = 0, new_level = 0;
    DgnPoint old_start, old_end, new_start, new_end;  // new ends in the old element's direction
};

struct MovedFeature {
    uint32_t position = 0;
    int type = 0;
    DgnPoint old_at, new_at;
};

struct LevelMove {
    uint32_t position = 0;
    int type = 0, old_level = 0, new_level = 0;
};

struct FlagFound {
    uint32_t position = 0;
    FlagKind kind = FLAG_UNKNOWN;
    int level = 0, color = 0;
    double x = 0, y = 0, z = 0, primary = 0, secondary = 0, rotation_deg = 0;
};

struct RunReport {
    bool is3d = false;
    double uor_per_master = 1;
    std::vector<MendedElement> mended;
    std::vector<MovedFeature> moved;
    std::vector<LevelMove> level_moves;
    std::vector<FlagFound> flags;
    std::vector<uint32_t> deleted;  // deleted and not matched to a new element
    std::vector<uint32_t> added;    // new, neither a flag nor a rebuilt element
};

// Compares the two loads of one design file.
void diff_design_files(const DgnFile &before, const DgnFile &after, const ReportOptions &o, RunReport *out);

// The report as JSON (one object) or CSV (header line, one row per item).
std::string report_json(const RunReport &r, const std::string &designName);
std::string report_csv(const RunReport &r);

// The vertices an element runs through from its first to its last end (curves without their
// end-slope points). Empty for other types.
std::vector<DgnPoint> element_walk(const DgnFile &f, int index);
// The location of a point feature (cell/text node/text origin, ellipse centre).
bool point_feature_at(const DgnFile &f, int index, DgnPoint *p);

#endif
