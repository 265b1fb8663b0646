// nwchecks: lost-focus checks of the main window's boxes.
#include "frontend/nwchecks.h"

namespace {

const char* const kConflictTitle = "Input levels vs. output and flagging levels";

struct LevelBoxWords {
  NwBox box;
  const char* rangeTitle;
  const char* rangeTail;
  const char* questionLead;
  const char* questionTitle;
};

const LevelBoxWords kLevelBoxes[] = {
  {BOX_DLvlMend, "Dangles flagging level", "Please enter the flagging level again.",
   "Dangles flagging level ", "Dangles flagging level vs. Input levels"},
  {BOX_DLvlNoMend, "Dangles flagging level", "Please enter the flagging level again.",
   "Dangles flagging level ", "Dangles flagging level vs. Input levels"},
  {BOX_FlagLvl, "Close points flagging level", "Please enter the flagging level again.",
   "Close points flagging level ", "Close points flagging level vs. Input levels"},
  {BOX_Outlvl, "Output level", "Please enter the output level again.", "Output level ",
   "Output level vs. Input levels"},
};

const LevelBoxWords* level_words(NwBox box) {
  for (const LevelBoxWords& w : kLevelBoxes)
    if (w.box == box) return &w;
  return nullptr;
}

std::string conflict_question(const std::string& lead, const std::string& level,
                              const std::string& packed) {
  return lead + level + " is also one of your input levels: " + packed +
         ".  Do you wish to remove level " + level + " from your input level list?";
}

// Parses a criteria box, writing back the text without its trailing non-digits.
int parse_box(NwForm& f, NwBox box, NwListKind kind, std::vector<std::string>& values,
              std::string& detail) {
  const NwListInfo& li = nw_list_info(kind);
  const std::string before = f.boxText(box);
  std::string text = before;
  int r = ParseList(text, values, li.lo, li.hi, detail);
  if (text != before) f.setBoxText(box, text);
  return r;
}

void refuse_list(NwForm& f, NwPrompt& p, NwBox box, NwListKind kind, int code,
                 const std::string& detail) {
  std::string text, title;
  nw_list_message(kind, code, detail, &text, &title);
  p.message(text, title);
  f.setBoxText(box, nw_list_info(kind).dflt);
  f.focusBox(box);
}

// After a Yes removed the last input level the levels box would be empty and
// the run would carry -ll without a list: treat it like an emptied box.
bool levels_left(NwForm& f, NwPrompt& p, const std::string& packed) {
  if (!packed.empty()) return true;
  refuse_list(f, p, BOX_Lvl, NW_LEVELS, NW_LIST_EMPTY, std::string());
  return false;
}

bool level_conflicts(NwForm& f, NwPrompt& p, NwState& s, std::vector<std::string>& levels) {
  struct Question {
    NwTick tick;
    std::string level;
    const char* lead;
  };
  const Question qs[] = {
    {TICK_OutLvl, s.OutLevel, "The element output level: "},
    {TICK_DFlagMend, f.boxText(BOX_DLvlMend), "The dangles flagging level: "},
    {TICK_Flag, f.boxText(BOX_FlagLvl), "The close points flagging level: "},
    {TICK_DFlagNoMend, f.boxText(BOX_DLvlNoMend), "The dangles flagging level: "},
  };
  for (const Question& q : qs) {
    if (!f.ticked(q.tick)) continue;
    const int n = nw_level_index(q.level);
    if (n == 0 || levels[n].empty()) continue;
    const std::string text = conflict_question(q.lead, q.level, PackList(levels, 1, 63));
    if (!p.question(text, kConflictTitle, NW_ASK_YESNO)) {
      f.focusBox(BOX_Lvl);
      return false;
    }
    levels[n].clear();
    const std::string packed = PackList(levels, 1, 63);
    f.setBoxText(BOX_Lvl, packed);
    if (!levels_left(f, p, packed)) return false;
  }
  return true;
}

}  // namespace

NwCheckKind nw_check_kind(NwBox box) {
  switch (box) {
    case BOX_Lvl: case BOX_Ele: case BOX_Sty: case BOX_Wt: case BOX_Co: case BOX_Cl:
      return NW_CHECK_LIST;
    case BOX_DLvlMend: case BOX_DLvlNoMend: case BOX_FlagLvl: case BOX_Outlvl:
      return NW_CHECK_LEVEL;
    case BOX_TolMend: case BOX_FlagProxTol: case BOX_FlagSize: case BOX_DFlagSizeMend:
    case BOX_DFlagSizeNoMend:
      return NW_CHECK_NUMBER;
    default:
      return NW_CHECK_NONE;
  }
}

NwListKind nw_box_list(NwBox box) {
  switch (box) {
    case BOX_Ele: return NW_ELEMENTS;
    case BOX_Sty: return NW_STYLES;
    case BOX_Wt: return NW_WEIGHTS;
    case BOX_Co: return NW_COLORS;
    case BOX_Cl: return NW_CLASSES;
    default: return NW_LEVELS;
  }
}

bool nw_check_criteria(NwForm& f, NwPrompt& p, NwState& s, NwBox box) {
  const NwListKind kind = nw_box_list(box);
  std::vector<std::string> values(256);
  std::string detail;
  const int r = parse_box(f, box, kind, values, detail);
  if (r != NW_LIST_OK) {
    refuse_list(f, p, box, kind, r, detail);
    return false;
  }
  if (box == BOX_Ele) {
    for (int v = 2; v <= 27; ++v) {
      if (values[v].empty() || nw_valid_element_type(v)) continue;
      refuse_list(f, p, box, kind, NW_LIST_RANGE, values[v]);
      return false;
    }
  }
  if (box == BOX_Lvl) return level_conflicts(f, p, s, values);
  return true;
}

bool nw_check_level_box(NwForm& f, NwPrompt& p, NwState& s, NwBox box, bool toOutLvlChck) {
  const LevelBoxWords* w = level_words(box);
  if (!w) return true;
  const std::string text = f.boxText(box);
  if (box == BOX_Outlvl) {
    if (text.empty() && !toOutLvlChck) {
      f.setTicked(TICK_OutLvl, false);
      f.setBoxEnabled(BOX_Outlvl, false);
    }
    if (text.empty() || toOutLvlChck) return true;
  } else if (text.empty()) {
    return true;
  }

  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') continue;
    p.message("The character '" + nw_char_at(text, i) + "' is not a valid level.  " +
                  "Please enter only numbers.",
              NW_APP_TITLE);
    f.setBoxText(box, std::string());
    f.focusBox(box);
    return false;
  }
  if (nw_digits_value(text) > 63) {
    p.message("Level " + nw_decimal(text) + " is an invalid level.  " + w->rangeTail,
              w->rangeTitle);
    f.setBoxText(box, std::string());
    f.focusBox(box);
    if (box == BOX_Outlvl) s.OutLevel.clear();
    return false;
  }

  std::vector<std::string> levels(65);
  std::string detail;
  parse_box(f, BOX_Lvl, NW_LEVELS, levels, detail);
  for (int n = 1; n <= 63; ++n) {
    if (levels[n] != text) continue;
    const std::string q = w->questionLead + text + " was also selected as " + "\r" +
                          "one of the input levels: " + f.boxText(BOX_Lvl) + ". " + "\r" +
                          "Would you like to remove it from the " + "input level list?";
    if (!p.question(q, w->questionTitle, NW_ASK_YESNO)) {
      f.focusBox(box);
      return false;
    }
    levels[nw_level_index(text)].clear();
    const std::string packed = PackList(levels, 1, 63);
    f.setBoxText(BOX_Lvl, packed);
    if (box == BOX_Outlvl) s.OutLevel = text;
    return levels_left(f, p, packed);
  }
  if (box == BOX_Outlvl) s.OutLevel = text;
  return true;
}

bool nw_check_number_box(NwForm& f, NwPrompt& p, NwBox box) {
  const std::string text = f.boxText(box);
  const bool tolerance = box == BOX_TolMend || box == BOX_FlagProxTol;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= '0' && c <= '9') || c == '.') continue;
    p.message("The character '" + nw_char_at(text, i) +
                  (tolerance ? "' is not a valid tolerance.  " : "' is not a valid size.  ") +
                  "Please enter only numbers and decimals.",
              NW_APP_TITLE);
    f.setBoxText(box, std::string());
    f.focusBox(box);
    return false;
  }
  return true;
}

bool nw_check_box(NwForm& f, NwPrompt& p, NwState& s, NwBox box, bool toOutLvlChck) {
  switch (nw_check_kind(box)) {
    case NW_CHECK_LIST: return nw_check_criteria(f, p, s, box);
    case NW_CHECK_LEVEL: return nw_check_level_box(f, p, s, box, toOutLvlChck);
    case NW_CHECK_NUMBER: return nw_check_number_box(f, p, box);
    default: return true;
  }
}

void nw_save_orig_clicked(NwForm& f, NwPrompt& p, NwState& s) {
  if (!f.ticked(TICK_SaveOrig)) return;
  if (!s.OutLevel.empty()) {
    const std::string q = "Modified linework will be placed on level: " + s.OutLevel + "\r" +
                          "\r" + "If this is correct click OK" + "\r" + "Otherwise click CANCEL";
    if (!p.question(q, "Save Original Linework", NW_ASK_OKCANCEL)) f.focusBox(BOX_Outlvl);
    return;
  }
  const std::string q = std::string("An output level for the modified linework") + "\r" +
                        "has not been set. It is required for this option." + "\r" + "\r" +
                        "To set the output level click OK";
  if (p.question(q, NW_APP_TITLE, NW_ASK_OKCANCEL)) {
    f.setTicked(TICK_OutLvl, true);
    f.setBoxEnabled(BOX_Outlvl, true);
    f.focusBox(BOX_Outlvl);
  } else {
    f.setTicked(TICK_SaveOrig, false);
  }
}

bool nw_ask_output_level(NwPrompt& p, const NwState& s, std::vector<std::string>& levels) {
  const int n = nw_level_index(s.OutLevel);
  if (n == 0 || static_cast<size_t>(n) >= levels.size() || levels[n].empty()) return true;
  const std::string q =
      conflict_question("The element output level: ", s.OutLevel, PackList(levels, 1, 63));
  if (!p.question(q, kConflictTitle, NW_ASK_YESNO)) return false;
  levels[n].clear();
  return true;
}
