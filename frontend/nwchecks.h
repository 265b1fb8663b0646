// nwchecks: the checks made when a box of the main window loses the focus,
// and the question asked when "Save original linework" is ticked. Each check
// returns false when it refused the entry or the user answered No; the focus
// has then been moved back to the box concerned.
#ifndef NW_FRONTEND_NWCHECKS_H
#define NW_FRONTEND_NWCHECKS_H

#include "frontend/nwform.h"
#include "frontend/nwmod.h"
#include "frontend/nwstate.h"

// Which kind of check a box gets.
enum NwCheckKind { NW_CHECK_NONE, NW_CHECK_LIST, NW_CHECK_LEVEL, NW_CHECK_NUMBER };
NwCheckKind nw_check_kind(NwBox box);
// The list a criteria box holds (only for NW_CHECK_LIST boxes).
NwListKind nw_box_list(NwBox box);

// Criteria box: list syntax, element types, and for the levels box the
// level-conflict questions.
bool nw_check_criteria(NwForm& f, NwPrompt& p, NwState& s, NwBox box);
// One-level box (flag levels, output level). toOutLvlChck: the focus goes to
// the "Put modified linework on new level" check box.
bool nw_check_level_box(NwForm& f, NwPrompt& p, NwState& s, NwBox box, bool toOutLvlChck);
// Tolerance and size boxes.
bool nw_check_number_box(NwForm& f, NwPrompt& p, NwBox box);
// Runs the check of any box; boxes without one pass.
bool nw_check_box(NwForm& f, NwPrompt& p, NwState& s, NwBox box, bool toOutLvlChck);

// "Save original linework" was clicked (ticked or unticked).
void nw_save_orig_clicked(NwForm& f, NwPrompt& p, NwState& s);

// The output-level question shared by the build and the Levels dialog: asks
// when level OutLevel is set in levels; on Yes empties it. Returns false on No.
bool nw_ask_output_level(NwPrompt& p, const NwState& s, std::vector<std::string>& levels);

#endif
