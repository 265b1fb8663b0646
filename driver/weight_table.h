// weight_table.h - the weighting table of a run with -w: mending weights by level, colour
// and style.
//
// Text, one rule a line, '#' starts a comment, blank lines are ignored:
//     level   1-5,9  40
//     colour  3      200     ("color" is accepted too)
//     style   0      10
// The list uses the selection-list syntax; the weight is 0-254. A location's weight is the
// largest weight of the rules that match its element's level, colour or style, 0 when none
// does. 255 is kept for locations the engine must never move (see extract.h).
#ifndef NW_DRIVER_WEIGHT_TABLE_H
#define NW_DRIVER_WEIGHT_TABLE_H

#include <string>

struct WeightTable {
    unsigned char level[64] = {};
    unsigned char color[256] = {};
    unsigned char style[8] = {};
    int rules = 0;
};

enum { WEIGHT_MAX_RULE = 254, WEIGHT_FIXED = 255 };

// Parses the text of a table; false with "line N: ..." in *err on the first bad line.
bool weight_table_parse(const std::string &text, WeightTable *out, std::string *err);
// Reads and parses a table file; the message names the file.
bool weight_table_load(const char *path, WeightTable *out, std::string *err);
int weight_for(const WeightTable &t, int level, int color, int style);

#endif
