// nwstate: the front end's window state (command-line slots, level selection,
// stored output level, visible page, applied weighting table) and the
// program's fixed texts.
#ifndef NW_FRONTEND_NWSTATE_H
#define NW_FRONTEND_NWSTATE_H

#include <string>
#include <vector>

#include "frontend/nwweight.h"

#define NW_APP_TITLE "Nodeweld"
#define NW_VERSION_MAJOR 3
#define NW_VERSION_MINOR 1
#define NW_VERSION_REVISION 1

enum { NW_SLOTS = 26, NW_SLOTS_EMITTED = 22, NW_LEVEL_ENTRIES = 65, NW_ELE_SLOTS = 11 };

// Command-line slots filled by the front end.
enum {
  NW_SLOT_ELEMENTS = 3, NW_SLOT_LEVELS = 4, NW_SLOT_STYLES = 5, NW_SLOT_WEIGHTS = 6,
  NW_SLOT_COLORS = 7, NW_SLOT_WEIGHTING = 8, NW_SLOT_FLAG = 10, NW_SLOT_OUTLEVEL = 11, NW_SLOT_AVERAGE = 12,
  NW_SLOT_SYMBOLOGY = 14, NW_SLOT_SAVEORIG = 15, NW_SLOT_TOLERANCE = 16,
  NW_SLOT_CLASSES = 19, NW_SLOT_DANGLES_NOMEND = 20, NW_SLOT_DANGLES_MEND = 21
};

struct NwState {
  std::vector<std::string> OptFlag;    // switch of each slot, empty = not emitted
  std::vector<std::string> OptVal;     // argument of each slot, empty = none
  std::vector<std::string> SelLevels;  // entry n = text of level n when selected
  std::string OutLevel;                // output level as last accepted
  int CurFrame;                        // visible tab page, 1 or 2
  int NumFrames;                       // number of tab pages
  std::vector<std::string> EleSlots;   // scratch slots of the element-type dialog
  // Weighting table applied in the Weighting Options dialog; empty = none.
  // The main window's Clear keeps it (the dialog still shows it).
  std::vector<NwWeightRule> Weighting;
};

// Fresh state: every slot and entry empty, page 1 of 2.
void nw_state_init(NwState* s);
// The state part of Clear: output level "0", level selection and slots
// emptied; the weighting table stays.
void nw_state_clear(NwState* s);
void nw_slot_set(NwState* s, int slot, const std::string& flag, const std::string& val);
void nw_slot_clear(NwState* s, int slot);

// "ver 3.1.1" and "3.1.1".
std::string nw_version_label();
std::string nw_version_text();

#endif
