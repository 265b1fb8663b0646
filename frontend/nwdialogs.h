// nwdialogs: the logic of the selection and symbology dialogs, apart from
// their widgets: reading the main window's criteria boxes into selections and
// writing selections back.
#ifndef NW_FRONTEND_NWDIALOGS_H
#define NW_FRONTEND_NWDIALOGS_H

#include <string>
#include <vector>

#include "frontend/nwform.h"
#include "frontend/nwstate.h"

// Levels dialog. Activation: SelLevels from the main levels box; false when
// the box did not parse (message shown, box reset to "1-63", focus moved).
bool nw_levels_activate(NwForm& f, NwPrompt& p, NwState& s);
// Button n pressed: toggles SelLevels[n].
void nw_levels_toggle(NwState& s, int n);
void nw_levels_select_all(NwState& s);
void nw_levels_clear(NwState& s);
enum NwApplyResult { NW_APPLY_STAY, NW_APPLY_DONE };
// Apply: on NW_APPLY_DONE the packed list was written to the main levels box.
NwApplyResult nw_levels_apply(NwForm& f, NwPrompt& p, NwState& s);

// Input Criteria dialog: the ten element types in slot order.
enum { NW_ELE_TYPES = 10 };
int nw_ele_type(int index);            // 2, 3, 4, 6, ...
const char* nw_ele_caption(int index);  // "2 - Cells", ...
// Activation: ticks from the main elements box. false on a refusal; ticks
// set before the refused value stay set.
bool nw_ele_activate(NwForm& f, NwPrompt& p, bool ticks[NW_ELE_TYPES]);
// Fills EleSlots from the ticks and writes the joined list ("3,4" when
// nothing is ticked) into the main elements box.
void WriteEleList(NwForm& f, NwState& s, const bool ticks[NW_ELE_TYPES]);

// Input Symbology dialog: four lists (styles, weights, colors, classes). Item
// 0 of the first three stands for the whole range, item k+1 for value k; in
// the class list item k is class k.
enum { NW_SYM_LISTS = 4 };
int nw_sym_items(int list);                  // number of items
std::string nw_sym_item_text(int list, int item);
// The load-time (and Clear) selection of a list.
std::vector<bool> nw_sym_default_selection(int list);
// Activation: sets sel[list] from the main boxes in order; on a refusal the
// message is shown, that box reset and focused, and the later lists are left.
// Returns the number of lists updated (4 = all).
int nw_sym_activate(NwForm& f, NwPrompt& p, std::vector<bool> sel[NW_SYM_LISTS]);
// Apply: writes the lists in order. Returns -1 when all four were written,
// else the index of the empty list (its selection reset in sel).
int nw_sym_apply(NwForm& f, NwPrompt& p, std::vector<bool> sel[NW_SYM_LISTS]);

// Output Options dialog: picks as values, -1 for none. Sets or empties slot 14.
void nw_outsym_apply(NwState& s, int style, int weight, int color, int cls);

#endif
