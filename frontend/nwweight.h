// nwweight: the weighting table of the Weighting Options dialog: reading its
// value and weight boxes into rules, the driver's option for it and the table
// file NW_WEIGHT.TBL that the driver reads (nodeweld.pl -w TABLE).
#ifndef NW_FRONTEND_NWWEIGHT_H
#define NW_FRONTEND_NWWEIGHT_H

#include <string>
#include <vector>

#include "frontend/nwform.h"

// Rows of the dialog, in the order of its boxes.
enum NwWeightRow { NW_WEIGHT_LEVEL, NW_WEIGHT_COLOR, NW_WEIGHT_STYLE, NW_WEIGHT_ROWS };
// The dialog's six boxes: value and weight box of each row in turn
// (LvlvalTxt LvlwtTxt CovalTxt CowtTxt StyvalTxt StywtTxt).
enum { NW_WEIGHT_BOXES = 6 };
enum { NW_WEIGHT_MAX = 254 };

// One rule of the table: the values lo..hi of a row weigh `weight`.
struct NwWeightRule {
  NwWeightRow row;
  int lo, hi;
  int weight;
};

// Table file, in the current folder like NW_CMD.LOG, and the driver option
// that names it.
#define NW_WEIGHT_FILE "NW_WEIGHT.TBL"
#define NW_WEIGHT_SWITCH "-w"

// Reads the six box texts into rules. Each comma-separated value (or range
// first-last) gets the weight at its place in the weight list; values past
// the last weight get the last one. A row with an empty value box is not
// used. On a bad entry shows a message and returns the index (0-5) of the
// box to correct, *rules unchanged; else returns -1 with *rules replaced
// (empty when every value box is empty: no weighting).
int nw_weight_read(NwPrompt& p, const std::string boxes[NW_WEIGHT_BOXES],
                   std::vector<NwWeightRule>* rules);

// The table in the driver's syntax, one rule a line ("level 1-5 40").
std::string nw_weight_table_text(const std::vector<NwWeightRule>& rules);

// Writes the table file whole: a temporary file beside it is renamed over it,
// so a failed write leaves the old file as it was. false with the reason in
// *err.
bool nw_weight_table_write(const std::string& path, const std::string& text, std::string* err);

#endif
